// Where the browser edition's pictures' PNG bytes live: the program embeds none; its page
// fetches each picture's file (pictures/<name>.png beside the page, in parallel with the wasm's
// compile) and writes its bytes into the room nimba_picture_room makes, before main runs. The
// page hands them in on the main thread before the editor starts; any thread reads them after.
#include <emscripten.h>

#include <cstring>
#include <iterator>
#include <vector>

#include "core/assets/pictures.h"

namespace nimba {

namespace {

std::vector<unsigned char> handed_in[static_cast<size_t>(picture::count)];

bool in_range(picture p) {
    return static_cast<size_t>(p) < std::size(handed_in);
}

} // namespace

blob picture_png(picture p) {
    if (!in_range(p)) return {};
    const std::vector<unsigned char>& bytes = handed_in[static_cast<size_t>(p)];
    if (bytes.empty()) return {};
    return {bytes.data(), bytes.size()};
}

// The page's bytes stay where they are: a picture decoded later reads them, and a wasm memory
// never shrinks, so freeing them would give nothing back to the system.
void release_picture_pngs() {}

} // namespace nimba

// Room for the `size` PNG bytes of the picture called `name` (its file's name without ".png"),
// which the page then writes there; any bytes handed in for it before are dropped. 0 for a name
// no picture has or a size of 0 or less, and the page says so instead of starting.
extern "C" EMSCRIPTEN_KEEPALIVE unsigned char* nimba_picture_room(const char* name, int size) {
    if (name == nullptr || size <= 0) return nullptr;
    for (size_t i = 0; i < std::size(nimba::handed_in); ++i) {
        if (std::strcmp(nimba::picture_name(static_cast<nimba::picture>(i)), name) != 0) continue;
        nimba::handed_in[i].assign(static_cast<size_t>(size), 0);
        return nimba::handed_in[i].data();
    }
    return nullptr;
}
