// The contents file (".vqx"): a project's tree as binary records, read as the viewer reads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kContentsMagic = "Velloquin Contents File v1.0";

// One node record as stored; the four link fields are ids of other records (-1 for none).
struct CVQContentsRecord {
    std::uint8_t kind = 0;
    std::uint16_t group = 0;
    std::uint8_t status = 0;
    std::string title;
    std::string url;
    std::string localPath; // relative to the contents file's folder, "\" separators
    std::uint32_t id = 0;
    std::int32_t prevId = -1;
    std::int32_t nextId = -1;
    std::int32_t parentId = -1;
    std::int32_t firstChildId = -1;

    // The links resolved to positions in the record list; -1 for none.
    int prev = -1;
    int next = -1;
    int parent = -1;
    int firstChild = -1;
};

class CVQContentsFile {
public:
    static constexpr std::size_t kMaxMagicBytes = 520;
    static constexpr std::size_t kMaxStringBytes = 260;
    static constexpr std::size_t kMaxRecords = 1000;

    // Reads the file and links its records. Fails for a missing file or a wrong magic; a
    // damaged tail only shortens the list.
    bool Open(const std::string& path);
    const std::vector<CVQContentsRecord>& Records() const { return m_records; }
    const std::string& Path() const { return m_path; }

    // The positions of the records in pre-order from the root (the first record). Each record is
    // visited at most once, so that links a damaged file makes circular cannot loop.
    std::vector<int> PreOrder() const;

    // The title of the first record, without reading the rest; empty when the file is no
    // contents file.
    static bool ReadProjectTitle(const std::string& path, std::string& title);

private:
    void LinkRecords();

    std::string m_path;
    std::vector<CVQContentsRecord> m_records;
};

// Resolves a stored local path against the folder f (a native path). Returns empty when the path
// names no file: an empty path, an absolute one, or one that would climb above f.
std::string ResolveContentsPath(std::string_view storedPath, std::string_view folder);
