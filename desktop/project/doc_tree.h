// The contents tree: every address of the project, which is also the crawl frontier.
#pragma once

#include "desktop/project/doc_node.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

class CVQAddressIndex;

class CVQDocTree {
public:
    static constexpr std::size_t kMaxNodes = 100'000'000;

    CVQDocTree();
    ~CVQDocTree();
    CVQDocTree(const CVQDocTree&) = delete;
    CVQDocTree& operator=(const CVQDocTree&) = delete;

    // A new root (kind 1) titled title ("New Project" when empty); frees any previous tree.
    CVQDocNode* CreateRoot(std::string_view title);
    CVQDocNode* Root() const { return m_root.get(); }
    // Nodes below the root.
    std::size_t NodeCount() const { return m_count; }

    // Appends a page (kind 2) or file (kind 3) node as the last child of parent; none beyond the
    // node limit. Callers hold the project's tree lock.
    CVQDocNode* AddPage(CVQDocNode* parent);
    CVQDocNode* AddFile(CVQDocNode* parent);
    // Inserts a file node directly after the given node, as its next sibling.
    CVQDocNode* InsertFileAfter(CVQDocNode* sibling);

    // Sets the address of a node and enters it in the address index.
    void SetAddress(CVQDocNode* node, std::string_view address);

    // The node standing for an address: through the address index when it is in use, else by
    // walking the tree; either way the same-address test decides.
    CVQDocNode* FindByAddress(std::string_view address) const;

    // Throws the address index away and builds it again (at the start of every download).
    // Returns false when it could not be built; lookups then walk the tree.
    bool RebuildIndex();
    void DropIndex();
    bool HasIndex() const;

    // Pre-order (first child, else next sibling, else an ancestor's next sibling), never leaving
    // the start node's subtree; level-order visits every node of one depth before the next.
    // The visitor returns false to stop the walk.
    using Visitor = std::function<bool(CVQDocNode&)>;
    void WalkPreOrder(CVQDocNode* start, const Visitor& visit) const;
    void WalkLevelOrder(CVQDocNode* start, const Visitor& visit) const;
    static CVQDocNode* NextPreOrder(const CVQDocNode* node, const CVQDocNode* start);

    // Preparations for a download, over the whole tree or the branch below node.
    void ResetForNewDownload(CVQDocNode* branch = nullptr);
    void PrepareContinue(CVQDocNode* branch = nullptr);
    void PrepareFailedOnly(CVQDocNode* branch = nullptr);
    void PrepareIncompleteOnly(CVQDocNode* branch = nullptr);
    void ToggleSelection(CVQDocNode* node);

    // Unlinks node and frees its subtree; with deleteFiles, removes the stored files and the
    // directories left empty, otherwise sets the stored HTML and Java files one minute back.
    void DeleteBranch(CVQDocNode* node, bool deleteFiles);
    // Removes only the node; its children take its place.
    void DeleteNodeKeepChildren(CVQDocNode* node);

    // Recounts the nodes below the root.
    std::size_t Recount();

private:
    CVQDocNode* Link(std::unique_ptr<CVQDocNode> node, CVQDocNode* parent, CVQDocNode* after);
    void FreeSubtree(CVQDocNode* node);

    std::unique_ptr<CVQDocNode> m_root;
    std::size_t m_count = 0;
    std::unique_ptr<CVQAddressIndex> m_index;
    mutable std::mutex m_indexLock;
};
