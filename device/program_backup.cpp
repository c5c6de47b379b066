// The backup file's JSON, written and read with nlohmann::json, one field per row of the value
// table. Loading checks shapes here and ranges in backup_range_fault.
#include "device/program_backup.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <type_traits>

#include "core/file_access.h"

namespace nimba {

namespace {

using json = nlohmann::json;

constexpr size_t slot_name_limit = 64; // the name field of a cabinet transfer

std::optional<std::string> outside(const std::string& field, int32_t value, int32_t low,
                                   int32_t high) {
    if (value >= low && value <= high) return std::nullopt;
    return field + ": " + std::to_string(value) + " is outside " + std::to_string(low) + ".." +
           std::to_string(high);
}

// The first of a row's values outside its range, named as in the file.
std::optional<std::string> outside(const std::string& prefix, const amp_value_row& r,
                                   std::span<const int32_t> values) {
    const std::string field = prefix + std::string(r.key);
    for (size_t i = 0; i < values.size(); ++i) {
        const std::string name = r.count == 1 ? field : field + "[" + std::to_string(i) + "]";
        if (auto fault = outside(name, values[i], r.low, r.high)) return fault;
    }
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
    // A row's values: one number, or a list of exactly its count.
    bool values(const json& object, const std::string& prefix, const amp_value_row& r,
                std::span<int32_t> into) {
        const std::string key(r.key);
        const std::string field = prefix + key;
        if (r.count == 1) return number(object, key, field, into[0]);
        const json* value = member(object, key, field);
        if (!value) return false;
        if (!value->is_array() || value->size() != r.count)
            return fail(field, "not a list of " + std::to_string(r.count) + " numbers");
        for (size_t i = 0; i < r.count; ++i)
            if (!whole((*value)[i], field + "[" + std::to_string(i) + "]", into[i])) return false;
        return true;
    }
    template <typename Values>
    bool rows(const json& object, const std::string& prefix, Values& into) {
        for (const amp_value_row& r : amp_value_rows)
            if (is_program_value(r) == std::is_same_v<Values, program_values> &&
                !values(object, prefix, r, words_of(into, r.value)))
                return false;
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

bool read_program(reader& r, const json& object, const std::string& field, program_values& p) {
    if (!object.is_object()) return r.fail(field, "not an object");
    return r.rows(object, field + ".", p);
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
    if (!r.rows(root, "", b.globals)) return false;

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

std::string numbers_text(std::span<const int32_t> values) {
    std::string text;
    for (int32_t v : values) {
        if (!text.empty()) text += ' ';
        text += std::to_string(v);
    }
    return text;
}

template <typename Values>
void compare(std::vector<backup_difference>& out, int32_t program, const Values& first,
             const Values& second) {
    for (const amp_value_row& r : amp_value_rows) {
        if (is_program_value(r) != std::is_same_v<Values, program_values>) continue;
        const auto a = words_of(first, r.value), b = words_of(second, r.value);
        if (!std::equal(a.begin(), a.end(), b.begin()))
            out.push_back({program, std::string(r.key), numbers_text(a), numbers_text(b)});
    }
}

template <typename Values> void put_rows(nlohmann::ordered_json& object, const Values& values) {
    for (const amp_value_row& r : amp_value_rows) {
        if (is_program_value(r) != std::is_same_v<Values, program_values>) continue;
        const auto words = words_of(values, r.value);
        if (r.count == 1)
            object[std::string(r.key)] = words[0];
        else
            object[std::string(r.key)] = std::vector<int32_t>(words.begin(), words.end());
    }
}

} // namespace

program_backup backup_of_state(const editor_state& state, std::string saved) {
    program_backup b;
    b.saved = std::move(saved);
    b.firmware = state.device_firmware_version;
    b.globals = amplifier_values_of(state);
    for (int k = 0; k < slot_count; ++k) b.slot_names[k] = utf8_from_wide(slot_name(state, k));
    for (int n = 0; n < program_count; ++n) b.programs[n] = program_values_of(state, n);
    return b;
}

std::optional<std::string> backup_range_fault(const program_backup& b) {
    for (const amp_value_row& r : amp_value_rows)
        if (!is_program_value(r))
            if (auto f = outside("", r, words_of(b.globals, r.value))) return f;
    for (size_t k = 0; k < slot_count; ++k)
        if (b.slot_names[k].size() > slot_name_limit)
            return "slot_names[" + std::to_string(k) + "]: longer than " +
                   std::to_string(slot_name_limit) + " bytes";
    for (size_t n = 0; n < program_count; ++n) {
        const std::string field = "programs[" + std::to_string(n) + "].";
        for (const amp_value_row& r : amp_value_rows)
            if (is_program_value(r))
                if (auto f = outside(field, r, words_of(b.programs[n], r.value))) return f;
    }
    return std::nullopt;
}

std::vector<backup_difference> backup_differences(const program_backup& first,
                                                  const program_backup& second) {
    std::vector<backup_difference> out;
    compare(out, -1, first.globals, second.globals);
    for (int32_t n = 0; n < program_count; ++n)
        compare(out, n, first.programs[n], second.programs[n]);
    return out;
}

std::string backup_json(const program_backup& b) {
    // ordered_json keeps the fields in the order a reader expects them.
    nlohmann::ordered_json programs = nlohmann::ordered_json::array();
    for (const program_values& p : b.programs) {
        nlohmann::ordered_json program = nlohmann::ordered_json::object();
        put_rows(program, p);
        programs.push_back(std::move(program));
    }
    nlohmann::ordered_json root;
    root["format"] = backup_format_name;
    root["version"] = backup_format_version;
    root["saved"] = b.saved;
    root["firmware"] = firmware_version_text(b.firmware);
    put_rows(root, b.globals);
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
