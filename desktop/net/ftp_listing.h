// An FTP directory listing: its entries read from the server's MLSD or LIST answer, and the
// small HTML page that stands for the directory in the copy.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CVQFtpEntry {
    std::string name; // the final name part, without control characters
    bool isDirectory = false;
    bool reduced = false; // the server's name held a directory part or control characters
};

namespace vq {

// An object path that stands for a directory: it ends in "/", holds no "." at all, or its last
// "." lies before its last "/". An empty path is not a directory.
bool LooksLikeFtpDirectory(std::string_view objectPath);

// The entries of an MLSD answer ("fact=value;...; name" lines); "." and ".." are left out.
std::vector<CVQFtpEntry> ParseMlsdListing(std::string_view text);

// The entries of a LIST answer in the Unix ("drwxr-xr-x 2 u g 4096 Jan  1 12:00 name") or the
// DOS ("01-01-20  12:00PM  <DIR>  name") form; lines of neither form are left out.
std::vector<CVQFtpEntry> ParseListListing(std::string_view text);

// "<html>", one anchor per entry whose link and text are its name (a directory's with "/"), and
// "</html>". Names are escaped for HTML, and the link also for an address.
std::string FtpListingPage(const std::vector<CVQFtpEntry>& entries);

} // namespace vq
