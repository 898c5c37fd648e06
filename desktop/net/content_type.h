// What an answer's Content-Type or Content-Disposition says about a file: its group, the
// extension its stored name should carry, its content class; and the type announced for a
// local file in an upload.
#pragma once

#include <string>
#include <string_view>

struct CVQPrjSettings;

enum VQContentClass : int { kClassOrdinary = 0, kClassSpecial = 1, kClassWmlVrml = 2 };

struct CVQContentKind {
    int group = 0;         // file-type group bit, 0 = none
    std::string extension; // the extension the stored name should get; empty = keep the name
    int contentClass = kClassOrdinary;
    bool isText = false;
    // From a Content-Disposition: its file name, and whether it had to be reduced to it.
    std::string fileName;
    bool nameReduced = false;
};

namespace vq {

// Type and subtype each examined in a field of 128 bytes; longer parts count as unknown.
inline constexpr std::size_t kMaxTypePart = 127;

// The content class of a type: 1 XML, PDF, RSS, Flash, playlists, FLV, SVG; 2 WML and VRML.
int ContentClassOf(std::string_view contentType);

// The group table of Content-Type values; isText when the value contains "text/".
CVQContentKind KindFromContentType(const CVQPrjSettings& settings, std::string_view contentType);

// The file name of a Content-Disposition value reduced to its final name part (no directory,
// no quotes, no control characters); empty when there is none. *reduced tells whether the
// server's name held more than that.
std::string DispositionFileName(std::string_view disposition, bool* reduced = nullptr);

// Group and extension from the file name of a Content-Disposition; isText when the group is HTML.
CVQContentKind KindFromDisposition(const CVQPrjSettings& settings, std::string_view disposition);

// Whether an extension taken from a server may be given to a stored file: no separators, no
// control characters, no "..", not empty.
bool IsSafeExtension(std::string_view extension);

// The Content-Type announced for a local file in an upload, by its extension; empty for others.
std::string ContentTypeForFile(const CVQPrjSettings& settings, std::string_view fileName);

} // namespace vq
