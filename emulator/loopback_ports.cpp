// Loopback ports: RtMidi's port behaviour over an in-process bus that carries messages to the
// virtual amplifier and its replies back into the input queue.
#include "emulator/loopback_ports.h"

#include <algorithm>
#include <memory>
#include <random>

namespace nimba {

namespace {

// What a port lists: every name, minus the amplifier's while it is unplugged.
std::vector<std::string> visible(const loopback_bus& bus, const std::vector<std::string>& all) {
    std::vector<std::string> names;
    for (const auto& n : all)
        if (bus.plugged || n != bus.amp_port_name) names.push_back(n);
    return names;
}

struct loopback_port_state {
    loopback_bus& bus;
    bool is_input;
    bool opened = false;
    bool on_amp = false;
    int64_t generation = 0;
    midi_error_callback on_error;

    loopback_port_state(loopback_bus& b, bool input) : bus(b), is_input(input) {}
    const std::vector<std::string>& names() const {
        return is_input ? bus.input_names : bus.output_names;
    }
    bool connected_to_amp() const {
        return opened && on_amp && bus.plugged && generation == bus.plug_generation;
    }
    void report_error() {
        // Like RtMidi with a callback installed: the callback gets it, nothing is thrown.
        if (on_error) on_error();
    }
    unsigned count() {
        std::lock_guard guard(bus.lock);
        return static_cast<unsigned>(visible(bus, names()).size());
    }
    std::string name(unsigned index) {
        std::lock_guard guard(bus.lock);
        const auto list = visible(bus, names());
        return index < list.size() ? list[index] : std::string();
    }
    void open(unsigned index, const std::string&) {
        std::lock_guard guard(bus.lock);
        if (opened) return; // RtMidi warns and keeps the existing connection
        const auto list = visible(bus, names());
        if (bus.fail_open || index >= list.size()) {
            report_error();
            return;
        }
        opened = true;
        on_amp = list[index] == bus.amp_port_name;
        generation = bus.plug_generation;
        ++bus.port_opens;
    }
    bool is_open() const {
        std::lock_guard guard(bus.lock);
        return opened;
    }
    void close() {
        std::lock_guard guard(bus.lock);
        opened = false;
        on_amp = false;
    }
};

} // namespace

struct loopback_input final : forwarding_port<midi_in_port, loopback_port_state> {
    size_t capacity; // RtMidi's ring buffer holds one message less than its limit
    bool ignore_sysex = true, ignore_time = true, ignore_sense = true; // RtMidi's defaults
    std::deque<std::vector<uint8_t>> queue;

    loopback_input(loopback_bus& bus, unsigned queue_limit)
        : forwarding_port(bus, true), capacity(queue_limit > 0 ? queue_limit - 1 : 0) {
        std::lock_guard guard(bus.lock);
        bus.inputs.push_back(this);
    }
    ~loopback_input() override {
        std::lock_guard guard(port.bus.lock);
        std::erase(port.bus.inputs, this);
    }
    void ignoreTypes(bool sysex, bool time, bool sense) override {
        std::lock_guard guard(port.bus.lock);
        ignore_sysex = sysex, ignore_time = time, ignore_sense = sense;
    }
    void getMessage(std::vector<uint8_t>* message) override;

