// POSIX file writing, so that every failure keeps its errno.
#include "desktop/net/file_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int OpenErrorCode(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kErrPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kErrAccessDenied;
    case ETXTBSY:
    case EBUSY:
        return kErrSharingViolation;
    default:
        return kErrCannotSave;
    }
}

} // namespace

CVQFileWriter::~CVQFileWriter() {
    Close();
}

std::optional<int> CVQFileWriter::Open(const std::string& path, bool keepContents) {
    Close();
    m_diskFull = false;
    m_initialLength = 0;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (keepContents ? 0 : O_TRUNC);
    m_fd = ::open(path.c_str(), flags, 0666);
    if (m_fd < 0)
        return OpenErrorCode(errno);
    if (keepContents) {
        const off_t end = ::lseek(m_fd, 0, SEEK_END);
        if (end < 0) {
            Close();
            return kErrCannotSave;
        }
        m_initialLength = static_cast<std::uint64_t>(end);
    }
    return std::nullopt;
}

bool CVQFileWriter::Write(const char* data, std::size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(m_fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_diskFull = written < 0 && (errno == ENOSPC || errno == EDQUOT);
            return false;
        }
        data += written;
        length -= static_cast<std::size_t>(written);
    }
    return true;
}

bool CVQFileWriter::Close() {
    if (m_fd < 0)
        return true;
    const bool ok = ::close(m_fd) == 0;
    m_fd = -1;
    return ok;
}

bool CVQFileWriter::Empty() {
    return m_fd >= 0 && ::ftruncate(m_fd, 0) == 0 && ::lseek(m_fd, 0, SEEK_SET) == 0;
}

namespace vq {

std::optional<std::int64_t> FileModificationTime(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

std::optional<std::uint64_t> FileLength(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

bool SetFileModificationTime(const std::string& path, std::int64_t seconds) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(seconds), 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

} // namespace vq
