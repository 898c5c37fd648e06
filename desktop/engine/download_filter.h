// The rules that accept or refuse a node of the contents tree before it is fetched, and the test
// that decides whether a downloaded page stays on disk.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CVQDoc;
class CVQDocNode;

// Reads the project's settings and run state when asked, so that a changed setting counts at
// once; the caller holds the queue lock, under which the settings dialog rebuilds the lists.
class CVQDownloadFilter {
public:
    explicit CVQDownloadFilter(const CVQDoc& doc) : m_doc(doc) {}

    // The starting directory URL whose server the starting-server rule compares with.
    void SetStartDirUrl(std::string_view startDirUrl);

    // The seven rules in order. A refusal sets the node's skip reason (none for a node whose
    // server cannot be read); an including URL filter marks the node as forced in.
    bool Allowed(CVQDocNode& node) const;
    // The level limits (none for the special download types); a refusal sets reason 8.
    bool LevelCheck(CVQDocNode& node) const;
    // Whether a downloaded page may stay on disk: non-HTML nodes always; an HTML page when the
    // HTML group is wanted, its extension is enabled and its size passes the limits.
    bool KeepPage(const CVQDocNode& node, std::uint64_t size) const;
    // Allowed and the level check as a new download (no preview) would judge the node now,
    // without changing it.
    bool WouldPass(const CVQDocNode& node) const;
    // Whether the node is fetched from any location: a picture with "Images" on, another file
    // with "Other files" on, a style sheet.
    bool FromAnyLocation(const CVQDocNode& node) const;

private:
    struct Verdict {
        bool allowed = false;
        int reason = 0; // 0: none to set
        bool forcedIn = false;
    };
    Verdict Judge(const CVQDocNode& node, bool special, bool preview) const;
    int LevelReason(const CVQDocNode& node, bool special) const;
    bool SpecialType() const;
    bool IsCovered(const CVQDocNode& node, std::string_view ext) const;

    const CVQDoc& m_doc;
    std::string m_startHost;
};
