// Buffered archive output with the write error kept for the caller's message.
#include "desktop/project/archive_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

} // namespace

CVQArchiveWriter::CVQArchiveWriter(int fd) : m_fd(fd) {
    m_buffer.reserve(kBufferSize);
}

void CVQArchiveWriter::Bytes(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    if (m_memory) {
        m_memory->append(bytes, size);
        return;
    }
    // After a failed write the rest is dropped: the file is discarded anyway.
    while (size > 0 && m_error == 0) {
        const std::size_t n = std::min(kBufferSize - m_buffer.size(), size);
        m_buffer.insert(m_buffer.end(), bytes, bytes + n);
        bytes += n;
        size -= n;
        if (m_buffer.size() == kBufferSize)
            Flush();
    }
}

void CVQArchiveWriter::Dword(std::uint32_t value) {
    const unsigned char b[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    Bytes(b, 4);
}

void CVQArchiveWriter::Double(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Dword(static_cast<std::uint32_t>(bits));
    Dword(static_cast<std::uint32_t>(bits >> 32));
}

void CVQArchiveWriter::String(std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 0xFFFFFFFEu);
    if (n < 0xFF) {
        Byte(static_cast<std::uint8_t>(n));
    } else if (n < 0xFFFE) {
        Byte(0xFF);
        Byte(static_cast<std::uint8_t>(n));
        Byte(static_cast<std::uint8_t>(n >> 8));
    } else {
        Byte(0xFF);
        Byte(0xFF);
        Byte(0xFF);
        Dword(static_cast<std::uint32_t>(n));
    }
    Bytes(text.data(), n);
}

void CVQArchiveWriter::Text(std::string_view text) {
    const std::size_t n = std::min<std::size_t>(text.size(), 0xFFFFFFFEu);
    Dword(static_cast<std::uint32_t>(n));
    Bytes(text.data(), n);
}

bool CVQArchiveWriter::Flush() {
    if (m_memory)
        return true;
    if (m_error) {
        m_buffer.clear();
        return false;
    }
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    m_buffer.clear();
    return m_error == 0;
}
