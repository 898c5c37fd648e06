// Directory position and link level of new nodes.
#include "desktop/project/node_placement.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/project/doc_node.h"

#include <algorithm>
#include <vector>

namespace {

// The directory segments of a directory URL after its host ("http://h/a/b/" gives a, b).
std::vector<std::string_view> DirectorySegments(std::string_view dirUrl) {
    std::vector<std::string_view> segments;
    std::size_t pos = vq::HostEnd(dirUrl);
    while (pos < dirUrl.size()) {
        const std::size_t begin = pos + 1;
        std::size_t end = vq::FindFirstSlash(dirUrl, begin);
        if (end == std::string_view::npos)
            end = dirUrl.size();
        if (end > begin)
            segments.push_back(dirUrl.substr(begin, end - begin));
        pos = end;
    }
    return segments;
}

} // namespace

namespace vq {

int DirectoryPosition(std::string_view address, std::string_view startDirUrl) {
    const std::string dir = DirectoryUrl(address);
    const std::vector<std::string_view> own = DirectorySegments(dir);
    if (StartsWithIgnoreCase(dir, startDirUrl)) {
        const auto below = static_cast<long long>(own.size()) -
                           static_cast<long long>(DirectorySegments(startDirUrl).size());
        return static_cast<int>(std::clamp<long long>(below, 0, 0x3FFFFFFF));
    }
    const std::string host = HostName(dir);
    if (host.empty())
        return kOtherServerPosition;
    if (!EqualsIgnoreCase(host, HostName(startDirUrl))) {
        // The server's root directory counts as a level, so that every position on another
        // server lies at or below -1073741824, where the filters and the level rule expect it.
        const std::size_t n = std::min<std::size_t>(own.size() + 1, 0x3FFFFFFF);
        return -static_cast<int>(n) - 1073741823;
    }
    const std::vector<std::string_view> start = DirectorySegments(startDirUrl);
    std::size_t common = 0;
    while (common < own.size() && common < start.size() &&
           EqualsIgnoreCase(own[common], start[common]))
        ++common;
    const std::size_t differing = std::max(own.size(), start.size()) - common;
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
