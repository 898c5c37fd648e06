// Size limits of a file before its download.
#include "desktop/project/size_limits.h"

#include "desktop/project/doc_node.h"
#include "desktop/project/prj_settings.h"

namespace vq {

int SizeLimitVerdict(const CVQPrjSettings& settings, const CVQFileExt* entry, std::uint64_t size) {
    const double bytes = static_cast<double>(size);
    bool limitMax = settings.limMaxFs != 0;
    double maxSize = settings.maxMaxFs;
    bool limitMin = settings.limMinFs != 0;
    double minSize = settings.maxMinFs;
    if (entry && (entry->limitMax != 0 || entry->limitMin != 0)) {
        limitMax = entry->limitMax != 0;
        maxSize = entry->maxSize;
        limitMin = entry->limitMin != 0;
        minSize = entry->minSize;
    }
    if (limitMax && bytes > maxSize)
        return kSkipTooBig;
    if (limitMin && bytes < minSize)
        return kSkipTooSmall;
    return 0;
}

} // namespace vq
