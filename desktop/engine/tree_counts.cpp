// Counting the contents tree for the download commands.
#include "desktop/engine/tree_counts.h"

#include "desktop/address/address.h"
#include "desktop/engine/download_filter.h"
#include "desktop/project/doc.h"

namespace vq {

CVQTreeCounts CountTree(CVQDoc& doc) {
    CVQTreeCounts counts;
    CVQDownloadFilter filter(doc);
    const std::vector<std::string> urls = doc.Settings().DownloadUrls();
    if (!urls.empty())
        filter.SetStartDirUrl(DirectoryUrl(urls.front()));

    std::lock_guard lock(doc.TreeLock());
    const CVQDocNode* root = doc.Tree().Root();
    for (CVQDocNode* n = root ? root->firstChild.load() : nullptr; n;
         n = CVQDocTree::NextPreOrder(n, root)) {
        const int status = n->status;
        const bool selected = (n->selection & kSelSelected) != 0;
        if (selected)
            ++counts.selected;
        if (status == kStatusError)
            ++(n->reason == kReasonIncomplete ? counts.incomplete : counts.failed);
        if (status == kStatusDownloaded) {
            ++counts.downloaded;
            counts.downloadedBytes += n->size;
        }
        if (!counts.toAnalyze && !selected && status != kStatusDownloaded &&
            status != kStatusFiltered && status != kStatusError)
            counts.toAnalyze = filter.WouldPass(*n);
    }
    return counts;
}

} // namespace vq
