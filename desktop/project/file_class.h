// The file-type group of a name by its extension in the project's lists, as the filters, the
// parser and the client classify addresses and stored files.
#pragma once

#include <string_view>

struct CVQPrjSettings;
struct CVQFileExt;

struct CVQFileClass {
    int group = 0;                     // group bit; 0 = unknown
    int extEnabled = 1;                // the entry's enabled flag; 1 for an unknown extension
    const CVQFileExt* entry = nullptr; // the list entry with its own size limits, if any
};

namespace vq {

// The text after the last "." of the last name part of a local path; empty without one.
std::string_view PathExtension(std::string_view path);

// The first list (in kFileGroupOrder) that holds ext, ignoring case.
CVQFileClass ClassifyExtension(const CVQPrjSettings& settings, std::string_view ext);

// An address by its file name (the text after the last slash): a name without any text (the
// address ends in "/" or holds "?" or "^" before any name) is HTML; otherwise its extension
// decides, and a name without one is unknown.
CVQFileClass ClassifyAddress(const CVQPrjSettings& settings, std::string_view address);

} // namespace vq
