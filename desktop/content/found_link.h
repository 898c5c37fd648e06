// A link as a handler found it, and the list a handler fills for one tag.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct CVQFoundLink {
    static constexpr std::size_t kComposed = std::string_view::npos;

    // The link as the page writes it, before clean-up (entities, tabs, blanks).
    std::string text;
    // Where that text stands in the page, counted in bytes as the scan reads them (zero bytes
    // do not count), and how many bytes it covers there; kComposed for a link the parser put
    // together itself (form submissions, a code base in front of a class file).
    std::size_t offset = kComposed;
    std::size_t length = 0;

    bool IsComposed() const { return offset == kComposed; }
};

using CVQLinkList = std::vector<CVQFoundLink>;
