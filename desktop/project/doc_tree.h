// The contents tree: every address of the project, which is also the crawl frontier.
#pragma once

#include "desktop/project/doc_node.h"
#include "desktop/project/tree_listener.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class CVQAddressIndex;

// What a new node starts with; it is filled in before the node is linked, so that a walker never
// sees it half made.
struct CVQNodeInit {
    int kind = kNodePage;
    std::string_view address{}; // the fragment is removed
    std::string_view title{};
    std::string_view localPath{};
    int group = 0;
    int contentClass = 0;
    int extEnabled = 1;
    int dirPosition = kNoPosition;
    int level = kNoPosition;
    int status = kStatusToAnalyze;
    std::uint16_t selection = 0;
};

// A stored file of a removed branch, for the file work that follows the removal.
struct CVQStoredFile {
    std::string path;
    int group = 0;
};

class CVQDocTree {
public:
    static constexpr std::size_t kMaxNodes = 100'000'000;

    CVQDocTree();
    ~CVQDocTree();
    CVQDocTree(const CVQDocTree&) = delete;
    CVQDocTree& operator=(const CVQDocTree&) = delete;

    // The project's tree lock. The adding, setting, finding and deleting methods below take it
    // themselves; whoever reads a whole tree while others may add (an auto-save, the panel)
    // holds it around the reading.
    std::mutex& Lock() const { return m_lock; }
    // Set when nodes are added or removed (the project's changed flag).
    void SetChangedFlag(std::atomic<bool>* flag) { m_changed = flag; }
    // The project's queue lock: removing nodes takes it after the tree lock, so that the engine's
    // node search (which walks under the queue lock) never stands on a freed node.
    void SetQueueLock(std::mutex* lock) { m_queueLock = lock; }
    // Told of every node linked and of every change of shape; none when null.
    void SetListener(CVQTreeListener* listener) { m_listener = listener; }

    // A new root (kind 1) titled title ("New Project" when empty); frees any previous tree.
    CVQDocNode* CreateRoot(std::string_view title);
    CVQDocNode* Root() const { return m_root.get(); }
    // Nodes below the root.
    std::size_t NodeCount() const { return m_count.load(); }

    // Appends a node as the last child of parent, or after the given child of parent; none beyond
    // the node limit or without a parent.
    CVQDocNode* AddNode(CVQDocNode* parent, const CVQNodeInit& init, CVQDocNode* after = nullptr);
    // An empty page (kind 2) or file (kind 3) node as the last child of parent.
    CVQDocNode* AddPage(CVQDocNode* parent);
    CVQDocNode* AddFile(CVQDocNode* parent);
    // A file node directly after sibling (it takes sibling's next sibling as its own).
    CVQDocNode* InsertFileAfter(CVQDocNode* sibling);

    // Field setters under the tree lock. The address loses its fragment and is entered in the
    // address index.
    void SetAddress(CVQDocNode* node, std::string_view address);
    void SetTitle(CVQDocNode* node, std::string_view title);
    void SetLocalPath(CVQDocNode* node, std::string_view path);
    // The others are plain fields; these exist for symmetry with the Parts' interface.
    static void SetStatus(CVQDocNode* node, int status) { node->status = status; }
    static void SetSelection(CVQDocNode* node, std::uint16_t flag) { node->selection = flag; }
    static void SetReason(CVQDocNode* node, int reason) { node->reason = reason; }

    // The node standing for an address (cut at "#"): through the address index when there is
    // one, else by walking the tree; either way the same-address test decides.
    CVQDocNode* FindByAddress(std::string_view address) const;

    // Throws the address index away and builds it again from every node with an address (at the
    // start of every download). False when it could not be built; lookups then walk the tree.
    bool RebuildIndex();
    void DropIndex();
    bool HasIndex() const;
    // True once the index was lost because a node could not be entered (memory exhausted).
    bool IndexLost() const { return m_indexLost.load(); }
    // Makes the next index builds fail as if memory were exhausted.
    void SetIndexFailureForTesting(bool fail) { m_failIndexForTesting = fail; }

