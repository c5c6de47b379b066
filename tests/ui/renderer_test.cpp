// Frames drawn on the recording canvas: where the amplifier goes, the accent, the top bar and
// switch row, the status texts and the veil, the link pill, and the hit-region list.
#include "ui/renderer.h"

#include <algorithm>
#include <set>
#include <utility>

#include "screen_fixture.h"

namespace nimba {
namespace {

TEST(Placement, ScalesAndPlacesTheAmplifierPicture) {
    struct row {
        int32_t w, h;
        float scale;
        int32_t x0, y0;
    };
    const row rows[] = {
        {1024, 720, 0.8171429f, 79, 97},   // scaled, top held at y = 80 on screen
        {1920, 1200, 1.0f, 385, 80},       // unscaled, top held at 80
        {1024, 1200, 0.8171429f, 79, 268}, // tall view: bottom edge on the window's bottom
        {2000, 1500, 1.0f, 425, 300},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.w << " x " << r.h);
        const amplifier_placement at = place_amplifier(r.w, r.h);
        EXPECT_NEAR(at.scale, r.scale, 1e-6);
        EXPECT_EQ(at.x0, r.x0);
        EXPECT_EQ(at.y0, r.y0);

        screen sc(r.w, r.h);
        sc.paint();
        const auto scales = find_calls(sc.canvas, draw_kind::scale);
        ASSERT_EQ(scales.size(), 2u);
        EXPECT_EQ(scales[0]->scale, at.scale);
        EXPECT_EQ(scales[1]->scale, 1.0f);
        const draw_call* amp = find_at(sc.canvas, draw_kind::picture, r.x0, r.y0, 1400, 1200);
        ASSERT_NE(amp, nullptr);
        EXPECT_EQ(amp->scale, at.scale);
        // Nothing after the picture copies is drawn scaled.
        for (const draw_call& c : sc.canvas.calls) {
            if (c.kind == draw_kind::text || c.kind == draw_kind::mask) {
                EXPECT_EQ(c.scale, 1.0f);
            }
        }
    }
}

TEST(Placement, DegenerateViewSizesStayFinite) {
    for (auto [w, h] : {std::pair{0, 0}, {-5, -5}, {1 << 30, 1 << 30}, {INT32_MAX, 10}}) {
        const amplifier_placement at = place_amplifier(w, h);
        EXPECT_GT(at.scale, 0.0f);
        EXPECT_LE(at.scale, 1.0f);
        screen sc(w, h);
        sc.paint(); // must neither crash nor trip the sanitizers
    }
}

TEST(Accent, FollowsChannelAndMode) {
    struct row {
        int32_t channel, mode0, mode1, mode2;
        uint32_t accent;
        picture channel_picture;
    };
    const row rows[] = {
        {0, 0, 2, 2, 0xFF1E46C8, picture::channel_blue},
        {0, 1, 0, 0, 0xFFA014B4, picture::channel_violet},
        {0, 2, 0, 0, 0xFFC83228, picture::channel_red},
        {0, 7, 0, 0, 0xFFC83228, picture::channel_red},
        {1, 0, 1, 0, 0xFFA014B4, picture::channel_violet},
        {1, 2, 0, 1, 0xFF1E46C8, picture::channel_blue},
        {2, 0, 0, 0, 0xFF28A032, picture::channel_green},
        {2, 1, 2, 1, 0xFF28A032, picture::channel_green},
        {2, 2, 1, 2, 0xFF28A032, picture::channel_green},
    };
    for (const row& r : rows) {
        screen sc;
        program_record& p = sc.program();
        p.channel = r.channel;
        p.channel_mode[0] = r.mode0, p.channel_mode[1] = r.mode1, p.channel_mode[2] = r.mode2;
        const channel_look look = channel_look_of(p);
        EXPECT_EQ(look.accent, r.accent);
        EXPECT_EQ(look.channel_picture, r.channel_picture);

        sc.paint();
        EXPECT_EQ(sc.ui.accent, r.accent);
        const int32_t H = sc.canvas.height, W = sc.canvas.width, e = (W - 650) / 2;
        const draw_call* bar = find_at(sc.canvas, draw_kind::box, 0, H - 21, W, 21);
        ASSERT_NE(bar, nullptr);
        EXPECT_EQ(bar->colour, r.accent);
        const draw_call* galaxy = find_at(sc.canvas, draw_kind::box, e + 400, 51, 60, 20);
        ASSERT_NE(galaxy, nullptr);
        EXPECT_EQ(galaxy->colour, r.channel == 2 ? 0xFF303032 : r.accent);
    }
}

// A channel out of range reads as channel 2 (green), and never reads past the three modes.
TEST(Accent, ChannelOutOfRangeReadsNoFurtherThanTheThreeModes) {
    screen sc;
    sc.program().channel = 9;
    sc.program().channel_mode[2] = 1;
    sc.program().ir_bypass = 2; // the word a too-large channel index would land on
    EXPECT_EQ(channel_look_of(sc.program()).accent, 0xFF28A032u);
    sc.paint();
    EXPECT_EQ(sc.ui.accent, 0xFF28A032u);
}

TEST(TopBar, MidiChannelAndProgramTexts) {
    struct row {
        int32_t midi_channel, program;
        const wchar_t* midi_text;
        const wchar_t* program_text;
    };
    for (const row& r :
         {row{0, 0, L"OMNI", L"0"}, row{16, 127, L"16", L"127"}, row{1, 5, L"1", L"5"}}) {
        screen sc;
        sc.s().midi_channel = r.midi_channel;
        sc.s().program = r.program;
        sc.paint();
        const int32_t W = sc.canvas.width, d = (W + 30) / 2;
        const draw_call* midi = find_text(sc.canvas, r.midi_text);
        ASSERT_NE(midi, nullptr) << r.midi_channel;
        EXPECT_EQ(midi->x, W - 109);
        EXPECT_EQ(midi->right, W - 50);
        const auto numbers = find_texts_containing(sc.canvas, r.program_text);
        const auto program = std::find_if(numbers.begin(), numbers.end(), [&](auto* c) {
            return c->x == d + 150 && c->text == r.program_text;
        });
        ASSERT_NE(program, numbers.end()) << r.program;
        EXPECT_EQ((*program)->style, text_style::large);
        EXPECT_EQ((*program)->h_align, align_centre);
    }
}

// The picture parts copied from the channel picture: the selector centre, the IR dot and the
// channel lamp, in picture coordinates, all offset by the picture's origin.
TEST(AmplifierCopies, DotAndLampFollowTheProgram) {
    struct row {
        int32_t channel, slot, bypass;
        std::set<std::pair<int, int>> sources;
    };
    const row rows[] = {
        {0, 0, 0, {{1030, 342}, {1040, 331}, {793, 383}}},
        {1, 3, 0, {{1030, 342}, {1030, 368}, {848, 383}}},
        {2, 5, 0, {{1030, 342}, {1022, 336}, {408, 383}}},
        {1, 3, 1, {{1030, 342}, {848, 383}}},              // bypassed: no IR dot
        {1, 6, 0, {{1030, 342}, {1022, 336}, {848, 383}}}, // slot 6 reads as slot 5
        {4, 2, 0, {{1030, 342}, {1040, 331}, {408, 383}}}, // channel 4 reads as channel 2
    };
    for (const row& r : rows) {
        screen sc;
        sc.program().channel = r.channel;
        sc.program().ir_slot[std::min(r.channel, 3)] = r.slot;
        sc.program().ir_bypass = r.bypass;
        sc.paint();
        const amplifier_placement at = place_amplifier(1024, 720);
        std::set<std::pair<int, int>> seen;
        for (const draw_call* c : find_calls(sc.canvas, draw_kind::picture_part)) {
            seen.insert({int(c->sx), int(c->sy)});
            EXPECT_EQ(c->x, at.x0 + c->sx);
            EXPECT_EQ(c->y, at.y0 + c->sy);
            EXPECT_EQ(c->scale, at.scale);
        }
        EXPECT_EQ(seen, r.sources) << "channel " << r.channel << " slot " << r.slot;
    }
}

TEST(Tolex, NameAndOverlay) {
    struct row {
        int32_t colour;
        const wchar_t* name;
        size_t pictures;
    };
    const row rows[] = {{0, L"BLACK", 1}, {1, L"SNAKE SKIN", 2}, {2, L"PURPLE", 2},
                        {3, L"RED", 2},   {4, L"TURQUOISE", 2},  {5, L"WHITE", 2},
                        {6, L"WHITE", 2}, {-1, L"BLACK", 1},     {255, L"WHITE", 2}};
    for (const row& r : rows) {
        screen sc;
        sc.s().tolex_colour = r.colour;
        sc.paint();
        EXPECT_NE(find_text(sc.canvas, std::wstring(L"TOLEX COLOR - ") + r.name), nullptr)
            << r.colour;
        EXPECT_EQ(find_calls(sc.canvas, draw_kind::picture).size(), r.pictures) << r.colour;
    }
}

// The pictures started early for the first frame are the ones a frame draws: every colour
// picture drawn whole or in part is one pictures_drawn names, and each it names is drawn.
TEST(Tolex, FrameDrawsThePicturesDrawnNames) {
    struct row {
        int32_t tolex, channel, mode;
    };
    const row rows[] = {{0, 0, 0}, {3, 1, 1}, {5, 2, 0}, {1, 0, 2}, {7, 4, 1}};
    for (const row& r : rows) {
        screen sc;
        sc.s().tolex_colour = r.tolex;
        sc.program().channel = r.channel;
        sc.program().channel_mode[std::clamp(r.channel, 0, 2)] = r.mode;
        sc.paint();
        std::set<const uint8_t*> drawn, named;
        for (const draw_kind k : {draw_kind::picture, draw_kind::picture_part}) {
            for (const draw_call* c : find_calls(sc.canvas, k)) drawn.insert(c->picture.data);
        }
        for (const picture p : pictures_drawn(r.tolex, sc.program())) {
            if (p != picture::count) named.insert(picture_blob(p).data);
        }
        EXPECT_EQ(drawn, named) << "tolex " << r.tolex << " channel " << r.channel;
    }
}

TEST(StatusTexts, VersionProgressAndVeil) {
    constexpr const wchar_t* version = L"FIRMWARE VERSION 1.4.0";
    constexpr const wchar_t* warning = L"UPDATE IN PROGRESS... DO NOT POWER DOWN";
    enum veil { none, whole, right_of_panel };
    struct row {
        int32_t link, page, progress;
        uint16_t available;
        veil expected_veil;
        const wchar_t* shown; // besides the link pill's text
        bool warned;
        const wchar_t* pill;
    };
    const row rows[] = {
        {1, 0, -1, 0, none, version, false, L"CONNECTED"},
        {1, 0, 300, 0, none, version, false, L"CONNECTED"}, // idle wins over a stale progress
        {1, 2, -1, 0, right_of_panel, version, false, L"CONNECTED"},
        {2, 0, 300, 0, whole, L"READING...", false, L"CONNECTED"},
        {2, 0, 200, 0, whole, L"STORING...", false, L"CONNECTED"},
        {2, 0, 100, 0x0104, whole, L"100%", false, L"CONNECTED"},
        {2, 0, 37, 0x0105, whole, L"37%", true, L"CONNECTED"},
        {2, 4, 37, 0x0105, right_of_panel, L"37%", true, L"CONNECTED"},
        {2, 0, progress_programs + 37, 0x0105, whole, L"37%", false, L"CONNECTED"}, // backup
        {3, 0, -1, 0, whole, version, false, L"ERROR"},
        {0, 0, -1, 0, whole, nullptr, false, L"NO DEVICE"},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << "link " << r.link << " page " << r.page << " progress " << r.progress);
        screen sc;
        sc.s().link_status = r.link;
        sc.s().ir_slot_choice = r.page;
        sc.s().progress = r.progress;
        sc.s().device_firmware_version = 0x0104;
        sc.s().available_firmware_version = r.available;
        sc.paint();
        const int32_t W = 1024, H = 720;

        const auto veils = find_boxes(sc.canvas, 0xA0000000);
        if (r.expected_veil == none) {
            EXPECT_TRUE(veils.empty());
        } else {
            ASSERT_EQ(veils.size(), 1u);
            const bool is_whole = r.expected_veil == whole;
            EXPECT_EQ(veils[0]->x, is_whole ? 0 : 250);
            EXPECT_EQ(veils[0]->width, is_whole ? W : W - 250);
            EXPECT_EQ(veils[0]->height, H - 21);
            // The link pill and the page come after the veil, so neither is dimmed.
            EXPECT_LT(call_index(sc.canvas, veils[0]),
                      call_index(sc.canvas, find_text(sc.canvas, r.pill)));
        }
        if (r.shown) {
            const draw_call* shown = find_text(sc.canvas, r.shown);
            ASSERT_NE(shown, nullptr);
            EXPECT_EQ(shown->x, 10);
            EXPECT_EQ(shown->colour, 0xFFF0F0F0u);
        } else {
            EXPECT_TRUE(find_texts_containing(sc.canvas, L"FIRMWARE").empty());
        }
        const draw_call* warned = find_text(sc.canvas, warning);
        EXPECT_EQ(warned != nullptr, r.warned);
        if (warned) {
            EXPECT_EQ(warned->width, W - 10);
            EXPECT_EQ(warned->h_align, align_centre);
        }
        EXPECT_NE(find_text(sc.canvas, r.pill), nullptr);
        EXPECT_EQ(find_text(sc.canvas, L"BACKING UP ALL PROGRAMS...") != nullptr,
                  r.progress >= progress_programs);
    }
}

