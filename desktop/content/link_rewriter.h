// The sink of the rewriters of stored files: each followable link of a tag (or of a line of a
// style sheet or script) becomes what the project's link converter makes of it, replaced where
// it stands; a BASE tag becomes a comment.
#pragma once

#include "desktop/content/link_sink.h"

#include <string>

class CVQDoc;
class CVQDocNode;
class CVQPageEdits;

class CVQLinkRewriter : public CVQLinkSink {
public:
    enum class VQMode {
        Offline, // links relative to the page, for browsing the copy
        Print,   // "file://" and the absolute path, for the print file
    };

    // The links of page's file (stored for pageAddress) start from base and are made relative
    // to pagePath: the file itself, or for a script the page that uses it. javaFile: a script,
    // whose path pieces ("/", "./", "../") stay.
    CVQLinkRewriter(CVQDoc& doc, CVQDocNode* page, std::string pageAddress, std::string base,
                    std::string pagePath, VQMode mode, bool javaFile, CVQPageEdits& edits);

    void TagFound(int row) override;
    void Links(CVQLinkList& links, int row, const CVQTagPlace& place) override;
    bool KeepGoing() override { return !m_frameFound; }

    // In print mode, a FRAME or IFRAME tag was met: the page cannot be printed.
    bool FrameFound() const { return m_frameFound; }

private:
    CVQDoc& m_doc;
    CVQDocNode* m_page;
    std::string m_pageAddress;
    std::string m_base;
    std::string m_pagePath;
    VQMode m_mode;
    bool m_javaFile;
    CVQPageEdits& m_edits;
    bool m_frameFound = false;
};
