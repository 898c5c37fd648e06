// The changes a rewriter decided on while it scanned a stored file, and writing the file again
// with them. The scan reads the file without its zero bytes; the offsets here count the bytes as
// the scan saw them, and the copy puts every byte that is not replaced back as it was, zero
// bytes included.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_sink.h"

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

class CVQPageEdits {
public:
    // Replaces length scanned bytes at offset with text (length 0 inserts it).
    void Replace(std::size_t offset, std::size_t length, std::string text);

    // The link, found at place, becomes newText where it stands: only when newText differs from
    // it ignoring case and it stands there as a whole value. A link the parser put together
    // itself is replaced wherever its text stands as a whole value in place's text. True when
    // an edit was made.
    bool ReplaceLink(const CVQFoundLink& link, const CVQTagPlace& place, std::string_view newText);

    // A BASE tag becomes a comment: "!--" after its "<", "--" before its closing ">".
    void CommentOut(const CVQTagPlace& place);

    bool Empty() const { return m_edits.empty(); }
    std::size_t Count() const { return m_edits.size(); }

    // Copies source to out with the edits. An edit that overlaps an earlier one is left out,
    // and so is one whose bytes in the file hold zero bytes (text in a wide encoding, which a
    // one-byte link would break). False on a read or write error.
    bool Write(std::FILE* source, std::FILE* out) const;

    // Rewrites the file at path with the edits: the new text goes to a temporary file beside
    // it, which then takes the file's place, with the file's permissions and, when they could
    // be read, its access and modification times. The file is untouched when anything fails.
    bool Apply(const std::string& path) const;

private:
    struct Edit {
        std::size_t offset;
        std::size_t length;
        std::string text;
    };

    // The edits sorted by offset (the earlier one first on a tie), overlaps left out.
    std::vector<const Edit*> Ordered() const;

    std::vector<Edit> m_edits;
};
