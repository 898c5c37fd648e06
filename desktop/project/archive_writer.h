// The archive encoding of the project file on the writing side: little-endian DWORDs and doubles,
// length-prefixed strings, into a file descriptor (buffered) or a string in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CVQArchiveWriter {
public:
    explicit CVQArchiveWriter(int fd);
    explicit CVQArchiveWriter(std::string* memory) : m_memory(memory) {}

    void Bytes(const void* data, std::size_t size);
    void Byte(std::uint8_t value) { Bytes(&value, 1); }
    void Dword(std::uint32_t value);
    void Int(int value) { Dword(static_cast<std::uint32_t>(value)); }
    void Double(double value);
    // STRING: a 1-byte length below 255, else 0xFF and a 16-bit length below 65534, else 0xFF,
    // 0xFFFF and a 32-bit length; then the bytes.
    void String(std::string_view text);
    // TEXT of a node record: a DWORD length, then the bytes.
    void Text(std::string_view text);

    // Writes what is buffered; false once a write failed (Error() gives the error number).
    bool Flush();
    int Error() const { return m_error; }

private:
    int m_fd = -1;
    std::string* m_memory = nullptr;
    std::vector<char> m_buffer;
    int m_error = 0;
};
