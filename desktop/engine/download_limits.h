// The limits test that a worker runs after every node: the number of files, the total time and
// the disk space of a download.
#pragma once

#include <cstdint>

class CVQDoc;

namespace vq {

// Whether the download must end now. A stop request ends it without a reason; a limit gives its
// stop reason (files, time, disk space) in reason. The special download types have no limits.
// now: seconds since the epoch, as the run's start time.
bool LimitsSayStop(const CVQDoc& doc, std::int64_t now, int& reason);

} // namespace vq
