// Comparing a backup with the amplifier's values, and the restore's words for it.
#include "device/restore_plan.h"

namespace nimba {

namespace {

// Numbers listed in full up to this many; a longer list says how many more.
constexpr size_t listed_numbers = 16;

std::string number_list(const std::vector<int32_t>& numbers, int32_t first) {
    std::string text;
    for (size_t i = 0; i < numbers.size() && i < listed_numbers; ++i)
        text.append(i == 0 ? "" : " ").append(std::to_string(numbers[i] + first));
    if (numbers.size() > listed_numbers)
        text += " ... and " + std::to_string(numbers.size() - listed_numbers) + " more";
    return text;
}

std::string joined(const std::vector<std::string>& words) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) text += (i == 0 ? "" : ", ") + words[i];
    return text;
}

} // namespace

restore_plan plan_restore(const program_backup& file, const program_backup& amp) {
    restore_plan plan;
    plan.file_firmware = file.firmware;
    plan.amp_firmware = amp.firmware;
    for (int32_t n = 0; n < program_count; ++n)
        if (file.programs[n] != amp.programs[n]) plan.programs.push_back(n);
    for (int32_t k = 0; k < slot_count; ++k)
        if (file.slot_names[k] != amp.slot_names[k]) plan.slot_names.push_back(k);
    for (const backup_difference& d : backup_differences(file, amp))
        if (d.program < 0) plan.amp_values.push_back(d.field);
    return plan;
}

bool restore_writes(const restore_plan& plan) {
    return !plan.programs.empty() || !plan.amp_values.empty();
}

std::string restore_writes_text(const restore_plan& plan) {
    std::string text;
    const size_t programs = plan.programs.size();
    if (programs > 0)
        text = std::to_string(programs) + (programs == 1 ? " program (" : " programs (") +
               number_list(plan.programs, 0) + ")";
    if (!plan.amp_values.empty())
        text += (text.empty() ? "the amplifier-wide values " : " and the amplifier-wide values ") +
                joined(plan.amp_values);
    return text;
}

std::string restore_notes_text(const restore_plan& plan) {
    std::string text;
    if (!plan.slot_names.empty())
        text = (plan.slot_names.size() == 1 ? "the name of slot " : "the names of slots ") +
               number_list(plan.slot_names, 1) + " differ" +
               (plan.slot_names.size() == 1 ? "s" : "") + " and cannot be written back";
    if (plan.file_firmware != plan.amp_firmware)
        text += (text.empty() ? "" : "; ") + std::string("the backup was saved from firmware ") +
                firmware_version_text(plan.file_firmware) + ", the amplifier runs " +
                firmware_version_text(plan.amp_firmware);
    return text;
}

std::string restore_question_for(const restore_plan& plan) {
    std::string text = "restore " + restore_writes_text(plan) + "?";
    const std::string notes = restore_notes_text(plan);
    if (!notes.empty()) text += " " + notes;
    return text;
}

} // namespace nimba
