// Writes a project's tree as a contents file for a handheld copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A node of the tree to write, in pre-order (index 0 is the root). parent, firstChild and
// nextSibling are indices into the same list (-1 for none).
struct CVQContentsSource {
    int kind = 0;
    int group = 0;
    int status = 0;
    std::string title;
    std::string url;
    std::string localPath; // absolute native path, or empty
    int parent = -1;
    int firstChild = -1;
    int nextSibling = -1;
};

enum class VQContentsWriteError { None, CannotCreate, DiskFull, WriteFailed };

struct CVQContentsExport {
    std::string projectName;  // the project file's name without folder and extension
    std::string projectDir;   // VQ_PROJECT_DIR as stored (native, ends in "/")
    int fileTypeMask = 511;   // VQ_FILETYPEMASK
};

class CVQContentsWriter {
public:
    static constexpr std::size_t kMaxStringBytes = 260;

    // Creates or truncates the file and writes every record the viewer will show.
    VQContentsWriteError Write(const std::string& path, const std::vector<CVQContentsSource>& nodes,
                               const CVQContentsExport& how) const;

    // The folder that stored local paths are relative to.
    static std::string ExportBaseFolder(const std::vector<CVQContentsSource>& nodes,
                                        const std::string& projectDir);
    // "News\site\index.html" for a file below the base folder.
    static std::string StoredLocalPath(const std::string& localPath, const std::string& base,
                                       const std::string& projectName);
};
