// Size and date texts of the log, the report and the information rows, and HTML escaping.
#include "desktop/project/text_format.h"

#include "desktop/resources/string_table.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <iterator>
#include <langinfo.h>
#include <locale.h>

namespace {

std::atomic<int> g_forcedClock{-1};

// "%.Nf" without the C library's locale: a user's decimal comma must not reach the log, the
// report or an identification text that a server reads.
std::string FixedText(double value, int decimals) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return "0";
    return std::string(buffer, result.ptr);
}

// The clock of a time format: 1 for 24 hours, 0 for 12 hours, -1 when it names no hour.
int ClockOfTimeFormat(const char* format) {
    int clock = -1;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        ++p;
        while (*p == 'E' || *p == 'O')
            ++p;
        switch (*p) {
        case 'I':
        case 'l':
        case 'r':
        case 'p':
        case 'P':
            return 0;
        case 'H':
        case 'k':
        case 'T':
        case 'R':
            clock = 1;
            break;
        case '\0':
            return clock;
        default:
            break;
        }
    }
    return clock;
}

// Reads the user's LC_TIME without touching the program's global locale.
bool LocaleUses24HourClock() {
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!user)
        return true;
    const char* format = nl_langinfo_l(T_FMT, user);
    const int clock = format ? ClockOfTimeFormat(format) : -1;
    freelocale(user);
    return clock != 0;
}

} // namespace

namespace vq {

std::string SizeText(std::uint64_t bytes) {
    if (bytes < 1024)
        return std::to_string(bytes) + VQText(IDS_SIZE_BYTES);
    // Dividing stops at GB: a larger size stays a number of GB instead of losing its factor.
    static constexpr int kUnits[] = {IDS_SIZE_KB, IDS_SIZE_MB, IDS_SIZE_GB};
    double value = static_cast<double>(bytes);
    std::size_t unit = 0;
    for (value /= 1024; value >= 1024 && unit + 1 < std::size(kUnits); value /= 1024)
        ++unit;
    return FixedText(value, 1) + VQText(kUnits[unit]);
}

bool Uses24HourClock() {
    const int forced = g_forcedClock.load();
    if (forced >= 0)
        return forced == 1;
    static const bool fromLocale = LocaleUses24HourClock();
    return fromLocale;
}

void ForceClock24(int mode) {
    g_forcedClock.store(mode < 0 ? -1 : (mode ? 1 : 0));
}

std::tm LocalTime(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    return local;
}

std::string DateTimeText(const std::tm& localTime, bool withSeconds) {
    const int hour = localTime.tm_hour;
    const int minute = localTime.tm_min;
    const int second = localTime.tm_sec;
    std::string time;
    if (Uses24HourClock()) {
        time = withSeconds ? VQFormatText("%d:%02d:%02d", hour, minute, second)
                           : VQFormatText("%d:%02d", hour, minute);
    } else {
        const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
        const std::string half = VQText(hour < 12 ? IDS_TIME_AM : IDS_TIME_PM);
        time = withSeconds ? VQFormatText("%d:%02d:%02d %s", hour12, minute, second, half.c_str())
                           : VQFormatText("%d:%02d %s", hour12, minute, half.c_str());
    }
    const int month = localTime.tm_mon;
    const std::string monthName = month >= 0 && month < 12 ? VQText(IDS_JANUARY + month) : "";
    return VQFormatText("%s, %s %d, %lld", time.c_str(), monthName.c_str(), localTime.tm_mday,
                        static_cast<long long>(localTime.tm_year) + 1900);
}

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string ReplaceExtension(std::string_view path, std::string_view ext) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool hasExtension =
        dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    return std::string(path.substr(0, hasExtension ? dot : path.size())) + "." + std::string(ext);
}

std::string LegalFileName(std::string_view text) {
    std::string name(text);
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
            c == '<' || c == '>' || c == '|')
            c = '_';
    }
    if (name == "." || name == "..")
        name.assign(name.size(), '_');
    return name;
}

} // namespace vq
