// Directory position and link level of new nodes.
#include "desktop/project/node_placement.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/project/doc_node.h"

#include <algorithm>

namespace {

// Walks the directory segments of a directory URL after its host ("http://h/a/b/" gives a, b)
// without building a list: this runs for every link the parser meets.
class SegmentCursor {
public:
    explicit SegmentCursor(std::string_view dirUrl) : m_url(dirUrl), m_pos(vq::HostEnd(dirUrl)) {}

    bool Next(std::string_view& segment) {
        while (m_pos < m_url.size()) {
            const std::size_t begin = m_pos + 1;
            std::size_t end = vq::FindFirstSlash(m_url, begin);
            if (end == std::string_view::npos)
                end = m_url.size();
            m_pos = end;
            if (end > begin) {
                segment = m_url.substr(begin, end - begin);
                return true;
            }
        }
        return false;
    }

private:
    std::string_view m_url;
    std::size_t m_pos;
};

std::size_t CountSegments(std::string_view dirUrl) {
    SegmentCursor cursor(dirUrl);
    std::size_t n = 0;
    for (std::string_view segment; cursor.Next(segment);)
        ++n;
    return n;
}

// Segments in which two directories differ after their common beginning.
std::size_t DifferingSegments(std::string_view own, std::string_view start) {
    SegmentCursor a(own), b(start);
    std::string_view sa, sb;
    bool hasA = a.Next(sa), hasB = b.Next(sb);
    while (hasA && hasB && vq::EqualsIgnoreCase(sa, sb)) {
        hasA = a.Next(sa);
        hasB = b.Next(sb);
    }
    std::size_t restA = hasA ? 1 : 0, restB = hasB ? 1 : 0;
    for (std::string_view segment; hasA && a.Next(segment);)
        ++restA;
    for (std::string_view segment; hasB && b.Next(segment);)
        ++restB;
    return std::max(restA, restB);
}

} // namespace

namespace vq {

int DirectoryPosition(std::string_view address, std::string_view startDirUrl) {
    const std::string dir = DirectoryUrl(address);
    if (StartsWithIgnoreCase(dir, startDirUrl)) {
        const auto below = static_cast<long long>(CountSegments(dir)) -
                           static_cast<long long>(CountSegments(startDirUrl));
        return static_cast<int>(std::clamp<long long>(below, 0, 0x3FFFFFFF));
    }
    const std::string host = HostName(dir);
    if (host.empty())
        return kOtherServerPosition;
    if (!EqualsIgnoreCase(host, HostName(startDirUrl))) {
        // The server's root directory counts as a level, so that every position on another
        // server lies at or below -1073741824, where the filters and the level rule expect it.
        const std::size_t n = std::min<std::size_t>(CountSegments(dir) + 1, 0x3FFFFFFF);
        return -static_cast<int>(n) - 1073741823;
    }
    const std::size_t differing = DifferingSegments(dir, startDirUrl);
    return -static_cast<int>(std::clamp<std::size_t>(differing, 1, 0x3FFFFFFF));
}

int NewNodeLevel(int pageLevel, int pagePosition, int position, bool fromFrame, bool isStyleSheet) {
    const int step = fromFrame || isStyleSheet ? 0 : 1;
    if (pageLevel == kNoPosition)
        return 0;
    if (pagePosition <= kOtherServerPosition)
        return pageLevel + step;
    if (position < kOtherServerPosition + 1)
        return 0;
    return pageLevel + step;
}

bool IsStyleSheetAddress(std::string_view address) {
    address = WithoutFragment(address);
    address = address.substr(0, FindFirstOf(address, "?^"));
    const std::size_t slash = FindLastSlash(address);
    const std::string_view name =
        slash == std::string_view::npos ? address : address.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && EqualsIgnoreCase(name.substr(dot + 1), "css");
}

} // namespace vq
