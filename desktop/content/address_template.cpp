// Expansion of address templates.
#include "desktop/content/address_template.h"

#include <charconv>
#include <cstdint>
#include <string_view>

namespace {

constexpr std::size_t npos = std::string::npos;
// Longer digit bounds do not fit the counter.
constexpr std::size_t kMaxDigits = 18;

bool AllDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::int64_t ToNumber(std::string_view digits) {
    std::int64_t value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

} // namespace

bool CVQAddressTemplate::Series(const std::string& address, std::size_t& begin, std::size_t& end,
                                std::vector<std::string>& values) {
    begin = address.find("{:");
    if (begin == npos)
        return false;
    end = address.find('}', begin + 2);
    if (end == npos)
        return false;
    const std::string_view body = std::string_view(address).substr(begin + 2, end - begin - 2);
    const std::size_t bar = body.find('|');
    const std::string_view range = body.substr(0, bar);
    const std::size_t dash = range.find('-', 1);
    if (dash == std::string_view::npos)
        return false;
    const std::string_view from = range.substr(0, dash);
    const std::string_view to = range.substr(dash + 1);
    if (from.empty() || to.empty())
        return false;
    std::int64_t step = 1;
    if (bar != std::string_view::npos) {
        const std::string_view stepText = body.substr(bar + 1);
        if (!AllDigits(stepText) &&
            !(stepText.size() > 1 && stepText[0] == '-' && AllDigits(stepText.substr(1))))
            return false;
        if (stepText.size() > kMaxDigits)
            return false;
        std::from_chars(stepText.data(), stepText.data() + stepText.size(), step);
        if (step <= 0)
            step = 1;
    }

    std::int64_t first = 0;
    std::int64_t last = 0;
    int width = 0;
    const bool numbers = AllDigits(from) && AllDigits(to);
    if (numbers) {
        if (from.size() > kMaxDigits || to.size() > kMaxDigits)
            return false;
        first = ToNumber(from);
        last = ToNumber(to);
        if (from.size() == to.size() && from[0] == '0')
            width = static_cast<int>(from.size());
    } else {
        first = static_cast<unsigned char>(from[0]);
        last = static_cast<unsigned char>(to[0]);
    }
    const std::int64_t span = first <= last ? last - first : first - last;
    if (static_cast<std::uint64_t>(span / step) >= kMaxAddresses)
        return false;
    const std::int64_t direction = first <= last ? step : -step;
    for (std::int64_t v = first; first <= last ? v <= last : v >= last; v += direction) {
        if (!numbers) {
            values.emplace_back(1, static_cast<char>(v));
            continue;
        }
        std::string text = std::to_string(v);
        if (static_cast<int>(text.size()) < width)
            text.insert(0, static_cast<std::size_t>(width) - text.size(), '0');
        values.push_back(std::move(text));
    }
    return true;
}

bool CVQAddressTemplate::Expand(std::string& address, std::vector<std::string>& list) {
    std::vector<std::string> done;
    std::vector<std::string> pending{address};
    bool expanded = false;
    // Each round expands the first template of every pending address.
    while (!pending.empty()) {
        std::vector<std::string> next;
        for (const std::string& item : pending) {
            std::size_t begin = 0;
            std::size_t end = 0;
            std::vector<std::string> values;
            if (!Series(item, begin, end, values)) {
                if (item.find("{:") != npos && item.find('}', item.find("{:")) != npos)
                    return false; // a malformed template
                done.push_back(item);
                continue;
            }
            expanded = true;
            if (done.size() + next.size() + values.size() > kMaxAddresses)
                return false;
            for (const std::string& value : values)
                next.push_back(item.substr(0, begin) + value + item.substr(end + 1));
        }
        pending = std::move(next);
    }
    if (!expanded)
        return false;
    // Combinations keep the order of the first template, then of the second, and so on.
    address = done.front();
    list.insert(list.end(), done.begin(), done.end());
    return true;
}
