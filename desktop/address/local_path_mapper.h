// Maps an address to the local file that stores it under the save directory in use.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the mapping needs to know of the project. Local paths are native ("/"-separated).
struct CVQPathRules {
    std::string saveDir;       // absolute, ends in "/"
    std::string startDirUrl;   // directory URL of the start address, ends in "/"
    int dirStructure = 0;      // VQ_DIRSTR: 0 relative, 1 based on URLs, 2 one directory
    std::string defaultName = "default.htm"; // VQ_DEFFNAME
    bool retainFileNames = false;
    bool renameHtml = true;    // VQ_RENAMEHTML
    bool keepQuery = false;    // VQ_KEEPQUERY
    std::vector<std::string> htmlExtensions; // the project's HTML extension list
};

struct CVQLocalPath {
    std::string path;
    // The stored name differs from a plain copy of the address, so links to it need rewriting.
    bool needsConversion = false;
    // The address tried to leave the save directory; its "." and ".." segments were dropped.
    bool madeHarmless = false;
};

class CVQLocalPathMapper {
public:
    explicit CVQLocalPathMapper(CVQPathRules rules);

    const CVQPathRules& Rules() const { return m_rules; }

    // treatAsDirectory appends "/" when the address is the starting directory without its slash;
    // isHtml chooses VQ_DEFFNAME over "default." for names that end in a directory.
    CVQLocalPath Map(std::string_view address, bool treatAsDirectory, bool isHtml) const;

private:
    std::string RawRelativePath(std::string_view address, std::string_view defaultName,
                                bool& flag) const;
    std::string Flatten(std::string_view text, bool& flag) const;
    bool IsHtmlExtension(std::string_view ext) const;
    void RenameHtml(std::string& rel, bool isHtml, bool& flag) const;
    std::string HashedPath(const std::string& rel, std::string_view address) const;

    CVQPathRules m_rules;
    std::vector<std::string> m_htmlExtensions; // lower case, sorted
};
