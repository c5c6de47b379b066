// The backup file's JSON, written and read with nlohmann::json. Loading checks shapes here and
// ranges in backup_range_fault, the one place that knows what each value may hold.
#include "device/program_backup.h"

#include <nlohmann/json.hpp>

#include <charconv>

#include "core/file_access.h"

namespace nimba {

namespace {

using json = nlohmann::json;

constexpr size_t slot_name_limit = 64; // the name field of a cabinet transfer

struct range {
    int32_t low, high;
};
constexpr range midi_channel_range{0, 16}; // 0 omni, 1..16
constexpr range tolex_colour_range{0, 5};
constexpr range data_byte_range{0, 127};
constexpr range ir_slot_range{0, slot_count - 1};
constexpr range channel_range{0, 2};
constexpr range channel_mode_range{0, 2};
constexpr range ir_bypass_range{0, 1};

std::optional<std::string> outside(const std::string& field, int32_t value, range r) {
    if (value >= r.low && value <= r.high) return std::nullopt;
    return field + ": " + std::to_string(value) + " is outside " + std::to_string(r.low) + ".." +
           std::to_string(r.high);
}

template <size_t N>
std::optional<std::string> outside(const std::string& field, const std::array<int32_t, N>& values,
                                   range r) {
    for (size_t i = 0; i < N; ++i)
        if (auto fault = outside(field + "[" + std::to_string(i) + "]", values[i], r)) return fault;
    return std::nullopt;
}

// "1.5.0": three numbers of 0..255; the third is not kept, the amplifier reports two.
std::optional<uint16_t> firmware_version_of(std::string_view text) {
    int32_t parts[3] = {};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && (at == end || *at++ != '.')) return std::nullopt;
        const auto [next, error] = std::from_chars(at, end, parts[i]);
        if (error != std::errc{} || next == at || parts[i] < 0 || parts[i] > 255)
            return std::nullopt;
        at = next;
    }
    if (at != end) return std::nullopt;
    return static_cast<uint16_t>(parts[0] << 8 | parts[1]);
}

// YYYY-MM-DDTHH:MM:SSZ, the form backups are written with.
bool is_utc_time(std::string_view text) {
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return false;
    }
    return true;
}

// Reading one JSON object's fields; the first fault is kept and ends the load.
struct reader {
    std::string error;

    bool fail(const std::string& field, std::string_view reason) {
        if (error.empty()) error = field + ": " + std::string(reason);
        return false;
    }
    const json* member(const json& object, const std::string& key, const std::string& field) {
        const auto found = object.find(key);
        if (found == object.end()) {
            fail(field, "missing");
            return nullptr;
        }
        return &*found;
    }
    bool whole(const json& value, const std::string& field, int32_t& into) {
        if (!value.is_number_integer()) return fail(field, "not a whole number");
        if (value.is_number_unsigned() ? value.get<uint64_t>() > INT32_MAX
                                       : value.get<int64_t>() < INT32_MIN)
            return fail(field, "too large");
        into = value.get<int32_t>();
        return true;
    }
    bool number(const json& object, const std::string& key, const std::string& field,
                int32_t& into) {
        const json* value = member(object, key, field);
        return value && whole(*value, field, into);
    }
    template <size_t N>
    bool numbers(const json& object, const std::string& key, const std::string& field,
                 std::array<int32_t, N>& into) {
        const json* value = member(object, key, field);
        if (!value) return false;
        if (!value->is_array() || value->size() != N)
            return fail(field, "not a list of " + std::to_string(N) + " numbers");
        for (size_t i = 0; i < N; ++i)
            if (!whole((*value)[i], field + "[" + std::to_string(i) + "]", into[i])) return false;
        return true;
    }
    bool text(const json& object, const std::string& key, const std::string& field,
              std::string& into) {
        const json* value = member(object, key, field);
        if (!value) return false;
        if (!value->is_string()) return fail(field, "not a string");
        into = value->get<std::string>();
        return true;
    }
};

