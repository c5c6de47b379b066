// File access on Windows: reads and writes through CreateFileW, the safe write's replace
// through MoveFileExW.
#include <windows.h>

#include <algorithm>

#include "core/file_access.h"
#include "core/file_access_platform.h"

namespace nimba {

using namespace file_access_parts;

namespace {

struct handle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

std::string system_reason() {
    const DWORD error = GetLastError();
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    return message.empty() ? "error " + std::to_string(error) : utf8_from_wide(message);
}

bool is_folder_path(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool write_all(HANDLE file, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const auto step = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        DWORD wrote = 0;
        if (!WriteFile(file, bytes.data() + done, step, &wrote, nullptr) || wrote == 0)
            return false;
        done += wrote;
    }
    return true;
}

} // namespace

std::FILE* open_file(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    const std::wstring wide_mode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wide_mode.c_str());
}

file_read read_regular_file(const std::wstring& path, uint64_t max_bytes) {
    file_read result;
    if (path.empty()) {
        result.error = not_named;
        return result;
    }
    if (is_folder_path(path)) {
        result.error = is_folder;
        return result;
    }
    handle file{CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    LARGE_INTEGER size{};
    if (file.h == INVALID_HANDLE_VALUE) {
        result.error = because("cannot be opened", system_reason());
    } else if (GetFileType(file.h) != FILE_TYPE_DISK) {
        result.error = not_regular;
    } else if (!GetFileSizeEx(file.h, &size)) {
        result.error = because("cannot be read", system_reason());
    } else if (static_cast<uint64_t>(size.QuadPart) > max_bytes) {
        result.error = too_large(max_bytes);
    } else {
        const auto read_some = [&file](uint8_t* into, size_t room, std::string& reason) {
            DWORD got = 0;
            const auto step = static_cast<DWORD>(std::min<size_t>(room, 1u << 20));
            if (ReadFile(file.h, into, step, &got, nullptr)) return static_cast<int64_t>(got);
            reason = system_reason();
            return int64_t{-1};
        };
        result.error =
            read_bounded(read_some, static_cast<uint64_t>(size.QuadPart), max_bytes, result.bytes);
    }
    if (!result.error.empty()) result.bytes.clear();
    return result;
}

namespace {

// A new temporary file beside `path`, open for writing; its name goes into `temporary`.
HANDLE create_temporary(const std::wstring& path, std::wstring& temporary) {
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporary_beside(path, GetCurrentProcessId());
        h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    return h;
}

} // namespace

std::string check_write_destination(const std::wstring& path) {
    if (path.empty()) return not_named;
    if (is_folder_path(path)) return is_folder;
    std::wstring temporary;
    {
        const handle file{create_temporary(path, temporary)};
        if (file.h == INVALID_HANDLE_VALUE) return because("cannot be created", system_reason());
    }
    DeleteFileW(temporary.c_str());
    return {};
}

std::string write_file_safely(const std::wstring& path, std::span<const uint8_t> bytes) {
    if (path.empty()) return not_named;
    if (is_folder_path(path)) return is_folder;

    std::wstring temporary;
    handle file;
    file.h = create_temporary(path, temporary);
    if (file.h == INVALID_HANDLE_VALUE) return because("cannot be created", system_reason());

    std::string error;
    if (!write_all(file.h, bytes) || !FlushFileBuffers(file.h))
        error = because("cannot be written", system_reason());
    const BOOL closed = CloseHandle(file.h);
    file.h = INVALID_HANDLE_VALUE;
    if (error.empty() && !closed) error = because("cannot be written", system_reason());
    if (error.empty() && !MoveFileExW(temporary.c_str(), path.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = because("cannot be replaced", system_reason());
    if (!error.empty()) DeleteFileW(temporary.c_str());
    return error;
}

} // namespace nimba
