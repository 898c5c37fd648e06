// The end of a tag, searched once per marker however many tags ask.
#include "desktop/content/tag_end_finder.h"

#include "desktop/address/text_util.h"
#include "desktop/content/tag_table.h"

#include <algorithm>

namespace {

constexpr std::size_t npos = std::string_view::npos;

struct RowMarkers {
    std::size_t closer = 0; // index of the closing marker's search
    std::size_t prime = 0;  // index of the closing marker without its ">", or npos
};

// Slots of the closing markers (and of those without their final ">") in the search array,
// shared by the rows that use the same marker.
struct MarkerSlots {
    std::array<std::string_view, 18> needles{};
    std::size_t count = 0;
    std::array<RowMarkers, kRowCount> rows{};

    std::size_t Slot(std::string_view needle) {
        if (needle == "-->")
            return 1; // shared with the comment rule's own search
        for (std::size_t i = 0; i < count; ++i)
            if (needles[i] == needle)
                return 2 + i;
        needles[count] = needle;
        return 2 + count++;
    }

    MarkerSlots() {
        for (int row = 0; row < kRowCount; ++row) {
            const std::string_view closing = CVQTagTable::Row(row).closing;
            RowMarkers& markers = rows[static_cast<std::size_t>(row)];
            markers.closer = Slot(closing);
            markers.prime = closing.size() > 1 && closing.back() == '>'
                                ? Slot(closing.substr(0, closing.size() - 1))
                                : npos;
        }
    }
};

const MarkerSlots& Slots() {
    static const MarkerSlots slots;
    return slots;
}

} // namespace

CVQTagEndFinder::CVQTagEndFinder() {
    const MarkerSlots& slots = Slots();
    m_search[kCommentOpen].needle = "<!--";
    m_search[kCommentClose].needle = "-->";
    for (std::size_t i = 0; i < slots.count; ++i)
        m_search[kFirstCloser + i].needle = slots.needles[i];
}

CVQTagEndFinder::Result CVQTagEndFinder::First(std::size_t which, const CVQTextWindow& window,
                                               std::size_t from, std::size_t limit,
                                               std::size_t& at) {
    Search& s = m_search[which];
    std::size_t start = from;
    if (s.valid && from >= s.from) {
        if (s.found != npos && s.found >= from) {
            if (s.found >= limit)
                return Result::NotFound;
            at = s.found;
            return Result::Found;
        }
        if (s.found == npos && from <= s.clearTo)
            start = s.clearTo;
        else
            s.from = from;
    } else {
        s.from = from;
    }
    s.valid = true;
    s.found = npos;
    start = std::max(start, window.base);

    const std::size_t len = s.needle.size();
    const std::size_t dataEnd = window.End();
    // Starts that the window can answer for: the needle must fit before its end.
    const std::size_t lastStartBound = dataEnd >= len ? dataEnd - len + 1 : 0;
    const std::size_t stop = std::min(limit, lastStartBound);
    if (start < stop) {
        const std::string_view region =
            window.data.substr(start - window.base, stop - start + len - 1);
        const std::size_t hit = vq::FindIgnoreCase(region, s.needle);
        if (hit != npos) {
            s.found = start + hit;
            s.clearTo = s.found;
            at = s.found;
            return Result::Found;
        }
    }
    if (stop >= limit) {
        s.clearTo = std::max(start, limit);
        return Result::NotFound;
    }
    // Starts beyond the last one that fits are clear once no more text can come.
    s.clearTo = std::max(start, window.complete ? dataEnd : stop);
    return window.complete ? Result::NotFound : Result::NeedMore;
}

CVQTagEndFinder::Result CVQTagEndFinder::RestOfLineBlank(const CVQTextWindow& window,
                                                         std::size_t from, std::size_t limit,
                                                         bool& blank) {
    std::size_t i = from == m_blankFrom ? std::max(m_blankTo, window.base) : from;
    m_blankFrom = from;
    for (; i < window.End() && i < limit; ++i) {
        const char c = window.At(i);
        if (c == '\n') {
            blank = true;
            return Result::Found;
        }
        if (c != ' ' && c != '\r') {
            blank = false;
            return Result::Found;
        }
    }
    m_blankTo = i;
    if (i >= limit) {
        blank = false; // blanks beyond the tag limit: no closing marker there
        return Result::Found;
    }
    if (!window.complete)
        return Result::NeedMore;
    blank = true;
    return Result::Found;
}

CVQTagEndFinder::Result CVQTagEndFinder::Find(const CVQTextWindow& window, int row,
                                              std::size_t open, std::size_t limit,
                                              std::size_t& end) {
    const CVQTagRowInfo& info = CVQTagTable::Row(row);
    const RowMarkers& markers = Slots().rows[static_cast<std::size_t>(row)];
    const std::size_t bodyStart = open + info.opening.size();

    std::size_t closer = 0;
    if (markers.prime == npos) {
        const Result r = First(markers.closer, window, bodyStart, limit, closer);
        if (r != Result::Found)
            return r;
        end = closer + info.closing.size();
    } else {
        // Every closing marker begins with the marker without its ">", so the first of those
        // is either the closing marker itself or a candidate for one broken over two lines.
        std::size_t prime = 0;
        Result r = First(markers.prime, window, bodyStart, limit, prime);
        if (r != Result::Found)
            return r;
        const std::size_t after = prime + info.closing.size() - 1;
        if (after >= window.End() && !window.complete)
            return Result::NeedMore;
        bool blank = false;
        if (after < window.End() && window.At(after) == '>') {
            closer = prime;
            end = after + 1;
        } else if (r = RestOfLineBlank(window, after, limit, blank); r != Result::Found) {
            return r;
        } else if (blank) {
            closer = prime;
            end = after;
        } else {
            r = First(markers.closer, window, prime + 1, limit, closer);
            if (r != Result::Found)
                return r;
            end = closer + info.closing.size();
        }
    }

    // A comment opened inside the tag and never closed hides the rest of the text, so the
    // closing marker must come before it.
    std::size_t commentOpen = 0;
    const Result open2 = First(kCommentOpen, window, bodyStart, closer, commentOpen);
    if (open2 == Result::NeedMore)
        return open2;
    if (open2 == Result::Found) {
        std::size_t commentClose = 0;
        const Result close = First(kCommentClose, window, bodyStart, limit, commentClose);
        if (close != Result::Found)
            return close;
    }
    return Result::Found;
}
