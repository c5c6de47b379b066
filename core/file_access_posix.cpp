// File access on POSIX systems: reads through open, fstat and read; the safe write through a
// temporary file, fsync and rename.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/file_access.h"
#include "core/file_access_platform.h"

namespace nimba {

using namespace file_access_parts;

namespace {

struct descriptor {
    int fd = -1;
    ~descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string system_reason() {
    return std::strerror(errno);
}

// The file a path names: a symbolic link is followed, so the file it points at is replaced
// and the link stays. Empty when the link leads nowhere.
std::string resolved(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out = real;
    std::free(real);
    return out;
}

bool write_all(int fd, std::span<const uint8_t> bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote == 0) errno = EIO;
        if (wrote <= 0) return false;
        done += static_cast<size_t>(wrote);
    }
    return true;
}

} // namespace

std::FILE* open_file(const std::wstring& path, const char* mode) {
    if (path.empty()) return nullptr;
    return std::fopen(utf8_from_wide(path).c_str(), mode);
}

file_read read_regular_file(const std::wstring& path, uint64_t max_bytes) {
    file_read result;
    if (path.empty()) {
        result.error = not_named;
        return result;
    }
    // O_NONBLOCK: a FIFO without a writer opens at once instead of waiting for one.
    descriptor file{
        ::open(utf8_from_wide(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    struct stat info {};
    if (file.fd < 0) {
        result.error = because("cannot be opened", system_reason());
    } else if (::fstat(file.fd, &info) != 0) {
        result.error = because("cannot be read", system_reason());
    } else if (S_ISDIR(info.st_mode)) {
        result.error = is_folder;
    } else if (!S_ISREG(info.st_mode)) {
        result.error = not_regular;
    } else if (static_cast<uint64_t>(info.st_size) > max_bytes) {
        result.error = too_large(max_bytes);
    } else {
        const auto read_some = [&file](uint8_t* into, size_t room, std::string& reason) {
            for (;;) {
                const ssize_t got = ::read(file.fd, into, room);
                if (got >= 0) return static_cast<int64_t>(got);
                if (errno == EINTR) continue;
                reason = system_reason();
                return int64_t{-1};
            }
        };
        result.error =
            read_bounded(read_some, static_cast<uint64_t>(info.st_size), max_bytes, result.bytes);
    }
    if (!result.error.empty()) result.bytes.clear();
    return result;
}

namespace {

// The file `path` names, checked as a place to write: a symbolic link is followed, a folder
// or another kind of file is refused. Its mode when it exists.
struct write_target {
    std::string path;
    bool exists = false;
    mode_t mode = 0666;
    std::string error;
};

write_target target_of(const std::wstring& path) {
    write_target target;
    if (path.empty()) {
        target.error = not_named;
        return target;
    }
    target.path = resolved(utf8_from_wide(path));
    if (target.path.empty()) {
        target.error = because("cannot be followed", system_reason());
        return target;
    }
    struct stat info {};
    target.exists = ::stat(target.path.c_str(), &info) == 0;
    if (target.exists && S_ISDIR(info.st_mode)) target.error = is_folder;
    if (target.exists && !S_ISDIR(info.st_mode) && !S_ISREG(info.st_mode))
        target.error = not_regular;
    // A replaced file keeps its permissions; a new one gets the usual ones less the umask.
    if (target.exists) target.mode = info.st_mode & 07777;
    return target;
}

// A new temporary file beside the target, open for writing; its name goes into `temporary`.
int create_temporary(const write_target& target, std::string& temporary) {
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = utf8_from_wide(temporary_beside(wide_from_utf8(target.path), ::getpid()));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, target.mode);
        if (fd < 0 && errno != EEXIST) break;
    }
    return fd;
}

} // namespace

std::string check_write_destination(const std::wstring& path) {
    const write_target target = target_of(path);
    if (!target.error.empty()) return target.error;
    std::string temporary;
    descriptor file{create_temporary(target, temporary)};
    if (file.fd < 0) return because("cannot be created", system_reason());
    ::unlink(temporary.c_str());
    return {};
}

std::string write_file_safely(const std::wstring& path, std::span<const uint8_t> bytes) {
    const write_target target = target_of(path);
    if (!target.error.empty()) return target.error;
    std::string temporary;
    descriptor file{create_temporary(target, temporary)};
    if (file.fd < 0) return because("cannot be created", system_reason());
    if (target.exists) ::fchmod(file.fd, target.mode); // the umask may have narrowed it

    std::string error;
    if (!write_all(file.fd, bytes) || ::fsync(file.fd) != 0)
        error = because("cannot be written", system_reason());
    const int closed = ::close(file.fd);
    file.fd = -1;
    if (error.empty() && closed != 0) error = because("cannot be written", system_reason());
    if (error.empty() && ::rename(temporary.c_str(), target.path.c_str()) != 0)
        error = because("cannot be replaced", system_reason());
    if (!error.empty()) ::unlink(temporary.c_str());
    return error;
}

} // namespace nimba