// The worker's post, as the editor state holds it.
void post(editor_state& state, const char* text) {
    const std::lock_guard<std::mutex> hold(state.outcome.lock);
    state.outcome.latest = {outcome_code::import_refused, text};
    ++state.outcome.sequence;
}

// The latest outcome takes the version's place, in its font and colour, for 6 s of the user
// interface's clock from the paint that first shows it; a transfer's percentage and a store keep
// theirs. The timer repaints once when it expires.
TEST(StatusTexts, OutcomeTakesTheLeftTextForSixSeconds) {
    constexpr const wchar_t* shown =
        L"IMPORT REFUSED: SAMPLE RATE 22050 HZ IS OUTSIDE 44100 TO 96000";
    screen sc;
    sc.s().device_firmware_version = 0x0104;
    sc.paint();
    const draw_call version = *find_text(sc.canvas, L"FIRMWARE VERSION 1.4.0");
    post(sc.s(), "import refused: sample rate 22050 Hz is outside 44100 to 96000");
    sc.clock.now = 1000;
    sc.paint();
    const draw_call* line = find_text(sc.canvas, shown);
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(find_texts_containing(sc.canvas, L"FIRMWARE").empty());
    EXPECT_EQ(line->x, version.x);
    EXPECT_EQ(line->y, version.y);
    EXPECT_EQ(line->style, version.style);
    EXPECT_EQ(line->colour, version.colour);

    const auto timer_at = [&](int64_t ms) {
        sc.clock.now = ms;
        const int before = sc.repaints;
        handle_event(sc.s(), sc.ui, event_timer);
        return sc.repaints - before;
    };
    EXPECT_EQ(timer_at(6999), 0);
    sc.paint();
    EXPECT_NE(find_text(sc.canvas, shown), nullptr);
    EXPECT_EQ(timer_at(7000), 1);
    sc.paint();
    EXPECT_EQ(find_text(sc.canvas, shown), nullptr);
    EXPECT_NE(find_text(sc.canvas, L"FIRMWARE VERSION 1.4.0"), nullptr);
    EXPECT_EQ(timer_at(8000), 0);

    const struct {
        int32_t progress;
        const wchar_t* kept; // nullptr: the outcome is shown
    } rows[] = {{37, L"37%"}, {0, L"0%"}, {200, L"STORING..."}, {100, nullptr}, {300, nullptr}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.progress);
        sc.s().link_status = link_busy;
        sc.s().progress = r.progress;
        post(sc.s(), "import refused: sample rate 22050 Hz is outside 44100 to 96000");
        sc.paint();
        EXPECT_EQ(find_text(sc.canvas, shown) == nullptr, r.kept != nullptr);
        if (r.kept) {
            EXPECT_NE(find_text(sc.canvas, r.kept), nullptr);
        }
    }
}

