// ProcessLinks: the links of one tag become nodes of the contents tree.
#include "desktop/content/link_processor.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/tag_table.h"
#include "desktop/project/doc.h"
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

void CVQLinkProcessor::SetBase(const std::string& link) {
    // A relative base counts from where the page stands.
    const std::string absolute =
        vq::HasProtocol(link) ? link : vq::ResolveLink(link, m_base, m_pageAddress);
    m_base = vq::DirectoryUrl(absolute);
    m_doc.SetLinksNeedConversion();
    if (m_page)
        m_page->selection = kSelNeedsConversion;
}

void CVQLinkProcessor::Classify(Candidate& c) const {
    c.localPath = m_doc.MapToLocalPath(c.address, true, true).path;
    c.fileClass = m_classifier.ClassifyExtension(vq::PathExtension(c.localPath));
}

void CVQLinkProcessor::MarkForConversion(const Candidate& c) {
    // A root-relative link cannot stay as it is in the stored copy.
    if (!c.rootRelative || !c.node || !m_page || m_page->selection == kSelNeedsConversion)
        return;
    CVQLinkRules* rules = m_doc.LinkRules();
    if (!rules || !rules->WouldBeConverted(m_doc, *c.node))
        return;
    m_doc.SetLinksNeedConversion();
    m_page->selection = kSelNeedsConversion;
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

void CVQLinkProcessor::Links(CVQLinkList& links, int row, std::string_view /*tagText*/) {
    std::vector<Candidate> candidates;
    candidates.reserve(links.size());
    for (const CVQFoundLink& link : links) {
        std::string name = CVQLinkCleanup::Clean(link.text);
        if (row == kRowBase) {
            SetBase(name);
            continue;
        }
        if (!CVQLinkCleanup::IsFollowable(name))
            continue;
        Candidate c;
        c.address = vq::ResolveLink(name, m_base, m_pageAddress, &c.rootRelative);
        c.name = std::move(name);
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
    for (const Candidate& c : candidates)
        MarkForConversion(c);
    for (CVQDocNode* node : added)
        m_doc.TreeNotice(node, VQTreeChange::Added);
}
