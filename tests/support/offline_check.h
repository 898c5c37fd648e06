// Browses a stored copy of a site the way a browser would, without any code of the program:
// every page and style sheet under a folder is read, each link in them is resolved as a browser
// resolves a reference in a local file, and the links that lead nowhere are reported.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CVQOfflineProblem {
    enum Kind {
        MissingFile, // a link to a local file that is not there
        LeftOnline,  // a link to the server for a file the copy holds
    };
    Kind kind;
    std::string page;   // the stored file that holds the link
    std::string link;   // as written there
    std::string target; // the local path it names, or the address
};

struct CVQOfflineCheck {
    // The local file that an address of the server is stored in, none when the copy does not
    // hold it. Without it, links to servers are not looked at.
    std::function<std::optional<std::string>(std::string_view address)> storedFileOf;
    // Extensions (lower case, without the dot) of the files that are read.
    std::vector<std::string> pageExtensions = {"htm", "html", "shtml", "css"};

    struct Totals {
        std::size_t files = 0;       // pages and style sheets read
        std::size_t localLinks = 0;  // links to local files, found or not
        std::size_t onlineLinks = 0; // links to servers
    };

    // The problems of the copy under folder.
    std::vector<CVQOfflineProblem> Run(const std::string& folder, Totals* totals = nullptr) const;
};

// The links an HTML page or a style sheet holds as a browser would follow them: attribute values
// (href, src, background, lowsrc, action, data and a refresh target) outside comments and
// scripts, and url(...) and @import values; character references decoded.
std::vector<std::string> OfflineLinksOf(std::string_view text, bool styleSheet);
