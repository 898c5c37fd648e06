// Finds where a tag that opens at a known position ends: its row's closing marker, a closing
// marker broken over two lines, and the rule for a comment opened inside the tag.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

// A window of the scanned text: data[0] stands at offset base, and complete says that no
// more text follows data.
struct CVQTextWindow {
    std::string_view data;
    std::size_t base = 0;
    bool complete = true;

    std::size_t End() const { return base + data.size(); }
    char At(std::size_t offset) const { return data[offset - base]; }
};

class CVQTagEndFinder {
public:
    enum class Result { Found, NotFound, NeedMore };

    CVQTagEndFinder();

    // The end (one past the last byte) of the tag of row that opens at open. Only closing
    // markers that start before limit are taken. NeedMore: the window ends before the answer
    // is known; call again with a larger window. The finder remembers what it has searched, so
    // that asking again for a later tag never searches the same text twice for one marker:
    // tags must be asked for in the order of their openings.
    Result Find(const CVQTextWindow& window, int row, std::size_t open, std::size_t limit,
                std::size_t& end);

private:
    // First occurrence of one marker, remembered between calls.
    struct Search {
        std::string_view needle;
        std::size_t from = 0;
        std::size_t found = std::string_view::npos;
        std::size_t clearTo = 0; // no occurrence starts in [from, clearTo)
        bool valid = false;
    };
    enum : std::size_t { kCommentOpen = 0, kCommentClose, kFirstCloser };
    static constexpr std::size_t kSearchCount = kFirstCloser + 18;

    Result First(std::size_t which, const CVQTextWindow& window, std::size_t from,
                 std::size_t limit, std::size_t& at);
    Result RestOfLineBlank(const CVQTextWindow& window, std::size_t from, std::size_t limit,
                           bool& blank);

    std::array<Search, kSearchCount> m_search{};
    // How far the blanks after a broken closing marker were already looked at.
    std::size_t m_blankFrom = std::string_view::npos;
    std::size_t m_blankTo = 0;
};
