// Taking the next node under the queue lock.
#include "desktop/engine/next_node.h"

#include "desktop/project/doc.h"

CVQNextNode::CVQNextNode(CVQDoc& doc) : m_doc(doc), m_filter(doc), m_queue(doc.Tree()) {}

CVQNextNode::~CVQNextNode() {
    End();
}

void CVQNextNode::Begin(int downloadType, CVQDocNode* branch, const std::string& startDirUrl) {
    std::lock_guard lock(m_doc.QueueLock());
    m_type = downloadType;
    m_branch = branch != nullptr;
    m_filter.SetStartDirUrl(startDirUrl);
    const VQWalkOrder order = m_doc.Settings().downloadMethod == 1 ? VQWalkOrder::kBranchByBranch
                                                                   : VQWalkOrder::kLevelByLevel;
    m_queue.Reset(order, downloadType, branch);
    m_doc.Tree().SetListener(&m_queue);
}

void CVQNextNode::End() {
    m_doc.Tree().SetListener(nullptr);
    m_queue.Invalidate();
}

bool CVQNextNode::Judge(CVQDocNode& node) {
    if (IsSpecialDownload(m_type))
        return true;
    if (m_filter.Allowed(node) && m_filter.LevelCheck(node))
        return true;
    node.status = kStatusFiltered;
    ++m_doc.Run().filesFiltered;
    m_passedOver.push_back(&node);
    return false;
}

CVQNextNode::Choice CVQNextNode::Take(int worker, const std::function<bool(int)>& othersBusy) {
    Choice choice;
    std::vector<CVQDocNode*> passedOver;
    {
        std::lock_guard lock(m_doc.QueueLock());
        CVQDocNode* node = m_queue.Next([this](CVQDocNode& n) { return Judge(n); });
        auto& idle = m_doc.Run().idle[static_cast<std::size_t>(worker)];
        if (node) {
            node->status = kStatusDownloading;
            if (IsSpecialDownload(m_type))
                node->selection &= static_cast<std::uint16_t>(~kSelSelected);
            else if (m_doc.Settings().down || m_branch)
                node->selection &= static_cast<std::uint16_t>(~kSelForcedIn);
            idle = false;
        } else {
            idle = true;
            choice.othersBusy = othersBusy(worker);
        }
        choice.node = node;
        passedOver.swap(m_passedOver);
    }
    for (CVQDocNode* n : passedOver)
        m_doc.TreeNotice(n, VQTreeChange::Changed);
    return choice;
}

bool CVQNextNode::TakeStartNode(CVQDocNode& node) {
    std::lock_guard lock(m_doc.QueueLock());
    const int status = node.status;
    if (status != kStatusToAnalyze && status != kStatusToCheck)
        return false;
    node.status = kStatusDownloading;
    return true;
}

void CVQNextNode::Requeue(CVQDocNode& node) {
    std::lock_guard lock(m_doc.QueueLock());
    m_queue.Requeue(node);
}

void CVQNextNode::Release(const CVQDocNode& node) {
    m_queue.Release(node);
}
