// The contents tree: adding, finding, walking, preparing and deleting nodes.
#include "desktop/project/doc_tree.h"

#include "desktop/address/address.h"
#include "desktop/project/address_index.h"
#include "desktop/project/file_types.h"
#include "desktop/resources/string_table.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <new>
#include <system_error>
#include <unordered_map>

namespace fs = std::filesystem;

static_assert(sizeof(CVQDocNode) <= 88, "a node must stay small: a million of them fit in memory");

namespace {

constexpr std::uint32_t kNoIndex = 0xFFFFFFFF;

CVQDocNode* LastSibling(CVQDocNode* node) {
    while (CVQDocNode* next = node->next)
        node = next;
    return node;
}

// Applies change to every node of the branch (the whole tree without one).
template <typename Change> void ForBranch(CVQDocNode* root, CVQDocNode* branch, Change change) {
    CVQDocNode* start = branch ? branch : root;
    for (CVQDocNode* n = start; n; n = CVQDocTree::NextPreOrder(n, start))
        change(*n);
}

// The tree lock and, when the project gave one, the queue lock after it.
class RemovalLocks {
public:
    RemovalLocks(std::mutex& tree, std::mutex* queue) : m_tree(tree), m_queue(queue) {
        m_tree.lock();
        if (m_queue)
            m_queue->lock();
    }
    ~RemovalLocks() {
        if (m_queue)
            m_queue->unlock();
        m_tree.unlock();
    }
    RemovalLocks(const RemovalLocks&) = delete;
    RemovalLocks& operator=(const RemovalLocks&) = delete;

private:
    std::mutex& m_tree;
    std::mutex* m_queue;
};

bool BranchIsDownloading(CVQDocNode* branch) {
    for (CVQDocNode* n = branch; n; n = CVQDocTree::NextPreOrder(n, branch))
        if (n->status == kStatusDownloading)
            return true;
    return false;
}

} // namespace

CVQDocTree::CVQDocTree() = default;

CVQDocTree::~CVQDocTree() {
    Clear();
}

void CVQDocTree::MarkChanged() {
    if (m_changed)
        m_changed->store(true);
}

void CVQDocTree::NotifyReshaped() {
    if (CVQTreeListener* listener = m_listener.load())
        listener->TreeReshaped();
}

void CVQDocTree::FreeAll() {
    {
        std::lock_guard indexLock(m_indexLock);
        m_index.reset();
    }
    if (m_root)
        FreeSubtree(m_root.release(), nullptr);
    m_count = 0;
    m_lastParent = m_lastChild = nullptr;
    NotifyReshaped();
}

CVQDocNode* CVQDocTree::CreateRoot(std::string_view title) {
    std::lock_guard lock(m_lock);
    FreeAll();
    m_root = std::make_unique<CVQDocNode>(kNodeRoot);
    m_root->SetTitle(title.empty() ? std::string_view(VQText(IDS_NEW_PROJECT)) : title);
    return m_root.get();
}

void CVQDocTree::Clear() {
    std::lock_guard lock(m_lock);
    FreeAll();
}

CVQDocNode* CVQDocTree::Link(std::unique_ptr<CVQDocNode> node, CVQDocNode* parent,
                             CVQDocNode* after) {
    CVQDocNode* raw = node.release();
    raw->parent = parent;
    if (after) {
        CVQDocNode* next = after->next;
        raw->prev = after;
        raw->next = next;
        if (next)
            next->prev = raw;
        after->next = raw;
    } else {
        CVQDocNode* last = nullptr;
        if (m_lastParent == parent && m_lastChild)
            last = LastSibling(m_lastChild);
        else if (CVQDocNode* first = parent->firstChild)
            last = LastSibling(first);
        raw->prev = last;
        if (last)
            last->next = raw;
        else
            parent->firstChild = raw;
        m_lastParent = parent;
        m_lastChild = raw;
    }
    ++m_count;
    return raw;
}

