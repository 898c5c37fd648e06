// The event attributes of a tag ("ONCLICK", "ONMOUSEOVER", ...): the single-quoted addresses
// inside their double-quoted values, such as the page a click opens in a new window.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/string_scanner.h"

#include <array>
#include <string_view>

class CVQEventAttributes {
public:
    // In the order their links are listed.
    static constexpr std::array<std::string_view, 15> kNames = {
        "ONCLICK",  "ONMOUSEOVER", "ONMOUSEENTER", "ONMOUSEOUT", "ONSUBMIT",
        "ONBLUR",   "ONCHANGE",    "ONRESET",      "ONSELECT",   "ONLOAD",
        "ONUNLOAD", "ONFOCUS",     "ONMOUSEDOWN",  "ONMOUSEUP",  "ONMOUSELEAVE"};
    static constexpr unsigned kAll = (1u << kNames.size()) - 1;
    static constexpr unsigned Bit(std::string_view name) {
        for (std::size_t i = 0; i < kNames.size(); ++i)
            if (kNames[i] == name)
                return 1u << i;
        return 0;
    }

    // Reads the first attribute of each chosen name in one pass over text and adds the links
    // of their values, name by name. Offsets are positions in text.
    static void Read(std::string_view text, const CVQStringScanner& scanner, CVQLinkList& out,
                     unsigned which = kAll);
};
