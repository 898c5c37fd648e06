// Cleaning a tag's text and mapping positions back to the page.
#include "desktop/content/tag_text.h"

#include "desktop/address/text_util.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t npos = std::string_view::npos;

} // namespace

void CVQTagText::Append(std::string_view raw, std::size_t rawPos, std::size_t length) {
    // Everything of raw before rawPos that is not yet in the text was removed.
    const std::size_t removedSoFar = m_removed.empty() ? 0 : m_removed.back().second;
    const std::size_t kept = m_owned.size() + removedSoFar;
    if (rawPos > kept)
        m_removed.emplace_back(m_owned.size(), removedSoFar + (rawPos - kept));
    m_owned.append(raw.substr(rawPos, length));
}

CVQTagText::CVQTagText(std::string_view raw, std::size_t offset, bool removeComments)
    : m_offset(offset) {
    std::size_t comment = removeComments ? raw.find("<!--") : npos;
    if (comment == npos && std::memchr(raw.data(), '\n', raw.size()) == nullptr) {
        m_text = raw; // nothing to take out
        return;
    }
    m_owned.reserve(raw.size());
    // Copies raw[from, to) without its line feeds.
    const auto copyRun = [this, raw](std::size_t from, std::size_t to) {
        while (from < to) {
            const void* lf = std::memchr(raw.data() + from, '\n', to - from);
            const std::size_t stop =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - raw.data()) : to;
            Append(raw, from, stop - from);
            from = lf ? stop + 1 : to;
        }
    };
    std::size_t pos = 0;
    std::size_t script = removeComments ? vq::FindIgnoreCase(raw, "<SCRIPT") : npos;
    while (comment != npos) {
        if (script != npos && script < comment) {
            // Comments inside a script part stay: copy through the end of the script.
            const std::size_t scriptEnd = vq::FindIgnoreCase(raw, "/SCRIPT>", script);
            const std::size_t to = scriptEnd == npos ? raw.size() : scriptEnd + 8;
            copyRun(pos, to);
            pos = to;
        } else {
            const std::size_t commentEnd = raw.find("-->", comment + 4);
            if (commentEnd == npos)
                break; // an unclosed comment stays, and no later one can close
            copyRun(pos, comment);
            pos = commentEnd + 3;
        }
        if (comment < pos)
            comment = raw.find("<!--", pos);
        if (script != npos && script < pos)
            script = vq::FindIgnoreCase(raw, "<SCRIPT", pos);
    }
    copyRun(pos, raw.size());
    m_text = m_owned;
}

CVQTagText::CVQTagText(const CVQTagText& outer, std::size_t from, std::size_t to)
    : m_text(outer.m_text.substr(from, to - from)), m_offset(from), m_outer(&outer) {}

std::size_t CVQTagText::PageOffset(std::size_t pos) const {
    if (m_outer)
        return m_outer->PageOffset(m_offset + pos);
    // The removals that lie at or before pos shift it.
    const auto at = [this](std::size_t i) { return m_removed[i].first; };
    const std::size_t n = m_removed.size();
    std::size_t count; // removals at or before pos
    if (n == 0 || pos < at(0)) {
        count = 0;
    } else if (m_hint < n && at(m_hint) <= pos && (m_hint + 1 == n || pos < at(m_hint + 1))) {
        count = m_hint + 1;
    } else {
        const auto it =
            std::upper_bound(m_removed.begin(), m_removed.end(), pos,
                             [](std::size_t p, const std::pair<std::size_t, std::size_t>& r) {
                                 return p < r.first;
                             });
        count = static_cast<std::size_t>(it - m_removed.begin());
    }
    if (count == 0)
        return m_offset + pos;
    m_hint = count - 1;
    return m_offset + pos + m_removed[count - 1].second;
}

std::pair<std::size_t, std::size_t> CVQTagText::PageSpan(std::size_t pos,
                                                         std::size_t length) const {
    const std::size_t begin = PageOffset(pos);
    if (length == 0)
        return {begin, 0};
    // The last byte's own offset, so that a removal right after the part does not count.
    const std::size_t last = PageOffset(pos + length - 1);
    return {begin, last + 1 - begin};
}
