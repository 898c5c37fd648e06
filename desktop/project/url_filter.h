// A URL filter record of a project and the project's list of them, in the order entered.
#pragma once

#include <string>
#include <vector>

struct CVQUrl {
    int include = 1;       // 1 = "Include", 0 = "Exclude"
    int protocol = 15;     // 1 http, 2 https, 4 ftp, 8 file, 15 all
    std::string server;    // pattern; empty = any
    std::string directory; // pattern; empty = any
    std::string file;      // pattern; empty = any

    bool operator==(const CVQUrl&) const = default;
};

using CVQUrlArray = std::vector<CVQUrl>;
