// A part of a text by position and length, as the readers of tag texts return them.
#pragma once

#include <cstddef>
#include <string_view>

struct CVQSpan {
    std::size_t pos = std::string_view::npos;
    std::size_t length = 0;

    bool Found() const { return pos != std::string_view::npos; }
    bool Empty() const { return !Found() || length == 0; }
    std::string_view In(std::string_view text) const { return text.substr(pos, length); }
};
