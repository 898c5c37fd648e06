// Rewriting the links of a stored file for the conversion pass and the print copy.
#include "desktop/content/link_rewriter.h"

#include "desktop/address/address.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_processor.h"
#include "desktop/content/page_edits.h"
#include "desktop/content/tag_table.h"
#include "desktop/project/doc.h"
#include "desktop/project/link_converter.h"

CVQLinkRewriter::CVQLinkRewriter(CVQDoc& doc, CVQDocNode* page, std::string pageAddress,
                                 std::string base, std::string pagePath, VQMode mode, bool javaFile,
                                 CVQPageEdits& edits)
    : m_doc(doc), m_page(page), m_pageAddress(std::move(pageAddress)), m_base(std::move(base)),
      m_pagePath(std::move(pagePath)), m_mode(mode), m_javaFile(javaFile), m_edits(edits) {}

void CVQLinkRewriter::TagFound(int row) {
    if (m_mode == VQMode::Print && (row == kRowFrame || row == kRowIFrame))
        m_frameFound = true;
}

void CVQLinkRewriter::Links(CVQLinkList& links, int row, const CVQTagPlace& place) {
    if (m_frameFound)
        return;
    CVQLinkConverter* converter = m_doc.LinkConverter();
    bool commented = false;
    for (const CVQFoundLink& link : links) {
        const std::string name = CVQLinkCleanup::Clean(link.text);
        if (row == kRowBase) {
            m_base = CVQLinkProcessor::BaseOf(name, m_base, m_pageAddress);
            CVQLinkProcessor::MarkForPass(m_doc, m_page);
            if (!commented)
                m_edits.CommentOut(place);
            commented = true;
            continue;
        }
        if (!converter || !CVQLinkCleanup::IsFollowable(name) ||
            !CVQLinkProcessor::PassesRewriteTest(name, m_javaFile))
            continue;
        CVQLinkToConvert request;
        request.link = name;
        request.pageDirUrl = m_base;
        request.pageAddress = m_pageAddress;
        request.pagePath = m_pagePath;
        request.isHtml = CVQLinkProcessor::IsHtmlRow(row);
        request.absolute = m_mode == VQMode::Print;
        if (const auto converted = converter->ConvertedLink(m_doc, request))
            m_edits.ReplaceLink(link, place, *converted);
        else if (!CVQLinkProcessor::KeepsItsMeaning(name, m_base, m_pageAddress))
            // The BASE it counted from is a comment now: it keeps pointing to the server.
            m_edits.ReplaceLink(link, place, vq::ResolveLink(name, m_base, m_pageAddress));
    }
}
