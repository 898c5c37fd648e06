// The whole-value test and the replacement of a link in its tag text.
#include "desktop/content/link_replace.h"

#include "desktop/address/text_util.h"

#include <algorithm>

namespace {

constexpr std::size_t npos = std::string_view::npos;

char CharAt(std::string_view text, std::size_t pos) {
    return pos < text.size() ? text[pos] : '\0';
}

bool EndsValue(char c) {
    return c == '\0' || c == '\n' || c == '\r' || c == ' ' || c == '"' || c == '\'' || c == '>';
}

// Replaces the occurrences of oldText in text that pass the test; true when any did.
bool ReplaceIn(std::string& text, std::string_view oldText, std::string_view newText,
               bool delimited) {
    bool replaced = false;
    for (std::size_t pos = text.find(oldText); pos != npos;) {
        if (!delimited || CVQLinkReplace::StandsAsValue(text, pos, oldText.size())) {
            text.replace(pos, oldText.size(), newText);
            replaced = true;
            pos = text.find(oldText, pos + newText.size());
        } else {
            pos = text.find(oldText, pos + 1);
        }
    }
    return replaced;
}

} // namespace

bool CVQLinkReplace::StandsAsValue(std::string_view text, std::size_t pos, std::size_t length) {
    const char before = pos == 0 ? '\0' : text[pos - 1];
    const std::size_t end = pos + length;
    const char after = CharAt(text, end);
    switch (before) {
    case '"':
    case '\'':
        if (after == before)
            return true;
        // A string of a script written with escaped quotes: \"link\"
        return pos >= 2 && text[pos - 2] == '\\' && before == '"' && after == '\\' &&
               CharAt(text, end + 1) == '"';
    case '=':
    case '\0':
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case '>':
        return EndsValue(after);
    case '(':
        return after == ')';
    default:
        return false;
    }
}

bool CVQLinkReplace::Replace(std::string& tagText, std::string_view oldText,
                             std::string_view newText, bool delimited) {
    if (oldText.empty() || vq::EqualsIgnoreCase(oldText, newText))
        return false;
    if (tagText.find(oldText) != npos)
        return ReplaceIn(tagText, oldText, newText, delimited);
    if (tagText.find('\n') == npos)
        return false;
    std::string joined = tagText;
    std::erase(joined, '\n');
    if (!ReplaceIn(joined, oldText, newText, delimited))
        return false;
    tagText = std::move(joined);
    return true;
}
