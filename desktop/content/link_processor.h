// Turning the links a scan found into nodes of the project's contents tree: clean-up, the
// page's base, resolution, the followable test, existing nodes, new nodes with their group,
// kind and place, and the marks for the conversion pass.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_sink.h"
#include "desktop/project/file_classifier.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CVQDoc;
class CVQDocNode;
class CVQPageEdits;

// Asks the server what an address holds when its extension tells nothing: the group (0 when
// the answer gives none or the request failed) and, in contentClass, the content class.
using CVQContentProbe =
    std::function<int(const std::string& address, CVQDoc& doc, int& contentClass)>;

class CVQLinkProcessor : public CVQLinkSink {
public:
    // Links are found in pageNode's file, stored for pageAddress; base is the directory that
    // relative links start from (a BASE tag changes it). probe may be empty.
    CVQLinkProcessor(CVQDoc& doc, CVQDocNode* pageNode, std::string pageAddress, std::string base,
                     const CVQFileClassifier& classifier, const CVQContentProbe& probe);

    // Rewriting during the download: each link that passes the rewrite test and leads to a
    // file already on disk is replaced through edits, made relative to pagePath (the file
    // itself, or for a script the page that uses it).
    void RewriteInto(CVQPageEdits& edits, std::string pagePath, bool javaFile);

    // ProcessLinks: every link of one tag, in order.
    void Links(CVQLinkList& links, int row, const CVQTagPlace& place) override;
    // The title rule: the page's title, with the node's former name in parentheses.
    void Title(std::string_view title) override;
    bool KeepGoing() override;

    const std::string& Base() const { return m_base; }

    // The directory a BASE link makes the base of the rest of the page (a relative one counts
    // from where the page stands).
    static std::string BaseOf(std::string_view link, std::string_view base,
                              std::string_view pageAddress);
    // The marks that make the conversion pass rewrite the page.
    static void MarkForPass(CVQDoc& doc, CVQDocNode* page);
    // The rewrite test: not empty and, in a script or class file, none of "/", "../" and "./"
    // (path pieces of the code rather than addresses).
    static bool PassesRewriteTest(std::string_view link, bool javaFile);
    // Whether a link of row names a page (the default name of a directory address): all but
    // pictures and media.
    static bool IsHtmlRow(int row);
    // Whether a link left as it is still means what it meant once the page's BASE is a comment:
    // an address with its own protocol does; a relative one does only while the base is the
    // page's own directory.
    static bool KeepsItsMeaning(std::string_view link, std::string_view base,
                                std::string_view pageAddress);

private:
    struct Candidate {
        std::string name;     // the link as cleaned, before resolution
        std::string address;  // resolved
        std::size_t link = 0; // its place in the tag's list
        bool rootRelative = false;
        CVQDocNode* node = nullptr; // the node found or made
        // For a new node, decided before the tree is touched again.
        std::string localPath;
        CVQFileClass fileClass;
        int contentClass = 0;
    };

    void SetBase(const std::string& link);
    void Classify(Candidate& candidate) const;
    bool FindOrAdd(Candidate& candidate, int row);
    CVQDocNode* AddNode(Candidate& candidate, int row);
    void MarkForConversion(const Candidate& candidate, int row);
    void Rewrite(const Candidate& candidate, const CVQFoundLink& link, int row,
                 const CVQTagPlace& place);
    std::optional<std::string> Converted(const Candidate& candidate, int row,
                                         bool requireExisting) const;

    CVQDoc& m_doc;
    CVQDocNode* m_page;
    std::string m_pageAddress;
    std::string m_base;
    std::string m_startDirUrl;
    const CVQFileClassifier& m_classifier;
    const CVQContentProbe& m_probe;
    CVQPageEdits* m_edits = nullptr; // rewriting during the download when set
    std::string m_pagePath;
    bool m_javaFile = false;
};
