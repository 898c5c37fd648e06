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

    // --- Rewriting stored files (the conversion pass, the print file) -------------------
    // Each rewrites the node's stored file in place, replacing every link that the project's
    // link converter changes and nothing else; a file without such a link is not touched.
    // False when the node has no stored file or it cannot be read or written.
    //
    // An HTML page (group 1, content class 0, not a style sheet); a BASE tag becomes a comment.
    bool RewritePage(CVQDocNode* node, CVQDoc& doc);
    // A style sheet (links relative to its own directory) or a script (to the page that uses
    // it). A file holding neither "function" nor "{" in its first 1000 lines stays as it is.
    bool RewriteTextFile(CVQDocNode* node, CVQDoc& doc, bool isScript);
    // A WML or VRML document; read as a text file for now.
    bool RewriteWml(CVQDocNode* node, CVQDoc& doc);
    // Writes the page (group 1) to targetFile with its links as "file://" addresses of the
    // stored files; with VQ_PAGEBREAK, after the page-break style (first page) or a page-break
    // paragraph. False for a page with frames, which cannot be printed.
    bool MakePrintCopy(CVQDocNode* node, CVQDoc& doc, const std::string& targetFile,
                       bool isFirstPage);
    // Replaces the link oldText where it stands as a whole value in tagText; see
    // CVQLinkReplace.
    static bool ReplaceLink(std::string& tagText, std::string_view oldText,
                            std::string_view newText, bool delimited);

    // Expands the templates of a start address ("page{:1-3}.htm"); see CVQAddressTemplate.
    static bool ExpandAddressTemplate(std::string& address, std::vector<std::string>& list);

    // Turns one list of links (of tag row, or kRowNone) found in pageNode's file into nodes.
    // base is the directory relative links start from; a BASE row changes it.
    void ProcessLinks(CVQLinkList& list, std::string& base, int row, CVQDocNode* pageNode,
                      CVQDoc& doc);

private:
    enum class VQTextKind { StyleSheet, Script, Wml };
    bool RewriteText(CVQDocNode* node, CVQDoc& doc, VQTextKind kind);

    CVQContentProbe m_probe;
};
