// The header block of one HTTP answer as the client reads it: status, and values that fit the
// client's 1040-byte buffers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CVQResponseHeaders {
public:
    // A value needs its terminating zero in a 1040-byte buffer; a longer one counts as absent.
    static constexpr std::size_t kMaxValue = 1039;

    void Clear();
    // One raw line as received ("HTTP/1.1 200 OK\r\n", "Name: value\r\n", "\r\n"). A status
    // line starts a new block.
    void AddLine(std::string_view line);
    // The empty line that ends the block has arrived.
    bool Complete() const { return m_complete; }

    int Status() const { return m_status; }
    // The first value of a header (name ignoring case), trimmed; none when absent or too long.
    std::optional<std::string> Value(std::string_view name) const;

    // Content-Length as a number; none when absent or not a number.
    std::optional<std::uint64_t> ContentLength() const;
    // Last-Modified as seconds since 1970 (UTC); none when absent, unreadable, or its year does
    // not lie in 1-2037.
    std::optional<std::int64_t> LastModified() const;
    // The first byte position of "Content-Range: bytes first-last/total".
    std::optional<std::uint64_t> ContentRangeStart() const;

private:
    std::vector<std::pair<std::string, std::string>> m_fields;
    int m_status = 0;
    bool m_complete = false;
};

namespace vq {

// An HTTP date (RFC 1123, RFC 850 or asctime form) as seconds since 1970 (UTC).
std::optional<std::int64_t> ParseHttpDate(std::string_view text);

} // namespace vq
