// The backup file's JSON, written and read with nlohmann::json, one field per row of the value
// table. Loading checks shapes here and ranges in backup_range_fault.
#include "device/program_backup.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <functional>
#include <set>
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

// Why `text` is not a UTC time as backups are written, YYYY-MM-DDTHH:MM:SSZ, naming the part
// that cannot be: a 13th month, February 29 outside a leap year, 24:00:00; empty when it is one.
std::string utc_time_fault(std::string_view text) {
    constexpr std::string_view shape = "dddd-dd-ddTdd:dd:ddZ";
    const std::string like = "not a UTC time like 2026-01-31T12:00:00Z";
    if (text.size() != shape.size()) return like;
    for (size_t i = 0; i < shape.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (shape[i] == 'd' ? !digit : text[i] != shape[i]) return like;
    }
    const auto number = [text](size_t at, size_t digits) {
        int32_t value = 0;
        for (size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - '0');
        return value;
    };
    using namespace std::chrono;
    const int32_t month_number = number(5, 2);
    const year_month_day date{year{number(0, 4)}, month{static_cast<unsigned>(month_number)},
                              day{static_cast<unsigned>(number(8, 2))}};
    const std::string quoted = "\"" + std::string(text) + "\" ";
    if (!date.month().ok()) return quoted + "has no month " + std::to_string(month_number);
    if (!date.ok()) return quoted + "has no such day in its month";
    if (number(11, 2) > 23 || number(14, 2) > 59 || number(17, 2) > 59)
        return quoted + "has no such time of day";
    return {};
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

// A backup nests four levels deep (the file, its programs, a program, a program's ir slots);
// a text nested far deeper is no backup, and is refused before it is parsed.
constexpr size_t nesting_limit = 8;

bool is_json_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Where the object or list the text opens with ends, and how deep it nests, found by its
// brackets outside strings; end is npos when the text opens with neither or never closes it.
struct json_extent {
    size_t end = std::string_view::npos;
    size_t depth = 0;
};
json_extent json_extent_of(std::string_view text) {
    json_extent extent;
    // A byte order mark, which some editors put before the text and the parser skips.
    size_t at = text.starts_with("\xEF\xBB\xBF") ? 3 : 0;
    while (at < text.size() && is_json_space(text[at])) ++at;
    if (at == text.size() || (text[at] != '{' && text[at] != '[')) return extent;
    size_t depth = 0;
    bool in_string = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (in_string) {
            if (c == '\\')
                ++at;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == '{' || c == '[') {
            extent.depth = std::max(extent.depth, ++depth);
        } else if ((c == '}' || c == ']') && --depth == 0) {
            extent.end = at + 1;
            break;
        }
    }
    return extent;
}

// Names the first key given twice in one object, as the loader names fields
// ("programs[5].channel"). The parser would keep the last of them: a file whose first "version"
// says it cannot be read would load.
struct repeated_keys {
    struct level {
        bool object = false;
        size_t index = 0; // a list's elements so far
        std::string key;  // an object's latest key
        std::set<std::string> keys;
    };
    std::vector<level> levels;
    std::string repeated;

    std::string path() const {
        std::string field;
        for (const level& l : levels) {
            if (!l.object)
                field += "[" + std::to_string(l.index) + "]";
            else
                field += (field.empty() ? "" : ".") + l.key;
        }
        return field;
    }
    void element_done() {
        if (!levels.empty() && !levels.back().object) ++levels.back().index;
    }
    bool operator()(int, json::parse_event_t event, json& parsed) {
        using event_t = json::parse_event_t;
        switch (event) {
        case event_t::object_start:
        case event_t::array_start:
            levels.emplace_back().object = event == event_t::object_start;
            break;
        case event_t::key:
            levels.back().key = parsed.get<std::string>();
            if (!levels.back().keys.insert(levels.back().key).second && repeated.empty())
                repeated = path();
            break;
        case event_t::object_end:
        case event_t::array_end:
            levels.pop_back();
            element_done();
            break;
        case event_t::value:
            element_done();
            break;
        }
        return true;
    }
};

// The file's one JSON value, or the reason it is not one: not JSON, nested too deep, a key given
// twice, or anything but white space after it (a NUL byte too, where the parser would stop).
std::optional<json> parse_backup_text(std::string_view text, std::string& error) {
    const json_extent extent = json_extent_of(text);
    if (extent.depth > nesting_limit) {
        error = "file: nested more than " + std::to_string(nesting_limit) + " levels deep";
        return std::nullopt;
    }
    const std::string_view value = text.substr(0, extent.end);
    repeated_keys keys;
    json root = json::parse(value, std::ref(keys), false);
    if (root.is_discarded() || value.find('\0') != std::string_view::npos) {
        error = "file: not JSON";
        return std::nullopt;
    }
    const auto trailing = std::find_if_not(text.begin() + value.size(), text.end(), is_json_space);
    if (trailing != text.end()) {
        error = "file: trailing data at byte " + std::to_string(trailing - text.begin());
        return std::nullopt;
    }
    if (!keys.repeated.empty()) {
        error = keys.repeated + ": given more than once";
        return std::nullopt;
    }
    return root;
}

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
    if (const std::string fault = utc_time_fault(b.saved); !fault.empty())
        return r.fail("saved", fault);
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

std::vector<backup_difference> unwritable_differences(const program_backup& first,
                                                      const program_backup& second) {
    std::vector<backup_difference> out;
    if (first.firmware != second.firmware)
        out.push_back({-1, "firmware", firmware_version_text(first.firmware),
                       firmware_version_text(second.firmware)});
    for (size_t k = 0; k < slot_count; ++k)
        if (first.slot_names[k] != second.slot_names[k])
            out.push_back({-1, "slot_names[" + std::to_string(k) + "]",
                           "\"" + first.slot_names[k] + "\"", "\"" + second.slot_names[k] + "\""});
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
    const std::optional<json> root = parse_backup_text(text, load.error);
    if (!root) return load;
    reader r;
    program_backup b;
    if (read_backup(r, *root, b))
        load.backup = std::move(b);
    else
        load.error = r.error;
    return load;
}

} // namespace nimba
