// The frontier of a download: qualifying nodes in walk order, fed by the tree as nodes arrive.
#include "desktop/engine/node_queue.h"

#include "desktop/project/doc_tree.h"
#include "desktop/project/download_state.h"

#include <algorithm>
#include <new>

namespace vq {

void AppendSiblingPosition(std::string& path, std::uint32_t position) {
    // 1 byte below 0x80, 2 bytes (0x80-0xBF first) below 0x4080, 3 bytes (0xC0-0xDF first)
    // below 0x204080, else 0xE0 and 4 bytes: longer codes always compare greater.
    constexpr std::uint32_t kTwo = 0x80;
    constexpr std::uint32_t kThree = kTwo + 0x4000;
    constexpr std::uint32_t kFour = kThree + 0x200000;
    if (position < kTwo) {
        path.push_back(static_cast<char>(position));
    } else if (position < kThree) {
        const std::uint32_t w = position - kTwo;
        path.push_back(static_cast<char>(0x80 | (w >> 8)));
        path.push_back(static_cast<char>(w & 0xFF));
    } else if (position < kFour) {
        const std::uint32_t w = position - kThree;
        path.push_back(static_cast<char>(0xC0 | (w >> 16)));
        path.push_back(static_cast<char>((w >> 8) & 0xFF));
        path.push_back(static_cast<char>(w & 0xFF));
    } else {
        path.push_back(static_cast<char>(0xE0));
        for (int shift = 24; shift >= 0; shift -= 8)
            path.push_back(static_cast<char>((position >> shift) & 0xFF));
    }
}

} // namespace vq

namespace {

std::uint32_t CountEarlierSiblings(const CVQDocNode& node) {
    std::uint32_t count = 0;
    for (const CVQDocNode* n = node.prev; n; n = n->prev)
        ++count;
    return count;
}

} // namespace

bool CVQNodeQueue::Qualifies(const CVQDocNode& node, int downloadType) {
    if (!node.parent.load())
        return false;
    const int status = node.status;
    const bool selected = (node.selection & kSelSelected) != 0;
    switch (downloadType) {
    case kDownloadSelected:
        return selected;
    case kDownloadFailed:
        return selected && status == kStatusError;
    case kDownloadIncomplete:
        return selected && status == kStatusError && node.reason == kReasonIncomplete;
    default:
        return status == kStatusToAnalyze || status == kStatusToCheck;
    }
}

bool CVQNodeQueue::Earlier(std::uint32_t depthA, const std::string& pathA, std::uint32_t depthB,
                           const std::string& pathB) const {
    if (m_order == VQWalkOrder::kLevelByLevel && depthA != depthB)
        return depthA < depthB;
    return pathA < pathB;
}

bool CVQNodeQueue::Later::operator()(std::uint32_t a, std::uint32_t b) const {
    const Batch& x = queue->m_batches[a];
    const Batch& y = queue->m_batches[b];
    return queue->Earlier(y.depth, y.path, x.depth, x.path);
}

void CVQNodeQueue::Reset(VQWalkOrder order, int downloadType, CVQDocNode* branch) {
    std::lock_guard lock(m_lock);
    m_order = order;
    m_type = downloadType;
    m_branch = branch;
    Drop();
}

void CVQNodeQueue::Invalidate() {
    std::lock_guard lock(m_lock);
    Drop();
}

void CVQNodeQueue::TreeReshaped() {
    std::lock_guard lock(m_lock);
    Drop();
}

void CVQNodeQueue::Drop() {
    m_valid = false;
    m_walked.clear();
    m_walked.shrink_to_fit();
    m_cursor = 0;
    m_batches.clear();
    m_freeBatches.clear();
    m_line.clear();
    m_heap.clear();
    m_parents.clear();
}

std::size_t CVQNodeQueue::KeptForTesting() const {
    std::lock_guard lock(m_lock);
    std::size_t kept = m_walked.size() - m_cursor;
    for (std::uint32_t index : m_heap)
        kept += m_batches[index].count;
    for (std::uint32_t index : m_line)
        kept += m_batches[index].count;
    return kept;
}

CVQNodeQueue::Parent CVQNodeQueue::KeyByWalking(const CVQDocNode& node) const {
    std::vector<std::uint32_t> positions;
    for (const CVQDocNode* n = &node; n->parent.load(); n = n->parent)
        positions.push_back(CountEarlierSiblings(*n));
    Parent key;
    key.depth = static_cast<std::uint32_t>(positions.size());
    for (auto it = positions.rbegin(); it != positions.rend(); ++it)
        vq::AppendSiblingPosition(key.path, *it);
    return key;
}

