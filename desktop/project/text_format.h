// Size and date texts shared by the log, the report and the download information rows.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace vq {

// "1023 bytes", "1.5 KB", "1.0 MB", ... " GB" for anything larger.
std::string SizeText(std::uint64_t bytes);

// "14:05:09, March 7, 2026" with the user's 12- or 24-hour clock.
std::string DateTimeText(const std::tm& localTime, bool withSeconds);

// The local date and time of a moment (now when none is given).
std::tm LocalTime(std::time_t when = std::time(nullptr));

// Whether the user's locale uses a 24-hour clock (LC_TIME); tests may force one.
bool Uses24HourClock();
void ForceClock24(int mode); // -1 follow the locale, 0 12-hour, 1 24-hour

// "&", "<", ">", '"' and "'" as entities, for text written into HTML.
std::string HtmlEscape(std::string_view text);

// The path with the extension of its last name (from its last ".") replaced by ext; ext is
// appended after a "." when the name has none.
std::string ReplaceExtension(std::string_view path, std::string_view ext);

// The text made a legal file name: path separators, the characters a file name may not hold on
// the systems projects travel to, and control characters become "_"; "." and ".." too.
std::string LegalFileName(std::string_view text);

} // namespace vq
