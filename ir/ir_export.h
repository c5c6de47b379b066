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

// Every ending but `done` stops the export at one cabinet: the files before it are written
// whole, that one and the ones after it are left as they were.
enum class export_outcome {
    done,         // all twelve written
    no_folder,    // empty folder path (a cancelled picker): nothing written
    no_image,     // a cabinet's samples are missing or do not make an image
    write_failed, // a file could not be written whole
};

struct export_report {
    export_outcome outcome = export_outcome::done;
    int written = 0;          // files written whole: the first `written` cabinets
    std::wstring failed_path; // the file at which the export stopped
    std::string reason;       // for write_failed: why, as write_file_safely words it
};

// A factory cabinet's samples, read from its IR blob; nothing when the blob is unreadable.
std::optional<std::vector<float>> cabinet_samples(const cabinet_entry& cabinet);

// Writes folder + "/" + name + ".wav" for each cabinet in table order through the safe write,
// replacing existing files, and stops at the first cabinet that cannot be written.
export_report write_factory_irs(const cabinet_library& cabinets, const std::wstring& folder);

// The editor's export: link_status 1 when a cabinet's image cannot be built.
export_report export_factory_irs(editor_state& state, const std::wstring& folder);

// How an export ended: export_done with the count, or export_stopped naming the file (its last
// component, quoted) and why.
outcome outcome_of(const export_report& report);

} // namespace nimba
