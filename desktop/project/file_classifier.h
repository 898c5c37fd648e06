// A snapshot of the project's extension lists for classifying many names quickly, and the rule
// that makes a node a page (a file that is read for links) or a plain file.
#pragma once

#include "desktop/project/file_class.h"

#include <string>
#include <string_view>
#include <unordered_map>

struct CVQPrjSettings;

// The lists as vq::ClassifyExtension searches them (in kFileGroupOrder, so an extension that
// two lists hold belongs to the first), copied into a table looked up in constant time. The
// results carry no list entry: the snapshot outlives no change of the settings.
class CVQFileClassifier {
public:
    CVQFileClassifier() = default;
    explicit CVQFileClassifier(const CVQPrjSettings& settings);

    // Group 0 when no list holds the extension (compared ignoring case).
    CVQFileClass ClassifyExtension(std::string_view ext) const;
    bool IsKnownExtension(std::string_view ext) const { return ClassifyExtension(ext).group != 0; }

private:
    struct Entry {
        int group;
        int extEnabled;
    };
    std::unordered_map<std::string, Entry> m_byExt; // lower-case extension
};

namespace vq {

// The node kind (kNodePage or kNodeFile) for a group, content class and extension. Pages are
// HTML and Java files and the link-bearing files of the other groups (PDF and VRML documents,
// Flash movies, playlists, FLV videos, SVG images, or any of these groups with special
// content). whenAdded: the node is being added from a link, where content class 1 or 2 makes
// any file a page.
int NodeKindFor(int group, int contentClass, std::string_view ext, bool whenAdded);

} // namespace vq
