// Bounded archive input from memory or a file.
#include "desktop/project/archive_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

} // namespace

CVQArchiveReader::CVQArchiveReader(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {
    m_buffer.resize(kBufferSize);
}

bool CVQArchiveReader::Bytes(void* out, std::size_t size) {
    if (m_failed || size > Remaining())
        return Fail();
    char* dest = static_cast<char*>(out);
    if (m_fd < 0) {
        std::memcpy(dest, m_memory.data() + m_consumed, size);
        m_consumed += size;
        return true;
    }
    while (size > 0) {
        if (m_pos == m_end && !Refill())
            return Fail();
        const std::size_t n = std::min(size, m_end - m_pos);
        std::memcpy(dest, m_buffer.data() + m_pos, n);
        m_pos += n;
        m_consumed += n;
        dest += n;
        size -= n;
    }
    return true;
}

bool CVQArchiveReader::Skip(std::uint64_t size) {
    char scratch[4096];
    while (size > 0) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(size, sizeof scratch));
        if (!Bytes(scratch, n))
            return false;
        size -= n;
    }
    return true;
}

bool CVQArchiveReader::Dword(std::uint32_t& value) {
    unsigned char b[4];
    if (!Bytes(b, 4))
        return false;
    value = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    return true;
}

bool CVQArchiveReader::Int(int& value) {
    std::uint32_t v = 0;
    if (!Dword(v))
        return false;
    value = static_cast<int>(v);
    return true;
}

bool CVQArchiveReader::Double(double& value) {
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    if (!Dword(low) || !Dword(high))
        return false;
    const std::uint64_t bits = static_cast<std::uint64_t>(high) << 32 | low;
    std::memcpy(&value, &bits, sizeof value);
    return true;
}

bool CVQArchiveReader::String(std::string& text) {
    std::uint8_t b = 0;
    if (!Byte(b))
        return false;
    std::uint64_t n = b;
    if (b == 0xFF) {
        std::uint8_t lo = 0;
        std::uint8_t hi = 0;
        if (!Byte(lo) || !Byte(hi))
            return false;
        n = static_cast<std::uint64_t>(hi) << 8 | lo;
        if (n == 0xFFFF) {
            std::uint32_t wide = 0;
            if (!Dword(wide))
                return false;
            n = wide;
        }
    }
    return Chars(text, n, std::numeric_limits<std::size_t>::max());
}

bool CVQArchiveReader::Text(std::string& text, std::size_t keep) {
    std::uint32_t n = 0;
    return Dword(n) && Chars(text, n, keep);
}

bool CVQArchiveReader::Chars(std::string& text, std::uint64_t n, std::size_t keep) {
    if (n > Remaining())
        return Fail();
    const auto kept = static_cast<std::size_t>(std::min<std::uint64_t>(n, keep));
    text.resize(kept);
    return Bytes(text.data(), kept) && Skip(n - kept);
}

bool CVQArchiveReader::Refill() {
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer.data(), m_buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        m_pos = 0;
        m_end = static_cast<std::size_t>(n);
        return true;
    }
}

bool CVQArchiveReader::Fail() {
    m_failed = true;
    return false;
}
