// The UI Automation provider walked in process, as a client walks it: the fragments under the
// root in reading order with their names, control types and patterns, the patterns' actions
// reaching the editor's press and step, the status as a polite live region, and every element
// answering "not available" once the window has let go.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/win32/uia_provider_win32.h"
#include "core/draw/recording_canvas.h"
#include "ui/event_handler.h"

namespace nimba {
namespace {

template <typename T> struct com_ptr {
    T* p = nullptr;
    ~com_ptr() {
        if (p) p->Release();
    }
    T** put() { return &p; }
    T* operator->() const { return p; }
};

// A connected editor painted once, its reading taken, and a root over a plain window.
struct uia_fixture {
    std::unique_ptr<editor_state> state = std::make_unique<editor_state>();
    recording_canvas canvas{1024, 720};
    ui_context ui;
    accessible_tree reading;
    HWND hwnd = CreateWindowExW(0, L"STATIC", L"uia", WS_OVERLAPPEDWINDOW, 0, 0, 1040, 760, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    std::vector<std::pair<int32_t, int>> actions; // id and 0 press, +1 step up, -1 step down
    uia_root* root = nullptr;

    uia_fixture() {
        build_editor_state(*state);
        state->link_status = link_connected;
        ui.target = &canvas;
        root = create_uia_root(hwnd, {[this](int32_t id) {
                                          actions.push_back({id, 0});
                                      },
                                      [this](int32_t id, bool up) {
                                          actions.push_back({id, up ? 1 : -1});
                                      }});
        read();
    }
    ~uia_fixture() {
        release_uia_root(root);
        DestroyWindow(hwnd);
        destroy_editor_state(*state);
    }
    void read() {
        canvas.reset();
        handle_event(*state, ui, event_paint);
        read_accessible_tree(*state, ui, reading);
        update_uia_root(*root, reading, ui.status.view(), 96.0f);
    }
};

std::wstring name_of(IRawElementProviderSimple* e) {
    VARIANT v;
    EXPECT_EQ(e->GetPropertyValue(uia_name_property, &v), S_OK);
    std::wstring name = v.vt == VT_BSTR ? std::wstring(v.bstrVal) : L"";
    VariantClear(&v);
    return name;
}

int int_property(IRawElementProviderSimple* e, PROPERTYID property) {
    VARIANT v;
    e->GetPropertyValue(property, &v);
    return v.vt == VT_I4 ? v.lVal : -1;
}

struct walked {
    std::wstring name;
    int type = 0;
    bool invoke = false, toggle = false, select = false, range = false;
};

std::vector<walked> walk(uia_root* root) {
    std::vector<walked> seen;
    com_ptr<IRawElementProviderSimple> simple;
    simple.p = uia_root_provider(*root);
    com_ptr<IRawElementProviderFragment> fragment;
    EXPECT_EQ(simple->QueryInterface(__uuidof(IRawElementProviderFragment),
                                     reinterpret_cast<void**>(fragment.put())),
              S_OK);
    IRawElementProviderFragment* at = nullptr;
    fragment->Navigate(NavigateDirection_FirstChild, &at);
    while (at) {
        com_ptr<IRawElementProviderSimple> e;
        at->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(e.put()));
        walked w{name_of(e.p), int_property(e.p, uia_control_type_property)};
        bool* offered[] = {&w.invoke, &w.range, &w.select, &w.toggle};
        const PATTERNID patterns[] = {uia_invoke_pattern, uia_range_value_pattern,
                                      uia_selection_item_pattern, uia_toggle_pattern};
        for (int i = 0; i < 4; ++i) {
            IUnknown* pattern = nullptr;
            e->GetPatternProvider(patterns[i], &pattern);
            *offered[i] = pattern != nullptr;
            if (pattern) pattern->Release();
        }
        seen.push_back(w);
        IRawElementProviderFragment* next = nullptr;
        at->Navigate(NavigateDirection_NextSibling, &next);
        at->Release();
        at = next;
    }
    return seen;
}

// The element named `name`, through its pattern interface.
template <typename T> com_ptr<T> pattern_of(uia_root* root, std::wstring_view name) {
    com_ptr<T> out;
    com_ptr<IRawElementProviderSimple> simple;
    simple.p = uia_root_provider(*root);
    com_ptr<IRawElementProviderFragment> fragment;
    simple->QueryInterface(__uuidof(IRawElementProviderFragment),
                           reinterpret_cast<void**>(fragment.put()));
    IRawElementProviderFragment* at = nullptr;
    fragment->Navigate(NavigateDirection_FirstChild, &at);
    while (at && !out.p) {
        com_ptr<IRawElementProviderSimple> e;
        at->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(e.put()));
        if (name_of(e.p) == name)
            e->QueryInterface(__uuidof(T), reinterpret_cast<void**>(out.put()));
        IRawElementProviderFragment* next = nullptr;
        at->Navigate(NavigateDirection_NextSibling, &next);
        at->Release();
        at = next;
    }
    if (at) at->Release();
    return out;
}

TEST(UiAutomation, TheTreeHoldsTheShownControlsInReadingOrderWithTheirPatterns) {
    uia_fixture f;
    const std::vector<walked> seen = walk(f.root);
    std::vector<std::wstring> names;
    for (const accessible_control& c : f.reading)
        if (c.shown) names.emplace_back(c.access.name.view());
    ASSERT_EQ(seen.size(), names.size() + 1); // and the status
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(seen[i].name, names[i]);
    EXPECT_EQ(seen.back().type, uia_status_bar_type);
    EXPECT_EQ(seen.back().name, f.ui.status.view());

    struct row {
        std::wstring_view name;
        int type;
        bool invoke, toggle, select, range;
    };
    const row rows[] = {
        {L"STORE", uia_button_type, true, false, false, false},
        {L"PROGRAM CHANGE", uia_spinner_type, false, false, false, true},
        {L"MIDI CHANNEL", uia_spinner_type, false, false, false, true},
        {L"CHANNEL", uia_spinner_type, true, false, false, true},
        {L"IR BYPASS", uia_button_type, false, true, false, false},
        {L"IMPORT INTO SLOT 3", uia_button_type, true, false, false, false},
        {L"FACTORY CABINETS FOR SLOT 3", uia_button_type, false, true, false, false},
        {L"TOLEX COLOR", uia_spinner_type, false, false, false, true},
    };
    for (const row& r : rows) {
        bool found = false;
        for (const walked& w : seen) {
            if (w.name != r.name) continue;
            found = true;
            EXPECT_EQ(w.type, r.type) << std::string(r.name.begin(), r.name.end());
            EXPECT_EQ(w.invoke, r.invoke);
            EXPECT_EQ(w.toggle, r.toggle);
            EXPECT_EQ(w.select, r.select);
            EXPECT_EQ(w.range, r.range);
        }
        EXPECT_TRUE(found);
    }
    int radios = 0;
    for (const walked& w : seen)
        radios += w.type == uia_radio_button_type && w.select && w.name.starts_with(L"SLOT ");
    EXPECT_EQ(radios, slot_count);
}

TEST(UiAutomation, PatternsActThroughPressAndStepAndReadTheState) {
    uia_fixture f;
    com_ptr<IToggleProvider> bypass = pattern_of<IToggleProvider>(f.root, L"IR BYPASS");
    ASSERT_NE(bypass.p, nullptr);
    int state = -1;
    EXPECT_EQ(bypass->get_ToggleState(&state), S_OK);
    EXPECT_EQ(state, uia_toggle_off);
    EXPECT_EQ(bypass->Toggle(), S_OK);

    com_ptr<IRangeValueProvider> program =
        pattern_of<IRangeValueProvider>(f.root, L"PROGRAM CHANGE");
    ASSERT_NE(program.p, nullptr);
    double value = -1, top = -1;
    program->get_Value(&value);
    program->get_Maximum(&top);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(top, 127);
    EXPECT_EQ(program->SetValue(2), S_OK);
    EXPECT_EQ(program->SetValue(128), E_INVALIDARG);

    com_ptr<IRangeValueProvider> channel = pattern_of<IRangeValueProvider>(f.root, L"CHANNEL");
    BOOL read_only = FALSE;
    channel->get_IsReadOnly(&read_only);
    EXPECT_TRUE(read_only);
    EXPECT_NE(channel->SetValue(2), S_OK);

    std::wstring_view first_radio;
    for (const accessible_control& c : f.reading)
        if (c.id == id_slot_radio0) first_radio = c.access.name.view();
    com_ptr<ISelectionItemProvider> chosen =
        pattern_of<ISelectionItemProvider>(f.root, first_radio);
    ASSERT_NE(chosen.p, nullptr) << "the first slot radio";
    BOOL selected = FALSE;
    chosen->get_IsSelected(&selected);
    EXPECT_TRUE(selected);
    EXPECT_EQ(chosen->Select(), S_OK); // already chosen: nothing to press

    const std::vector<std::pair<int32_t, int>> expected = {
        {id_ir_bypass, 0}, {id_program_pill, 1}, {id_program_pill, 1}};
    EXPECT_EQ(f.actions, expected);
}

TEST(UiAutomation, StatusIsAPoliteLiveRegionAndAClosedPageHidesItsControls) {
    uia_fixture f;
    EXPECT_EQ(walk(f.root).size(), 28u); // 27 controls of the main page and the status
    f.state->ir_slot_choice = 1;
    f.read();
    const std::vector<walked> seen = walk(f.root);
    bool title = false, program = false;
    for (const walked& w : seen) {
        title = title || w.name == L"FACTORY CABINET";
        program = program || w.name == L"PROGRAM CHANGE";
    }
    EXPECT_TRUE(title);
    EXPECT_FALSE(program);
    // The status element is the last child.
    com_ptr<IRawElementProviderSimple> simple;
    simple.p = uia_root_provider(*f.root);
    com_ptr<IRawElementProviderFragment> fragment;
    simple->QueryInterface(__uuidof(IRawElementProviderFragment),
                           reinterpret_cast<void**>(fragment.put()));
    com_ptr<IRawElementProviderFragment> last;
    fragment->Navigate(NavigateDirection_LastChild, last.put());
    com_ptr<IRawElementProviderSimple> status;
    last->QueryInterface(__uuidof(IRawElementProviderSimple),
                         reinterpret_cast<void**>(status.put()));
    EXPECT_EQ(int_property(status.p, uia_live_setting_property), uia_live_polite);
}

TEST(UiAutomation, AfterTheWindowLetsGoNothingAnswersOrActs) {
    auto f = std::make_unique<uia_fixture>();
    com_ptr<IToggleProvider> bypass = pattern_of<IToggleProvider>(f->root, L"IR BYPASS");
    ASSERT_NE(bypass.p, nullptr);
    release_uia_root(f->root);
    f->root = nullptr;
    EXPECT_EQ(bypass->Toggle(), uia_element_not_available);
    com_ptr<IRawElementProviderSimple> e;
    bypass->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(e.put()));
    VARIANT v;
    EXPECT_EQ(e->GetPropertyValue(uia_name_property, &v), uia_element_not_available);
    EXPECT_TRUE(f->actions.empty());
}

} // namespace
} // namespace nimba