TEST(StatusTexts, VersionBytesAreDecimal) {
    screen sc;
    sc.s().device_firmware_version = 0xFF0A;
    sc.paint();
    EXPECT_NE(find_text(sc.canvas, L"FIRMWARE VERSION 255.10.0"), nullptr);
}

TEST(Regions, RegisteredOncePerIdAndKindWithHoverFlagsKept) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.s().cabinet_list_open = 1;
    ask_restore_question(sc.s(), "restore 1 program (5)?");
    sc.paint();
    const size_t first = sc.ui.hit_regions.size();
    std::set<std::pair<int32_t, int32_t>> keys;
    for (const hit_region& r : sc.ui.hit_regions) {
        EXPECT_TRUE(keys.insert({r.id, r.kind}).second) << "id " << r.id << " kind " << r.kind;
        EXPECT_TRUE(r.kind == region_hover || r.kind == region_click || r.kind == region_wheel);
    }
    // Every control is there (the restore question's while it is asked); the program pill only
    // for the wheel.
    for (int32_t id = 0; id < control_id_count; ++id) {
        if (id == id_program_pill) {
            EXPECT_TRUE(keys.count({id, region_wheel}));
            EXPECT_FALSE(keys.count({id, region_click}));
            continue;
        }
        EXPECT_TRUE(keys.count({id, region_hover}) && keys.count({id, region_click})) << id;
    }
    EXPECT_EQ(first, (control_id_count - 1u) * 2 + 1);

    // A hover flag survives repaints; a resize moves the region without touching the flag.
    for (hit_region& r : sc.ui.hit_regions)
        if (r.id == id_midi_up && r.kind == region_hover) r.hovered = 1;
    sc.canvas.width = 1300;
    sc.s().cabinet_list_open = 0;
    sc.s().ir_slot_choice = 0;
    sc.paint();
    EXPECT_EQ(sc.ui.hit_regions.size(), first); // closed page's regions stay, none added
    const hit_region* up = sc.region(id_midi_up, region_hover);
    EXPECT_EQ(up->x, 1300 - 53);
    EXPECT_EQ(up->hovered, 1);
    const draw_call* arrow = find_at(sc.canvas, draw_kind::mask, 1300 - 53, 15, 11, 11);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->colour, 0xFFF0F0F0u);
}

