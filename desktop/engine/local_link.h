// The text a converted link gets: the stored file's path relative to the page that links to it,
// written as a URL reference that a browser resolves to exactly that file.
#pragma once

#include <string>
#include <string_view>

namespace vq {

// target relative to the directory of pagePath: the directories both share are left out and
// "../" stands for each further directory of the page's. A target with a ".." segment stays
// absolute. Directories are compared exactly, as the file system does.
std::string RelativeLinkPath(std::string_view target, std::string_view pagePath);

// A local path as the path of a URL reference: every byte that a browser would read otherwise
// than as that byte of the name ("%", blanks, "#", "?", quotes, "&", parentheses, control
// characters, bytes from 128 on ...) is written as "%" and two upper-case hexadecimal digits.
std::string EncodeLocalPath(std::string_view path);

} // namespace vq
