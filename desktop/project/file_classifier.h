// The file-type group of an address or a stored file from the project's extension lists, and
// the rule that makes a node a page (a file that is read for links) or a plain file.
#pragma once

#include "desktop/project/file_types.h"

#include <string>
#include <string_view>
#include <unordered_map>

struct CVQPrjSettings;

// What the extension lists say about a name.
struct CVQFileClass {
    int group = 0;      // one group bit; 0 = the lists do not know the extension
    int extEnabled = 1; // the enabled flag of the list entry (1 for an unknown extension)
    bool operator==(const CVQFileClass&) const = default;
};

// A snapshot of the project's eight extension lists, looked up in constant time. Lists are
// searched in kFileGroupOrder, so an extension that two lists hold belongs to the first.
class CVQFileClassifier {
public:
    CVQFileClassifier() = default;
    explicit CVQFileClassifier(const CVQPrjSettings& settings);

    // The group of an extension (compared ignoring case); group 0 when no list holds it.
    CVQFileClass ClassifyExtension(std::string_view ext) const;

    // The group of an address or a local path by its file name: a name without any text (the
    // address ends in "/", or a query comes before any file name) is HTML; a name without an
    // extension, or with one that no list holds, is group 0.
    CVQFileClass Classify(std::string_view addressOrPath) const;

    // Whether any list holds the extension.
    bool IsKnownExtension(std::string_view ext) const { return ClassifyExtension(ext).group != 0; }

private:
    std::unordered_map<std::string, CVQFileClass> m_byExt; // lower-case extension
};

namespace vq {

// The file name of an address or a local path: the text after the last slash or backslash,
// with any fragment, query ("?" or the stored "^") and ";" parameters cut off. Empty when the
// address ends in a slash, holds nothing after its host, or starts its query before a name.
std::string_view FileNameOf(std::string_view addressOrPath);

// The extension of that file name: the text after its last "."; empty when it has none.
std::string_view FileExtension(std::string_view addressOrPath);

// The node kind (kNodePage or kNodeFile) for a group, content class and extension. Pages are
// HTML and Java files and the link-bearing files of the other groups (PDF and VRML documents,
// Flash movies, playlists, FLV videos, SVG images, or any of these groups with special
// content). whenAdded: the node is being added from a link, where content class 1 or 2 makes
// any file a page.
int NodeKindFor(int group, int contentClass, std::string_view ext, bool whenAdded);

} // namespace vq
