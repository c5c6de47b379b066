// The shared editor wiring: start builds the state and hands the window's events over, the
// worker reaches the demo's amplifier, and stop joins the worker before it releases anything.
#include "app/editor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace nimba {
namespace {

TEST(EditorSession, StartsOnTheDemoAmpAndStopsInOrder) {
    main_window window;
    editor_session session;
    int events = 0;
    ASSERT_TRUE(start_editor(
        session, window, [&events](int32_t) { ++events; }, [] {},
        demo_services({}, [](pick_mode) { return std::wstring(); })));
    EXPECT_EQ(session.link->state, session.state.get());
    EXPECT_EQ(session.state->cabinets[1].name, L"212 V30");
    ASSERT_TRUE(window.on_event);
    window.on_event(event_paint);
    EXPECT_EQ(events, 1);

    // The connect sequence reads the demo amplifier's six slot names.
    for (int i = 0; i < 400 && slot_name(*session.state, 5).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_FALSE(slot_name(*session.state, 5).empty());

    editor_state* state = session.state.get();
    ASSERT_TRUE(stop_editor(session));
    EXPECT_TRUE(session.link->worker_finished);
    EXPECT_TRUE(slot_name(*state, 0).empty());
    EXPECT_TRUE(state->cabinets[0].name.empty());
    EXPECT_FALSE(window.on_event);
}

TEST(EditorSession, PictureStartFindsEveryBuiltInPictureSound) {
    picture_start start;
    start_pictures(start);
    EXPECT_EQ(finish_pictures(start), "");
    EXPECT_EQ(finish_pictures(start), ""); // asked again after the thread has ended
    picture_start left_running;            // its destructor waits for it
    start_pictures(left_running);
}

} // namespace
} // namespace nimba
