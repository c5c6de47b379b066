// The device-link worker: the thread that owns the MIDI ports, finds the amplifier, runs the
// connect sequence and carries out the posted commands. run() is the thread body; start and
// stop are called from the GUI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/firmware_fetch.h"
#include "device/link.h"
#include "device/midi_ports.h"
#include "device/program_backup.h"

namespace nimba {

struct worker_services {
    midi_port_factory ports;
    firmware_fetch fetch; // empty: the connect sequence downloads nothing
    std::string firmware_url = nimba::firmware_url;
    // Commands 4..11 (cabinet import, factory send, export), filled in by the IR module.
    std::function<void(device_link&, int32_t command)> cabinet_command;
    // Told of the latest outcome after each cycle that posted one (the demo's report); may be
    // empty. Worker thread.
    std::function<void(const outcome&)> report_outcome;
    // Where the backup of all programs made before every firmware update goes. Empty: no
    // backup can be written, so no firmware is sent.
    std::wstring backup_folder;
    // BACKUP's and RESTORE's picker (pick_mode backup_save, backup_open); empty: no file can be
    // chosen, so neither does anything.
    path_picker pick_backup_path;
    // Told of each file BACKUP has written (the browser edition offers it as a download); may
    // be empty. Worker thread.
    std::function<void(const std::wstring&)> backup_written;
};

// What the worker keeps between cycles: its two port objects, which live as long as the
// worker, whether the firmware image was downloaded in this run or its refusal already shown
// (the download is tried again at every connect, its refusal told once), whether its update was
// given up for this run because the backup before it failed (and why), and the last outcome
// handed to report_outcome, when the last command was taken and the gap it asked for, and the
// backup a restore asks about until it is answered.
struct worker_locals {
    std::unique_ptr<midi_in_port> midi_in;
    std::unique_ptr<midi_out_port> midi_out;
    bool image_downloaded = false;
    bool download_refusal_posted = false;
    bool update_held = false;
    uint32_t outcome_reported = 0;
    std::optional<int64_t> last_command_ms;
    int32_t last_gap_after_ms = 0;
    std::optional<program_backup> restore_waiting;
};

// Start of the thread: makes the input port object, then the output port object, and points
// the link at them. When either cannot be made neither is kept, no amplifier is ever found and
// the outcome says the MIDI system cannot be opened.
void open_worker_ports(device_link& link, const worker_services& services, worker_locals& locals);

// One pass of the loop: the 5 ms sleep, discovery, arrival and departure, the link reset, one
// received message, the connect sequence and the oldest posted command. A code the worker does
// not know is taken and told as the outcome command_unknown.
void worker_cycle(device_link& link, const worker_services& services, worker_locals& locals);

// Sleeps `ms` through link.clock in short steps, giving up as soon as the stop request is seen.
// True when the whole pause passed.
bool pause_unless_stopped(device_link& link, int32_t ms);

// The thread body. link.state and link.repaint are set before it starts; link.clock may be
// left empty for the steady clock. An exception that escapes a cycle becomes the outcome
// worker_fault and the next cycle starts afresh.
void run(device_link& link, const worker_services& services);

// Clears the stop request and the finished flag, then starts run() on link.worker. Clearing
// here rather than on the new thread means a stop asked for at once is never lost.
void start_worker(device_link& link, worker_services services);

// Sets the stop request and waits up to timeout_ms for the worker to end. Returns true when
// it ended (joined); false when it is still busy (a picker open), in which case the thread is
// detached and the caller must leave the link and the state alive until the process ends.
bool stop_worker(device_link& link, int32_t timeout_ms);

} // namespace nimba
