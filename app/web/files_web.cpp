// The picker's wait for the page, the dropped file's hand-over and the zip download.
#include "app/web/files_web.h"

#include <emscripten.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <vector>

#include "core/file_access.h"
#include "core/zip_archive.h"

namespace nimba {

namespace {

struct pick_exchange {
    std::mutex lock;
    std::condition_variable answered;
    std::optional<std::wstring> chosen; // set by the page: a path, or empty for cancelled
    std::wstring dropped;               // a dropped file waiting for the next WAV pick
};
pick_exchange exchange;

} // namespace

std::wstring pick_path_web(pick_mode mode) {
    std::error_code ignored;
    if (mode == pick_mode::folder) {
        std::filesystem::remove_all(web_export_folder, ignored);
        std::filesystem::create_directories(web_export_folder, ignored);
        return web_export_folder;
    }
    if (mode == pick_mode::backup_save) {
        std::filesystem::create_directories(std::filesystem::path(web_backup_file).parent_path(),
                                            ignored);
        return web_backup_file;
    }
    const bool backup = mode == pick_mode::backup_open;
    std::unique_lock hold(exchange.lock);
    if (!backup && !exchange.dropped.empty())
        return std::exchange(exchange.dropped, std::wstring());
    exchange.chosen.reset();
    hold.unlock();
    MAIN_THREAD_ASYNC_EM_ASM({ Module.nimbaFiles.choose($0 ? 'backup' : 'wav'); }, backup);
    hold.lock();
    exchange.answered.wait(hold, [] { return exchange.chosen.has_value(); });
    return *std::exchange(exchange.chosen, std::nullopt);
}

void hand_dropped_file(std::wstring path) {
    const std::lock_guard hold(exchange.lock);
    exchange.dropped = std::move(path);
}

bool offer_folder_as_zip(const std::wstring& folder, const std::string& download_name) {
    std::vector<zip_entry> entries;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        const std::wstring path = item.path().wstring();
        file_read read = read_regular_file(path);
        if (!read.error.empty()) return false;
        entries.push_back(
            {utf8_from_wide(item.path().filename().wstring()), std::move(read.bytes)});
    }
    if (error || entries.empty()) return false;
    std::sort(entries.begin(), entries.end(),
              [](const zip_entry& a, const zip_entry& b) { return a.name < b.name; });
    const std::vector<uint8_t> zip = zip_from_entries(entries);
    if (zip.empty()) return false;
    MAIN_THREAD_EM_ASM({ Module.nimbaFiles.download(HEAPU8.slice($0, $0 + $1), UTF8ToString($2)); },
                       zip.data(), zip.size(), download_name.c_str());
    return true;
}

bool offer_file_download(const std::wstring& path) {
    const file_read read = read_regular_file(path);
    if (!read.error.empty()) return false;
    const std::string name = utf8_from_wide(std::filesystem::path(path).filename().wstring());
    MAIN_THREAD_EM_ASM({ Module.nimbaFiles.download(HEAPU8.slice($0, $0 + $1), UTF8ToString($2)); },
                       read.bytes.data(), read.bytes.size(), name.c_str());
    return true;
}

} // namespace nimba

// Main thread, from files_web.js: the file the user chose, already in the file system, or an
// empty path when the chooser was cancelled.
extern "C" EMSCRIPTEN_KEEPALIVE void nimba_file_chosen(const char* path) {
    using namespace nimba;
    std::wstring chosen = wide_from_utf8(path);
    const std::lock_guard hold(exchange.lock);
    exchange.chosen = std::move(chosen);
    exchange.answered.notify_all();
}
