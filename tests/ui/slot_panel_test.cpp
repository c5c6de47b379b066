// The slot panel and the cabinet page as drawn: slot names, radios and diagram, page buttons,
// the cabinet title and list with their " (MAIN)" suffixes, the description and the hairlines.
#include "ui/slot_panel.h"

#include <string>

#include "screen_fixture.h"

namespace nimba {
namespace {

TEST(SlotNames, ShowTheLastPathPartOrNoIrSelected) {
    struct row {
        std::wstring reported;
        std::wstring shown;
    };
    const row rows[] = {
        {L"", L"NO IR SELECTED"},
        {L"GREEN 412", L"GREEN 412"},
        {L"C:\\IRS\\MY CAB.WAV", L"MY CAB.WAV"},
        {L"IRS/SUB\\LAST/V30.WAV", L"V30.WAV"},
        {L"IRS/", L""}, // a reported name that ends in a separator shows nothing after it
    };
    for (const row& r : rows) {
        screen sc;
        set_slot_name(sc.s(), 3, r.reported);
        EXPECT_EQ(displayed_slot_name(sc.s(), 3).view(), r.shown);
        sc.paint();
        const int32_t top = 194 + 31 * 3;
        const draw_call* name = find_at(sc.canvas, draw_kind::text, 33, top - 1, 174, 32);
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text, r.shown);
        EXPECT_EQ(name->flow, text_flow::one_line);
        EXPECT_EQ(name->style, text_style::regular);
    }
}

TEST(SlotNames, LongNamesAndBadSlotsStayInBounds) {
    screen sc;
    set_slot_name(sc.s(), 0, std::wstring(5000, L'A'));
    EXPECT_EQ(displayed_slot_name(sc.s(), 0).length, text_buffer::capacity);
    EXPECT_EQ(displayed_slot_name(sc.s(), -1).length, 0u);
    EXPECT_EQ(displayed_slot_name(sc.s(), slot_count).length, 0u);
    sc.paint();
}

TEST(SlotPanel, RadiosDiagramAndIrDotFollowTheCurrentChannel) {
    struct row {
        int32_t channel, slot, bypass;
    };
    for (const row& r : {row{0, 0, 0}, row{1, 4, 0}, row{2, 5, 0}, row{2, 5, 1}, row{7, 1, 0}}) {
        screen sc;
        sc.program().channel = r.channel;
        // A channel out of range reads as channel 2, and shows channel 2's slot.
        sc.program().ir_slot[std::min(r.channel, 2)] = r.slot;
        sc.program().ir_bypass = r.bypass;
        sc.paint();
        const uint32_t accent = sc.ui.accent;
        for (int k = 0; k < slot_count; ++k) {
            const draw_call* radio =
                find_at(sc.canvas, draw_kind::box, 8, 194 + 31 * k + 10, 12, 12);
            ASSERT_NE(radio, nullptr);
            // Radios show the slot whether or not the IR is bypassed.
            EXPECT_EQ(radio->colour, k == r.slot ? 0xFFBEBEBEu : 0xFF030303u) << k;
        }
        // Base, accent layer, then the six slot masks, all in the diagram box.
        std::vector<uint32_t> diagram;
        for (const draw_call& c : sc.canvas.calls)
            if (c.kind == draw_kind::mask && c.x == 0 && c.y == 51 && c.width == 250)
                diagram.push_back(c.colour);
        ASSERT_EQ(diagram.size(), 8u);
        EXPECT_EQ(diagram[0], 0xFFBEBEBEu);
        EXPECT_EQ(diagram[1], accent);
        for (int k = 0; k < slot_count; ++k)
            EXPECT_EQ(diagram[2 + k], !r.bypass && k == r.slot ? accent : 0xFFBEBEBEu) << k;
        const draw_call* dot = find_at(sc.canvas, draw_kind::box, 229, 171, 14, 14);
        EXPECT_EQ(dot->colour, r.bypass ? 0xFF141416u : 0xFFBEBEBEu);
    }
}

// The IR bypass value 2 an amplifier may report reads as bypassed in the diagram and on the
// VIRTUAL CAB lamp, as on the switch (renderer_test.cpp).
TEST(SlotPanel, IrBypassOutOfRangeReadsAsBypassed) {
    for (const bypass_reading& r : bypass_readings) {
        screen sc;
        paint_with_bypass(sc, r.raw);
        std::vector<uint32_t> diagram;
        for (const draw_call& c : sc.canvas.calls)
            if (c.kind == draw_kind::mask && c.x == 0 && c.y == 51 && c.width == 250)
                diagram.push_back(c.colour);
        ASSERT_EQ(diagram.size(), 8u);
        EXPECT_EQ(diagram[2 + 3], r.bypassed ? 0xFFBEBEBEu : sc.ui.accent) << r.raw;
        const draw_call* lamp = find_at(sc.canvas, draw_kind::box, 229, 171, 14, 14);
        ASSERT_NE(lamp, nullptr);
        EXPECT_EQ(lamp->colour, r.bypassed ? 0xFF141416u : 0xFFBEBEBEu) << r.raw;
    }
}

TEST(SlotPanel, PageButtonOfTheOpenPageIsLit) {
    screen sc;
    sc.s().ir_slot_choice = 3;
    sc.paint();
    for (int k = 0; k < slot_count; ++k) {
        const draw_call* button =
            find_at(sc.canvas, draw_kind::mask, 226, 194 + 31 * k + 4, 23, 23);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->colour, k == 2 ? 0xFFF0F0F0u : 0xFF505050u) << k;
    }
    // Hovering wins over the lit colour.
    for (hit_region& r : sc.ui.hit_regions)
        if (r.kind == region_hover && r.id == id_page_button0 + 2) r.hovered = 1;
    sc.paint();
    EXPECT_EQ(find_at(sc.canvas, draw_kind::mask, 226, 194 + 62 + 4, 23, 23)->colour, 0xFFBEBEBEu);
}

