// The scan of compiled Java classes: names of files with a known extension, and addresses,
// picked out of the binary text.
#pragma once

#include "desktop/content/byte_source.h"
#include "desktop/content/link_sink.h"

#include <cstdio>
#include <string>
#include <vector>

struct CVQPrjSettings;

class CVQClassFileScanner {
public:
    // A class file is read in blocks of at most this many bytes.
    static constexpr std::size_t kBlockBytes = 20480;

    // The enabled extensions of the groups HTML, Image, Audio, Video, Java and Document.
    explicit CVQClassFileScanner(const CVQPrjSettings& settings);

    // Delivers the links of each block (row kRowNone); false when the file cannot be opened.
    bool Scan(const std::string& path, CVQLinkSink& sink) const;
    // The same for bytes in memory.
    void ScanBlock(std::string_view block, std::size_t offset, CVQLinkSink& sink) const;

private:
    std::vector<std::string> m_needles; // ".gif", ".GIF", ... in search order
};