CVQDocNode* CVQDocTree::AddNode(CVQDocNode* parent, const CVQNodeInit& init, CVQDocNode* after) {
    if (!parent || (after && after->parent.load() != parent))
        return nullptr;
    std::lock_guard lock(m_lock);
    if (m_count >= kMaxNodes)
        return nullptr;
    std::unique_ptr<CVQDocNode> node;
    try {
        node = std::make_unique<CVQDocNode>(init.kind);
        node->SetAddress(init.address);
        node->SetTitle(init.title);
        node->SetLocalPath(init.localPath);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    node->group = static_cast<std::uint16_t>(init.group);
    node->contentClass = static_cast<std::uint8_t>(init.contentClass);
    node->extEnabled = static_cast<std::uint8_t>(init.extEnabled);
    node->dirPosition = init.dirPosition;
    node->level = init.level;
    node->status = init.status;
    node->selection = init.selection;
    CVQDocNode* raw = Link(std::move(node), parent, after);
    if (!raw->Address().empty())
        IndexInsert(raw);
    MarkChanged();
    if (CVQTreeListener* listener = m_listener.load())
        listener->NodeAdded(*raw, after == nullptr);
    return raw;
}

CVQDocNode* CVQDocTree::AddPage(CVQDocNode* parent) {
    return AddNode(parent, CVQNodeInit{.kind = kNodePage});
}

CVQDocNode* CVQDocTree::AddFile(CVQDocNode* parent) {
    return AddNode(parent, CVQNodeInit{.kind = kNodeFile});
}

CVQDocNode* CVQDocTree::InsertFileAfter(CVQDocNode* sibling) {
    if (!sibling)
        return nullptr;
    return AddNode(sibling->parent, CVQNodeInit{.kind = kNodeFile}, sibling);
}

void CVQDocTree::SetAddress(CVQDocNode* node, std::string_view address) {
    std::lock_guard lock(m_lock);
    IndexRemove(node);
    try {
        node->SetAddress(address);
    } catch (const std::bad_alloc&) {
        node->SetAddress({});
        return;
    }
    if (!node->Address().empty())
        IndexInsert(node);
}

void CVQDocTree::SetTitle(CVQDocNode* node, std::string_view title) {
    std::lock_guard lock(m_lock);
    try {
        node->SetTitle(title);
    } catch (const std::bad_alloc&) {
    }
}

void CVQDocTree::SetLocalPath(CVQDocNode* node, std::string_view path) {
    std::lock_guard lock(m_lock);
    try {
        node->SetLocalPath(path);
    } catch (const std::bad_alloc&) {
    }
}

void CVQDocTree::IndexInsert(CVQDocNode* node) {
    std::lock_guard indexLock(m_indexLock);
    if (!m_index)
        return;
    try {
        m_index->Insert(node);
    } catch (const std::bad_alloc&) {
        // Without memory for the index every later lookup walks the tree.
        m_index.reset();
        m_indexLost = true;
    }
}

void CVQDocTree::IndexRemove(const CVQDocNode* node) {
    if (node->Address().empty())
        return;
    std::lock_guard indexLock(m_indexLock);
    if (m_index)
        m_index->Remove(node);
}

CVQDocNode* CVQDocTree::FindByAddress(std::string_view address) const {
    const std::string_view wanted = vq::WithoutFragment(address);
    std::lock_guard lock(m_lock);
    {
        std::lock_guard indexLock(m_indexLock);
        if (m_index)
            return m_index->Find(wanted);
    }
    for (CVQDocNode* n = m_root.get(); n; n = NextPreOrder(n, m_root.get()))
        if (!n->Address().empty() && vq::SameAddress(n->Address(), wanted))
            return n;
    return nullptr;
}

bool CVQDocTree::RebuildIndex() {
    std::lock_guard lock(m_lock);
    {
        std::lock_guard indexLock(m_indexLock);
        m_index.reset();
    }
    if (m_failIndexForTesting)
        return false;
    std::unique_ptr<CVQAddressIndex> index;
    try {
        index = std::make_unique<CVQAddressIndex>(m_count.load());
        for (CVQDocNode* n = m_root.get(); n; n = NextPreOrder(n, m_root.get()))
            if (!n->Address().empty())
                index->Insert(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::lock_guard indexLock(m_indexLock);
    m_index = std::move(index);
    m_indexLost = false;
    return true;
}

void CVQDocTree::DropIndex() {
    std::lock_guard indexLock(m_indexLock);
    m_index.reset();
}

bool CVQDocTree::HasIndex() const {
    std::lock_guard indexLock(m_indexLock);
    return m_index != nullptr;
}

CVQDocNode* CVQDocTree::NextPreOrder(const CVQDocNode* node, const CVQDocNode* start) {
    if (CVQDocNode* child = node->firstChild)
        return child;
    for (const CVQDocNode* n = node; n && n != start; n = n->parent) {
        if (CVQDocNode* next = n->next)
            return next;
    }
    return nullptr;
}

void CVQDocTree::WalkPreOrder(CVQDocNode* start, const Visitor& visit) const {
    if (!start)
        start = m_root.get();
    for (CVQDocNode* n = start; n; n = NextPreOrder(n, start))
        if (!visit(*n))
            return;
}

void CVQDocTree::WalkLevelOrder(CVQDocNode* start, const Visitor& visit) const {
    if (!start)
        start = m_root.get();
    if (!start)
        return;
    std::vector<CVQDocNode*> depth{start};
    std::vector<CVQDocNode*> below;
    while (!depth.empty()) {
        below.clear();
        for (CVQDocNode* n : depth) {
            if (!visit(*n))
                return;
            for (CVQDocNode* c = n->firstChild; c; c = c->next)
                below.push_back(c);
        }
        depth.swap(below);
    }
}

void CVQDocTree::ResetForNewDownload(CVQDocNode* branch) {
    ForBranch(m_root.get(), branch, [](CVQDocNode& n) {
        n.status = n.status == kStatusDownloaded ? kStatusToCheck : kStatusToAnalyze;
        n.retries = 0;
    });
}

void CVQDocTree::PrepareContinue(CVQDocNode* branch) {
    ForBranch(m_root.get(), branch, [](CVQDocNode& n) {
        const int status = n.status;
        if (status == kStatusDownloading || status == kStatusFiltered) {
            n.status = kStatusToAnalyze;
        } else if (status == kStatusError && n.reason == kReasonIncomplete) {
            n.status = kStatusToAnalyze;
            n.selection = kSelNone;
            n.retries = 0;
        }
    });
}

void CVQDocTree::PrepareFailedOnly(CVQDocNode* branch) {
    ForBranch(m_root.get(), branch, [](CVQDocNode& n) {
        if (n.status != kStatusError)
            return;
        n.selection = n.reason == kReasonIncomplete ? kSelNone : kSelSelected;
        n.retries = 0;
    });
}

void CVQDocTree::PrepareIncompleteOnly(CVQDocNode* branch) {
    ForBranch(m_root.get(), branch, [](CVQDocNode& n) {
        if (n.status == kStatusError && n.reason == kReasonIncomplete) {
            n.selection = kSelSelected;
            n.retries = 0;
        }
    });
}

void CVQDocTree::ToggleSelection(CVQDocNode* node) {
    node->selection ^= kSelSelected;
}

void CVQDocTree::Unlink(CVQDocNode* node) {
    CVQDocNode* prev = node->prev;
    CVQDocNode* next = node->next;
    if (prev)
        prev->next = next;
    else if (CVQDocNode* parent = node->parent)
        parent->firstChild = next;
    if (next)
        next->prev = prev;
    node->prev = nullptr;
    node->next = nullptr;
    m_lastParent = m_lastChild = nullptr;
}

// Iterative, so that a deep chain of pages does not exhaust the stack.
void CVQDocTree::FreeSubtree(CVQDocNode* node, std::vector<CVQStoredFile>* files) {
    CVQDocNode* n = node;
    while (n) {
        if (CVQDocNode* child = n->firstChild) {
            n->firstChild = nullptr;
            n = child;
            continue;
        }
        CVQDocNode* next = n == node ? nullptr : n->next.load();
        CVQDocNode* parent = n == node ? nullptr : n->parent.load();
        if (files && !n->LocalPath().empty()) {
            try {
                files->push_back({std::string(n->LocalPath()), n->group});
            } catch (const std::bad_alloc&) {
            }
        }
        IndexRemove(n);
        delete n;
        if (m_count > 0)
            --m_count;
        n = next ? next : parent;
    }
}

bool CVQDocTree::DetachBranch(CVQDocNode* node, std::vector<CVQStoredFile>* files,
                              bool refuseDownloading) {
    RemovalLocks locks(m_lock, m_queueLock);
    if (!node || node == m_root.get() || !node->parent)
        return false;
    if (refuseDownloading && BranchIsDownloading(node))
        return false;
    Unlink(node);
    FreeSubtree(node, files);
    MarkChanged();
    NotifyReshaped();
    return true;
}

bool CVQDocTree::DeleteBranch(CVQDocNode* node, bool deleteFiles,
                              const std::function<bool(std::string_view path)>& mayTouch) {
    std::vector<CVQStoredFile> files;
    if (!DetachBranch(node, &files))
        return false;
    vq::DeleteStoredFiles(files, deleteFiles, mayTouch);
    return true;
}

bool CVQDocTree::DeleteNodeKeepChildren(CVQDocNode* node, bool refuseDownloading) {
    RemovalLocks locks(m_lock, m_queueLock);
    if (!node || node == m_root.get() || !node->parent)
        return false;
    if (refuseDownloading && node->status == kStatusDownloading)
        return false;
    CVQDocNode* parent = node->parent;
    CVQDocNode* first = node->firstChild;
    if (first) {
        CVQDocNode* last = first;
        for (CVQDocNode* c = first; c; c = c->next) {
            c->parent = parent;
            last = c;
        }
        CVQDocNode* prev = node->prev;
        CVQDocNode* next = node->next;
        first->prev = prev;
        last->next = next;
        if (prev)
            prev->next = first;
        else
            parent->firstChild = first;
        if (next)
            next->prev = last;
        node->firstChild = nullptr;
        node->prev = nullptr;
        node->next = nullptr;
        m_lastParent = m_lastChild = nullptr;
    } else {
        Unlink(node);
    }
    FreeSubtree(node, nullptr);
    MarkChanged();
    NotifyReshaped();
    return true;
}

std::size_t CVQDocTree::NumberNodes() {
    std::uint32_t number = 0;
    for (CVQDocNode* n = m_root.get(); n; n = NextPreOrder(n, m_root.get()))
        n->index = number++;
    return number;
}

std::vector<CVQDocNode*> CVQDocTree::LinkFromFile(std::vector<std::unique_ptr<CVQDocNode>>& nodes,
                                                  const std::vector<std::uint32_t>& parentIndex) {
    std::lock_guard lock(m_lock);
    FreeAll();

    std::vector<CVQDocNode*> at(nodes.size(), nullptr);
    if (nodes.empty())
        return at;
    std::vector<std::uint32_t> own(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i)
        own[i] = nodes[i]->index;
    // Own indices are normally the file positions; the search looks there and near the current
    // position first, and builds a map only for a file where that fails.
    std::unordered_map<std::uint32_t, std::size_t> byIndex;
    bool mapBuilt = false;
    const auto positionOf = [&](std::uint32_t wanted, std::size_t current) -> std::size_t {
        if (wanted == kNoIndex)
            return current;
        if (wanted < current && own[wanted] == wanted)
            return wanted;
        for (std::size_t d = 1; d <= 4 && d <= current; ++d)
            if (own[current - d] == wanted)
                return current - d;
        if (!mapBuilt) {
            mapBuilt = true;
            for (std::size_t i = 0; i < own.size(); ++i)
                byIndex.emplace(own[i], i);
        }
        const auto it = byIndex.find(wanted);
        return it == byIndex.end() ? current : it->second;
    };

    std::vector<CVQDocNode*> lastChild(nodes.size(), nullptr);
    m_root = std::move(nodes[0]);
    at[0] = m_root.get();
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::size_t p = positionOf(parentIndex[i], i);
        if (p >= i || !at[p]) {
            // Its parent is missing or comes later: dropped, and the nodes below it with it.
            nodes[i].reset();
            continue;
        }
        CVQDocNode* parent = at[p];
        CVQDocNode* node = nodes[i].release();
        node->parent = parent;
        node->prev = lastChild[p];
        if (lastChild[p])
            lastChild[p]->next = node;
        else
            parent->firstChild = node;
        lastChild[p] = node;
        at[i] = node;
        ++m_count;
    }
    nodes.clear();
    return at;
}

void CVQDocTree::TakeFrom(CVQDocTree& other) {
    if (&other == this)
        return;
    std::scoped_lock locks(m_lock, other.m_lock);
    FreeAll();
    other.DropIndex();
    m_root = std::move(other.m_root);
    NotifyReshaped();
    m_count = other.m_count.load();
    other.m_count = 0;
    other.m_lastParent = other.m_lastChild = nullptr;
}

std::size_t CVQDocTree::Recount() {
    std::size_t count = 0;
    for (CVQDocNode* n = m_root.get(); n; n = NextPreOrder(n, m_root.get()))
        ++count;
    m_count = count > 0 ? count - 1 : 0;
    return m_count;
}

namespace vq {

namespace {

// The directory part of a path, without its trailing slash; empty at the top.
std::string ParentDirectory(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos || slash == 0 ? std::string()
                                                         : std::string(path.substr(0, slash));
}

// Components of an absolute path with "." dropped and ".." applied (never above "/").
std::vector<std::string_view> NormalComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t end = path.find('/', pos);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view part = path.substr(pos, end - pos);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        pos = end + 1;
    }
    return parts;
}

} // namespace

bool IsInsideDirectory(std::string_view path, std::string_view dir) {
    if (!path.starts_with('/') || !dir.starts_with('/'))
        return false;
    const auto p = NormalComponents(path);
    const auto d = NormalComponents(dir);
    return p.size() > d.size() && std::equal(d.begin(), d.end(), p.begin());
}

void DeleteStoredFiles(const std::vector<CVQStoredFile>& files, bool deleteFiles,
                       const std::function<bool(std::string_view path)>& mayTouch) {
    std::error_code ec;
    if (!deleteFiles) {
        for (const CVQStoredFile& file : files) {
            if ((file.group != kGroupHtml && file.group != kGroupJava) || !mayTouch(file.path))
                continue;
            const auto when = fs::last_write_time(file.path, ec);
            if (!ec)
                fs::last_write_time(file.path, when - std::chrono::minutes(1), ec);
        }
        return;
    }
    std::vector<std::string> dirs;
    for (const CVQStoredFile& file : files) {
        if (!mayTouch(file.path))
            continue;
        fs::remove(file.path, ec);
        dirs.push_back(ParentDirectory(file.path));
    }
    // Deepest first, so that a directory emptied by its children's removal goes too.
    std::sort(dirs.begin(), dirs.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() > b.size() : a < b;
    });
    dirs.erase(std::unique(dirs.begin(), dirs.end()), dirs.end());
    for (std::string dir : dirs) {
        while (!dir.empty() && mayTouch(dir) && fs::is_empty(dir, ec) && !ec) {
            if (!fs::remove(dir, ec) || ec)
                break;
            dir = ParentDirectory(dir);
        }
    }
}

} // namespace vq