CVQNodeQueue::Parent& CVQNodeQueue::ParentOf(const CVQDocNode& node) {
    auto it = m_parents.find(&node);
    if (it == m_parents.end())
        it = m_parents.emplace(&node, KeyByWalking(node)).first;
    return it->second;
}

bool CVQNodeQueue::InBranch(const std::string& path) const {
    return !m_branch || path.starts_with(m_branchPath);
}

void CVQNodeQueue::Rebuild() {
    Drop();
    CVQDocNode* root = m_tree.Root();
    if (!root)
        return;
    CVQDocNode* start = m_branch ? m_branch : root;
    Parent startKey = m_branch ? KeyByWalking(*m_branch) : Parent{};
    m_branchPath = startKey.path;

    // One pre-order walk with the path kept on a stack. Level by level wants the same entries
    // grouped by depth, each group still in pre-order: that is the order of the level walk.
    std::vector<std::vector<Entry>> byDepth;
    const auto visit = [&](CVQDocNode* n, const std::string& path, std::uint32_t depth) {
        if (!Qualifies(*n, m_type))
            return;
        Entry entry{path, depth, n};
        if (m_order == VQWalkOrder::kBranchByBranch) {
            m_walked.push_back(std::move(entry));
            return;
        }
        const std::size_t level = depth - startKey.depth;
        if (byDepth.size() <= level)
            byDepth.resize(level + 1);
        byDepth[level].push_back(std::move(entry));
    };

    struct Frame {
        CVQDocNode* child;
        std::uint32_t position;
        std::size_t pathLength;
    };
    std::string path = startKey.path;
    visit(start, path, startKey.depth);
    std::vector<Frame> stack;
    stack.push_back({start->firstChild, 0, path.size()});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        CVQDocNode* child = frame.child;
        if (!child) {
            stack.pop_back();
            continue;
        }
        path.resize(frame.pathLength);
        vq::AppendSiblingPosition(path, frame.position);
        frame.child = child->next;
        ++frame.position;
        visit(child, path, startKey.depth + static_cast<std::uint32_t>(stack.size()));
        if (CVQDocNode* first = child->firstChild)
            stack.push_back({first, 0, path.size()});
    }
    if (m_order == VQWalkOrder::kLevelByLevel) {
        std::size_t total = 0;
        for (const auto& level : byDepth)
            total += level.size();
        m_walked.reserve(total);
        for (auto& level : byDepth)
            std::move(level.begin(), level.end(), std::back_inserter(m_walked));
    }
    m_parents.emplace(root, Parent{});
    m_valid = true;
}

void CVQNodeQueue::PushBatch(Batch batch, Parent* owner) {
    std::uint32_t index;
    if (!m_freeBatches.empty()) {
        index = m_freeBatches.back();
        m_freeBatches.pop_back();
        m_batches[index] = std::move(batch);
    } else {
        index = static_cast<std::uint32_t>(m_batches.size());
        m_batches.push_back(std::move(batch));
    }
    if (owner) {
        owner->openBatch = index;
        owner->openEnd = m_batches[index].position + 1;
    }
    // Level by level, the nodes of a batch of one parent never interleave with those of another
    // parent's batch, so a batch that begins after the line's last one comes after all of it.
    const Batch& added = m_batches[index];
    if (m_order == VQWalkOrder::kLevelByLevel &&
        (m_line.empty() || !Earlier(added.depth, added.path, m_batches[m_line.back()].depth,
                                    m_batches[m_line.back()].path))) {
        m_line.push_back(index);
        return;
    }
    m_heap.push_back(index);
    std::push_heap(m_heap.begin(), m_heap.end(), Later{this});
}

void CVQNodeQueue::FreeBatch(std::uint32_t index) {
    Batch& batch = m_batches[index];
    if (batch.parent) {
        const auto it = m_parents.find(batch.parent);
        if (it != m_parents.end() && it->second.openBatch == index)
            it->second.openBatch = -1;
    }
    batch = Batch{};
    m_freeBatches.push_back(index);
}

bool CVQNodeQueue::Advance(Batch& batch) {
    if (--batch.count == 0)
        return false;
    batch.node = batch.node->next;
    if (!batch.node)
        return false;
    ++batch.position;
    batch.path.resize(batch.parentPathLength);
    vq::AppendSiblingPosition(batch.path, batch.position);
    return true;
}

