// Writing contents files: which nodes are written, their export links and stored local paths.
#include "common/contents_file/contents_writer.h"

#include "common/contents_file/contents_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

constexpr int kDownloaded = 2;

// Export links of one node: the nearest written neighbours in the tree.
struct ExportLinks {
    bool written = false;
    int prev = -1;
    int next = -1;
    int parent = -1;
    int firstChild = -1;
};

bool IsWritten(const std::vector<CVQContentsSource>& nodes, int i) {
    const CVQContentsSource& n = nodes[static_cast<std::size_t>(i)];
    if (i == 0 || n.status == kDownloaded)
        return true;
    for (int c = n.firstChild; c >= 0; c = nodes[static_cast<std::size_t>(c)].nextSibling)
        if (nodes[static_cast<std::size_t>(c)].status == kDownloaded)
            return true;
    return false;
}

std::vector<ExportLinks> ComputeLinks(const std::vector<CVQContentsSource>& nodes) {
    const int count = static_cast<int>(nodes.size());
    std::vector<ExportLinks> links(nodes.size());
    for (int i = 0; i < count; ++i)
        links[static_cast<std::size_t>(i)].written = IsWritten(nodes, i);
    for (int i = 0; i < count; ++i) {
        ExportLinks& l = links[static_cast<std::size_t>(i)];
        if (!l.written)
            continue;
        const CVQContentsSource& n = nodes[static_cast<std::size_t>(i)];
        if (n.parent >= 0 && links[static_cast<std::size_t>(n.parent)].written)
            l.parent = n.parent;
        for (int c = n.firstChild; c >= 0 && l.firstChild < 0;
             c = nodes[static_cast<std::size_t>(c)].nextSibling)
            if (links[static_cast<std::size_t>(c)].written)
                l.firstChild = c;
        for (int s = n.nextSibling; s >= 0 && l.next < 0;
             s = nodes[static_cast<std::size_t>(s)].nextSibling)
            if (links[static_cast<std::size_t>(s)].written)
                l.next = s;
        if (l.next >= 0)
            links[static_cast<std::size_t>(l.next)].prev = i;
    }
    return links;
}

class RecordWriter {
public:
    explicit RecordWriter(std::FILE* f) : m_file(f) {}

    void Bytes(const void* data, std::size_t n) {
        if (m_error == 0 && n > 0 && std::fwrite(data, 1, n, m_file) != n)
            m_error = errno ? errno : EIO;
    }
    template <typename T> void Little(T value) {
        unsigned char bytes[sizeof(T)];
        auto v = static_cast<std::uint64_t>(value);
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(v & 0xFF);
            v >>= 8;
        }
        Bytes(bytes, sizeof bytes);
    }
    // The viewer refuses strings above 260 bytes, so longer texts are cut to fit.
    void Counted(std::string_view text) {
        text = text.substr(0, CVQContentsWriter::kMaxStringBytes);
        Little(static_cast<std::uint32_t>(text.size()));
        Bytes(text.data(), text.size());
    }
    int Error() const { return m_error; }

private:
    std::FILE* m_file;
    int m_error = 0;
};

std::string ParentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// Whether a local path is made relative to the base folder rather than taken unchanged.
bool IsMadeRelative(const std::string& localPath, const std::string& base) {
    return !base.empty() && localPath.find("..") == std::string::npos;
}

// The length of the part that folder (ending in "/") and path share, up to the last separator
// inside the matching prefix. Local folders that differ only in case are different folders
// here, so the prefix must match exactly or the copy would not keep the site's layout.
std::size_t CommonPart(const std::string& folder, const std::string& path) {
    std::size_t common = 0;
    for (std::size_t i = 0; i < folder.size() && i < path.size() && folder[i] == path[i]; ++i)
        if (folder[i] == '/')
            common = i + 1;
    return common;
}

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// How many "../" the relative form of path starts with.
std::size_t Climb(const std::string& folder, const std::string& path) {
    std::size_t levels = 0;
    for (std::size_t i = CommonPart(folder, path); i < folder.size(); ++i)
        levels += folder[i] == '/';
    return levels;
}

// The folder levels up from folder (ending in "/"); never above the first "/".
std::string Up(std::string folder, std::size_t levels) {
    while (levels-- > 0 && folder.size() > 1) {
        folder.pop_back();
        const std::size_t slash = folder.rfind('/');
        folder.resize(slash == std::string::npos ? 0 : slash + 1);
    }
    return folder;
}

} // namespace

