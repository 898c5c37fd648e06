// ProcessLinks: the links of one tag become nodes of the contents tree.
#include "desktop/content/link_processor.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/page_edits.h"
#include "desktop/content/tag_table.h"
#include "desktop/project/doc.h"
#include "desktop/project/link_converter.h"
#include "desktop/project/link_rules.h"
#include "desktop/project/node_placement.h"

#include <algorithm>
#include <mutex>

namespace {

// Runs of blanks and line breaks in a title become one blank.
std::string SimplifyBlanks(std::string_view text) {
    std::string out;
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = !out.empty();
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

} // namespace

CVQLinkProcessor::CVQLinkProcessor(CVQDoc& doc, CVQDocNode* pageNode, std::string pageAddress,
                                   std::string base, const CVQFileClassifier& classifier,
                                   const CVQContentProbe& probe)
    : m_doc(doc), m_page(pageNode), m_pageAddress(std::move(pageAddress)), m_base(std::move(base)),
      m_startDirUrl(doc.StartDirUrl()), m_classifier(classifier), m_probe(probe) {}

bool CVQLinkProcessor::KeepGoing() {
    return !m_doc.Run().stopRequest.load();
}

std::string CVQLinkProcessor::BaseOf(std::string_view link, std::string_view base,
                                     std::string_view pageAddress) {
    const std::string absolute =
        vq::HasProtocol(link) ? std::string(link) : vq::ResolveLink(link, base, pageAddress);
    return vq::DirectoryUrl(absolute);
}

void CVQLinkProcessor::MarkForPass(CVQDoc& doc, CVQDocNode* page) {
    doc.SetLinksNeedConversion();
    if (page)
        page->selection |= kSelNeedsConversion;
}

bool CVQLinkProcessor::PassesRewriteTest(std::string_view link, bool javaFile) {
    if (link.empty())
        return false;
    return !javaFile || (link != "/" && link != "../" && link != "./");
}

bool CVQLinkProcessor::IsHtmlRow(int row) {
    return row != kRowImg && row != kRowAudio && row != kRowVideo;
}

bool CVQLinkProcessor::KeepsItsMeaning(std::string_view link, std::string_view base,
                                       std::string_view pageAddress) {
    return !vq::ProtocolPrefix(link).empty() ||
           vq::EqualsIgnoreCase(base, vq::DirectoryUrl(pageAddress));
}

void CVQLinkProcessor::RewriteInto(CVQPageEdits& edits, std::string pagePath, bool javaFile) {
    m_edits = &edits;
    m_pagePath = std::move(pagePath);
    m_javaFile = javaFile;
}

void CVQLinkProcessor::SetBase(const std::string& link) {
    m_base = BaseOf(link, m_base, m_pageAddress);
    MarkForPass(m_doc, m_page);
}

void CVQLinkProcessor::Classify(Candidate& c) const {
    c.localPath = m_doc.MapToLocalPath(c.address, true, true).path;
    c.fileClass = m_classifier.ClassifyExtension(vq::PathExtension(c.localPath));
}

std::optional<std::string> CVQLinkProcessor::Converted(const Candidate& c, int row,
                                                       bool requireExisting) const {
    CVQLinkConverter* converter = m_doc.LinkConverter();
    if (!converter)
        return std::nullopt;
    // The page is this worker's own node: its path is read here without the lock.
    const std::string pagePath =
        !m_pagePath.empty() ? m_pagePath : (m_page ? std::string(m_page->LocalPath()) : "");
    CVQLinkToConvert link;
    link.link = c.name;
    link.pageDirUrl = m_base;
    link.pageAddress = m_pageAddress;
    link.pagePath = pagePath;
    link.target = c.node;
    link.targetKnown = true;
    link.isHtml = IsHtmlRow(row);
    link.requireExisting = requireExisting;
    return converter->ConvertedLink(m_doc, link);
}

void CVQLinkProcessor::MarkForConversion(const Candidate& c, int row) {
    if (!c.node || !m_page || (m_page->selection & kSelNeedsConversion) != 0)
        return;
    if (m_doc.LinkConverter()) {
        // Any link that the pass would write otherwise: a root-relative one, an absolute one
        // to the site, one to a file stored under another name.
        const std::optional<std::string> converted = Converted(c, row, false);
        if (!converted || vq::EqualsIgnoreCase(*converted, c.name))
            return;
    } else {
        // A root-relative link cannot stay as it is in the stored copy.
        CVQLinkRules* rules = m_doc.LinkRules();
        if (!c.rootRelative || !rules || !rules->WouldBeConverted(m_doc, *c.node))
            return;
    }
    MarkForPass(m_doc, m_page);
}

void CVQLinkProcessor::Rewrite(const Candidate& c, const CVQFoundLink& link, int row,
                               const CVQTagPlace& place) {
    if (!PassesRewriteTest(c.name, m_javaFile))
        return;
    if (const std::optional<std::string> converted = Converted(c, row, true)) {
        m_edits->ReplaceLink(link, place, *converted);
        return;
    }
    // Its file is not on disk yet: the pass after the download converts it. Until then a link
    // that counted from the BASE, now a comment, points where it pointed.
    if (!KeepsItsMeaning(c.name, m_base, m_pageAddress))
        m_edits->ReplaceLink(link, place, c.address);
    MarkForConversion(c, row);
}

void CVQLinkProcessor::Title(std::string_view raw) {
    const std::string text = SimplifyBlanks(CVQLinkCleanup::DecodeReferences(raw));
    if (text.empty() || !m_page)
        return;
    // The page is this worker's own node: its title is read here without the lock.
    const std::string_view old = m_page->Title();
    std::string title;
    if (old.empty()) {
        title = text;
    } else if (old.find('(') == std::string_view::npos) {
        title = text + " (" + std::string(old) + ")";
    } else if (const std::size_t name = old.rfind(" (");
               name != std::string_view::npos && old.back() == ')') {
        // Read again: the file's name in parentheses stays, the page's title is renewed.
        title = text + std::string(old.substr(name));
    } else {
        title = text;
    }
    m_doc.Tree().SetTitle(m_page, title);
}

CVQDocNode* CVQLinkProcessor::AddNode(Candidate& c, int row) {
    if (!m_page)
        return nullptr;
    CVQNodeInit init;
    init.group = c.fileClass.group;
    init.contentClass = c.contentClass;
    init.extEnabled = c.fileClass.extEnabled;
    init.kind =
        vq::NodeKindFor(init.group, init.contentClass, vq::PathExtension(c.localPath), true);
    init.address = c.address;
    init.title = c.name;
    init.localPath = c.localPath;
    init.dirPosition = vq::DirectoryPosition(c.address, m_startDirUrl);
    // A frame's source is part of its page, as a style sheet is.
    const bool fromFrame = row == kRowFrame || row == kRowIFrame;
    init.level = vq::NewNodeLevel(m_page->level, m_page->dirPosition, init.dirPosition, fromFrame,
                                  vq::IsStyleSheetAddress(c.address));
    return m_doc.Tree().AddNode(m_page, init); // none when the tree is full
}

bool CVQLinkProcessor::FindOrAdd(Candidate& c, int row) {
    CVQDocTree& tree = m_doc.Tree();
    c.node = tree.FindByAddress(c.address);
    if (c.node) {
        if (c.node->status == kStatusToAnalyze)
            tree.SetTitle(c.node, c.name);
        // Only the mapping's mark for the conversion pass is wanted here, and a set mark
        // cannot be set more.
        if (!m_doc.LinksNeedConversion())
            m_doc.MapToLocalPath(c.address, true, c.node->IsHtml());
        return false;
    }
    if (c.localPath.empty())
        Classify(c);
    c.node = AddNode(c, row);
    return c.node != nullptr;
}

void CVQLinkProcessor::Links(CVQLinkList& links, int row, const CVQTagPlace& place) {
    std::vector<Candidate> candidates;
    candidates.reserve(links.size());
    bool commented = false;
    for (std::size_t i = 0; i < links.size(); ++i) {
        std::string name = CVQLinkCleanup::Clean(links[i].text);
        if (row == kRowBase) {
            SetBase(name);
            // The stored copy must not send its links back to the site.
            if (m_edits && !commented)
                m_edits->CommentOut(place);
            commented = true;
            continue;
        }
        if (!CVQLinkCleanup::IsFollowable(name))
            continue;
        Candidate c;
        c.address = vq::ResolveLink(name, m_base, m_pageAddress, &c.rootRelative);
        c.name = std::move(name);
        c.link = i;
        candidates.push_back(std::move(c));
    }
    if (candidates.empty())
        return;

    std::vector<CVQDocNode*> added;
    const auto addAll = [&] {
        for (Candidate& c : candidates)
            if (FindOrAdd(c, row))
                added.push_back(c.node);
    };

    // Which of the addresses are new, and which of those only the server can classify.
    std::vector<std::size_t> toProbe;
    {
        // The tree's own methods take the tree lock; the link lock keeps other workers from
        // adding the same addresses between the look-up and the adding.
        const std::lock_guard links(m_doc.LinkLock());
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            Candidate& c = candidates[i];
            if (m_doc.Tree().FindByAddress(c.address))
                continue;
            Classify(c);
            if (c.fileClass.group == 0 && m_probe)
                toProbe.push_back(i);
        }
        if (toProbe.empty())
            addAll();
    }
    if (!toProbe.empty()) {
        // The request goes out with no lock held, so that other workers go on meanwhile;
        // the tree is then asked again, since one of them may have added the address.
        std::vector<std::pair<std::string, std::pair<int, int>>> answers;
        for (std::size_t i : toProbe) {
            Candidate& c = candidates[i];
            const std::string key = vq::LookupKey(c.address);
            auto known = std::find_if(answers.begin(), answers.end(),
                                      [&key](const auto& a) { return a.first == key; });
            if (known == answers.end()) {
                int contentClass = 0;
                const int group = m_probe(c.address, m_doc, contentClass);
                known = answers.insert(answers.end(), {key, {group, contentClass}});
            }
            c.fileClass.group = known->second.first;
            c.contentClass = known->second.second;
        }
        const std::lock_guard links(m_doc.LinkLock());
        addAll();
    }
    // The conversion rule and the notices belong to higher floors: no lock is held for them.
    for (const Candidate& c : candidates) {
        if (m_edits)
            Rewrite(c, links[c.link], row, place);
        else
            MarkForConversion(c, row);
    }
    for (CVQDocNode* node : added)
        m_doc.TreeNotice(node, VQTreeChange::Added);
}
