// One entry of the contents tree: an address the project met, its stored file and its state.
#pragma once

#include <atomic>
#include <climits>
#include <cstdint>
#include <string>

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
    kSelSelected = 1,      // chosen for the next (or the current special) download
    kSelForcedIn = 2,      // taken in by an "Include" URL filter
    kSelNeedsConversion = 4, // holds links that the conversion pass must rewrite
};

constexpr int kReasonIncomplete = -1;
constexpr int kNoPosition = INT_MAX;     // directory position and level not set
constexpr int kOtherServerPosition = -1073741824; // -0x40000000: on another server or below

// Fields that a worker changes while others read them (status, selection, reason, retries,
// size) are atomics with relaxed order: each is a value of its own, and the tree lock orders
// the structural changes. Strings and links change only under the project's tree lock.
class CVQDocNode {
public:
    int kind = 0;
    std::string title;
    int group = 0;        // file-type group bit, 0 = not known yet
    int contentClass = 0; // 0 ordinary, 1 special content, 2 WML/VRML
    int extEnabled = 1;
    int dirPosition = kNoPosition;
    int level = kNoPosition;

    const std::string& Address() const { return m_address; }
    // Sets the address without its fragment (from "#" on).
    void SetAddress(std::string_view address);
    std::string localPath;

    std::atomic<int> status{0};
    std::atomic<std::uint16_t> selection{0};
    std::atomic<std::int16_t> reason{0};
    std::atomic<int> retries{0};
    std::atomic<std::uint32_t> size{0};

    CVQDocNode* prev = nullptr;
    CVQDocNode* next = nullptr;
    CVQDocNode* parent = nullptr;
    CVQDocNode* firstChild = nullptr;

    bool IsHtml() const { return group == 1; }
    bool HasChildren() const { return firstChild != nullptr; }

private:
    std::string m_address;
};

// The text shown for a node's status: "Downloaded", "Error - 404", "Filtered out - URL Filter"...
std::string StatusText(const CVQDocNode& node);
