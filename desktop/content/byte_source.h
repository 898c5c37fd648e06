// The bytes of a stored file, or of a text held in memory, as the scanners read them: zero
// bytes are dropped, so a page written with them (or in a wide encoding) is still read.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

class CVQByteSource {
public:
    virtual ~CVQByteSource() = default;

    // nullptr when the file cannot be opened.
    static std::unique_ptr<CVQByteSource> OpenFile(const std::string& path);
    // The text must outlive the source.
    static std::unique_ptr<CVQByteSource> FromText(std::string_view text);

    // Writes up to max bytes (none of them zero) to out; 0 only at the end of the data or on a
    // read error.
    std::size_t Read(char* out, std::size_t max);

    // Whether zero bytes were dropped so far.
    bool DroppedZeros() const { return m_droppedZeros; }

protected:
    // The raw bytes; 0 at the end.
    virtual std::size_t ReadRaw(char* out, std::size_t max) = 0;

private:
    bool m_droppedZeros = false;
};
