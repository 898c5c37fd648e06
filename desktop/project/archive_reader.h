// The archive encoding of the project file on the reading side. Every read checks what the file
// really holds: a length is never trusted beyond the bytes that remain, and the first failure
// sticks, so a damaged file can make a read fail but never allocate more than the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

class CVQArchiveReader {
public:
    explicit CVQArchiveReader(std::string_view memory) : m_memory(memory), m_size(memory.size()) {}
    // Reads size bytes from fd, buffered.
    CVQArchiveReader(int fd, std::uint64_t size);

    std::uint64_t Remaining() const { return m_size - m_consumed; }
    bool Failed() const { return m_failed; }

    bool Bytes(void* out, std::size_t size);
    bool Skip(std::uint64_t size);
    bool Byte(std::uint8_t& value) { return Bytes(&value, 1); }
    bool Dword(std::uint32_t& value);
    bool Int(int& value);
    bool Double(double& value);
    bool String(std::string& text);
    // TEXT of a node record, of which at most keep characters are kept.
    bool Text(std::string& text, std::size_t keep = std::numeric_limits<std::size_t>::max());

private:
    bool Chars(std::string& text, std::uint64_t n, std::size_t keep);
    bool Refill();
    bool Fail();

    std::string_view m_memory;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    std::uint64_t m_consumed = 0;
    std::vector<char> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_failed = false;
};
