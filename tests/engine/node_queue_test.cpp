#include "desktop/engine/node_queue.h"
#include "desktop/project/doc_tree.h"
#include "desktop/project/download_state.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

// The walk of the tree from the root, as the next-node search was first written: the node a
// queue hands out must be this one, and the nodes judged on the way the same.
CVQDocNode* WalkFromRoot(const CVQDocTree& tree, VQWalkOrder order, int type, CVQDocNode* branch,
                         const CVQNodeQueue::Judge& judge) {
    CVQDocNode* found = nullptr;
    const auto inBranch = [branch](const CVQDocNode& n) {
        for (const CVQDocNode* p = &n; p; p = p->parent)
            if (p == branch)
                return true;
        return false;
    };
    const CVQDocTree::Visitor visit = [&](CVQDocNode& n) {
        if (!CVQNodeQueue::Qualifies(n, type) || (branch && !inBranch(n)))
            return true;
        if (!judge(n))
            return true;
        found = &n;
        return false;
    };
    if (order == VQWalkOrder::kLevelByLevel)
        tree.WalkLevelOrder(nullptr, visit);
    else
        tree.WalkPreOrder(nullptr, visit);
    return found;
}

// Two trees grown alike: one served by the queue, one searched by walking from the root.
class TwinTrees {
public:
    TwinTrees() {
        m_a.CreateRoot("a");
        m_b.CreateRoot("b");
        m_pairs.push_back({m_a.Root(), m_b.Root()});
        m_ids[m_a.Root()] = m_ids[m_b.Root()] = 0;
    }

    CVQDocTree& A() { return m_a; }
    CVQDocTree& B() { return m_b; }

    // Adds a node under pair parent (or after sibling pair after) in both trees.
    std::size_t Add(std::size_t parent, int status, std::uint16_t selection = 0,
                    std::size_t after = 0, int reason = 0) {
        const std::string address = "http://t/" + std::to_string(m_pairs.size());
        const CVQNodeInit init{.address = address, .status = status, .selection = selection};
        CVQDocNode* a = m_a.AddNode(m_pairs[parent].a, init, after ? m_pairs[after].a : nullptr);
        CVQDocNode* b = m_b.AddNode(m_pairs[parent].b, init, after ? m_pairs[after].b : nullptr);
        a->reason = b->reason = reason;
        m_pairs.push_back({a, b});
        m_ids[a] = m_ids[b] = m_pairs.size() - 1;
        return m_pairs.size() - 1;
    }
    // 0 stands for the root and for no node.
    std::size_t Id(const CVQDocNode* n) const { return n ? m_ids.at(n) : 0; }
    CVQDocNode* InA(std::size_t id) { return m_pairs[id].a; }
    CVQDocNode* InB(std::size_t id) { return m_pairs[id].b; }
    std::size_t Size() const { return m_pairs.size(); }
    bool Gone(std::size_t id) const { return m_pairs[id].a == nullptr; }
    void Remove(std::size_t id) {
        m_a.DetachBranch(m_pairs[id].a, nullptr);
        m_b.DetachBranch(m_pairs[id].b, nullptr);
        // Forget every pair whose node went with the branch.
        for (auto& pair : m_pairs)
            if (pair.a && !Reachable(m_a, pair.a))
                pair = {nullptr, nullptr};
    }
    // Sets a field on both nodes of a pair.
    template <typename F> void Both(std::size_t id, F f) {
        f(*m_pairs[id].a);
        f(*m_pairs[id].b);
    }

private:
    struct Pair {
        CVQDocNode* a;
        CVQDocNode* b;
    };
    static bool Reachable(const CVQDocTree& tree, const CVQDocNode* n) {
        bool found = false;
        tree.WalkPreOrder(nullptr, [&](CVQDocNode& x) {
            found = &x == n;
            return !found;
        });
        return found;
    }

    CVQDocTree m_a, m_b;
    std::vector<Pair> m_pairs;
    std::unordered_map<const CVQDocNode*, std::size_t> m_ids;
};

struct Scenario {
    VQWalkOrder order;
    int type;
    bool branch;
    unsigned seed;
};

