// The decision taken from an answer's headers before any byte of its body: transfer the file,
// refuse it by a size or disk-space limit, or count it as done without a transfer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct CVQPrjSettings;

enum VQDisposition : int {
    kDispTransferred = 0,
    kDispRefused = 1, // by a size or disk-space limit, or the transfer failed
    kDispDone = 2,    // unchanged, "Never" with an existing file, or a non-page in preview mode
    kDispFromCache = 8,
};

// What the answer told.
struct CVQResponseFacts {
    bool ftp = false;
    std::optional<std::uint64_t> size;        // the whole file's size, when the server gave it
    std::optional<std::int64_t> lastModified; // seconds since 1970 (UTC)
    std::optional<std::string> contentType;
    std::optional<std::string> contentDisposition;
};

// What the project and the caller know.
struct CVQCheckContext {
    const CVQPrjSettings& settings;
    int downloadType = 1;
    bool preview = false;
    std::uint64_t bytesStored = 0; // by the project so far
    std::uint64_t knownSize = 0;   // the size the contents tree recorded; 0 = none
    bool resumed = false;          // the local file is a partial one being continued
};

struct CVQResponseVerdict {
    enum Note { kNoNote, kDownloading, kUnchanged };
    enum LogLine { kNoLog, kExceedsLimit, kTooSmall };

    int disposition = kDispTransferred;
    int skipReason = 0;
    int group = 0;
    int contentClass = 0;
    bool isPage = false;
    std::string localPath; // with the extension the content type calls for
    bool renamed = false;
    Note note = kNoNote;
    LogLine log = kNoLog;
    // The Content-Disposition's file name had to be reduced to its final name part.
    bool nameReduced = false;
    std::string serverFileName;
};

namespace vq {

CVQResponseVerdict CheckResponse(const CVQResponseFacts& facts, const CVQCheckContext& context,
                                 const std::string& localPath);

} // namespace vq
