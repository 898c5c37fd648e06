// The print file of a branch for "Print Web Site": the print copy of every stored page of the
// branch, one table row each.
#pragma once

#include <functional>
#include <string>

class CVQDoc;
class CVQDocNode;
class CVQParser;

class CVQPrintFile {
public:
    // Appends to printFile the pages of the branch below (and with) branch, in tree order:
    // each stored HTML page other than a style sheet, except pages with frames. keepGoing is
    // asked after each page; false ends the file early. False when printFile cannot be written.
    static bool Build(CVQParser& parser, CVQDoc& doc, CVQDocNode* branch,
                      const std::string& printFile, const std::function<bool()>& keepGoing = {});
};
