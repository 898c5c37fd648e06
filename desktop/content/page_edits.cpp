// Collecting a rewriter's edits and copying a stored file with them.
#include "desktop/content/page_edits.h"

#include "desktop/address/text_util.h"
#include "desktop/content/link_replace.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBlock = 64 * 1024;

// The file read block by block.
class CVQBlockReader {
public:
    explicit CVQBlockReader(std::FILE* file)
        : m_file(file), m_buffer(std::make_unique_for_overwrite<char[]>(kBlock)) {}

    // Makes sure a byte is waiting; false at the end (or on an error, see Failed).
    bool Fill() {
        if (m_pos < m_size)
            return true;
        m_pos = 0;
        m_size = std::fread(m_buffer.get(), 1, kBlock, m_file);
        if (m_size == 0)
            m_failed = std::ferror(m_file) != 0;
        return m_size > 0;
    }
    const char* Data() const { return m_buffer.get() + m_pos; }
    std::size_t Available() const { return m_size - m_pos; }
    void Skip(std::size_t n) { m_pos += n; }
    bool Failed() const { return m_failed; }

private:
    std::FILE* m_file;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_size = 0;
    bool m_failed = false;
};

// The copy of one file: scanned counts the bytes other than zero bytes passed so far.
class CVQEditedCopy {
public:
    CVQEditedCopy(std::FILE* source, std::FILE* out) : m_in(source), m_out(out) {}

    // Copies through to the scanned byte target (not included); zero bytes right before it are
    // copied too.
    void CopyTo(std::size_t target) {
        while (m_scanned < target && m_in.Fill()) {
            const char* p = m_in.Data();
            const std::size_t want = std::min(m_in.Available(), target - m_scanned);
            const void* zero = std::memchr(p, 0, want);
            const std::size_t n =
                zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - p) : want;
            Put(p, n);
            m_in.Skip(n);
            m_scanned += n;
            if (zero)
                CopyZeros();
        }
        CopyZeros();
    }

    // The next length scanned bytes as they stand in the file; hasZero tells whether zero bytes
    // lie among them. Fewer come at the end of the file.
    std::string Take(std::size_t length, bool& hasZero) {
        std::string raw;
        hasZero = false;
        std::size_t taken = 0;
        while (taken < length && m_in.Fill()) {
            const char c = *m_in.Data();
            m_in.Skip(1);
            raw += c;
            if (c == '\0')
                hasZero = true;
            else
                ++taken;
        }
        m_scanned += taken;
        return raw;
    }

    void CopyRest() {
        while (m_in.Fill()) {
            Put(m_in.Data(), m_in.Available());
            m_in.Skip(m_in.Available());
        }
    }

    void Put(const char* data, std::size_t n) {
        if (n > 0 && std::fwrite(data, 1, n, m_out) != n)
            m_writeFailed = true;
    }
    void Put(std::string_view text) { Put(text.data(), text.size()); }

    bool Ok() const { return !m_writeFailed && !m_in.Failed(); }

private:
    void CopyZeros() {
        while (m_in.Fill() && *m_in.Data() == '\0') {
            Put(m_in.Data(), 1);
            m_in.Skip(1);
        }
    }

    CVQBlockReader m_in;
    std::FILE* m_out;
    std::size_t m_scanned = 0;
    bool m_writeFailed = false;
};

std::string WithoutLineFeeds(std::string_view text) {
    std::string out(text);
    std::erase(out, '\n');
    return out;
}

// The directory part of path, for the temporary file beside it.
std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

void CVQPageEdits::Replace(std::size_t offset, std::size_t length, std::string text) {
    m_edits.push_back({offset, length, std::move(text)});
}

bool CVQPageEdits::ReplaceLink(const CVQFoundLink& link, const CVQTagPlace& place,
                               std::string_view newText) {
    if (link.text.empty() || vq::EqualsIgnoreCase(link.text, newText))
        return false;
    const std::string_view raw = place.raw;
    if (link.IsComposed()) {
        bool replaced = false;
        for (std::size_t pos = raw.find(link.text); pos != std::string_view::npos;
             pos = raw.find(link.text, pos + link.text.size())) {
            if (!CVQLinkReplace::StandsAsValue(raw, pos, link.text.size()))
                continue;
            Replace(place.offset + pos, link.text.size(), std::string(newText));
            replaced = true;
        }
        return replaced;
    }
    if (link.offset < place.offset || link.offset - place.offset + link.length > raw.size())
        return false;
    const std::size_t pos = link.offset - place.offset;
    // The link as the page writes it; a line feed inside it was not part of what was found.
    const std::string_view written = raw.substr(pos, link.length);
    if (written != link.text && WithoutLineFeeds(written) != link.text)
        return false;
    if (!CVQLinkReplace::StandsAsValue(raw, pos, link.length))
        return false;
    Replace(link.offset, link.length, std::string(newText));
    return true;
}

void CVQPageEdits::CommentOut(const CVQTagPlace& place) {
    if (place.tagLength < 2 || place.At(place.tagOffset) != '<')
        return;
    const std::size_t last = place.tagOffset + place.tagLength - 1;
    Replace(place.tagOffset + 1, 0, "!--");
    Replace(place.At(last) == '>' ? last : last + 1, 0, "--");
}

std::vector<const CVQPageEdits::Edit*> CVQPageEdits::Ordered() const {
    std::vector<const Edit*> order;
    order.reserve(m_edits.size());
    for (const Edit& edit : m_edits)
        order.push_back(&edit);
    std::stable_sort(order.begin(), order.end(),
                     [](const Edit* a, const Edit* b) { return a->offset < b->offset; });
    std::vector<const Edit*> kept;
    kept.reserve(order.size());
    std::size_t end = 0;
    for (const Edit* edit : order) {
        // An insertion may stand where a replacement begins or ends, never inside one.
        if (!kept.empty() && edit->offset < end)
            continue;
        kept.push_back(edit);
        end = std::max(end, edit->offset + edit->length);
    }
    return kept;
}

bool CVQPageEdits::Write(std::FILE* source, std::FILE* out) const {
    CVQEditedCopy copy(source, out);
    for (const Edit* edit : Ordered()) {
        copy.CopyTo(edit->offset);
        bool hasZero = false;
        const std::string raw = copy.Take(edit->length, hasZero);
        copy.Put(hasZero || raw.size() < edit->length ? std::string_view(raw) : edit->text);
    }
    copy.CopyRest();
    return copy.Ok();
}

bool CVQPageEdits::Apply(const std::string& path) const {
    struct stat status {};
    const bool haveStatus = ::stat(path.c_str(), &status) == 0;
    std::FILE* source = std::fopen(path.c_str(), "rb");
    if (!source)
        return false;
    std::string temp = DirectoryOf(path) + "/.vqXXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        std::fclose(source);
        return false;
    }
    std::FILE* out = ::fdopen(fd, "wb");
    if (!out) {
        ::close(fd);
        ::unlink(temp.c_str());
        std::fclose(source);
        return false;
    }
    bool ok = Write(source, out);
    ok = std::fflush(out) == 0 && ok;
    if (haveStatus)
        ::fchmod(fd, status.st_mode & 07777);
    ok = std::fclose(out) == 0 && ok;
    std::fclose(source);
    if (!ok || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    if (haveStatus) {
        const struct timespec times[2] = {status.st_atim, status.st_mtim};
        ::utimensat(AT_FDCWD, path.c_str(), times, 0);
    }
    return true;
}
