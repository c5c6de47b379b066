// Walking the amplifier's programs over the device link, and the backup files it keeps.
#include "device/librarian.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <span>

#include "core/file_access.h"
#include "device/protocol.h"
#include "device/worker.h"

namespace nimba {

namespace {

// A backup is about 20 KB; anything much larger is not one.
constexpr uint64_t backup_file_limit = uint64_t{1} << 20;

void show_walk(device_link& link, int32_t done, int32_t total) {
    link.state->progress = progress_programs + (total > 0 ? done * 100 / total : 100);
    request_repaint(link);
}

// The parameter block for program n with the file's values and the amplifier-wide values
// `globals`, then the store request, as the editor stores a program the user turned to; then n
// read back. From the block sent until the read back, n is the report's unconfirmed program.
walk_result write_program(device_link& link, const program_backup& file,
                          const amplifier_values& globals, int32_t n, restore_report& report) {
    editor_state& state = *link.state;
    const program_values& p = file.programs[n];
    set_program_values(state, n, p);
    set_amplifier_values(state, globals);
    state.program = n;
    if (!send_parameter_block(link, n)) return {walk_status::port_closed, n};
    report.unconfirmed = n;
    if (!pause_unless_stopped(link, link_poll_step_ms)) return {walk_status::stopped, n};
    if (!send_store(link)) return {walk_status::port_closed, n};
    if (!pause_unless_stopped(link, link_poll_step_ms)) return {walk_status::stopped, n};
    const walk_result read = read_program_number(link, n);
    if (read.status != walk_status::done) return read;
    const program_backup now = backup_of_state(state, {});
    if (now.programs[n] != p || now.globals != globals) return {walk_status::mismatch, n};
    report.unconfirmed = -1;
    return read;
}

std::string program_list(const std::vector<int32_t>& programs) {
    std::string text = programs.size() == 1 ? "program" : "programs";
    for (int32_t n : programs) text += " " + std::to_string(n);
    return text;
}

std::filesystem::path fs_path(const std::wstring& path) {
    const std::string utf8 = utf8_from_wide(path);
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// "programs-2026-12-09-014834-firmware-1.5.0.json" for a backup saved 2026-12-09T01:48:34Z.
std::string backup_file_name(const program_backup& backup) {
    const std::string& t = backup.saved;
    std::string name = "programs-";
    name += t.substr(0, 10) + "-" + t.substr(11, 2) + t.substr(14, 2) + t.substr(17, 2);
    name += "-firmware-" + firmware_version_text(backup.firmware);
    name += ".json";
    return name;
}

// The whole name as backup_file_name makes it; a user's own "programs-2025-gig-night.json"
// is not one.
bool is_backup_file_name(const std::string& name) {
    static const std::regex made_here(
        R"(programs-\d{4}-\d{2}-\d{2}-\d{6}-firmware-\d{1,3}\.\d{1,3}\.0\.json)");
    return std::regex_match(name, made_here);
}

// Deletes the oldest of the editor's own backups, by each file's modification time, so that
// kept_backups remain with `newest`, which is never deleted: after a clock was set back the
// newest file has the earliest name and time. Links are not followed and never deleted.
void prune_backups(const std::filesystem::path& folder, const std::filesystem::path& newest) {
    struct found_file {
        std::filesystem::file_time_type time;
        std::filesystem::path path;
    };
    std::vector<found_file> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::u8string name = entry.path().filename().u8string();
        if (entry.path().filename() == newest.filename() ||
            !is_backup_file_name(std::string(name.begin(), name.end())) ||
            !entry.is_regular_file(error) || entry.is_symlink(error))
            continue;
        const auto time = entry.last_write_time(error);
        if (!error) found.push_back({time, entry.path()});
    }
    if (found.size() < kept_backups) return;
    std::sort(found.begin(), found.end(), [](const found_file& a, const found_file& b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    for (size_t i = 0; i + kept_backups - 1 < found.size(); ++i)
        std::filesystem::remove(found[i].path, error);
}

} // namespace

outcome walk_outcome(std::string_view what, const walk_result& r) {
    const std::string program = std::to_string(r.program);
    switch (r.status) {
    case walk_status::done:
    case walk_status::stopped:
        break;
    case walk_status::no_answer:
        return make_outcome(outcome_code::program_unanswered,
                            {what, program, std::to_string(program_request_retries + 1)});
    case walk_status::mismatch:
        return make_outcome(outcome_code::program_read_back_differs, {what, program});
    case walk_status::port_closed:
        return make_outcome(outcome_code::program_port_closed,
                            {what, reason_text(reason::port_closed)});
    }
    return {};
}

walk_result read_program_number(device_link& link, int32_t n) {
    int32_t repeats = 0;
    for (int32_t attempt = 0; attempt <= program_request_retries;) {
        if (!send_program_request(link, n)) return {walk_status::port_closed, n};
        switch (wait_for_program_reply(link, n)) {
        case program_wait::reply:
            return {walk_status::done, n};
        case program_wait::stopped:
            return {walk_status::stopped, n};
        case program_wait::other_program:
            if (++repeats <= other_program_repeats) break;
            ++attempt;
            break;
        case program_wait::timeout:
            ++attempt;
            break;
        }
    }
    return {walk_status::no_answer, n};
}

walk_result read_all_programs(device_link& link) {
    for (int32_t n = 0; n < program_count; ++n) {
        show_walk(link, n, program_count);
        const walk_result r = read_program_number(link, n);
        if (r.status != walk_status::done) return r;
    }
    show_walk(link, program_count, program_count);
    return {};
}

walk_result return_to_current_program(device_link& link) {
    const walk_result r = read_program_number(link, link.state->program);
    link.state->progress = progress_idle;
    request_repaint(link);
    return r;
}

walk_result and_return_to_current_program(device_link& link, const walk_result& walk) {
    const walk_result back = return_to_current_program(link);
    return walk.status == walk_status::done ? back : walk;
}

walk_result restore_programs(device_link& link, const program_backup& file,
                             const restore_choice& choice, restore_report& report) {
    editor_state& state = *link.state;
    std::vector<int32_t> chosen = choice.programs;
    if (chosen.empty())
        for (int32_t n = 0; n < program_count; ++n) chosen.push_back(n);
    const program_backup amp = backup_of_state(state, {});
    const amplifier_values& globals = choice.amp_values ? file.globals : amp.globals;
    std::vector<int32_t> differing;
    for (int32_t n : chosen)
        if (file.programs[n] != amp.programs[n]) differing.push_back(n);
    std::vector<std::string> amp_values;
    for (const backup_difference& d : backup_differences(file, amp))
        if (choice.amp_values && d.program < 0) amp_values.push_back(d.field);
    if (differing.empty() && !amp_values.empty()) differing.push_back(chosen.front());

    const int32_t current = state.program;
    walk_result result;
    for (size_t i = 0; i < differing.size(); ++i) {
        const int32_t n = differing[i];
        show_walk(link, static_cast<int32_t>(i), static_cast<int32_t>(differing.size()));
        if (link.stop_requested) {
            result = {walk_status::stopped, n};
            break;
        }
        result = write_program(link, file, globals, n, report);
        if (result.status != walk_status::done) break;
        if (file.programs[n] != amp.programs[n]) report.stored.push_back(n);
        if (i == 0) report.amp_values = amp_values;
    }
    state.program = current;
    return result;
}

std::string restore_report_text(const restore_report& report) {
    std::string text = report.stored.empty() ? "" : program_list(report.stored);
    if (!report.amp_values.empty()) {
        text += text.empty() ? "the amplifier-wide values" : " and the amplifier-wide values";
        for (size_t i = 0; i < report.amp_values.size(); ++i)
            text += (i == 0 ? " " : ", ") + report.amp_values[i];
    }
    if (text.empty()) text = "nothing";
    if (report.unconfirmed >= 0)
        text += "; program " + std::to_string(report.unconfirmed) + " sent, not read back";
    return text;
}

std::string utc_time_text() {
    using namespace std::chrono;
    const auto now = floor<seconds>(system_clock::now());
    const auto day = floor<days>(now);
    const year_month_day date{day};
    const hh_mm_ss time{now - day};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), int(time.hours().count()),
                  int(time.minutes().count()), int(time.seconds().count()));
    return text;
}

std::optional<std::string> write_backup_file(const std::wstring& path,
                                             const program_backup& backup) {
    if (auto fault = backup_range_fault(backup))
        return "the amplifier reported a value a backup cannot hold: " + *fault;
    const std::string text = backup_json(backup);
    const std::string error = write_file_safely(
        path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    if (error.empty()) return std::nullopt;
    return error;
}

backup_load read_backup_file(const std::wstring& path) {
    const file_read file = read_regular_file(path, backup_file_limit);
    if (!file.error.empty()) return {std::nullopt, "file: " + file.error};
    return backup_from_json(
        std::string_view(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size()));
}

namespace {

// The folder made when missing, and the path of `backup` in it.
folder_backup backup_path_in(const std::wstring& folder, const program_backup& backup) {
    folder_backup result;
    if (folder.empty()) {
        result.error = "no folder for backups";
        return result;
    }
    std::error_code error;
    std::filesystem::create_directories(fs_path(folder), error);
    if (error) {
        result.error = "the backup folder cannot be made";
        return result;
    }
    const bool separated = folder.ends_with(L'/') || folder.ends_with(L'\\');
    result.path = folder;
    if (!separated) result.path += static_cast<wchar_t>(std::filesystem::path::preferred_separator);
    result.path += wide_from_utf8(backup_file_name(backup));
    return result;
}

} // namespace

std::string backup_folder_fault(const std::wstring& folder) {
    program_backup probe;
    probe.saved = utc_time_text();
    const folder_backup place = backup_path_in(folder, probe);
    if (!place.error.empty()) return place.error;
    return check_write_destination(place.path);
}

folder_backup write_backup_into_folder(const std::wstring& folder, const program_backup& backup) {
    folder_backup result = backup_path_in(folder, backup);
    if (!result.error.empty()) return result;
    if (auto fault = write_backup_file(result.path, backup)) {
        result.error = *fault;
        result.path.clear();
        return result;
    }
    prune_backups(fs_path(folder), fs_path(result.path));
    return result;
}

} // namespace nimba
