// RtMidi ports: the choice of API, an error trampoline installed from the start, and every
// call guarded so that nothing RtMidi throws crosses the seam.
#include "device/midi_ports_rtmidi.h"

#include <RtMidi.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

#if defined(__UNIX_JACK__)
#include <jack/jack.h>
#endif

namespace nimba {

namespace {

#if defined(__UNIX_JACK__)
void ignore_jack_text(const char*) {}

// Whether a JACK server answers. libjack's own messages are silenced: a missing server is an
// ordinary state here, checked again later.
bool jack_server_running() {
    static std::once_flag quiet;
    std::call_once(quiet, [] {
        jack_set_error_function(ignore_jack_text);
        jack_set_info_function(ignore_jack_text);
    });
    jack_status_t status{};
    jack_client_t* probe = jack_client_open("nimba probe", JackNoStartServer, &status);
    if (!probe) return false;
    jack_client_close(probe);
    return true;
}
#endif

// One RtMidi object and the error routing. Natively the ALSA API is taken when its sequencer
// opens, else JACK; a JACK object is made only while a server runs (RtMidi's JACK ports leak
// a buffer on every call made without one), so without a server the port lists nothing and
// looks for one again at most once a second.
template <class Midi> struct rtmidi_holder {
    std::function<std::unique_ptr<Midi>(RtMidi::Api)> make;
    std::unique_ptr<Midi> midi;
    bool waiting_for_jack = false;
    std::chrono::steady_clock::time_point next_look{};
    midi_error_callback on_error;
    int64_t errors = 0;

    explicit rtmidi_holder(std::function<std::unique_ptr<Midi>(RtMidi::Api)> maker)
        : make(std::move(maker)) {
#if defined(__LINUX_ALSA__)
        if (adopt(RtMidi::LINUX_ALSA)) return;
#endif
#if defined(__UNIX_JACK__)
        waiting_for_jack = true;
        look_for_jack();
#else
        adopt(RtMidi::UNSPECIFIED);
#endif
    }
    bool adopt(RtMidi::Api api) {
        try {
            midi = make(api);
        } catch (const RtMidiError&) {
            midi.reset();
        }
        if (midi) midi->setErrorCallback(&rtmidi_holder::trampoline, this);
        return midi != nullptr;
    }
    void look_for_jack() {
#if defined(__UNIX_JACK__)
        const auto now = std::chrono::steady_clock::now();
        if (midi || now < next_look) return;
        next_look = now + std::chrono::seconds(1);
        if (jack_server_running()) adopt(RtMidi::UNIX_JACK);
#endif
    }
    static void trampoline(RtMidiError::Type, const std::string&, void* self) {
        static_cast<rtmidi_holder*>(self)->report();
    }
    void report() {
        ++errors;
        if (on_error) on_error();
    }
    // Runs one RtMidi call; a throw (only possible where RtMidi bypasses its callback) is
    // reported like any other error.
    template <class F, class R = std::invoke_result_t<F, Midi&>>
    R guarded(F&& f, R fallback = R()) {
        if (waiting_for_jack) look_for_jack();
        if (!midi) return fallback;
        try {
            return f(*midi);
        } catch (const std::exception&) {
            report();
        }
        return fallback;
    }
    template <class F> void guarded_void(F&& f) {
        guarded([&](Midi& m) {
            f(m);
            return true;
        });
    }
    unsigned count() {
        return guarded([](Midi& m) { return m.getPortCount(); });
    }
    std::string name(unsigned i) {
        return guarded([i](Midi& m) { return m.getPortName(i); });
    }
    // RtMidi's JACK ports count as open even when the port to connect to was not found; an
    // open that reported an error is undone, so that an open port always has a connection.
    void open(unsigned i, const std::string& n) {
        const int64_t before = errors;
        guarded_void([&](Midi& m) { m.openPort(i, n); });
        if (errors != before && is_open()) close();
    }
    void close() {
        guarded_void([](Midi& m) { m.closePort(); });
    }
    bool is_open() const {
        return midi && midi->isPortOpen();
    }
    bool open_virtual(const std::string& n) {
        bool failed = false;
        midi_error_callback saved = std::exchange(on_error, [&failed] { failed = true; });
        guarded_void([&](Midi& m) { m.openVirtualPort(n); });
        on_error = std::move(saved);
        return midi && !failed;
    }
    std::string api() const {
        if (!midi) return waiting_for_jack ? "jack, no server" : "none";
        return RtMidi::getApiName(midi->getCurrentApi());
    }
};

struct rtmidi_input final : forwarding_port<midi_in_port, rtmidi_holder<RtMidiIn>> {
    rtmidi_input(const std::string& client, unsigned queue_limit)
        : forwarding_port([client, queue_limit](RtMidi::Api api) {
              return std::make_unique<RtMidiIn>(api, client, queue_limit);
          }) {}
    void ignoreTypes(bool sysex, bool time, bool sense) override {
        port.guarded_void([&](RtMidiIn& m) { m.ignoreTypes(sysex, time, sense); });
    }
    void getMessage(std::vector<uint8_t>* message) override {
        message->clear();
        port.guarded_void([&](RtMidiIn& m) { m.getMessage(message); });
    }
};

struct rtmidi_output final : forwarding_port<midi_out_port, rtmidi_holder<RtMidiOut>> {
    explicit rtmidi_output(const std::string& client)
        : forwarding_port(
              [client](RtMidi::Api api) { return std::make_unique<RtMidiOut>(api, client); }) {}
    void sendMessage(const uint8_t* bytes, size_t size) override {
        port.guarded_void([&](RtMidiOut& m) { m.sendMessage(bytes, size); });
    }
};

} // namespace

std::unique_ptr<midi_in_port> make_rtmidi_input(const std::string& client, unsigned queue_limit) {
    return std::make_unique<rtmidi_input>(client, queue_limit);
}

std::unique_ptr<midi_out_port> make_rtmidi_output(const std::string& client) {
    return std::make_unique<rtmidi_output>(client);
}

midi_port_factory rtmidi_port_factory() {
    return {make_rtmidi_input, make_rtmidi_output};
}

bool open_virtual_port(midi_port& port, const std::string& name) {
    if (auto* in = dynamic_cast<rtmidi_input*>(&port)) return in->port.open_virtual(name);
    if (auto* out = dynamic_cast<rtmidi_output*>(&port)) return out->port.open_virtual(name);
    return false;
}

std::string rtmidi_api_name(const midi_port& port) {
    if (auto* in = dynamic_cast<const rtmidi_input*>(&port)) return in->port.api();
    if (auto* out = dynamic_cast<const rtmidi_output*>(&port)) return out->port.api();
    return "none";
}

} // namespace nimba