TEST(Regions, RegisterRegionKeysOnIdAndKind) {
    std::vector<hit_region> regions;
    register_region(regions, 5, {1, 2, 3, 4}, region_hover, screen_page::main);
    register_region(regions, 5, {1, 2, 3, 4}, region_click, screen_page::main);
    regions[0].hovered = 1;
    register_region(regions, 5, {9, 8, 7, 6}, region_hover, screen_page::cabinet);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].x, 9);
    EXPECT_EQ(regions[0].hovered, 1);
    EXPECT_EQ(regions[0].page, screen_page::cabinet);
    EXPECT_EQ(regions[1].page, screen_page::main);
    EXPECT_EQ(regions[1].x, 1);
    EXPECT_TRUE(hovered(regions, 5));
    EXPECT_FALSE(hovered(regions, 6));
}

TEST(SwitchRow, KnobsFollowTheirValues) {
    struct row {
        int32_t channel, mode, bypass;
        int32_t channel_knob, galaxy_knob, bypass_knob;
    };
    const row rows[] = {
        {0, 0, 0, 20, 0, 0}, {1, 1, 1, 40, 20, 20}, {0, 2, 0, 20, 40, 0},
        {2, 1, 0, 0, 20, 0}, {5, 0, 2, 0, 0, 20},
    };
    for (const row& r : rows) {
        screen sc;
        sc.program().channel = r.channel;
        sc.program().channel_mode[std::clamp(r.channel, 0, 2)] = r.mode;
        sc.program().ir_bypass = r.bypass;
        sc.paint();
        const int32_t e = (1024 - 650) / 2;
        EXPECT_NE(find_at(sc.canvas, draw_kind::box, e + 250 + r.channel_knob, 51, 20, 20),
                  nullptr);
        EXPECT_NE(find_at(sc.canvas, draw_kind::box, e + 400 + r.galaxy_knob, 51, 20, 20), nullptr);
        EXPECT_NE(find_at(sc.canvas, draw_kind::box, e + 550 + r.bypass_knob, 51, 20, 20), nullptr);
        const draw_call* bypass_pill = find_at(sc.canvas, draw_kind::box, e + 550, 51, 40, 20);
        EXPECT_EQ(bypass_pill->colour, r.bypass != 0 ? sc.ui.accent : 0xFF303032u);
    }
}

// An IR bypass value out of range, as an amplifier may report it, reads by the one rule: any
// value above 1 is bypassed, on the switch and by the IR dot on the amplifier (the slot diagram:
// slot_panel_test.cpp).
TEST(OutOfRange, IrBypassOnTheSwitchAndTheAmplifier) {
    for (const bypass_reading& r : bypass_readings) {
        screen sc;
        paint_with_bypass(sc, r.raw);
        const int32_t e = (1024 - 650) / 2;
        const draw_call* pill = find_at(sc.canvas, draw_kind::box, e + 550, 51, 40, 20);
        ASSERT_NE(pill, nullptr);
        EXPECT_EQ(pill->colour, r.bypassed ? sc.ui.accent : 0xFF303032u) << r.raw;
        EXPECT_NE(find_at(sc.canvas, draw_kind::box, e + 550 + (r.bypassed ? 20 : 0), 51, 20, 20),
                  nullptr)
            << r.raw;
        bool ir_dot = false;
        for (const draw_call* c : find_calls(sc.canvas, draw_kind::picture_part))
            ir_dot = ir_dot || (c->sx == 1030 && c->sy == 368);
        EXPECT_EQ(ir_dot, !r.bypassed) << r.raw;
    }
}

} // namespace
} // namespace nimba
