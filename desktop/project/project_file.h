// The project file (".vqp"): a project's settings and its whole contents tree in the archive
// format of the program (little-endian values, length-prefixed strings), in sections that later
// versions append to, so that older files still open.
#pragma once

#include <string>
#include <string_view>

struct CVQPrjSettings;
class CVQDocTree;

enum class VQFileResult {
    Ok,
    NotProject, // the header is missing or wrong
    ReadError,  // the file cannot be read, or its first three sections are damaged or cut
    WriteError,
    DiskFull,
};

class CVQProjectFile {
public:
    static constexpr std::string_view kHeader = "Velloquin Project File v1.0";

    // Relative local paths are taken against baseDir, by default the file's own directory (a
    // decrypted copy elsewhere is read against the project's directory).
    explicit CVQProjectFile(std::string path, std::string baseDir = {});

    // Reads over settings, which hold the defaults, and replaces the tree. Sections after the
    // tree that the file does not hold, or that are cut, leave their defaults.
    VQFileResult Read(CVQPrjSettings& settings, CVQDocTree& tree) const;

    // Writes to a temporary file beside the project file and puts it in place only once it is
    // complete, so that a failure leaves the previous version untouched. With a backup path the
    // previous version is kept there. The caller holds the tree lock.
    VQFileResult Save(const CVQPrjSettings& settings, CVQDocTree& tree,
                      const std::string& backupPath) const;

    // Whether the file begins with the header string.
    static bool IsProjectFile(const std::string& path);
    // Whether the file begins with "PK": an encrypted project.
    static bool IsEncrypted(const std::string& path);

    // The same formats on bytes in memory; projectDir is absolute and ends in "/".
    static VQFileResult ReadBytes(std::string_view bytes, std::string_view projectDir,
                                  CVQPrjSettings& settings, CVQDocTree& tree);
    static std::string WriteBytes(const CVQPrjSettings& settings, CVQDocTree& tree,
                                  std::string_view projectDir);

private:
    std::string m_path;
    std::string m_baseDir; // absolute, ends in "/"
};

namespace vq {

// A local path as the node record stores it: relative to the project's directory (absolute,
// ending in "/") with "\" separators when it contains no "..", else unchanged.
std::string RelativeLocalPath(std::string_view path, std::string_view projectDir);
// The stored form read back: resolved against the project's directory, at most 1039 characters.
std::string ResolveLocalPath(std::string_view stored, std::string_view projectDir);

// The directory URL of the first start address that node addresses are stored relative to;
// empty when that address has no protocol.
std::string AddressPrefix(std::string_view firstStartUrl);
// An address on the prefix's server stored relative to the prefix ("../" for each level of the
// prefix it leaves); one with "..", on another server or not below the same host, unchanged.
std::string RelativeAddress(std::string_view address, std::string_view prefix);
std::string ResolveAddress(std::string_view stored, std::string_view prefix);

} // namespace vq
