// The import preview as the editions drive it: a picked or dropped file opens it, each switch
// reshapes the IR exactly as the conversion with that choice does, SEND hands that IR to the
// worker, a refused file or several dropped files send nothing, and the cabinet page plots the
// selected factory cabinet.
#include "app/cabinet_preview.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "ir/ir_import.h"
#include "ir/wav_codec.h"
#include "tests/core/temp_files.h"
#include "tests/ui/screen_fixture.h"
#include "ui/accessible.h"
#include "ui/control_table.h"

namespace nimba {
namespace {

using namespace nimba::test;

// A stereo 48 kHz file whose channels differ: a click and its decay on the left, a steady tone
// on the right.
std::vector<uint8_t> stereo_file() {
    std::vector<float> frames(2 * 2000);
    for (size_t i = 0; i < 2000; ++i) {
        frames[2 * i] = 0.9f * std::exp(-static_cast<float>(i) / 200.0f);
        frames[2 * i + 1] = 0.3f * std::sin(static_cast<float>(i) * 0.13f);
    }
    frames[1] = 0.3f;
    return encode_wav_float32(frames, 2, 48000);
}

void paint(screen& sc) {
    sc.canvas.reset();
    editor_event(sc.s(), sc.ui, event_paint);
}

void click(screen& sc, int32_t id) {
    paint(sc);
    const hit_region* r = sc.region(id, region_click);
    ASSERT_NE(r, nullptr) << id;
    sc.click_at(r->x + r->width / 2, r->y + r->height / 2);
    paint(sc);
}

TEST(CabinetPreview, EachSwitchReshapesAndSendHandsTheShapedIr) {
    screen sc;
    const std::vector<uint8_t> file = stereo_file();
    {
        const std::lock_guard hold(sc.s().cabinet_files.lock); // as the worker hands it over
        sc.s().cabinet_files.picked_slot = 4;
        sc.s().cabinet_files.picked_name = L"my cab.wav";
        sc.s().cabinet_files.picked_file = file;
    }
    paint(sc);
    ASSERT_TRUE(sc.ui.preview.open);
    EXPECT_EQ(sc.s().cabinet_files.picked_slot, -1);
    EXPECT_NE(find_text(sc.canvas, L"IMPORT INTO SLOT 4"), nullptr);
    EXPECT_EQ(sc.ui.preview.plot.samples, convert_wav_to_ir(file).samples);

    // The screen under the preview takes no clicks while it is open.
    click(sc, id_import0 + 1);
    EXPECT_TRUE(sc.queued().empty());

    ir_choices expected;
    const struct {
        int32_t id;
        void (*choose)(ir_choices&);
    } switches[] = {
        {id_preview_channel0 + 1, [](ir_choices& c) { c.channel = ir_channel::right; }},
        {id_preview_channel0 + 2, [](ir_choices& c) { c.channel = ir_channel::both; }},
        {id_preview_tail0 + 1, [](ir_choices& c) { c.tail = ir_tail::fade; }},
        {id_preview_level0 + 1, [](ir_choices& c) { c.level = ir_level::matched; }},
        {id_preview_channel0, [](ir_choices& c) { c.channel = ir_channel::left; }},
    };
    std::vector<float> previous = sc.ui.preview.plot.samples;
    for (const auto& s : switches) {
        click(sc, s.id);
        s.choose(expected);
        const std::vector<float> shaped = convert_wav_to_ir(file, expected).samples;
        EXPECT_EQ(sc.ui.preview.plot.samples, shaped) << s.id;
        EXPECT_NE(shaped, previous) << s.id;
        previous = shaped;
    }
    EXPECT_NE(find_texts_containing(sc.canvas, L"DB AGAINST THE FACTORY MEDIAN").size(), 0u);

    click(sc, id_preview_send);
    EXPECT_FALSE(sc.ui.preview.open);
    EXPECT_EQ(sc.posted(), command_send_previewed);
    const cabinet_handoff& files = sc.s().cabinet_files;
    EXPECT_EQ(files.send_slot, 4);
    EXPECT_EQ(files.send_name, L"my cab.wav");
    EXPECT_EQ(files.send_samples, convert_wav_to_ir(file, expected).samples);
}

TEST(CabinetPreview, RefusalsShowTheirReasonAndSendNothing) {
    temp_folder dir;
    write_file(dir / "good.wav", stereo_file());
    const struct {
        int32_t x, y;
        std::vector<std::wstring> paths;
        bool taken;
        int32_t slot;
        std::string refusal; // empty: accepted
    } drops[] = {
        {100, 194 + 31 * 2 + 5, {wide(dir / "good.wav")}, true, 2, ""},
        {100,
         194 + 31 * 5 + 30,
         {wide(dir / "good.wav"), wide(dir / "good.wav")},
         true,
         5,
         "one slot takes one file: 2 files were dropped"},
        {100, 194 + 5, {wide(dir / "absent.wav")}, true, 0, "the file cannot be read"},
        {300, 194 + 5, {wide(dir / "good.wav")}, false, 0, ""},          // not on a slot's row
        {100, 194 + 31 * 6 + 1, {wide(dir / "good.wav")}, false, 0, ""}, // below the rows
    };
    for (const auto& d : drops) {
        screen sc;
        paint(sc);
        const uint32_t outcomes = outcome_sequence(sc.s().outcome);
        EXPECT_EQ(drop_files(sc.s(), sc.ui, d.x, d.y, d.paths), d.taken) << d.y;
        EXPECT_EQ(sc.ui.preview.open, d.taken) << d.y;
        if (!d.taken) continue;
        EXPECT_EQ(sc.ui.preview.slot, d.slot);
        EXPECT_EQ(sc.ui.preview.refusal.substr(0, d.refusal.size()), d.refusal) << d.y;
        paint(sc);
        if (d.refusal.empty()) {
            EXPECT_EQ(outcome_sequence(sc.s().outcome), outcomes);
            continue;
        }
        // In the preview and in the status bar.
        EXPECT_EQ(find_texts_containing(sc.canvas, L"IMPORT REFUSED: ").size(), 2u) << d.y;
        EXPECT_EQ(latest_outcome(sc.s().outcome).latest.text,
                  "import refused: " + sc.ui.preview.refusal);
        click(sc, id_preview_send);
        EXPECT_TRUE(sc.queued().empty());
        EXPECT_EQ(sc.s().cabinet_files.send_slot, -1);
        click(sc, id_preview_cancel);
        EXPECT_FALSE(sc.ui.preview.open);
    }
}

// The preview is a page of controls like the others: Tab goes round its own nine, Space flips a
// switch as its click does, keys for the screen under it do nothing, assistive technology reads
// the switches' states, and Escape closes it, the focus back on the slot's import button.
TEST(CabinetPreview, KeysAndAssistiveTechnologyReachOnlyThePreviewWhileOpen) {
    temp_folder dir;
    write_file(dir / "good.wav", stereo_file());
    screen sc;
    paint(sc);
    sc.key(key_tab);
    ASSERT_TRUE(drop_files(sc.s(), sc.ui, 100, 194 + 31 * 3 + 5, {wide(dir / "good.wav")}));
    EXPECT_EQ(sc.ui.focus, id_preview_channel0);
    std::vector<int32_t> round;
    for (int n = 0; n < 9; ++n) {
        sc.key(key_tab);
        round.push_back(sc.ui.focus);
    }
    const std::vector<int32_t> expected = {
        id_preview_channel0 + 1, id_preview_channel0 + 2, id_preview_level0,
        id_preview_level0 + 1,   id_preview_tail0,        id_preview_tail0 + 1,
        id_preview_send,         id_preview_cancel,       id_preview_channel0};
    EXPECT_EQ(round, expected);

    const struct {
        int32_t focus, key;
        ir_choices after;
    } steps[] = {
        {id_preview_channel0 + 2, key_space, {.channel = ir_channel::both}},
        {id_preview_tail0 + 1, key_enter, {.channel = ir_channel::both, .tail = ir_tail::fade}},
        {id_store, key_page_up, {.channel = ir_channel::both, .tail = ir_tail::fade}},
    };
    for (const auto& st : steps) {
        sc.ui.focus = st.focus;
        sc.key(st.key);
        paint(sc);
        EXPECT_EQ(sc.ui.preview.choices.channel, st.after.channel) << st.focus;
        EXPECT_EQ(sc.ui.preview.choices.tail, st.after.tail) << st.focus;
        EXPECT_EQ(sc.ui.preview.plot.samples,
                  convert_wav_to_ir(read_file(dir / "good.wav"), st.after).samples);
    }
    EXPECT_EQ(sc.s().program, 0);
    EXPECT_TRUE(sc.queued().empty());

    accessible_tree tree;
    read_accessible_tree(sc.s(), sc.ui, tree);
    for (const accessible_control& c : tree) {
        const bool in_preview = find_control(c.id)->page == screen_page::preview;
        EXPECT_EQ(c.shown, in_preview) << c.id;
        if (in_preview) {
            EXPECT_GT(c.bounds.width, 0) << c.id;
        }
    }
    const auto reading = [&tree](int32_t id) {
        return *std::find_if(tree.begin(), tree.end(),
                             [id](const accessible_control& c) { return c.id == id; });
    };
    EXPECT_EQ(reading(id_preview_channel0 + 2).access.name.view(), L"CHANNEL BOTH");
    EXPECT_TRUE(reading(id_preview_channel0 + 2).access.on);
    EXPECT_FALSE(reading(id_preview_channel0).access.on);
    EXPECT_EQ(reading(id_preview_tail0 + 1).access.name.view(), L"TAIL FADE");
    EXPECT_EQ(reading(id_preview_level0).role, access_role::radio);
    EXPECT_TRUE(reading(id_preview_send).access.enabled);

    press_control(sc.s(), sc.ui, id_ir_bypass); // under the preview: nothing
    EXPECT_EQ(sc.program().ir_bypass, 0);
    sc.key(key_escape);
    EXPECT_FALSE(sc.ui.preview.open);
    EXPECT_EQ(sc.ui.focus, id_import0 + 3);
    EXPECT_TRUE(sc.queued().empty());
}

TEST(CabinetPreview, CabinetPagePlotsTheSelectedFactoryCabinet) {
    screen sc;
    sc.s().ir_slot_choice = 1;
    sc.s().factory_cabinet = 3;
    paint(sc);
    EXPECT_TRUE(sc.ui.factory_plots[3].ready);
    EXPECT_FALSE(sc.ui.factory_plots[2].ready);
    EXPECT_EQ(sc.ui.factory_plots[3].samples.size(), 4096u);
    EXPECT_NE(find_text(sc.canvas, L"1 KHZ"), nullptr);
    sc.s().cabinet_list_open = 1; // the list covers the plots
    paint(sc);
    EXPECT_EQ(find_text(sc.canvas, L"1 KHZ"), nullptr);
}

} // namespace
} // namespace nimba
