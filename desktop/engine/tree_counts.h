// The counts of the contents tree that decide which download commands and types are offered.
#pragma once

#include <cstdint>

class CVQDoc;

struct CVQTreeCounts {
    std::uint64_t selected = 0;   // selection 1
    std::uint64_t failed = 0;     // status 3 with a reason other than "incomplete"
    std::uint64_t incomplete = 0; // status 3 with reason -1
    std::uint64_t downloaded = 0; // status 2
    std::uint64_t downloadedBytes = 0;
    // Some node not downloaded, filtered, failed or selected would pass the filters now.
    bool toAnalyze = false;
};

namespace vq {

// Walks the whole tree under the tree lock; the filters judge as a new download from the
// project's first start address would.
CVQTreeCounts CountTree(CVQDoc& doc);

} // namespace vq
