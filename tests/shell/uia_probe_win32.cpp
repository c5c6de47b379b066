// Walks the running editor's UI Automation tree from another process through
// uiautomationcore.dll's client functions, as far as the system's UI Automation goes: the
// window's node and its name, then each child with its name, control type and the patterns it
// offers. Prints one line per element ("element <name> type <id> patterns <ids>"), or the step
// the system could not take. Exit 0 when the window was found and answered.
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <string>

namespace {

using node = void*;
struct condition {
    int type; // 0: true
};
struct cache_request {
    condition* view;
    int scope; // 1: the element
    int* properties;
    int property_count;
    int* patterns;
    int pattern_count;
    int mode; // 1: full
};

using node_from_handle_fn = HRESULT(WINAPI*)(HWND, node*);
using get_property_fn = HRESULT(WINAPI*)(node, int, VARIANT*);
using navigate_fn = HRESULT(WINAPI*)(node, int, condition*, cache_request*, SAFEARRAY**, BSTR*);
using get_pattern_fn = HRESULT(WINAPI*)(node, int, void**);
using node_release_fn = BOOL(WINAPI*)(node);
using pattern_release_fn = BOOL(WINAPI*)(void*);

template <typename F> F find(HMODULE dll, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

std::string narrow(const wchar_t* text) {
    std::string out;
    for (; text && *text; ++text) out += *text < 128 ? static_cast<char>(*text) : '?';
    return out;
}

enum : int { name_property = 30005, type_property = 30003 };
constexpr int patterns[] = {10000, 10003, 10010, 10015}; // invoke, range, selection item, toggle

struct walk_context {
    node root;
    navigate_fn navigate;
    get_pattern_fn pattern;
    node_release_fn release;
    pattern_release_fn pattern_release;
};

// Each child of the window's node in turn: name, control type and the patterns offered.
DWORD WINAPI walk_children(void* argument) {
    const walk_context& c = *static_cast<walk_context*>(argument);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const auto navigate = c.navigate;
    const auto pattern = c.pattern;
    const auto release = c.release;
    const auto pattern_release = c.pattern_release;
    const node root = c.root;
    HRESULT hr = S_OK;
    if (!navigate) {
        std::printf("UiaNavigate: missing\n");
        return 0;
    }
    condition all{0};
    int properties[] = {name_property, type_property};
    cache_request request{&all, 1, properties, 2, nullptr, 0, 1};
    node at = root;
    for (int direction = 3 /* first child */, n = 0; n < 64; direction = 1 /* next */, ++n) {
        SAFEARRAY* data = nullptr;
        BSTR tree = nullptr;
        hr = navigate(at, direction, &all, &request, &data, &tree);
        if (tree) SysFreeString(tree);
        if (FAILED(hr)) {
            std::printf("UiaNavigate failed: 0x%08lx\n", static_cast<unsigned long>(hr));
            break;
        }
        if (!data) break;
        // Row 0: the node, then the requested properties.
        VARIANT cell[3];
        for (LONG column = 0; column < 3; ++column) {
            LONG at_index[2] = {0, column};
            VariantInit(&cell[column]);
            if (FAILED(SafeArrayGetElement(data, at_index, &cell[column]))) {
                LONG swapped[2] = {column, 0};
                SafeArrayGetElement(data, swapped, &cell[column]);
            }
        }
        node next = nullptr;
        if (cell[0].vt == VT_UNKNOWN) next = cell[0].punkVal, cell[0].punkVal->AddRef();
        std::printf("element %s type %ld patterns",
                    cell[1].vt == VT_BSTR ? narrow(cell[1].bstrVal).c_str() : "(no name)",
                    cell[2].vt == VT_I4 ? static_cast<long>(cell[2].lVal) : -1L);
        for (int id : patterns) {
            void* provider = nullptr;
            if (pattern && next && SUCCEEDED(pattern(next, id, &provider)) && provider) {
                std::printf(" %d", id);
                if (pattern_release) pattern_release(provider);
            }
        }
        std::printf("\n");
        for (VARIANT& c : cell) VariantClear(&c);
        SafeArrayDestroy(data);
        if (at != root && release) release(at);
        at = next;
        if (!at) break;
    }
    return 0;
}

} // namespace

int main() {
    HWND window = FindWindowW(nullptr, L"Corvane Editor");
    if (!window) {
        std::printf("no editor window\n");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    HMODULE dll = LoadLibraryW(L"uiautomationcore.dll");
    const auto from_handle = find<node_from_handle_fn>(dll, "UiaNodeFromHandle");
    const auto property = find<get_property_fn>(dll, "UiaGetPropertyValue");
    const auto navigate = find<navigate_fn>(dll, "UiaNavigate");
    const auto pattern = find<get_pattern_fn>(dll, "UiaGetPatternProvider");
    const auto release = find<node_release_fn>(dll, "UiaNodeRelease");
    const auto pattern_release = find<pattern_release_fn>(dll, "UiaPatternRelease");
    if (!from_handle || !property) {
        std::printf("no UI Automation client functions\n");
        return 1;
    }
    node root = nullptr;
    HRESULT hr = from_handle(window, &root);
    if (FAILED(hr) || !root) {
        std::printf("UiaNodeFromHandle failed: 0x%08lx\n", static_cast<unsigned long>(hr));
        return 1;
    }
    VARIANT v;
    VariantInit(&v);
    property(root, name_property, &v);
    std::printf("window %s\n", v.vt == VT_BSTR ? narrow(v.bstrVal).c_str() : "(no name)");
    VariantClear(&v);
    // The walk runs on a thread of its own: a system whose UI Automation cannot reach the
    // provider across processes may never answer, and the probe says so instead of hanging.
    walk_context context{root, navigate, pattern, release, pattern_release};
    HANDLE walker = CreateThread(nullptr, 0, walk_children, &context, 0, nullptr);
    if (!walker || WaitForSingleObject(walker, 15000) != WAIT_OBJECT_0) {
        std::printf("UiaNavigate: no answer within 15 s\n");
        ExitProcess(0);
    }
    if (release) release(root);
    return 0;
}
