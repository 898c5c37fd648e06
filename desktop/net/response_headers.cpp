// Reading the header block of an HTTP answer.
#include "desktop/net/response_headers.h"

#include "desktop/address/text_util.h"

#include <charconv>
#include <ctime>
#include <curl/curl.h>

namespace {

std::optional<std::uint64_t> ParseNumber(std::string_view text) {
    std::uint64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || text.empty())
        return std::nullopt;
    return value;
}

} // namespace

void CVQResponseHeaders::Clear() {
    m_fields.clear();
    m_status = 0;
    m_complete = false;
}

void CVQResponseHeaders::AddLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    if (line.starts_with("HTTP/")) {
        Clear();
        const std::size_t blank = line.find(' ');
        if (blank != std::string_view::npos) {
            const std::string_view code = line.substr(blank + 1, 3);
            if (const std::optional<std::uint64_t> number = ParseNumber(code))
                m_status = static_cast<int>(*number);
        }
        return;
    }
    if (line.empty()) {
        m_complete = true;
        return;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return;
    m_fields.emplace_back(std::string(vq::TrimBlanks(line.substr(0, colon))),
                          std::string(vq::TrimBlanks(line.substr(colon + 1))));
}

std::optional<std::string> CVQResponseHeaders::Value(std::string_view name) const {
    for (const auto& [field, value] : m_fields) {
        if (!vq::EqualsIgnoreCase(field, name))
            continue;
        if (value.size() > kMaxValue)
            return std::nullopt;
        return value;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> CVQResponseHeaders::ContentLength() const {
    const std::optional<std::string> value = Value("Content-Length");
    return value ? ParseNumber(*value) : std::nullopt;
}

std::optional<std::int64_t> CVQResponseHeaders::LastModified() const {
    const std::optional<std::string> value = Value("Last-Modified");
    return value ? vq::ParseHttpDate(*value) : std::nullopt;
}

std::optional<std::uint64_t> CVQResponseHeaders::ContentRangeStart() const {
    const std::optional<std::string> value = Value("Content-Range");
    if (!value || !vq::StartsWithIgnoreCase(*value, "bytes "))
        return std::nullopt;
    const std::string_view range = std::string_view(*value).substr(6);
    return ParseNumber(vq::TrimBlanks(range.substr(0, range.find('-'))));
}

namespace vq {

std::optional<std::int64_t> ParseHttpDate(std::string_view text) {
    const std::string copy(text);
    const time_t seconds = curl_getdate(copy.c_str(), nullptr);
    if (seconds == -1)
        return std::nullopt;
    std::tm utc{};
    if (!gmtime_r(&seconds, &utc))
        return std::nullopt;
    const int year = utc.tm_year + 1900;
    if (year < 1 || year > 2037)
        return std::nullopt;
    return static_cast<std::int64_t>(seconds);
}

} // namespace vq
