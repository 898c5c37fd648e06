// Stored local paths of a copy: every file below the save directory resolves inside the contents
// file's folder, and any two of them keep the places they have relative to each other, so that
// the links of the copied pages still meet.
#include "common/contents_file/contents_file.h"
#include "common/contents_file/contents_writer.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Plain relative paths from the input: one a line, segments of letters, digits and a few marks.
std::vector<std::string> PathsOf(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> paths;
    std::string current;
    for (std::size_t i = 0; i <= size && paths.size() < 64; ++i) {
        const char c = i < size ? static_cast<char>(data[i]) : '\n';
        if (c == '\n') {
            std::string clean;
            for (std::size_t s = 0; s < current.size(); ++s) {
                const char d = current[s];
                if (d == '/' && (clean.empty() || clean.back() == '/'))
                    continue;
                if (d == '/' || std::isalnum(static_cast<unsigned char>(d)) || d == '_')
                    clean += d;
            }
            if (!clean.empty() && clean.back() != '/' && clean.size() < 200)
                paths.push_back(clean);
            current.clear();
            continue;
        }
        current += c;
    }
    return paths;
}

std::string Relative(const std::string& to, const std::string& from) {
    return std::filesystem::path(to).lexically_relative(std::filesystem::path(from).parent_path());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> paths = PathsOf(data, size);
    if (paths.empty())
        return 0;
    // A name is a file or a folder, never both.
    for (const std::string& a : paths)
        for (const std::string& b : paths)
            if (b.rfind(a + "/", 0) == 0)
                return 0;
    const std::string copy = "/home/u/dl/";
    // The root, then every file as a child of the root: the first one picks the base folder.
    std::vector<CVQContentsSource> nodes(1);
    nodes[0].kind = 1;
    for (const std::string& p : paths) {
        CVQContentsSource& n = nodes.emplace_back();
        n.kind = 3;
        n.status = 2;
        n.localPath = copy + p;
        n.parent = 0;
    }
    nodes[0].firstChild = 1;
    for (std::size_t i = 1; i + 1 < nodes.size(); ++i)
        nodes[i].nextSibling = static_cast<int>(i + 1);
    // The stored save directory names another folder (it holds a date macro), so that the first
    // file's folder becomes the base.
    const std::string base =
        CVQContentsWriter::ExportBaseFolder(nodes, {"News", "/home/u/[%d]/", 511, copy});
    const std::string folder = "/dev/card";
    std::vector<std::string> resolved;
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        const std::string stored =
            CVQContentsWriter::StoredLocalPath(nodes[i].localPath, base, "News");
        if (stored.size() > CVQContentsWriter::kMaxStringBytes)
            return 0; // cut to fit, as the writer does: no longer the same name
        resolved.push_back(ResolveContentsPath(stored, folder));
        if (resolved.back().rfind(folder + "/", 0) != 0)
            std::abort();
    }
    for (std::size_t i = 1; i < resolved.size(); ++i)
        if (Relative(resolved[i], resolved[0]) !=
            Relative(nodes[i + 1].localPath, nodes[1].localPath))
            std::abort();
    return 0;
}
