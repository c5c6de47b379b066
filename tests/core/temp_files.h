// Test helpers: temporary folders removed at the end, wide paths as the pickers give them,
// and whole files written and read back.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/file_access.h"

// FIFOs, devices and file-size limits exist only on a POSIX system's own file system: the
// browser edition's tests run under node, whose file system as Emscripten sees it has none of
// them, so the cases that need them are left out there.
#if !defined(_WIN32) && !defined(__EMSCRIPTEN__)
#define NIMBA_TEST_POSIX_FILES 1
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#endif

namespace nimba::test {

// A folder under the system's temporary folder, removed with everything in it at the end.
struct temp_folder {
    std::filesystem::path path;
    temp_folder() {
        // Test programs run side by side: the name differs between processes, not only
        // within one (an unseeded std::rand gives every process the same numbers).
        static const unsigned process_tag = std::random_device{}();
        static int serial = 0;
        path = std::filesystem::temp_directory_path() /
               ("nimba_ir_" + std::to_string(process_tag) + "_" + std::to_string(++serial));
        std::filesystem::create_directories(path);
    }
    ~temp_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    std::filesystem::path operator/(const std::string& name) const { return path / name; }
};

// The wide form of a path, as the editor's pickers hand it over.
inline std::wstring wide(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.wstring();
#else
    return wide_from_utf8(path.string());
#endif
}

inline void write_file(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

#ifdef NIMBA_TEST_POSIX_FILES
// While it lives, files may grow to `bytes` at most, and a write past that fails with EFBIG
// instead of ending the process with SIGXFSZ.
struct file_size_limit {
    rlimit old_limit{};
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    explicit file_size_limit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_limit);
        rlimit limit = old_limit;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit() {
        setrlimit(RLIMIT_FSIZE, &old_limit);
        std::signal(SIGXFSZ, old_handler);
    }
};
#endif

} // namespace nimba::test
