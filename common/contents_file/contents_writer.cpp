#include "common/contents_file/contents_writer.h"

#include "common/contents_file/contents_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
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
        for (int s = n.nextSibling; s >= 0 && l.next < 0; s = nodes[static_cast<std::size_t>(s)].nextSibling)
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

} // namespace

std::string CVQContentsWriter::ExportBaseFolder(const std::vector<CVQContentsSource>& nodes,
                                                const std::string& projectDir) {
    if (nodes.empty() || nodes[0].firstChild < 0)
        return projectDir;
    const std::string& first = nodes[static_cast<std::size_t>(nodes[0].firstChild)].localPath;
    if (first.rfind(projectDir, 0) == 0)
        return projectDir;
    return ParentFolder(first);
}

std::string CVQContentsWriter::StoredLocalPath(const std::string& localPath,
                                               const std::string& base,
                                               const std::string& projectName) {
    std::string relative = localPath;
    if (localPath.find("..") == std::string::npos && !base.empty()) {
        std::string folder = base;
        if (folder.back() != '/')
            folder += '/';
        // The common part ends at the last separator inside the matching prefix.
        std::size_t common = 0;
        for (std::size_t i = 0; i < folder.size() && i < localPath.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(folder[i])) !=
                std::tolower(static_cast<unsigned char>(localPath[i])))
                break;
            if (folder[i] == '/')
                common = i + 1;
        }
        relative.clear();
        for (std::size_t i = common; i < folder.size(); ++i)
            if (folder[i] == '/')
                relative += "../";
        relative += localPath.substr(common);
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
    const std::string base = ExportBaseFolder(nodes, how.projectDir);
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
    std::remove(path.c_str());
    return error == ENOSPC ? VQContentsWriteError::DiskFull : VQContentsWriteError::WriteFailed;
}
