// The engine's frontier over the contents tree: the node that a walk of the tree from the root
// would reach first among those still to be fetched, found without walking the tree again.
#pragma once

#include "desktop/project/tree_listener.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class CVQDocTree;
class CVQDocNode;

enum class VQWalkOrder { kLevelByLevel, kBranchByBranch };

// Every qualifying node is kept in a heap keyed by its place in the walk: the path of sibling
// positions from the root (pre-order), or the depth and then that path (level by level). Nodes
// appended to the tree get their key from their parent's, so a choice costs a few heap steps
// whatever the size of the tree. A change of shape (a branch deleted, a node inserted between
// siblings) drops the heap; the next choice builds it again from one walk.
//
// Next, Requeue and Release run under the project's queue lock; NodeAdded under the tree lock.
// An internal lock orders the two.
class CVQNodeQueue : public CVQTreeListener {
public:
    // The judgement of a qualifying node: true takes it, false passes over it (the caller gives
    // it its status 5 and counts it).
    using Judge = std::function<bool(CVQDocNode&)>;

    explicit CVQNodeQueue(const CVQDocTree& tree) : m_tree(tree) {}

    // Starts over for a run: its walk order, its download type (which decides what qualifies)
    // and the branch of a "Download Branch" (none for the whole tree). Qualifying nodes outside
    // the branch are never offered.
    void Reset(VQWalkOrder order, int downloadType, CVQDocNode* branch);
    // Drops what is kept; the next choice walks the tree once.
    void Invalidate();

    // The first qualifying node in walk order that judge takes, or none. Nodes judged before it
    // are not offered again unless requeued. A node taken gets no change here; the caller marks
    // it (status 1) before it releases the queue lock.
    CVQDocNode* Next(const Judge& judge);
    // A node that qualifies again (back to status 0 for a retry or an interrupted transfer).
    void Requeue(CVQDocNode& node);
    // The caller is done with a node it took: no more children will be appended to it.
    void Release(const CVQDocNode& node);

    // Whether the node qualifies for the run's download type: not the root, and status 0 or 4;
    // for the special types selected with the status they ask for.
    static bool Qualifies(const CVQDocNode& node, int downloadType);

    // CVQTreeListener
    void NodeAdded(CVQDocNode& node, bool appended) override;
    void TreeReshaped() override;

    // For the tests and the benchmark: entries kept, stale ones included.
    std::size_t KeptForTesting() const;

private:
    // A node of the walk with its key.
    struct Entry {
        std::string path; // sibling positions from the root, order-preserving encoded
        std::uint32_t depth = 0;
        CVQDocNode* node = nullptr;
    };
    // Consecutive siblings appended to one parent, offered one after the other; its key is the
    // key of its current node. A node made to qualify again is a batch of one.
    struct Batch {
        std::string path; // the current node's
        std::size_t parentPathLength = 0;
        std::uint32_t depth = 0;
        std::uint32_t position = 0; // the current node's among its siblings
        CVQDocNode* node = nullptr;
        std::uint32_t count = 0; // nodes left, the current one included
        const CVQDocNode* parent = nullptr;
    };
    // A node that may get children: its key and the position its next child takes.
    struct Parent {
        std::string path;
        std::uint32_t depth = 0;
        std::int64_t nextChild = -1; // not counted yet
        std::int64_t openBatch = -1; // the batch that the next appended child may extend
        std::uint32_t openEnd = 0;   // the position just after that batch's last node
    };
    struct Later {
        const CVQNodeQueue* queue;
        bool operator()(std::uint32_t a, std::uint32_t b) const;
    };

    bool Earlier(std::uint32_t depthA, const std::string& pathA, std::uint32_t depthB,
                 const std::string& pathB) const;
    void Rebuild();
    void PushBatch(Batch batch, Parent* owner);
    void FreeBatch(std::uint32_t index);
    // Moves a batch on to its next node; false when it is used up.
    bool Advance(Batch& batch);
    bool InBranch(const std::string& path) const;
    Parent& ParentOf(const CVQDocNode& node);
    // The key of a node found by walking up to the root and counting siblings (slow; for nodes
    // the queue did not hand out itself).
    Parent KeyByWalking(const CVQDocNode& node) const;
    void Drop();

    const CVQDocTree& m_tree;
    mutable std::mutex m_lock;
    VQWalkOrder m_order = VQWalkOrder::kLevelByLevel;
    int m_type = 1;
    CVQDocNode* m_branch = nullptr;
    std::string m_branchPath;
    bool m_valid = false;
    // The qualifying nodes found by the last walk, in walk order, and how many were offered.
    std::vector<Entry> m_walked;
    std::size_t m_cursor = 0;
    // Nodes that came later, as batches. Level by level, batches mostly come in key order (the
    // children of pages taken in walk order): those wait in a line, the others in a heap.
    std::vector<Batch> m_batches;
    std::vector<std::uint32_t> m_freeBatches;
    std::deque<std::uint32_t> m_line;
    std::vector<std::uint32_t> m_heap;
    std::unordered_map<const CVQDocNode*, Parent> m_parents;
};

namespace vq {

// Appends a sibling position in an encoding whose byte order is the order of the numbers and in
// which no code is the beginning of another, so that comparing paths as byte strings compares
// them position by position.
void AppendSiblingPosition(std::string& path, std::uint32_t position);

} // namespace vq
