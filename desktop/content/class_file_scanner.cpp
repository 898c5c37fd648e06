// Names and addresses inside compiled Java classes.
#include "desktop/content/class_file_scanner.h"

#include "desktop/address/text_util.h"
#include "desktop/content/tag_table.h"
#include "desktop/project/prj_settings.h"

#include <memory>

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// The characters a file name of a class's constants is walked back over.
bool IsNameChar(char c) {
    return IsAlnum(c) || c == ' ' || c == '.' || c == '/' || c == ':' || c == '\\' || c == '_';
}

// The characters an address runs over after its protocol prefix.
bool IsAddressChar(char c) {
    return c > ' ' && c < 127 && c != '"' && c != '\'' && c != '<' && c != '>';
}

void Add(std::string_view block, std::size_t from, std::size_t to, std::size_t offset,
         CVQLinkList& out) {
    out.push_back({std::string(block.substr(from, to - from)), offset + from, to - from});
}

} // namespace

CVQClassFileScanner::CVQClassFileScanner(const CVQPrjSettings& settings) {
    for (int group : {vq::kGroupHtml, vq::kGroupImage, vq::kGroupAudio, vq::kGroupVideo,
                      vq::kGroupJava, vq::kGroupDocument}) {
        const CVQCustomArray* list = settings.ExtList(group);
        if (!list)
            continue;
        for (const CVQFileExt& entry : *list) {
            if (!entry.enabled || entry.ext.empty())
                continue;
            std::string lower = "." + vq::ToLowerAscii(entry.ext);
            std::string upper = lower;
            for (char& c : upper)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 'a' + 'A');
            m_needles.push_back(lower);
            if (upper != lower)
                m_needles.push_back(upper);
        }
    }
}

void CVQClassFileScanner::ScanBlock(std::string_view block, std::size_t offset,
                                    CVQLinkSink& sink) const {
    CVQLinkList links;
    for (const std::string& needle : m_needles) {
        for (std::size_t hit = block.find(needle); hit != npos; hit = block.find(needle, hit + 1)) {
            const std::size_t end = hit + needle.size();
            // ".htm" in "a.html" is not the name's extension.
            if (end < block.size() && IsAlnum(block[end]))
                continue;
            std::size_t start = hit;
            while (start > 0 && IsNameChar(block[start - 1]))
                --start;
            if (start < hit)
                Add(block, start, end, offset, links);
        }
    }
    for (std::string_view prefix : {"http://", "https://"}) {
        for (std::size_t hit = block.find(prefix); hit != npos; hit = block.find(prefix, hit + 1)) {
            // The address itself, not only its prefix.
            std::size_t end = hit + prefix.size();
            while (end < block.size() && IsAddressChar(block[end]))
                ++end;
            if (end > hit + prefix.size())
                Add(block, hit, end, offset, links);
        }
    }
    if (!links.empty())
        sink.Links(links, kRowNone, CVQTagPlace{});
}

bool CVQClassFileScanner::Scan(const std::string& path, CVQLinkSink& sink) const {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"),
                                                         &std::fclose);
    if (!file)
        return false;
    std::string block(kBlockBytes, '\0');
    std::size_t offset = 0;
    while (true) {
        const std::size_t n = std::fread(block.data(), 1, kBlockBytes, file.get());
        if (n == 0)
            return true;
        ScanBlock(std::string_view(block.data(), n), offset, sink);
        offset += n;
        if (!sink.KeepGoing())
            return true;
    }
}
