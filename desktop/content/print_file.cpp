// Building the print file page by page.
#include "desktop/content/print_file.h"

#include "desktop/address/text_util.h"
#include "desktop/content/parser.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_class.h"

#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdlib.h>
#include <unistd.h>

namespace {

bool IsPrintedPage(const CVQDocNode& node) {
    return node.status == kStatusDownloaded && node.group == vq::kGroupHtml &&
           node.contentClass == 0 &&
           !vq::EqualsIgnoreCase(vq::PathExtension(node.LocalPath()), "css");
}

bool Put(std::FILE* out, std::string_view text) {
    return text.empty() || std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

bool AppendFile(std::FILE* out, const std::string& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in)
        return false;
    char buffer[64 * 1024];
    bool ok = true;
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        ok = std::fwrite(buffer, 1, n, out) == n && ok;
    std::fclose(in);
    return ok;
}

// A new empty file in the system's temporary folder.
std::string TemporaryFile() {
    std::error_code ec;
    std::string path = (std::filesystem::temp_directory_path(ec) / "vqXXXXXX").string();
    const int fd = ::mkstemp(path.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return path;
}

} // namespace

bool CVQPrintFile::Build(CVQParser& parser, CVQDoc& doc, CVQDocNode* branch,
                         const std::string& printFile, const std::function<bool()>& keepGoing) {
    std::FILE* out = std::fopen(printFile.c_str(), "ab");
    if (!out)
        return false;
    bool ok = Put(out, "<HTML>\n");
    if (doc.Settings().trPrExtBr != 0)
        ok = Put(out, "<BODY onload=\"window.print();\">\n</BODY>\n") && ok;
    ok = Put(out, "<TABLE>\n") && ok;
    const std::string copy = TemporaryFile();
    bool first = true;
    CVQDocNode* start = branch ? branch : doc.Tree().Root();
    for (CVQDocNode* node = start; node && !copy.empty();
         node = CVQDocTree::NextPreOrder(node, start)) {
        if (!IsPrintedPage(*node) || !parser.MakePrintCopy(node, doc, copy, first))
            continue;
        first = false;
        ok = Put(out, "\n<TR>\n<TD>\n\n") && ok;
        ok = AppendFile(out, copy) && ok;
        ok = Put(out, "\n</TD>\n</TR>\n\n") && ok;
        if (keepGoing && !keepGoing())
            break;
    }
    if (!copy.empty())
        ::unlink(copy.c_str());
    ok = Put(out, "</TABLE>\n</HTML>") && ok;
    return std::fclose(out) == 0 && ok;
}
