// Export of the twelve factory cabinets as "<name>.wav" IR images into a folder. Runs on the
// device-link worker (command 11) or in the command-line tool; reads only the cabinet table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/assets/cabinets.h"
#include "core/outcome.h"

namespace nimba {

struct editor_state;

enum class export_outcome {
    done,          // all twelve written
    no_folder,     // empty folder path (a cancelled picker): nothing written
    cannot_create, // a file could not be opened for writing: the export stopped there
    no_image,      // a cabinet's samples are missing or do not make an image: stopped there
    write_failed,  // a write or close failed; the other cabinets were still exported
};

struct export_report {
    export_outcome outcome = export_outcome::done;
    int written = 0;          // files written whole
    std::wstring failed_path; // the file at which the export stopped or failed first
};

// A factory cabinet's samples, read from its IR blob; nothing when the blob is unreadable.
std::optional<std::vector<float>> cabinet_samples(const cabinet_entry& cabinet);

// Writes folder + "/" + name + ".wav" for each cabinet in table order, replacing existing
// files, and stops at a file that cannot be created (the ones before it stay).
export_report write_factory_irs(const cabinet_library& cabinets, const std::wstring& folder);

// The editor's export: link_status 1 when a cabinet's image cannot be built.
export_report export_factory_irs(editor_state& state, const std::wstring& folder);

// One line for a person about how an export ended.
std::string export_outcome_text(export_outcome outcome);

// The export's outcome: export_done with the count, or export_stopped naming the file (its last
// component) and why.
outcome outcome_of(const export_report& report);

} // namespace nimba