TEST(SlotPanel, TolexArrowsAreHitOutsideWhereTheyAreDrawn) {
    screen sc;
    sc.paint();
    const int32_t H = 720;
    EXPECT_NE(find_at(sc.canvas, draw_kind::mask, 9, H - 44, 11, 11), nullptr);
    EXPECT_NE(find_at(sc.canvas, draw_kind::mask, 234, H - 44, 11, 11), nullptr);
    const hit_region* down = sc.region(id_tolex_down, region_click);
    const hit_region* up = sc.region(id_tolex_up, region_click);
    EXPECT_EQ((std::array{down->x, down->y, down->width, down->height}),
              (std::array{8, H - 44, 12, 12}));
    EXPECT_EQ((std::array{up->x, up->y, up->width, up->height}), (std::array{224, H - 50, 23, 23}));
}

TEST(CabinetPage, NotDrawnWhileClosed) {
    screen sc;
    sc.paint();
    EXPECT_EQ(find_text(sc.canvas, L"EXTRACT ALL"), nullptr);
    EXPECT_EQ(find_text(sc.canvas, L"SELECT"), nullptr);
    EXPECT_EQ(sc.region(id_select, region_click), nullptr);
}

TEST(CabinetPage, TitleCarriesTheMainSuffix) {
    struct row {
        int32_t cabinet;
        const wchar_t* title;
    };
    for (const row& r : {row{0, L"112 RED"}, row{1, L"212 V30 (MAIN)"},
                         row{11, L"UK 412 JBL120 GB"}, row{12, L""}, row{-3, L""}}) {
        screen sc;
        sc.s().ir_slot_choice = 2;
        sc.s().factory_cabinet = r.cabinet;
        sc.paint();
        const draw_call* title = find_at(sc.canvas, draw_kind::text, 260, -1, 230, 42);
        ASSERT_NE(title, nullptr);
        EXPECT_EQ(title->text, r.title);
        EXPECT_EQ(title->style, text_style::large);
    }
}

TEST(CabinetPage, ListRowsWithSuffixesAndSelection) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.s().cabinet_list_open = 1;
    sc.s().factory_cabinet = 4;
    sc.paint();
    for (int i = 0; i < cabinet_count; ++i) {
        const int32_t t = 42 + 31 * i;
        const draw_call* name = find_at(sc.canvas, draw_kind::text, 280, t - 1, 210, 32);
        ASSERT_NE(name, nullptr) << i;
        const cabinet_entry& entry = sc.s().cabinets[i];
        EXPECT_EQ(name->text, entry.name + (entry.is_main ? L" (MAIN)" : L""));
        EXPECT_EQ(name->colour, i == 4 ? 0xFFF0F0F0u : 0xFF8C8C8Eu);
        const draw_call* radio = find_at(sc.canvas, draw_kind::box, 258, t + 10, 12, 12);
        EXPECT_EQ(radio->colour, i == 4 ? 0xFFF0F0F0u : 0xFF030303u);
    }
    EXPECT_NE(find_text(sc.canvas, L"112 RED"), nullptr);
    // No description while the list covers its place.
    EXPECT_EQ(find_at(sc.canvas, draw_kind::text, 258, 49, 234, 235), nullptr);
}

TEST(CabinetPage, DescriptionWrapsInItsBoxWhileTheListIsClosed) {
    screen sc;
    sc.s().cabinets[3].description = L"A LONG DESCRIPTION";
    sc.s().ir_slot_choice = 6;
    sc.s().factory_cabinet = 3;
    sc.paint();
    const draw_call* description = find_text(sc.canvas, L"A LONG DESCRIPTION");
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(description->kind, draw_kind::text);
    EXPECT_EQ((std::array{description->x, description->y, description->right, description->bottom}),
              (std::array{258.f, 49.f, 492.f, 284.f}));
    EXPECT_EQ(description->flow, text_flow::wrapped);
    EXPECT_EQ(description->v_align, valign_top);
}

TEST(CabinetPage, DrawnLastAndUndimmedWithHairlines) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.ui.audition = 1;
    sc.paint();
    const int32_t H = 720;
    const auto veil = find_boxes(sc.canvas, 0xA0000000);
    ASSERT_EQ(veil.size(), 1u);
    const draw_call* body = find_at(sc.canvas, draw_kind::box, 250, 41, 250, H - 62);
    ASSERT_NE(body, nullptr);
    EXPECT_GT(call_index(sc.canvas, body), call_index(sc.canvas, veil[0]));
    // Audition on: the pill takes the accent and the knob sits right.
    EXPECT_EQ(find_at(sc.canvas, draw_kind::box, 380, H - 85, 40, 20)->colour, sc.ui.accent);
    EXPECT_NE(find_at(sc.canvas, draw_kind::box, 400, H - 85, 20, 20), nullptr);
    const auto hairlines = find_boxes(sc.canvas, 0x40000000);
    ASSERT_GE(hairlines.size(), 3u);
    const draw_call* last = &sc.canvas.calls.back();
    EXPECT_EQ((std::array{last->x, last->y, last->width, last->height}),
              (std::array{0.f, 41.f, 500.f, 1.f}));
}

} // namespace
} // namespace nimba
