// Small byte-string helpers shared by the address rules: ASCII case folding and trimming.
#pragma once

#include <string>
#include <string_view>

namespace vq {

// Inline: it runs once per byte in every comparison of addresses.
inline char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
std::string ToLowerAscii(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);
// Position of needle in text ignoring case, or npos.
std::size_t FindIgnoreCase(std::string_view text, std::string_view needle, std::size_t from = 0);
// Position of the first character of text at or after from that is one of set, or npos. Unlike
// string_view::find_first_of it does not search the set once per character.
std::size_t FindFirstOf(std::string_view text, std::string_view set, std::size_t from = 0);
// Without blanks (spaces, tabs, line breaks) on both sides.
std::string_view TrimBlanks(std::string_view text);
bool IsSlash(char c);
// Position of the last slash or backslash, or npos.
std::size_t FindLastSlash(std::string_view text);
// Position of the first slash or backslash at or after from, or npos.
std::size_t FindFirstSlash(std::string_view text, std::size_t from = 0);
// The value of a hexadecimal digit, -1 for any other character.
int HexDigitValue(char c);
// Every "%" followed by two hexadecimal digits becomes that byte, as a browser reads the path
// of an address; anything else stays.
std::string PercentDecoded(std::string_view text);

} // namespace vq
