// The choice of the next node a worker fetches: the first node of the walk that qualifies and
// passes the filters and the level check; the nodes it passes over on the way are filtered out.
#pragma once

#include "desktop/engine/download_filter.h"
#include "desktop/engine/node_queue.h"

#include <functional>
#include <string>
#include <vector>

class CVQDoc;
class CVQDocNode;

class CVQNextNode {
public:
    explicit CVQNextNode(CVQDoc& doc);
    ~CVQNextNode();
    CVQNextNode(const CVQNextNode&) = delete;
    CVQNextNode& operator=(const CVQNextNode&) = delete;

    CVQDownloadFilter& Filter() { return m_filter; }
    CVQNodeQueue& Queue() { return m_queue; }

    // Starts a walk for a start address: the walk order of the project, the run's download
    // type and branch, and the starting directory the server rules compare with.
    void Begin(int downloadType, CVQDocNode* branch, const std::string& startDirUrl);
    // Stops feeding the queue from the tree.
    void End();

    struct Choice {
        CVQDocNode* node = nullptr;
        bool othersBusy = false; // without a node: some other worker is still at work
    };
    // Under the queue lock: takes the next node for worker (status 1) and sets the worker's idle
    // flag when there is none; othersBusy tells whether any other worker is still busy.
    // Nodes passed over are told to the tree display once the lock is released.
    Choice Take(int worker, const std::function<bool(int self)>& othersBusy);
    // Worker 0's start node: taken (status 1) when it is still to be analyzed.
    bool TakeStartNode(CVQDocNode& node);
    // A node goes back to the queue (a retry, an interrupted transfer).
    void Requeue(CVQDocNode& node);
    // The worker is done with a node.
    void Release(const CVQDocNode& node);

private:
    bool Judge(CVQDocNode& node);

    CVQDoc& m_doc;
    CVQDownloadFilter m_filter;
    CVQNodeQueue m_queue;
    int m_type = 1;
    bool m_branch = false;
    std::vector<CVQDocNode*> m_passedOver; // under the queue lock
};