bool read_program(reader& r, const json& object, const std::string& field, backup_program& p) {
    if (!object.is_object()) return r.fail(field, "not an object");
    return r.numbers(object, "ir_slot", field + ".ir_slot", p.ir_slot) &&
           r.number(object, "channel", field + ".channel", p.channel) &&
           r.numbers(object, "channel_mode", field + ".channel_mode", p.channel_mode) &&
           r.number(object, "ir_bypass", field + ".ir_bypass", p.ir_bypass);
}

bool read_backup(reader& r, const json& root, program_backup& b) {
    if (!root.is_object()) return r.fail("file", "not a JSON object");
    std::string format;
    if (!r.text(root, "format", "format", format)) return false;
    if (format != backup_format_name)
        return r.fail("format", "not \"" + std::string(backup_format_name) + "\"");
    int32_t version = 0;
    if (!r.number(root, "version", "version", version)) return false;
    if (version > backup_format_version)
        return r.fail("version", std::to_string(version) + " is newer than this editor reads (" +
                                     std::to_string(backup_format_version) + ")");
    if (version < 1) return r.fail("version", std::to_string(version) + " is not a version");
    if (!r.text(root, "saved", "saved", b.saved)) return false;
    if (!is_utc_time(b.saved)) return r.fail("saved", "not a UTC time like 2026-01-31T12:00:00Z");
    std::string firmware;
    if (!r.text(root, "firmware", "firmware", firmware)) return false;
    const auto parsed = firmware_version_of(firmware);
    if (!parsed) return r.fail("firmware", "not a version like 1.5.0");
    b.firmware = *parsed;
    if (!r.number(root, "midi_channel", "midi_channel", b.globals.midi_channel) ||
        !r.number(root, "tolex_colour", "tolex_colour", b.globals.tolex_colour) ||
        !r.numbers(root, "global_values", "global_values", b.globals.global_values))
        return false;

    const json* names = r.member(root, "slot_names", "slot_names");
    if (!names) return false;
    if (!names->is_array() || names->size() != slot_count)
        return r.fail("slot_names", "not a list of " + std::to_string(slot_count) + " strings");
    for (size_t k = 0; k < slot_count; ++k) {
        const std::string field = "slot_names[" + std::to_string(k) + "]";
        if (!(*names)[k].is_string()) return r.fail(field, "not a string");
        b.slot_names[k] = (*names)[k].get<std::string>();
    }

    const json* programs = r.member(root, "programs", "programs");
    if (!programs) return false;
    if (!programs->is_array() || programs->size() != program_count)
        return r.fail("programs", "not a list of " + std::to_string(program_count) + " programs");
    for (size_t n = 0; n < program_count; ++n)
        if (!read_program(r, (*programs)[n], "programs[" + std::to_string(n) + "]", b.programs[n]))
            return false;
    if (auto fault = backup_range_fault(b)) {
        r.error = *fault;
        return false;
    }
    return true;
}

std::string value_text(int32_t value) {
    return std::to_string(value);
}

template <size_t N> std::string value_text(const std::array<int32_t, N>& values) {
    std::string text;
    for (int32_t v : values) {
        if (!text.empty()) text += ' ';
        text += std::to_string(v);
    }
    return text;
}

template <typename T>
void compare(std::vector<backup_difference>& out, int32_t program, const char* field,
             const T& first, const T& second) {
    if (first != second) out.push_back({program, field, value_text(first), value_text(second)});
}

} // namespace

std::string firmware_version_text(uint16_t version) {
    return std::to_string(version >> 8) + "." + std::to_string(version & 0xFF) + ".0";
}

backup_program program_of_state(const editor_state& state, int32_t n) {
    const program_record& record = state.programs[static_cast<size_t>(n)];
    backup_program p;
    for (size_t i = 0; i < 4; ++i) p.ir_slot[i] = record.ir_slot[i];
    p.channel = record.channel;
    for (size_t i = 0; i < 3; ++i) p.channel_mode[i] = record.channel_mode[i];
    p.ir_bypass = record.ir_bypass;
    return p;
}

