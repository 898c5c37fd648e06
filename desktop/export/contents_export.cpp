// Turning the open project's tree into the contents file the handheld reads.
#include "desktop/export/contents_export.h"

#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <filesystem>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

// "/a/b/../c" as "/a/c": a stored name never carries a ".." the reader would have to refuse.
std::string PlainPath(std::string_view path) {
    if (path.empty())
        return {};
    try {
        return std::filesystem::path(path).lexically_normal().string();
    } catch (const std::exception&) {
        return std::string(path);
    }
}

} // namespace

namespace vq {

std::vector<CVQContentsSource> ContentsSources(const CVQDocTree& tree) {
    std::vector<CVQContentsSource> nodes;
    std::unordered_map<const CVQDocNode*, int> position;
    tree.WalkPreOrder(nullptr, [&](CVQDocNode& node) {
        const int at = static_cast<int>(nodes.size());
        position.emplace(&node, at);
        CVQContentsSource& n = nodes.emplace_back();
        n.kind = node.kind;
        n.group = node.group;
        n.status = node.status.load();
        n.title = node.Title();
        n.url = node.Address();
        n.localPath = PlainPath(node.LocalPath());
        // Pre-order meets a node after its parent and its previous sibling.
        if (const auto p = position.find(node.parent.load()); p != position.end()) {
            n.parent = p->second;
            if (nodes[static_cast<std::size_t>(p->second)].firstChild < 0)
                nodes[static_cast<std::size_t>(p->second)].firstChild = at;
        }
        if (const auto s = position.find(node.prev.load()); s != position.end())
            nodes[static_cast<std::size_t>(s->second)].nextSibling = at;
        return true;
    });
    return nodes;
}

std::string ContentsProjectName(std::string_view projectPath) {
    const std::size_t slash = projectPath.rfind('/');
    std::string_view name =
        slash == std::string_view::npos ? projectPath : projectPath.substr(slash + 1);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name = name.substr(0, dot);
    return std::string(name);
}

CVQContentsExport ContentsExportOf(const CVQDoc& doc) {
    CVQContentsExport how;
    how.projectName = doc.PathName().empty()
                          ? vq::LegalFileName(doc.Settings().title.empty() ? VQText(IDS_NEW_PROJECT)
                                                                           : doc.Settings().title)
                          : ContentsProjectName(doc.PathName());
    how.projectDir = doc.Settings().projectDir;
    how.fileTypeMask = doc.Settings().fileTypeMask;
    how.copyDir = doc.SaveDirInUse();
    return how;
}

bool WriteContentsFile(CVQDoc& doc, const std::string& path, const CVQContentsExport& how) {
    std::vector<CVQContentsSource> nodes;
    try {
        std::lock_guard lock(doc.TreeLock());
        nodes = ContentsSources(doc.Tree());
    } catch (const std::bad_alloc&) {
        return false;
    }
    switch (CVQContentsWriter().Write(path, nodes, how)) {
    case VQContentsWriteError::None:
        return true;
    case VQContentsWriteError::CannotCreate:
        return false;
    case VQContentsWriteError::DiskFull:
        doc.Log().Text(VQText(IDS_DISK_FULL));
        return false;
    case VQContentsWriteError::WriteFailed:
        doc.Log().Text(VQFormat(IDS_ERROR_WRITING_FILE, path.c_str()));
        return false;
    }
    return false;
}

} // namespace vq
