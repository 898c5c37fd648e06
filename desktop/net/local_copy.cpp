// Copying file: addresses.
#include "desktop/net/local_copy.h"

#include "desktop/address/text_util.h"
#include "desktop/net/file_writer.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = vq::AsciiLower(c);
    if (lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return -1;
}

// Closes the descriptor when the copy ends, whichever way.
struct ReadFile {
    int fd = -1;
    ~ReadFile() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

namespace vq {

std::string LocalPathFromFileAddress(std::string_view address) {
    if (!StartsWithIgnoreCase(address, "file://"))
        return {};
    std::string_view rest = address.substr(7);
    if (StartsWithIgnoreCase(rest, "localhost/"))
        rest.remove_prefix(9);
    if (rest.empty() || rest.front() != '/')
        return {}; // a host of its own: not a file of this computer
    rest = rest.substr(0, rest.find_first_of("?#"));
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] == '%' && i + 2 < rest.size() && HexValue(rest[i + 1]) >= 0 &&
            HexValue(rest[i + 2]) >= 0) {
            path += static_cast<char>(HexValue(rest[i + 1]) * 16 + HexValue(rest[i + 2]));
            i += 2;
        } else {
            path += rest[i];
        }
    }
    if (path.find('\0') != std::string::npos)
        return {};
    return path;
}

} // namespace vq

CVQCopyResult CopyLocalFile(const std::string& source, const std::string& destination,
                            const std::function<VQInterrupt()>& interrupt) {
    CVQCopyResult result;
    ReadFile in;
    in.fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    const std::optional<std::int64_t> sourceTime = vq::FileModificationTime(source);
    if (in.fd < 0 || !vq::FileLength(source))
        return result;
    CVQFileWriter out;
    if (out.Open(destination, false)) {
        result.end = CVQCopyResult::kDestinationFailed;
        return result;
    }
    const auto fail = [&](CVQCopyResult::End end) {
        out.Close();
        ::unlink(destination.c_str());
        result.end = end;
        return result;
    };
    char buffer[10240];
    for (;;) {
        switch (interrupt ? interrupt() : VQInterrupt::kNone) {
        case VQInterrupt::kStop:
            return fail(CVQCopyResult::kStopped);
        case VQInterrupt::kSkip:
            return fail(CVQCopyResult::kSkipped);
        case VQInterrupt::kNone:
            break;
        }
        const ssize_t got = ::read(in.fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return fail(CVQCopyResult::kSourceFailed);
        if (got == 0)
            break;
        if (!out.Write(buffer, static_cast<std::size_t>(got))) {
            result.diskFull = out.DiskFull();
            return fail(CVQCopyResult::kWriteFailed);
        }
        result.length += static_cast<std::uint64_t>(got);
    }
    if (!out.Close()) {
        result.diskFull = errno == ENOSPC;
        return fail(CVQCopyResult::kWriteFailed);
    }
    if (sourceTime)
        vq::SetFileModificationTime(destination, *sourceTime);
    result.end = CVQCopyResult::kCopied;
    return result;
}
