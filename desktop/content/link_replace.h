// Replacing a link's text inside the text of its tag, only where it stands as a whole value:
// the characters around it decide, so that the same text inside a longer word stays.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

class CVQLinkReplace {
public:
    // Every occurrence of oldText (letter case counts) in tagText that stands as a whole value
    // becomes newText; without delimited, every occurrence does. When oldText does not occur at
    // all, it is looked for once more in the tag text without its line feeds (a link broken
    // over two lines), and the tag text loses them when that finds a value. Nothing changes when
    // newText equals oldText ignoring case. True when something was replaced.
    static bool Replace(std::string& tagText, std::string_view oldText, std::string_view newText,
                        bool delimited);

    // Whether text[pos, pos + length) stands as a whole value. The characters before and after
    // it decide; '\0' stands for the start and the end of the text (scanned text holds no zero
    // bytes):
    //   a quote before:           the same quote after, or \" on both sides;
    //   "=" before:               the end, a line break, a blank, a quote or ">" after;
    //   the start, a blank, a tab, a line break or ">" before: the same as for "=";
    //   "(" before:               ")" after;
    //   anything else before:     never.
    static bool StandsAsValue(std::string_view text, std::size_t pos, std::size_t length);
};