void RunScenario(const Scenario& s) {
    std::mt19937 rng(s.seed);
    const auto chance = [&](int percent) { return static_cast<int>(rng() % 100) < percent; };
    const bool special = s.type != kDownloadNew;
    const auto newStatus = [&] {
        if (special)
            return chance(60) ? kStatusError : kStatusDownloaded;
        return chance(70) ? kStatusToAnalyze : (chance(50) ? kStatusToCheck : kStatusDownloaded);
    };
    const auto newReason = [&] { return chance(50) ? kReasonIncomplete : 404; };

    TwinTrees trees;
    // A first tree of a few hundred nodes, as an earlier run would leave it.
    for (int i = 0; i < 300; ++i)
        trees.Add(rng() % trees.Size(), newStatus(), chance(60) ? kSelSelected : 0, 0, newReason());
    CVQDocNode* branchA = nullptr;
    CVQDocNode* branchB = nullptr;
    if (s.branch) {
        const std::size_t id = trees.Id(trees.A().Root()->firstChild.load());
        branchA = trees.InA(id);
        branchB = trees.InB(id);
    }

    CVQNodeQueue queue(trees.A());
    trees.A().SetListener(&queue);
    struct Unhook {
        CVQDocTree& tree;
        ~Unhook() { tree.SetListener(nullptr); }
    } unhook{trees.A()};
    queue.Reset(s.order, s.type, branchA);

    // Refuses about one node in six, by its address, and records what it refused.
    std::vector<std::size_t> refusedA, refusedB;
    const auto judge = [&](std::vector<std::size_t>& refused) {
        return [&, special](CVQDocNode& n) {
            if (special)
                return true;
            const std::size_t id = trees.Id(&n);
            if (id % 6 != 3)
                return true;
            n.status = kStatusFiltered;
            refused.push_back(id);
            return false;
        };
    };
    const auto judgeA = judge(refusedA);
    const auto judgeB = judge(refusedB);

    std::vector<std::size_t> held;
    int taken = 0;
    for (int step = 0; step < 3000; ++step) {
        if (held.size() < 4 && chance(60)) {
            CVQDocNode* a = queue.Next(judgeA);
            CVQDocNode* b = WalkFromRoot(trees.B(), s.order, s.type, branchB, judgeB);
            ASSERT_EQ(trees.Id(a), trees.Id(b)) << "step " << step;
            ASSERT_EQ(refusedA, refusedB) << "step " << step;
            if (!a)
                continue;
            ++taken;
            const std::size_t id = trees.Id(a);
            trees.Both(id, [](CVQDocNode& n) {
                n.status = kStatusDownloading;
                n.selection = n.selection & ~kSelSelected;
            });
            held.push_back(id);
            continue;
        }
        if (held.empty())
            continue;
        // A worker finishes one of its nodes: links found on it, then done or tried again.
        const std::size_t at = rng() % held.size();
        const std::size_t id = held[at];
        held.erase(held.begin() + static_cast<long>(at));
        const int children = static_cast<int>(rng() % 6);
        for (int c = 0; c < children; ++c)
            trees.Add(id,
                      special ? newStatus() : (chance(85) ? kStatusToAnalyze : kStatusDownloaded),
                      chance(60) ? kSelSelected : 0, 0, newReason());
        if (chance(5))
            trees.Add(0, kStatusToAnalyze, kSelSelected); // another start page
        if (chance(3) && trees.Size() > 2) {
            // Somewhere else in the tree: not under a node the queue handed out.
            const std::size_t parent = rng() % trees.Size();
            if (!trees.Gone(parent))
                trees.Add(parent, kStatusToAnalyze, kSelSelected);
        }
        if (chance(2)) {
            // A node put between two siblings: the positions after it change.
            const std::size_t sibling = rng() % trees.Size();
            if (sibling != 0 && !trees.Gone(sibling))
                trees.Add(trees.Id(trees.InA(sibling)->parent.load()), kStatusToAnalyze,
                          kSelSelected, sibling);
        }
        if (chance(15)) {
            trees.Both(id, [&](CVQDocNode& n) {
                n.status = special ? kStatusError : kStatusToAnalyze;
                n.selection = n.selection | kSelSelected;
                n.reason = kReasonIncomplete;
            });
            queue.Requeue(*trees.InA(id));
        } else {
            trees.Both(id, [](CVQDocNode& n) { n.status = kStatusDownloaded; });
        }
        queue.Release(*trees.InA(id));
        if (chance(1) && held.empty() && trees.Size() > 10) {
            const std::size_t victim = 1 + rng() % (trees.Size() - 1);
            if (!trees.Gone(victim) && trees.InA(victim) != branchA)
                trees.Remove(victim);
        }
    }
    EXPECT_GT(taken, 100);
}

TEST(NodeQueue, ChoosesWhatTheWalkFromTheRootChooses) {
    const Scenario scenarios[] = {
        {VQWalkOrder::kLevelByLevel, kDownloadNew, false, 1},
        {VQWalkOrder::kLevelByLevel, kDownloadNew, false, 2},
        {VQWalkOrder::kBranchByBranch, kDownloadNew, false, 3},
        {VQWalkOrder::kBranchByBranch, kDownloadNew, false, 4},
        {VQWalkOrder::kLevelByLevel, kDownloadNew, true, 5},
        {VQWalkOrder::kBranchByBranch, kDownloadNew, true, 6},
        {VQWalkOrder::kLevelByLevel, kDownloadSelected, false, 7},
        {VQWalkOrder::kBranchByBranch, kDownloadFailed, false, 8},
        {VQWalkOrder::kLevelByLevel, kDownloadIncomplete, false, 9},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(testing::Message() << "seed " << s.seed);
        RunScenario(s);
    }
}

TEST(NodeQueue, SiblingPositionsCompareInOrder) {
    const std::uint32_t values[] = {0, 1, 0x7F, 0x80, 0x81, 0x407F, 0x4080, 0x204080, 0xFFFFFFFF};
    for (std::size_t i = 0; i + 1 < std::size(values); ++i) {
        std::string a, b;
        vq::AppendSiblingPosition(a, values[i]);
        vq::AppendSiblingPosition(b, values[i + 1]);
        EXPECT_LT(a, b) << values[i];
        // A longer path that begins with a smaller position still comes first.
        vq::AppendSiblingPosition(a, 0xFFFFFFFF);
        EXPECT_LT(a, b) << values[i];
    }
}

} // namespace
