// Where a newly found address sits in the site: its directory position relative to the starting
// directory and its link level. The parser applies these when it adds a node below a page.
#pragma once

#include <string_view>

namespace vq {

// 0 or more: directory levels below the starting directory startDirUrl; negative: outside it on
// the same server; -1073741824 or less: on another server (or without a host).
int DirectoryPosition(std::string_view address, std::string_view startDirUrl);

// The level of a node found on page P (P's level and directory position given). A frame source
// and a style sheet stay on their page's level; the first page on another server starts the
// offsite count at 0; the start page (below the root, whose level is unset) is on level 0.
int NewNodeLevel(int pageLevel, int pagePosition, int position, bool fromFrame, bool isStyleSheet);

// Whether the address names a style sheet (extension "css", ignoring case and any query).
bool IsStyleSheetAddress(std::string_view address);

} // namespace vq