program_backup backup_of_state(const editor_state& state, std::string saved) {
    program_backup b;
    b.saved = std::move(saved);
    b.firmware = state.device_firmware_version;
    b.globals.midi_channel = state.midi_channel;
    b.globals.tolex_colour = state.tolex_colour;
    for (size_t i = 0; i < 7; ++i) b.globals.global_values[i] = state.programs[0].global_values[i];
    for (int k = 0; k < slot_count; ++k) b.slot_names[k] = utf8_from_wide(slot_name(state, k));
    for (int n = 0; n < program_count; ++n) b.programs[n] = program_of_state(state, n);
    return b;
}

std::optional<std::string> backup_range_fault(const program_backup& b) {
    if (auto f = outside("midi_channel", b.globals.midi_channel, midi_channel_range)) return f;
    if (auto f = outside("tolex_colour", b.globals.tolex_colour, tolex_colour_range)) return f;
    if (auto f = outside("global_values", b.globals.global_values, data_byte_range)) return f;
    for (size_t k = 0; k < slot_count; ++k)
        if (b.slot_names[k].size() > slot_name_limit)
            return "slot_names[" + std::to_string(k) + "]: longer than " +
                   std::to_string(slot_name_limit) + " bytes";
    for (size_t n = 0; n < program_count; ++n) {
        const backup_program& p = b.programs[n];
        const std::string field = "programs[" + std::to_string(n) + "].";
        if (auto f = outside(field + "ir_slot", p.ir_slot, ir_slot_range)) return f;
        if (auto f = outside(field + "channel", p.channel, channel_range)) return f;
        if (auto f = outside(field + "channel_mode", p.channel_mode, channel_mode_range)) return f;
        if (auto f = outside(field + "ir_bypass", p.ir_bypass, ir_bypass_range)) return f;
    }
    return std::nullopt;
}

std::vector<backup_difference> backup_differences(const program_backup& first,
                                                  const program_backup& second) {
    std::vector<backup_difference> out;
    const backup_globals &a = first.globals, &b = second.globals;
    compare(out, -1, "midi_channel", a.midi_channel, b.midi_channel);
    compare(out, -1, "tolex_colour", a.tolex_colour, b.tolex_colour);
    compare(out, -1, "global_values", a.global_values, b.global_values);
    for (int32_t n = 0; n < program_count; ++n) {
        const backup_program &p = first.programs[n], &q = second.programs[n];
        compare(out, n, "ir_slot", p.ir_slot, q.ir_slot);
        compare(out, n, "channel", p.channel, q.channel);
        compare(out, n, "channel_mode", p.channel_mode, q.channel_mode);
        compare(out, n, "ir_bypass", p.ir_bypass, q.ir_bypass);
    }
    return out;
}

std::string backup_json(const program_backup& b) {
    // ordered_json keeps the fields in the order a reader expects them.
    nlohmann::ordered_json programs = nlohmann::ordered_json::array();
    for (const backup_program& p : b.programs)
        programs.push_back({{"ir_slot", p.ir_slot},
                            {"channel", p.channel},
                            {"channel_mode", p.channel_mode},
                            {"ir_bypass", p.ir_bypass}});
    nlohmann::ordered_json root;
    root["format"] = backup_format_name;
    root["version"] = backup_format_version;
    root["saved"] = b.saved;
    root["firmware"] = firmware_version_text(b.firmware);
    root["midi_channel"] = b.globals.midi_channel;
    root["tolex_colour"] = b.globals.tolex_colour;
    root["global_values"] = b.globals.global_values;
    root["slot_names"] = b.slot_names;
    root["programs"] = programs;
    // Replacement rather than an exception for a name that is not valid UTF-8.
    return root.dump(1, ' ', false, json::error_handler_t::replace) + "\n";
}

backup_load backup_from_json(std::string_view text) {
    backup_load load;
    const json root = json::parse(text, nullptr, false);
    if (root.is_discarded()) {
        load.error = "file: not JSON";
        return load;
    }
    reader r;
    program_backup b;
    if (read_backup(r, root, b))
        load.backup = std::move(b);
    else
        load.error = r.error;
    return load;
}

} // namespace nimba
