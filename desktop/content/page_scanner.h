// The page scan: finds the tags of the tag table in a page read piece by piece, cuts each one
// out (also over several lines) and hands it on. Memory stays bounded whatever the page holds:
// only the current tag and one read block are kept.
#pragma once

#include "desktop/content/byte_source.h"

#include <cstddef>
#include <memory>
#include <string_view>

class CVQPageScanner {
public:
    // A page is read in lines of at most this many bytes; an opening split by that limit is
    // not a tag.
    static constexpr std::size_t kLineBytes = 41600;
    // Unterminated tags after which the scan goes on just after the tag's opening.
    static constexpr int kMaxRestarts = 1000;
    // A tag (a script, a style sheet, a form) longer than this is taken as unterminated.
    static constexpr std::size_t kMaxTagBytes = std::size_t{16} << 20;
    // Lines and tags between two polls of the receiver.
    static constexpr int kPollInterval = 50;

    class Receiver {
    public:
        virtual ~Receiver() = default;
        // One complete tag of row: its text from the opening to the end of the closing marker,
        // standing at offset in the page (zero bytes not counted).
        virtual void Tag(int row, std::string_view text, std::size_t offset) = 0;
        // Polled every 50 lines and every 50 tags; false ends the scan.
        virtual bool KeepGoing() { return true; }
    };

    // Scans the whole source.
    void Scan(CVQByteSource& source, Receiver& receiver);

    int Restarts() const { return m_restarts; }
    bool Stopped() const { return m_stopped; }

private:
    bool ReadMore(CVQByteSource& source);
    void Discard(std::size_t before);
    void Advance(std::size_t to);
    bool CrossesLineSplit(std::size_t pos, std::size_t length) const;
    bool Poll(Receiver& receiver, bool tag);

    // The window of the page: m_size bytes from page offset m_base. Grown without being
    // cleared first, since every byte is read into before it is looked at.
    std::unique_ptr<char[]> m_data;
    std::size_t m_size = 0;
    std::size_t m_capacity = 0;
    std::size_t m_base = 0;
    bool m_eof = false;

    std::size_t m_pos = 0;       // scan position
    std::size_t m_lineStart = 0; // start of the line that holds m_pos
    std::size_t m_lines = 0;
    std::size_t m_linesAtPoll = 0;
    int m_tagsSincePoll = 0;
    int m_restarts = 0;
    bool m_stopped = false;
};
