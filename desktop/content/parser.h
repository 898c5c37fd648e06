// The parser of one download worker: reads a stored page, style sheet, script or class file
// for the addresses it refers to and adds every new one to the project's contents tree.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_processor.h"

#include <string>
#include <string_view>
#include <vector>

class CVQDoc;
class CVQDocNode;
class CVQInet;

class CVQParser {
public:
    CVQParser() = default;
    virtual ~CVQParser() = default;
    CVQParser(const CVQParser&) = delete;
    CVQParser& operator=(const CVQParser&) = delete;

    // The server question for links whose extension tells nothing; without one such links make
    // nodes of group 0.
    void SetContentProbe(CVQContentProbe probe) { m_probe = std::move(probe); }
    // The worker's own client asks it (ProbeContentKind); client must outlive the parser.
    void UseClient(CVQInet& client);

    // The entry after a file was stored: chooses the reader by the node's group and content
    // class and by the stored file's extension. False when the file cannot be read. Nothing is
    // read once the tree holds its maximum of nodes.
    bool ParseFile(std::string_view address, std::string_view localPath, CVQDocNode* node,
                   int workerIndex, CVQDoc& doc);

    // An HTML page; relative links start from the page's directory (or its BASE).
    bool ParsePage(std::string_view address, std::string_view localPath, CVQDocNode* node,
                   int workerIndex, CVQDoc& doc);
    // A style sheet (links relative to its own directory) or a script (relative to the page
    // that uses it, the node's parent).
    bool ParseTextFile(std::string_view address, std::string_view localPath, CVQDocNode* node,
                       int workerIndex, CVQDoc& doc, bool isScript);
    // A compiled Java class; links relative as for a script.
    bool ParseBinaryFile(std::string_view address, std::string_view localPath, CVQDocNode* node,
                         int workerIndex, CVQDoc& doc);
    // A WML or VRML document; read as a text file for now.
    bool ParseWml(std::string_view address, std::string_view localPath, CVQDocNode* node,
                  int workerIndex, CVQDoc& doc);

    // Expands the templates of a start address ("page{:1-3}.htm"); see CVQAddressTemplate.
    static bool ExpandAddressTemplate(std::string& address, std::vector<std::string>& list);

    // Turns one list of links (of tag row, or kRowNone) found in pageNode's file into nodes.
    // base is the directory relative links start from; a BASE row changes it.
    void ProcessLinks(CVQLinkList& list, std::string& base, int row, CVQDocNode* pageNode,
                      CVQDoc& doc);

private:
    CVQContentProbe m_probe;
};
