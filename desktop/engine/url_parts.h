// The parts of an address that the URL filters look at: protocol bit, server, directory, file.
#pragma once

#include <string>
#include <string_view>

struct CVQUrlParts {
    int protocol = 0;      // 1 http, 2 https, 4 ftp, 8 file, 0 none
    std::string server;    // the text before the first slash
    std::string directory; // between server and file, without a trailing slash
    std::string file;      // the last segment when it holds a "." (with any query)
};

namespace vq {

// Splits an address after its protocol prefix. The separator is "/", or "\" for an address
// without any slash. The "URL Filter" dialog fills its fields from an address the same way.
CVQUrlParts SplitUrlForFilters(std::string_view address);

// The extension of an address's file name: the text after the last "." of what follows the last
// slash, before any query, fragment or parameters; empty without one.
std::string_view AddressExtension(std::string_view address);

} // namespace vq
