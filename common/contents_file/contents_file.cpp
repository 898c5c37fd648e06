#include "common/contents_file/contents_file.h"

#include <cstdio>
#include <memory>

namespace {

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

FilePtr OpenForReading(const std::string& path) {
    return FilePtr(std::fopen(path.c_str(), "rb"), &std::fclose);
}

bool ReadBytes(std::FILE* f, void* out, std::size_t n) {
    return std::fread(out, 1, n, f) == n;
}

template <typename T> bool ReadLittle(std::FILE* f, T& value) {
    unsigned char bytes[sizeof(T)];
    if (!ReadBytes(f, bytes, sizeof bytes))
        return false;
    std::uint64_t v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        v = (v << 8) | bytes[i];
    value = static_cast<T>(v);
    return true;
}

// A counted string of at most maxBytes; longer ones fail without being read.
bool ReadCounted(std::FILE* f, std::string& text, std::size_t maxBytes) {
    std::uint32_t n = 0;
    if (!ReadLittle(f, n) || n > maxBytes)
        return false;
    text.resize(n);
    return n == 0 || ReadBytes(f, text.data(), n);
}

bool ReadMagic(std::FILE* f) {
    std::string magic;
    return ReadCounted(f, magic, CVQContentsFile::kMaxMagicBytes) && magic == kContentsMagic;
}

bool ReadRecord(std::FILE* f, CVQContentsRecord& r) {
    constexpr std::size_t kMax = CVQContentsFile::kMaxStringBytes;
    return ReadLittle(f, r.kind) && ReadLittle(f, r.group) && ReadLittle(f, r.status) &&
           ReadCounted(f, r.title, kMax) && ReadCounted(f, r.url, kMax) &&
           ReadCounted(f, r.localPath, kMax) && ReadLittle(f, r.id) && ReadLittle(f, r.prevId) &&
           ReadLittle(f, r.nextId) && ReadLittle(f, r.parentId) && ReadLittle(f, r.firstChildId);
}

bool HasId(const CVQContentsRecord& r, std::int32_t id) {
    return id >= 0 && r.id == static_cast<std::uint32_t>(id);
}

// Links that usually point back (previous sibling, parent): search backwards from the record,
// then the rest from the end.
int FindBackward(const std::vector<CVQContentsRecord>& records, int from, std::int32_t id) {
    if (id < 0)
        return -1;
    for (int i = from; i >= 0; --i)
        if (HasId(records[static_cast<std::size_t>(i)], id))
            return i;
    for (int i = static_cast<int>(records.size()) - 1; i > from; --i)
        if (HasId(records[static_cast<std::size_t>(i)], id))
            return i;
    return -1;
}

// Links that usually point ahead (next sibling, first child): forwards, then from the start.
int FindForward(const std::vector<CVQContentsRecord>& records, int from, std::int32_t id) {
    if (id < 0)
        return -1;
    const int n = static_cast<int>(records.size());
    for (int i = from; i < n; ++i)
        if (HasId(records[static_cast<std::size_t>(i)], id))
            return i;
    for (int i = 0; i < from; ++i)
        if (HasId(records[static_cast<std::size_t>(i)], id))
            return i;
    return -1;
}

} // namespace

bool CVQContentsFile::Open(const std::string& path) {
    m_records.clear();
    m_path.clear();
    FilePtr f = OpenForReading(path);
    if (!f || !ReadMagic(f.get()))
        return false;
    m_path = path;
    while (m_records.size() < kMaxRecords) {
        CVQContentsRecord record;
        if (!ReadRecord(f.get(), record))
            break;
        m_records.push_back(std::move(record));
    }
    LinkRecords();
    return true;
}

void CVQContentsFile::LinkRecords() {
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        CVQContentsRecord& r = m_records[i];
        const int at = static_cast<int>(i);
        const CVQContentsRecord* before = i > 0 ? &m_records[i - 1] : nullptr;
        // Consecutive siblings share their parent: reuse the result of the record before.
        r.parent = before && before->parentId == r.parentId ? before->parent
                                                            : FindBackward(m_records, at, r.parentId);
        r.prev = before && before->prevId == r.prevId ? before->prev
                                                      : FindBackward(m_records, at, r.prevId);
        r.next = before && before->nextId == r.nextId ? before->next
                                                      : FindForward(m_records, at, r.nextId);
        r.firstChild = before && before->firstChildId == r.firstChildId
                           ? before->firstChild
                           : FindForward(m_records, at, r.firstChildId);
    }
}

std::vector<int> CVQContentsFile::PreOrder() const {
    std::vector<int> order;
    if (m_records.empty())
        return order;
    std::vector<char> seen(m_records.size(), 0);
    std::vector<int> stack{0};
    while (!stack.empty()) {
        const int at = stack.back();
        stack.pop_back();
        if (at < 0 || seen[static_cast<std::size_t>(at)])
            continue;
        seen[static_cast<std::size_t>(at)] = 1;
        order.push_back(at);
        const CVQContentsRecord& r = m_records[static_cast<std::size_t>(at)];
        // Siblings of the root are not part of its tree.
        if (at != 0)
            stack.push_back(r.next);
        stack.push_back(r.firstChild);
    }
    return order;
}

bool CVQContentsFile::ReadProjectTitle(const std::string& path, std::string& title) {
    title.clear();
    FilePtr f = OpenForReading(path);
    CVQContentsRecord root;
    if (!f || !ReadMagic(f.get()) || !ReadRecord(f.get(), root))
        return false;
    title = std::move(root.title);
    return true;
}

std::string ResolveContentsPath(std::string_view storedPath, std::string_view folder) {
    if (storedPath.empty() || storedPath[0] == '\\' || storedPath[0] == '/' ||
        (storedPath.size() > 1 && storedPath[1] == ':'))
        return {};
    std::string base(folder);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string out = base;
    std::size_t start = 0;
    while (start <= storedPath.size()) {
        std::size_t end = storedPath.find_first_of("\\/", start);
        if (end == std::string_view::npos)
            end = storedPath.size();
        const std::string_view segment = storedPath.substr(start, end - start);
        if (segment == "..") {
            if (out.size() <= base.size())
                return {}; // would leave the contents file's folder
            out.resize(out.rfind('/'));
        } else if (!segment.empty() && segment != ".") {
            if (out.empty() || out.back() != '/')
                out += '/';
            out += segment;
        }
        start = end + 1;
    }
    return out.size() > base.size() ? out : std::string();
}
