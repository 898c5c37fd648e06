// Turning the links a scan found into nodes of the project's contents tree: clean-up, the
// page's base, resolution, the followable test, existing nodes, new nodes with their group,
// kind and place, and the marks for the conversion pass.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_sink.h"
#include "desktop/project/file_classifier.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CVQDoc;
class CVQDocNode;

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

    // ProcessLinks: every link of one tag, in order.
    void Links(CVQLinkList& links, int row, std::string_view tagText) override;
    // The title rule: the page's title, with the node's former name in parentheses.
    void Title(std::string_view title) override;
    bool KeepGoing() override;

    const std::string& Base() const { return m_base; }

private:
    struct Candidate {
        std::string name;    // the link as cleaned, before resolution
        std::string address; // resolved
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
    void MarkForConversion(const Candidate& candidate);

    CVQDoc& m_doc;
    CVQDocNode* m_page;
    std::string m_pageAddress;
    std::string m_base;
    std::string m_startDirUrl;
    const CVQFileClassifier& m_classifier;
    const CVQContentProbe& m_probe;
};
