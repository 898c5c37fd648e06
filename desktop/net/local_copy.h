// The copy of a file: address into the save directory: the client's own code, no network.
#pragma once

#include "desktop/net/transfer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vq {

// The local file a file: address names ("file:///home/u/a.htm", "file://localhost/home/u/a.htm",
// percent-encoded bytes decoded); empty when it names none (another host, not absolute, a
// zero byte).
std::string LocalPathFromFileAddress(std::string_view address);

} // namespace vq

struct CVQCopyResult {
    enum End { kCopied, kSourceFailed, kDestinationFailed, kStopped, kSkipped, kWriteFailed };
    End end = kSourceFailed;
    bool diskFull = false;
    std::uint64_t length = 0; // bytes copied
};

// Copies source to destination in chunks of 10240 bytes, asking interrupt before each chunk. A
// stopped, skipped or failed copy removes the destination; a complete one gets the source's
// modification time. The destination's directory must exist.
CVQCopyResult CopyLocalFile(const std::string& source, const std::string& destination,
                            const std::function<VQInterrupt()>& interrupt);