    // Pre-order (first child, else next sibling, else an ancestor's next sibling), never leaving
    // the start node's subtree; level-order visits every node of one depth before the next. Both
    // begin with the start node (the root when none). The visitor returns false to stop.
    using Visitor = std::function<bool(CVQDocNode&)>;
    void WalkPreOrder(CVQDocNode* start, const Visitor& visit) const;
    void WalkLevelOrder(CVQDocNode* start, const Visitor& visit) const;
    static CVQDocNode* NextPreOrder(const CVQDocNode* node, const CVQDocNode* start);

    // Preparations for a download, over the whole tree or the branch below node.
    void ResetForNewDownload(CVQDocNode* branch = nullptr);
    void PrepareContinue(CVQDocNode* branch = nullptr);
    void PrepareFailedOnly(CVQDocNode* branch = nullptr);
    void PrepareIncompleteOnly(CVQDocNode* branch = nullptr);
    // "Select for next Download": toggles the selected bit.
    static void ToggleSelection(CVQDocNode* node);

    // Unlinks node and frees its subtree (never the root), adding the stored files of the removed
    // nodes to files for DeleteStoredFiles. With refuseDownloading nothing is removed when a node
    // of the branch is being downloaded (a worker holds it). False when nothing was removed.
    bool DetachBranch(CVQDocNode* node, std::vector<CVQStoredFile>* files,
                      bool refuseDownloading = false);
    // DetachBranch followed by DeleteStoredFiles.
    bool DeleteBranch(CVQDocNode* node, bool deleteFiles,
                      const std::function<bool(std::string_view path)>& mayTouch);
    // Removes only the node; its children take its place. False for the root or no node, or
    // with refuseDownloading for a node being downloaded.
    bool DeleteNodeKeepChildren(CVQDocNode* node, bool refuseDownloading = false);

    // Numbers the nodes in pre-order (root = 0) into their index fields; returns how many.
    std::size_t NumberNodes();
    // Links nodes read from a project file in file order: nodes[0] becomes the root, every other
    // node is appended to the node whose own index is its parent's. A node whose parent cannot be
    // found, or does not come before it, is dropped (and with it the nodes below it). Returns the
    // node at each file position (null where one was dropped); the tree takes ownership.
    std::vector<CVQDocNode*> LinkFromFile(std::vector<std::unique_ptr<CVQDocNode>>& nodes,
                                          const std::vector<std::uint32_t>& parentIndex);
    // Takes over the whole tree of other, leaving it empty; both lose their address index.
    void TakeFrom(CVQDocTree& other);
    // Frees every node, the root included.
    void Clear();

    // Recounts the nodes below the root.
    std::size_t Recount();

private:
    CVQDocNode* Link(std::unique_ptr<CVQDocNode> node, CVQDocNode* parent, CVQDocNode* after);
    void Unlink(CVQDocNode* node);
    void FreeSubtree(CVQDocNode* node, std::vector<CVQStoredFile>* files);
    // Frees every node and the index; the caller holds the tree lock.
    void FreeAll();
    void IndexInsert(CVQDocNode* node);
    void IndexRemove(const CVQDocNode* node);
    void MarkChanged();
    void NotifyReshaped();

    std::unique_ptr<CVQDocNode> m_root;
    std::atomic<std::size_t> m_count{0};
    std::atomic<bool>* m_changed = nullptr;
    std::mutex* m_queueLock = nullptr;
    std::atomic<CVQTreeListener*> m_listener{nullptr};
    // The last child appended, so that appending to the same page does not walk its children.
    CVQDocNode* m_lastParent = nullptr;
    CVQDocNode* m_lastChild = nullptr;

    std::unique_ptr<CVQAddressIndex> m_index;
    mutable std::mutex m_indexLock;
    std::atomic<bool> m_indexLost{false};
    bool m_failIndexForTesting = false;
    mutable std::mutex m_lock;
};

namespace vq {

// After a branch was removed: with deleteFiles each stored file is deleted and every directory
// left empty removed; otherwise every stored HTML or Java file is set one minute back, so that the
// next update fetches it again. Only paths that mayTouch allows are touched.
void DeleteStoredFiles(const std::vector<CVQStoredFile>& files, bool deleteFiles,
                       const std::function<bool(std::string_view path)>& mayTouch);

// Whether path lies below dir (not dir itself) once "." and ".." are taken into account.
bool IsInsideDirectory(std::string_view path, std::string_view dir);

} // namespace vq
