// The local file a transfer writes: created and emptied, or kept for a resumed transfer, with
// the reason of a failure in the client's error codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

// The codes the client logs for local files.
enum VQFileError : int {
    kErrFileNotFound = -1,
    kErrNoFileName = -2,
    kErrNotDownloaded = -3,
    kErrUnknownException = -4,
    kErrSharingViolation = -5,
    kErrCannotSave = -6,
    kErrPathNotFound = -7,
    kErrAccessDenied = -8,
    kErrCannotCreateDirectory = -9,
};

class CVQFileWriter {
public:
    CVQFileWriter() = default;
    ~CVQFileWriter();
    CVQFileWriter(const CVQFileWriter&) = delete;
    CVQFileWriter& operator=(const CVQFileWriter&) = delete;

    // keepContents opens without emptying, positioned at the end. On failure returns the error
    // code: kErrPathNotFound (a directory is missing), kErrAccessDenied, kErrSharingViolation
    // (the file is busy) or kErrCannotSave.
    std::optional<int> Open(const std::string& path, bool keepContents);
    bool IsOpen() const { return m_fd >= 0; }
    // The length of the file when it was opened.
    std::uint64_t InitialLength() const { return m_initialLength; }

    // Writes all bytes; false on failure, with DiskFull telling why.
    bool Write(const char* data, std::size_t length);
    bool DiskFull() const { return m_diskFull; }

    // Closes the file; false when the last data could not be written out.
    bool Close();
    // Empties the file, so that a whole file sent in answer to a resumed request replaces the
    // partial one instead of following it.
    bool Empty();

private:
    int m_fd = -1;
    std::uint64_t m_initialLength = 0;
    bool m_diskFull = false;
};

namespace vq {

// The modification time of a file in seconds since 1970; none when it cannot be read.
std::optional<std::int64_t> FileModificationTime(const std::string& path);
// The file's length; none when it does not exist or is not a regular file.
std::optional<std::uint64_t> FileLength(const std::string& path);
bool SetFileModificationTime(const std::string& path, std::int64_t seconds);

} // namespace vq
