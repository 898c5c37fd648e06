// One entry of the contents tree: an address the project met, its stored file and its state.
#pragma once

#include "desktop/project/node_text.h"

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>
#include <string_view>

enum VQNodeKind : int { kNodeRoot = 1, kNodePage = 2, kNodeFile = 3 };

enum VQNodeStatus : int {
    kStatusToAnalyze = 0,
    kStatusDownloading = 1,
    kStatusDownloaded = 2,
    kStatusError = 3,
    kStatusToCheck = 4, // downloaded by an earlier run, checked again by this one
    kStatusFiltered = 5,
};

enum VQSkipReason : int {
    kSkipOtherServer = 1,
    kSkipUrlFilter = 2,
    kSkipFileFilter = 3,
    kSkipTooBig = 4,
    kSkipTooSmall = 5,
    kSkipPreview = 6,
    kSkipOutsideStartDir = 7,
    kSkipLevel = 8,
};

// Selection flag bits.
enum VQSelection : std::uint16_t {
    kSelNone = 0,
    kSelSelected = 1,        // chosen for the next (or the current special) download
    kSelForcedIn = 2,        // taken in by an "Include" URL filter
    kSelNeedsConversion = 4, // holds links that the conversion pass must rewrite
};

constexpr int kReasonIncomplete = -1;
constexpr int kNoPosition = INT_MAX;              // directory position and level not set
constexpr int kOtherServerPosition = -1073741824; // -0x40000000: on another server or below

class CVQDocTree;

// Links are atomics so that the engine's node search may walk the tree while a parser appends
// under the tree lock: a node is complete before it is linked, and nodes are never freed while a
// download runs. Fields a worker changes while others read them (status, selection, reason,
// retries, size, group, kind, content class) are atomics too. The texts change only under the tree
// lock (CVQDocTree's setters); other threads than the worker holding a node read them under that
// lock. The layout keeps a node at 88 bytes.
class CVQDocNode {
public:
    explicit CVQDocNode(int nodeKind = 0) : kind(static_cast<std::uint8_t>(nodeKind)) {}
    // A node with its texts, made before it is linked (the address loses its fragment).
    CVQDocNode(int nodeKind, std::string_view title, std::string_view address,
               std::string_view localPath);
    CVQDocNode(const CVQDocNode&) = delete;
    CVQDocNode& operator=(const CVQDocNode&) = delete;

    std::atomic<CVQDocNode*> prev{nullptr};
    std::atomic<CVQDocNode*> next{nullptr};
    std::atomic<CVQDocNode*> parent{nullptr};
    std::atomic<CVQDocNode*> firstChild{nullptr};

    // Root: the project title; other nodes: the file name of the local path, later the page title.
    std::string_view Title() const { return m_title.View(); }
    // Absolute address without a fragment.
    std::string_view Address() const { return m_address.View(); }
    // Absolute path of the stored file.
    std::string_view LocalPath() const { return m_localPath.View(); }

    int dirPosition = kNoPosition;
    int level = kNoPosition;
    std::atomic<std::uint32_t> size{0};
    // For status 5 the skip reason; for status 3 the error number, -1 = incomplete download.
    std::atomic<int> reason{0};
    // The node's pre-order number, filled only to write and read the project file.
    std::uint32_t index = 0;
    std::atomic<int> status{kStatusToAnalyze};
    // The server's answer sets group, kind and content class again after the download, while
    // the parsers of other workers look at the node.
    std::atomic<std::uint16_t> group{0}; // file-type group bit, 0 = not known yet
    std::atomic<std::uint16_t> selection{0};
    std::atomic<std::uint8_t> retries{0};
    std::atomic<std::uint8_t> kind{0};
    std::atomic<std::uint8_t> contentClass{0}; // 0 ordinary, 1 special content, 2 WML/VRML
    std::uint8_t extEnabled = 1;

    bool IsHtml() const { return group == 1; }
    bool HasChildren() const { return firstChild.load() != nullptr; }

private:
    friend class CVQDocTree;

    // Only the tree sets texts: an address in use is also a key of the address index.
    void SetTitle(std::string_view title) { m_title.Assign(title); }
    void SetAddress(std::string_view address);
    void SetLocalPath(std::string_view path) { m_localPath.Assign(path); }

    CVQNodeText m_title;
    CVQNodeText m_address;
    CVQNodeText m_localPath;
};

namespace vq {

// The text shown for a status: "Downloaded", "Error - 404", "Filtered out - URL Filter"...
std::string StatusText(int status, int reason);
std::string StatusText(const CVQDocNode& node);

// The address without its fragment (from "#" on).
std::string_view WithoutFragment(std::string_view address);

} // namespace vq
