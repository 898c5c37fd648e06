// The offline walk over a stored copy.
#include "tests/support/offline_check.h"

#include "desktop/address/text_util.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string LowerText(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// "&amp;", "&quot;", "&lt;", "&gt;", "&#39;" and numeric references below 128, as the values
// of the copy use them.
std::string DecodeReferences(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t semi = text.find(';', i);
        if (semi == std::string_view::npos || semi - i > 8) {
            out += '&';
            continue;
        }
        const std::string name(text.substr(i + 1, semi - i - 1));
        char c = 0;
        if (name == "amp")
            c = '&';
        else if (name == "quot")
            c = '"';
        else if (name == "lt")
            c = '<';
        else if (name == "gt")
            c = '>';
        else if (name == "apos")
            c = '\'';
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const long code = std::strtol(name.c_str() + (hex ? 2 : 1), nullptr, hex ? 16 : 10);
            if (code > 0 && code < 128)
                c = static_cast<char>(code);
        }
        if (c == 0) {
            out += '&';
            continue;
        }
        out += c;
        i = semi;
    }
    return out;
}

// The url(...) and @import values of style text.
void StyleLinks(std::string_view css, std::vector<std::string>& out) {
    const std::string lower = LowerText(css);
    for (std::size_t at = lower.find("url("); at != std::string::npos;
         at = lower.find("url(", at + 4)) {
        const std::size_t close = css.find(')', at + 4);
        if (close == std::string_view::npos)
            break;
        std::string_view value = Trim(css.substr(at + 4, close - at - 4));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        out.emplace_back(value);
    }
    for (std::size_t at = lower.find("@import"); at != std::string::npos;
         at = lower.find("@import", at + 7)) {
        std::size_t pos = at + 7;
        while (pos < css.size() && IsSpace(css[pos]))
            ++pos;
        if (pos >= css.size() || (css[pos] != '"' && css[pos] != '\''))
            continue;
        const std::size_t close = css.find(css[pos], pos + 1);
        if (close != std::string_view::npos)
            out.emplace_back(css.substr(pos + 1, close - pos - 1));
    }
}

// The attributes of one tag's text (after its name).
void TagLinks(std::string_view tag, std::vector<std::string>& out, std::string* base) {
    std::size_t pos = 0;
    std::size_t nameEnd = 0;
    while (nameEnd < tag.size() && !IsSpace(tag[nameEnd]) && tag[nameEnd] != '>')
        ++nameEnd;
    const std::string tagName = LowerText(tag.substr(0, nameEnd));
    pos = nameEnd;
    bool refresh = false;
    std::string content;
    while (pos < tag.size()) {
        while (pos < tag.size() && (IsSpace(tag[pos]) || tag[pos] == '/'))
            ++pos;
        const std::size_t start = pos;
        while (pos < tag.size() && !IsSpace(tag[pos]) && tag[pos] != '=' && tag[pos] != '>')
            ++pos;
        const std::string name = LowerText(tag.substr(start, pos - start));
        while (pos < tag.size() && IsSpace(tag[pos]))
            ++pos;
        if (name.empty() && (pos >= tag.size() || tag[pos] == '>'))
            break;
        std::string value;
        if (pos < tag.size() && tag[pos] == '=') {
            ++pos;
            while (pos < tag.size() && IsSpace(tag[pos]))
                ++pos;
            if (pos < tag.size() && (tag[pos] == '"' || tag[pos] == '\'')) {
                const std::size_t close = tag.find(tag[pos], pos + 1);
                const std::size_t end = close == std::string_view::npos ? tag.size() : close;
                value = DecodeReferences(tag.substr(pos + 1, end - pos - 1));
                pos = end + 1;
            } else {
                const std::size_t valueStart = pos;
                while (pos < tag.size() && !IsSpace(tag[pos]) && tag[pos] != '>')
                    ++pos;
                value = DecodeReferences(tag.substr(valueStart, pos - valueStart));
            }
        } else if (name.empty()) {
            ++pos;
            continue;
        }
        if (name == "href" && tagName == "base") {
            if (base)
                *base = std::string(Trim(value));
            continue;
        }
        if (name == "href" || name == "src" || name == "background" || name == "lowsrc" ||
            name == "action" || name == "data")
            out.emplace_back(Trim(value));
        else if (name == "style")
            StyleLinks(value, out);
        else if (name == "http-equiv" && LowerText(value) == "refresh")
            refresh = true;
        else if (name == "content")
            content = value;
    }
    if (refresh) {
        const std::size_t url = LowerText(content).find("url=");
        if (url != std::string::npos)
            out.emplace_back(Trim(std::string_view(content).substr(url + 4)));
    }
}