    // Arrival of one message from the amplifier's side.
    void arrive(const std::vector<uint8_t>& m) {
        if (!port.connected_to_amp() || m.empty()) return;
        const uint8_t status = m[0];
        if ((status == 0xF0 && ignore_sysex) ||
            ((status == 0xF1 || status == 0xF8) && ignore_time) || (status == 0xFE && ignore_sense))
            return;
        if (queue.size() >= capacity) {
            ++port.bus.queue_drops;
            return;
        }
        queue.push_back(m);
    }
};

namespace {

void deliver(loopback_bus& bus, const std::vector<uint8_t>& m) {
    for (loopback_input* in : bus.inputs) in->arrive(m);
}

bool due(const loopback_bus& bus, const loopback_bus::in_flight& f) {
    return f.due_poll <= bus.polls && (!bus.clock || f.due_ms <= bus.clock->now_ms());
}

void deliver_due(loopback_bus& bus) {
    while (!bus.pending.empty() && due(bus, bus.pending.front())) {
        deliver(bus, bus.pending.front().message);
        bus.pending.pop_front();
    }
}

// Replies go out now, or join the in-flight list when a delay is set (in order: a delayed
// reply also holds back those made after it).
void send_replies(loopback_bus& bus, amp_replies& replies) {
    const amp_faults& f = bus.amp.faults;
    const bool delayed = f.delay_polls > 0 || (f.delay_ms > 0 && bus.clock);
    for (auto& r : replies) {
        if (!delayed && bus.pending.empty()) {
            deliver(bus, r);
            continue;
        }
        bus.pending.push_back({std::move(r), bus.polls + f.delay_polls,
                               bus.clock ? bus.clock->now_ms() + f.delay_ms : 0});
    }
}

struct loopback_output final : forwarding_port<midi_out_port, loopback_port_state> {
    amp_replies replies;

    explicit loopback_output(loopback_bus& bus) : forwarding_port(bus, false) {}
    void sendMessage(const uint8_t* bytes, size_t size) override {
        loopback_bus& bus = port.bus;
        std::lock_guard guard(bus.lock);
        if (!port.opened) return;
        if (port.on_amp && !port.connected_to_amp()) {
            port.report_error(); // the device behind the connection is gone
            return;
        }
        if (!port.on_amp) return;
        replies.clear();
        amp_receive(bus.amp, std::span(bytes, size), replies);
        send_replies(bus, replies);
    }
};

} // namespace

void loopback_input::getMessage(std::vector<uint8_t>* message) {
    loopback_bus& bus = port.bus;
    std::lock_guard guard(bus.lock);
    ++bus.polls;
    deliver_due(bus);
    message->clear();
    if (queue.empty()) return;
    message->swap(queue.front());
    queue.pop_front();
}

midi_port_factory loopback_port_factory(loopback_bus& bus) {
    midi_port_factory factory;
    factory.make_input = [&bus](const std::string&, unsigned queue_limit) {
        return std::unique_ptr<midi_in_port>(std::make_unique<loopback_input>(bus, queue_limit));
    };
    factory.make_output = [&bus](const std::string&) {
        return std::unique_ptr<midi_out_port>(std::make_unique<loopback_output>(bus));
    };
    return factory;
}

void set_plugged(loopback_bus& bus, bool plugged) {
    std::lock_guard guard(bus.lock);
    if (bus.plugged && !plugged) {
        ++bus.plug_generation;
        bus.pending.clear();
    }
    bus.plugged = plugged;
}

void add_ports_before_amp(loopback_bus& bus, int count) {
    std::lock_guard guard(bus.lock);
    for (auto* list : {&bus.input_names, &bus.output_names}) {
        const auto at = std::find(list->begin(), list->end(), bus.amp_port_name) - list->begin();
        for (int i = 0; i < count; ++i)
            list->insert(list->begin() + at + i, "Other MIDI " + std::to_string(i));
    }
}

void inject_message(loopback_bus& bus, const std::vector<uint8_t>& message) {
    std::lock_guard guard(bus.lock);
    deliver(bus, message);
}

void inject_garbage(loopback_bus& bus, int count, uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 90), code(0, 12);
    std::lock_guard guard(bus.lock);
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> m;
        if (i % 2) m = {sysex_start, sysex_zero, static_cast<uint8_t>(code(random))};
        const int n = length(random);
        for (int k = 0; k < n; ++k) m.push_back(static_cast<uint8_t>(byte(random)));
        deliver(bus, m);
    }
}

void front_panel_program_change(loopback_bus& bus, int32_t n) {
    std::lock_guard guard(bus.lock);
    amp_replies replies;
    amp_program_changed(bus.amp, n, replies);
    send_replies(bus, replies);
}

} // namespace nimba