std::string CVQContentsWriter::ExportBaseFolder(const std::vector<CVQContentsSource>& nodes,
                                                const CVQContentsExport& how) {
    std::string base = how.projectDir;
    if (!nodes.empty() && nodes[0].firstChild >= 0) {
        const std::string& first = nodes[static_cast<std::size_t>(nodes[0].firstChild)].localPath;
        if (first.rfind(how.projectDir, 0) != 0)
            base = ParentFolder(first);
    }
    const std::string copy = WithSlash(how.copyDir);
    if (copy.empty() || base.empty())
        return base;
    const auto inCopy = [&](const CVQContentsSource& n) {
        return n.localPath.rfind(copy, 0) == 0 && IsMadeRelative(n.localPath, base);
    };
    // The project-name folder takes one "../"; a second would leave the contents file's folder,
    // which the viewer refuses, so the base climbs for the deepest file of the copy.
    std::string folder = WithSlash(base);
    std::size_t deepest = 0;
    for (const CVQContentsSource& n : nodes)
        if (inCopy(n))
            deepest = std::max(deepest, Climb(folder, n.localPath));
    if (deepest == 0)
        return base;
    folder = Up(folder, deepest - 1);
    // A folder beside the base named like the project would be stored inside the project's own
    // folder on the device (which ignores case), on top of the files there: one more level up.
    for (const CVQContentsSource& n : nodes) {
        if (!inCopy(n) || Climb(folder, n.localPath) == 0)
            continue;
        const std::string rest = n.localPath.substr(CommonPart(folder, n.localPath));
        if (EqualsIgnoringCase(rest.substr(0, rest.find('/')), how.projectName))
            return Up(folder, 1);
    }
    return deepest > 1 ? folder : base;
}

std::string CVQContentsWriter::StoredLocalPath(const std::string& localPath,
                                               const std::string& base,
                                               const std::string& projectName) {
    std::string relative = localPath;
    if (IsMadeRelative(localPath, base)) {
        const std::string folder = WithSlash(base);
        relative.clear();
        for (std::size_t i = Climb(folder, localPath); i > 0; --i)
            relative += "../";
        relative += localPath.substr(CommonPart(folder, localPath));
    }
    std::string stored = projectName + "\\" + relative;
    for (char& c : stored)
        if (c == '/')
            c = '\\';
    return stored;
}

VQContentsWriteError CVQContentsWriter::Write(const std::string& path,
                                              const std::vector<CVQContentsSource>& nodes,
                                              const CVQContentsExport& how) const {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f)
        return VQContentsWriteError::CannotCreate;
    const std::vector<ExportLinks> links = ComputeLinks(nodes);
    const std::string base = ExportBaseFolder(nodes, how);
    RecordWriter out(f.get());
    out.Counted(kContentsMagic);
    for (std::size_t i = 0; i < nodes.size() && out.Error() == 0; ++i) {
        const ExportLinks& l = links[i];
        if (!l.written)
            continue;
        const CVQContentsSource& n = nodes[i];
        out.Little(static_cast<std::uint8_t>(n.kind));
        out.Little(static_cast<std::uint16_t>(n.group & 0xFFFF));
        out.Little(static_cast<std::uint8_t>((n.group & how.fileTypeMask) != 0 ? n.status : 0));
        out.Counted(n.title);
        out.Counted(n.url);
        out.Counted(n.localPath.empty() ? std::string()
                                        : StoredLocalPath(n.localPath, base, how.projectName));
        out.Little(static_cast<std::uint32_t>(i));
        out.Little(static_cast<std::int32_t>(l.prev));
        out.Little(static_cast<std::int32_t>(l.next));
        out.Little(static_cast<std::int32_t>(l.parent));
        out.Little(static_cast<std::int32_t>(l.firstChild));
    }
    int error = out.Error();
    if (std::fflush(f.get()) != 0 && error == 0)
        error = errno ? errno : EIO;
    if (std::fclose(f.release()) != 0 && error == 0)
        error = errno ? errno : EIO;
    if (error == 0)
        return VQContentsWriteError::None;
    // A partial file must not be copied on; a device or pipe given as the target is not ours.
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec))
        std::filesystem::remove(path, ec);
    return error == ENOSPC ? VQContentsWriteError::DiskFull : VQContentsWriteError::WriteFailed;
}
