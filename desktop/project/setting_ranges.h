// The ranges the settings dialog holds each keyed number to, for every front end that takes a
// setting by its template key.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

enum class VQRangeKind {
    Integer, // a whole number from min to max
    Choice,  // one of the listed values
    Decimal, // a number of bytes, min or more
};

struct CVQSettingRange {
    std::string_view key;
    VQRangeKind kind = VQRangeKind::Integer;
    long long min = 0;
    long long max = 1;
    std::initializer_list<int> choices = {};
};

namespace vq {

// The range of a numeric setting; nullptr for keys that hold text, characters or lists (and
// for unknown keys). Keys compare without regard to case.
const CVQSettingRange* SettingRange(std::string_view key);

// Whether value (blanks around it allowed) is a number that the range admits.
bool IsInRange(const CVQSettingRange& range, std::string_view value);

// "1-100", "0 or 1", "1, 2, 3, 4 or 10", "0 or more": the allowed values as a message shows them.
std::string RangeText(const CVQSettingRange& range);

} // namespace vq
