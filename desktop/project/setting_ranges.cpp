// The ranges of the keyed numeric settings.
#include "desktop/project/setting_ranges.h"

#include "desktop/address/text_util.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <iterator>

namespace {

using K = VQRangeKind;

constexpr long long kUnsignedMax = UINT32_MAX;

// Every integer key the template carries; a (0/1) setting admits exactly those two.
const CVQSettingRange kRanges[] = {
    {"VQ_SINGLE_URL"},
    {"VQ_THREADS", K::Integer, 1, 100},
    {"VQ_FILE_TYPES", K::Integer, 0, 511},
    {"VQ_OFFSITE"},
    {"VQ_LIM_DS"},
    {"VQ_MAX_DS", K::Decimal},
    {"VQ_LIM_FQ"},
    {"VQ_MAX_FQ", K::Integer, 0, kUnsignedMax},
    {"VQ_LIM_MAXFS"},
    {"VQ_MAX_MAXFS", K::Decimal},
    {"VQ_LIM_MINFS"},
    {"VQ_MAX_MINFS", K::Decimal},
    {"VQ_LIM_TIME"},
    {"VQ_MAX_TIME", K::Integer, 0, kUnsignedMax},
    {"VQ_TR_UPDATE", K::Integer, 0, 3},
    {"VQ_TR_HTML"}, // a template writes 1 for "Only HTML Files", 0 for all
    {"VQ_TR_INIT"},
    {"VQ_TR_EXTBR"},
    {"VQ_TR_PR_EXTBR"},
    {"VQ_TR_LIMIT_F"},
    {"VQ_TR_MAX_F", K::Integer, 0, 100000},
    {"VQ_TR_STRUCT"},
    {"VQ_TR_ONLYD"},
    {"VQ_DIRSTR", K::Integer, 0, 2},
    {"VQ_UMETHOD", K::Integer, 0, 2},
    {"VQ_UPDLINKS", K::Integer, 0, 2},
    {"VQ_TIMEOUT", K::Integer, 10, 600},
    {"VQ_RETRIES", K::Integer, 0, 100},
    {"VQ_LIM_L"},
    {"VQ_MAX_L", K::Integer, 0, 32000},
    {"VQ_LIM_OL"},
    {"VQ_MAX_OL", K::Integer, 0, 32000},
    {"VQ_DOWN"},
    {"VQ_PROTOCOL", K::Integer, 1, 15},
    {"VQ_DETPREV"},
    {"VQ_KEEPHTML"},
    {"VQ_REPORT"},
    {"VQ_RENAMEHTML"},
    {"VQ_PAGEBREAK"},
    {"VQ_FASTPARSE"},
    {"VQ_HTMLLOGIN"},
    {"VQ_HTMLFORMS"},
    {"VQ_KEEPLOGFILE"},
    {"VQ_KEEPQUERY"},
    {"VQ_DOWNLDPAUSE", K::Integer, 0, 3600},
    {"VQ_IMAGEALWAYS"},
    {"VQ_DELOUTDATED"},
    {"VQ_CHECKCACHE"},
    {"VQ_NONHTMLALWAYS"},
    {"VQ_CONVERTWHENDWNLD"},
    {"VQ_CUSTOMERRORPAGE"},
    {"VQ_COPYPRTO", K::Choice, 1, 10, {1, 2, 3, 4, 10}},
    {"VQ_COPYPROJECT"},
    {"VQ_COPYDOWNLOAD"},
    {"VQ_NODEEXPORTINFO", K::Integer, 0, INT32_MAX},
    {"VQ_AUTOSYNCHPR"},
    {"VQ_FILETYPEMASK", K::Integer, 0, 511},
    {"VQ_SCALELEVEL", K::Integer, 1, 5},
    {"VQ_SCALEIMAGES"},
};

template <typename T> std::optional<T> WholeNumber(std::string_view text) {
    text = vq::TrimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    T value{};
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

namespace vq {

const CVQSettingRange* SettingRange(std::string_view key) {
    for (const CVQSettingRange& range : kRanges)
        if (vq::EqualsIgnoreCase(key, range.key))
            return &range;
    return nullptr;
}

bool IsInRange(const CVQSettingRange& range, std::string_view value) {
    if (range.kind == VQRangeKind::Decimal) {
        const std::optional<double> number = WholeNumber<double>(value);
        return number && std::isfinite(*number) && *number >= static_cast<double>(range.min);
    }
    const std::optional<long long> number = WholeNumber<long long>(value);
    if (!number)
        return false;
    if (range.kind == VQRangeKind::Choice) {
        for (int choice : range.choices)
            if (*number == choice)
                return true;
        return false;
    }
    return *number >= range.min && *number <= range.max;
}

std::string RangeText(const CVQSettingRange& range) {
    switch (range.kind) {
    case VQRangeKind::Decimal:
        return std::to_string(range.min) + " or more";
    case VQRangeKind::Choice: {
        std::string text;
        std::size_t i = 0;
        for (int choice : range.choices) {
            if (i > 0)
                text += i + 1 == range.choices.size() ? " or " : ", ";
            text += std::to_string(choice);
            ++i;
        }
        return text;
    }
    case VQRangeKind::Integer:
        break;
    }
    if (range.max == range.min + 1)
        return std::to_string(range.min) + " or " + std::to_string(range.max);
    return std::to_string(range.min) + "-" + std::to_string(range.max);
}

} // namespace vq
