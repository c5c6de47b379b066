// Web MIDI ports: the names and the received messages kept under one lock, filled by the main
// thread's midi_web.js through the exported nimba_midi_* functions.
#include "app/web/midi_ports_web.h"

#include <emscripten.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace nimba {

namespace {

enum port_direction : int { direction_input = 0, direction_output = 1 };

struct web_midi_shared {
    std::mutex lock;
    std::array<std::vector<std::string>, 2> names; // the connected ports, input and output
    std::deque<std::vector<uint8_t>> received;
    unsigned queue_limit = 100;
    std::string refusal;
    bool send_failed = false; // the browser refused a message handed to the open output
};
web_midi_shared shared;

std::vector<std::string> lines_of(const char* joined) {
    std::vector<std::string> lines;
    std::string line;
    for (const char* p = joined; *p; ++p) {
        if (*p == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(*p);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// One direction's port: the index and name it was opened on. It counts as open while a port
// of that name is still at that index; a port gone away closes it.
struct web_port_state {
    int direction = direction_input;
    int open_index = -1;
    std::string open_name;
    midi_error_callback on_error;

    explicit web_port_state(int d) : direction(d) {}
    unsigned count() {
        const std::lock_guard hold(shared.lock);
        return static_cast<unsigned>(shared.names[direction].size());
    }
    std::string name(unsigned index) {
        const std::lock_guard hold(shared.lock);
        const auto& names = shared.names[direction];
        return index < names.size() ? names[index] : std::string();
    }
    void open(unsigned index, const std::string&) {
        open_name = name(index);
        open_index = static_cast<int>(index);
        if (direction == direction_output) {
            const std::lock_guard hold(shared.lock);
            shared.send_failed = false;
        }
        const int opened = MAIN_THREAD_EM_ASM_INT({ return Module.nimbaMidi.open($0, $1) ? 1 : 0; },
                                                  direction, open_index);
        if (!opened) {
            open_index = -1;
            if (on_error) on_error();
        }
    }
    void close() {
        if (open_index < 0) return;
        open_index = -1;
        MAIN_THREAD_EM_ASM({ Module.nimbaMidi.close($0); }, direction);
        if (direction == direction_input) {
            const std::lock_guard hold(shared.lock);
            shared.received.clear();
        }
    }
    // An output the browser refused a message on counts as closed until it is opened again.
    bool is_open() const {
        if (open_index < 0) return false;
        const std::lock_guard hold(shared.lock);
        if (direction == direction_output && shared.send_failed) return false;
        const auto& names = shared.names[direction];
        return static_cast<size_t>(open_index) < names.size() && names[open_index] == open_name;
    }
};

struct web_midi_in final : forwarding_port<midi_in_port, web_port_state> {
    web_midi_in() : forwarding_port(direction_input) {}
    // midi_web.js passes neither timing clock nor active sensing on, as RtMidi does when told to
    // ignore them; System Exclusive always arrives.
    void ignoreTypes(bool, bool, bool) override {}
    void getMessage(std::vector<uint8_t>* message) override {
        message->clear();
        const std::lock_guard hold(shared.lock);
        if (shared.received.empty()) return;
        *message = std::move(shared.received.front());
        shared.received.pop_front();
    }
};

// A message is handed to the main thread without waiting for it: the link's pace then does not
// depend on how soon the main thread gets to it (midi_web.js keeps the messages apart). The
// bytes go as a copy, which the main thread frees.
struct web_midi_out final : forwarding_port<midi_out_port, web_port_state> {
    web_midi_out() : forwarding_port(direction_output) {}
    void sendMessage(const uint8_t* bytes, size_t size) override {
        if (!port.is_open() || size == 0) return;
        auto* copy = static_cast<uint8_t*>(std::malloc(size));
        if (!copy) {
            if (port.on_error) port.on_error();
            return;
        }
        std::memcpy(copy, bytes, size);
        MAIN_THREAD_ASYNC_EM_ASM(
            {
                const sent = Module.nimbaMidi.send(HEAPU8.slice($0, $0 + $1));
                Module._free($0);
                if (!sent) Module._nimba_midi_send_failed();
            },
            copy, size);
    }
};

} // namespace

void set_web_midi_refusal(std::string reason) {
    const std::lock_guard hold(shared.lock);
    shared.refusal = std::move(reason);
}

midi_port_factory web_midi_port_factory() {
    midi_port_factory factory;
    factory.make_input = [](const std::string&, unsigned queue_limit) {
        const std::lock_guard hold(shared.lock);
        if (!shared.refusal.empty()) throw midi_system_refusal{shared.refusal};
        shared.queue_limit = queue_limit;
        return std::unique_ptr<midi_in_port>(std::make_unique<web_midi_in>());
    };
    factory.make_output = [](const std::string&) {
        return std::unique_ptr<midi_out_port>(std::make_unique<web_midi_out>());
    };
    return factory;
}

} // namespace nimba

// Main thread, from midi_web.js: the connected ports of one direction, names joined by '\n'.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_midi_ports(int direction, const char* joined) {
    using namespace nimba;
    if (direction != direction_input && direction != direction_output) return;
    auto names = lines_of(joined);
    const std::lock_guard hold(shared.lock);
    shared.names[direction] = std::move(names);
}

// Main thread, from midi_web.js: one message from the open input. Dropped when the queue is
// full, as RtMidi drops what overflows its queue.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_midi_received(const uint8_t* bytes, int size) {
    using namespace nimba;
    if (size <= 0) return;
    const std::lock_guard hold(shared.lock);
    if (shared.received.size() >= shared.queue_limit) return;
    shared.received.emplace_back(bytes, bytes + size);
}

// Main thread: the browser refused a message handed to the open output (the port went away, or
// SysEx is not allowed).
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_midi_send_failed() {
    using namespace nimba;
    const std::lock_guard hold(shared.lock);
    shared.send_failed = true;
}