void CVQNodeQueue::NodeAdded(CVQDocNode& node, bool appended) {
    std::lock_guard lock(m_lock);
    if (!m_valid)
        return; // the next choice walks the tree and finds it there
    if (!appended) {
        // Siblings after it moved: their keys are no longer right.
        Drop();
        return;
    }
    try {
        const CVQDocNode* parentNode = node.parent;
        Parent& parent = ParentOf(*parentNode);
        if (parent.nextChild < 0)
            parent.nextChild = CountEarlierSiblings(node);
        const auto position = static_cast<std::uint32_t>(parent.nextChild++);

        if (parent.openBatch >= 0 && parent.openEnd == position) {
            Batch& open = m_batches[static_cast<std::size_t>(parent.openBatch)];
            ++open.count;
            ++parent.openEnd;
            return;
        }
        Batch batch;
        batch.path = parent.path;
        batch.parentPathLength = batch.path.size();
        vq::AppendSiblingPosition(batch.path, position);
        if (!InBranch(batch.path))
            return;
        batch.depth = parent.depth + 1;
        batch.position = position;
        batch.node = &node;
        batch.count = 1;
        batch.parent = parentNode;
        PushBatch(std::move(batch), &parent);
    } catch (const std::bad_alloc&) {
        Drop();
    }
}

void CVQNodeQueue::Requeue(CVQDocNode& node) {
    std::lock_guard lock(m_lock);
    if (!m_valid)
        return;
    try {
        const auto it = m_parents.find(&node);
        Parent key = it != m_parents.end() ? it->second : KeyByWalking(node);
        if (!InBranch(key.path))
            return;
        Batch batch;
        batch.parentPathLength = key.path.size(); // a batch of one never moves on
        batch.path = std::move(key.path);
        batch.depth = key.depth;
        batch.node = &node;
        batch.count = 1;
        PushBatch(std::move(batch), nullptr);
    } catch (const std::bad_alloc&) {
        Drop();
    }
}

void CVQNodeQueue::Release(const CVQDocNode& node) {
    std::lock_guard lock(m_lock);
    if (node.parent.load())
        m_parents.erase(&node);
}

CVQDocNode* CVQNodeQueue::Next(const Judge& judge) {
    std::lock_guard lock(m_lock);
    try {
        if (!m_valid)
            Rebuild();
        for (;;) {
            // The earliest of the three heads: the walked nodes, the line and the heap.
            enum class Source { kNone, kWalked, kLine, kHeap } source = Source::kNone;
            std::uint32_t depth = 0;
            const std::string* path = nullptr;
            const auto consider = [&](Source s, std::uint32_t d, const std::string& p) {
                if (source == Source::kNone || Earlier(d, p, depth, *path)) {
                    source = s;
                    depth = d;
                    path = &p;
                }
            };
            if (m_cursor < m_walked.size())
                consider(Source::kWalked, m_walked[m_cursor].depth, m_walked[m_cursor].path);
            if (!m_line.empty())
                consider(Source::kLine, m_batches[m_line.front()].depth,
                         m_batches[m_line.front()].path);
            if (!m_heap.empty())
                consider(Source::kHeap, m_batches[m_heap.front()].depth,
                         m_batches[m_heap.front()].path);
            if (source == Source::kNone)
                return nullptr;

            std::string key;
            CVQDocNode* node = nullptr;
            if (source == Source::kWalked) {
                Entry& entry = m_walked[m_cursor++];
                key = std::move(entry.path);
                node = entry.node;
            } else if (source == Source::kLine) {
                const std::uint32_t index = m_line.front();
                Batch& batch = m_batches[index];
                key = batch.path;
                node = batch.node;
                // The rest of a batch still comes before every later batch of the line.
                if (!Advance(batch)) {
                    m_line.pop_front();
                    FreeBatch(index);
                }
            } else {
                std::pop_heap(m_heap.begin(), m_heap.end(), Later{this});
                const std::uint32_t index = m_heap.back();
                m_heap.pop_back();
                Batch& batch = m_batches[index];
                key = batch.path;
                node = batch.node;
                if (Advance(batch)) {
                    m_heap.push_back(index);
                    std::push_heap(m_heap.begin(), m_heap.end(), Later{this});
                } else {
                    FreeBatch(index);
                }
            }
            if (!Qualifies(*node, m_type) || !judge(*node))
                continue;
            Parent& taken = m_parents[node];
            taken.path = std::move(key);
            taken.depth = depth;
            return node;
        }
    } catch (const std::bad_alloc&) {
        Drop();
        return nullptr;
    }
}