std::vector<std::string> PageLinks(std::string_view html, std::string* base) {
    std::vector<std::string> links;
    const std::string lower = LowerText(html);
    std::size_t pos = 0;
    while ((pos = html.find('<', pos)) != std::string_view::npos) {
        if (html.substr(pos, 4) == "<!--") {
            const std::size_t end = html.find("-->", pos + 4);
            if (end == std::string_view::npos)
                break;
            pos = end + 3;
            continue;
        }
        const std::size_t end = html.find('>', pos);
        if (end == std::string_view::npos)
            break;
        const std::string_view tag = html.substr(pos + 1, end - pos - 1);
        TagLinks(tag, links, base);
        const std::string name = LowerText(tag.substr(0, std::min<std::size_t>(tag.size(), 6)));
        pos = end + 1;
        // The text of scripts is code; that of style elements is style text.
        if (name.starts_with("script")) {
            const std::size_t close = lower.find("</script", pos);
            pos = close == std::string::npos ? html.size() : close;
        } else if (name.starts_with("style")) {
            const std::size_t close = lower.find("</style", pos);
            const std::size_t stop = close == std::string::npos ? html.size() : close;
            StyleLinks(html.substr(pos, stop - pos), links);
            pos = stop;
        }
    }
    return links;
}

// The scheme of a reference ("http", "mailto"), empty for a relative one.
std::string SchemeOf(std::string_view link) {
    for (std::size_t i = 0; i < link.size(); ++i) {
        const char c = link[i];
        if (c == ':')
            return i > 0 ? LowerText(link.substr(0, i)) : std::string();
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !(i > 0 && other))
            return {};
    }
    return {};
}

// The path a relative reference names from the page's folder, with "." and ".." worked out and
// the escapes decoded. The folder stands in the page's address with its own "%" escaped.
std::string ResolveInFolder(const fs::path& folder, std::string_view reference) {
    std::string folderInAddress;
    for (char c : folder.string())
        folderInAddress += c == '%' ? std::string("%25") : std::string(1, c);
    const fs::path joined = reference.starts_with('/')
                                ? fs::path(std::string(reference))
                                : fs::path(folderInAddress) / std::string(reference);
    return vq::PercentDecoded(joined.lexically_normal().string());
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::vector<std::string> OfflineLinksOf(std::string_view text, bool styleSheet) {
    if (!styleSheet)
        return PageLinks(text, nullptr);
    std::vector<std::string> links;
    StyleLinks(text, links);
    return links;
}

std::vector<CVQOfflineProblem> CVQOfflineCheck::Run(const std::string& folder,
                                                    Totals* totals) const {
    std::vector<CVQOfflineProblem> problems;
    Totals counted;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; it != end; it.increment(ec)) {
        if (ec || !it->is_regular_file())
            continue;
        const fs::path& path = it->path();
        std::string ext = LowerText(path.extension().string());
        if (!ext.empty())
            ext.erase(0, 1);
        if (std::find(pageExtensions.begin(), pageExtensions.end(), ext) == pageExtensions.end())
            continue;
        ++counted.files;
        const std::string text = ReadAll(path);
        std::string base;
        const std::vector<std::string> links =
            ext == "css" ? OfflineLinksOf(text, true) : PageLinks(text, &base);
        const std::string baseScheme = SchemeOf(base);
        for (const std::string& link : links) {
            if (link.empty() || link.front() == '#')
                continue;
            std::string scheme = SchemeOf(link);
            std::string address;
            if (scheme.empty() && (baseScheme == "http" || baseScheme == "https")) {
                // A page that kept its BASE sends its relative links to the server.
                address = base + link;
                scheme = baseScheme;
            } else {
                address = link;
            }
            if (scheme == "http" || scheme == "https" || scheme == "ftp") {
                ++counted.onlineLinks;
                if (!storedFileOf)
                    continue;
                const std::string withoutFragment = address.substr(0, address.find('#'));
                if (const std::optional<std::string> stored = storedFileOf(withoutFragment);
                    stored && fs::is_regular_file(*stored, ec))
                    problems.push_back(
                        {CVQOfflineProblem::LeftOnline, path.string(), link, withoutFragment});
                continue;
            }
            std::string_view reference = link;
            if (scheme == "file") {
                reference.remove_prefix(5);
                if (reference.starts_with("//"))
                    reference.remove_prefix(reference.find('/', 2) == std::string_view::npos
                                                ? reference.size()
                                                : reference.find('/', 2));
            } else if (!scheme.empty() || link.starts_with("//")) {
                continue; // mail, scripts, data: nothing to open offline
            }
            // A file address has no query or fragment on disk.
            reference = reference.substr(0, reference.find_first_of("?#"));
            ++counted.localLinks;
            const std::string target = ResolveInFolder(path.parent_path(), reference);
            if (!fs::is_regular_file(target, ec))
                problems.push_back({CVQOfflineProblem::MissingFile, path.string(), link, target});
        }
    }
    if (totals)
        *totals = counted;
    return problems;
}
