// Reading attribute values out of a tag's text the way the page scan does: by name, quoted
// or bare, and taking the quoted address out of a call such as a window-opening function.
#pragma once

#include "desktop/content/text_span.h"

#include <cstddef>
#include <string_view>

class CVQAttributeReader {
public:
    // The position just after the "=" of the first attribute called name (ignoring case) at or
    // after from, with only blanks or line breaks between the name and the "="; npos when there
    // is none. A name that starts a word is preferred to one at the end of a longer word
    // ("SRC" is not the end of "LOWSRC" when the tag has a "SRC" of its own).
    static std::size_t FindAttribute(std::string_view text, std::string_view name,
                                     std::size_t from = 0);

    // The value that starts at pos (just after an "="). Leading blanks and line breaks are
    // skipped; a value in double quotes, "&quot;" or single quotes ends at the next same
    // delimiter (empty when none follows); a bare value ends at a blank, line break, quote or
    // ">". A value holding a call with a quoted argument gives that argument. *end receives
    // the position after the value as written (after its closing delimiter).
    static CVQSpan ReadValue(std::string_view text, std::size_t pos, std::size_t* end = nullptr);

    // FindAttribute and ReadValue together; not Found() when the attribute is missing.
    static CVQSpan Attribute(std::string_view text, std::string_view name, std::size_t from = 0,
                             std::size_t* end = nullptr);

    // The value after the next "=" at or after from; not Found() when there is no more "=".
    static CVQSpan NextValue(std::string_view text, std::size_t from, std::size_t* end);

    // The first literal in single quotes, double quotes or "&quot;" that lies inside the
    // first "(" and the last ")" of the value; not Found() when there is none.
    static CVQSpan CallArgument(std::string_view value);

    // The value that starts at pos (after leading blanks and line breaks) between a pair of
    // delimiters: double quotes, "&quot;" and, with singleQuotes, single quotes. Not Found()
    // when it does not start with one; empty when no closing delimiter follows. *end receives
    // the position after the closing delimiter.
    static CVQSpan DelimitedValue(std::string_view text, std::size_t pos, bool singleQuotes,
                                  std::size_t* end = nullptr);

    static std::size_t SkipBlanks(std::string_view text, std::size_t pos);
    static bool IsWordChar(char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '_';
    }
    static bool IsBlank(char c) { return c == ' ' || c == '\t'; }
    static bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }
};
