// Reading FTP listings and writing the listing page.
#include "desktop/net/ftp_listing.h"

#include "desktop/address/text_util.h"
#include "desktop/project/text_format.h"

#include <algorithm>
#include <cctype>

namespace {

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
}

// A name from the server becomes one harmless name part: a listing may hold "a/b", "..\x" or
// control characters, and the page must not lead anywhere else than into this directory.
void AddEntry(std::vector<CVQFtpEntry>& entries, std::string_view name, bool isDirectory) {
    const std::string_view raw = name;
    while (!name.empty() && vq::IsSlash(name.back()))
        name.remove_suffix(1);
    const std::size_t slash = vq::FindLastSlash(name);
    if (slash != std::string_view::npos)
        name = name.substr(slash + 1);
    CVQFtpEntry entry;
    std::copy_if(name.begin(), name.end(), std::back_inserter(entry.name),
                 [](char c) { return !IsControl(c); });
    if (entry.name.empty() || entry.name == "." || entry.name == "..")
        return;
    entry.isDirectory = isDirectory;
    entry.reduced = entry.name != raw;
    entries.push_back(std::move(entry));
}

template <typename LineFn> void ForEachLine(std::string_view text, LineFn fn) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty())
            fn(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

// Splits off the next blank-separated field; the rest keeps its inner blanks.
std::string_view NextField(std::string_view& rest) {
    std::size_t start = 0;
    while (start < rest.size() && rest[start] == ' ')
        ++start;
    std::size_t end = start;
    while (end < rest.size() && rest[end] != ' ')
        ++end;
    const std::string_view field = rest.substr(start, end - start);
    rest.remove_prefix(end);
    return field;
}

// "%", "#" and "?" would end or change the path of the address the link resolves to.
std::string AddressEscape(std::string_view name) {
    std::string out;
    for (char c : name) {
        if (c == '%' || c == '#' || c == '?' || c == ' ') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[(static_cast<unsigned char>(c) >> 4) & 0xF];
            out += kHex[static_cast<unsigned char>(c) & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

namespace vq {

bool LooksLikeFtpDirectory(std::string_view objectPath) {
    if (objectPath.empty())
        return false;
    if (objectPath.back() == '/')
        return true;
    const std::size_t dot = objectPath.rfind('.');
    if (dot == std::string_view::npos)
        return true;
    const std::size_t slash = objectPath.rfind('/');
    return slash != std::string_view::npos && dot < slash;
}

std::vector<CVQFtpEntry> ParseMlsdListing(std::string_view text) {
    std::vector<CVQFtpEntry> entries;
    ForEachLine(text, [&](std::string_view line) {
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return;
        std::string_view facts = line.substr(0, blank);
        bool isDirectory = false;
        bool isListing = false; // "cdir" and "pdir" stand for the directory itself and its parent
        while (!facts.empty()) {
            const std::size_t semicolon = facts.find(';');
            const std::string_view fact = facts.substr(0, semicolon);
            if (StartsWithIgnoreCase(fact, "type=")) {
                const std::string_view type = fact.substr(5);
                isDirectory = EqualsIgnoreCase(type, "dir");
                isListing = EqualsIgnoreCase(type, "cdir") || EqualsIgnoreCase(type, "pdir");
            }
            if (semicolon == std::string_view::npos)
                break;
            facts.remove_prefix(semicolon + 1);
        }
        if (!isListing)
            AddEntry(entries, line.substr(blank + 1), isDirectory);
    });
    return entries;
}

std::vector<CVQFtpEntry> ParseListListing(std::string_view text) {
    std::vector<CVQFtpEntry> entries;
    ForEachLine(text, [&](std::string_view line) {
        std::string_view rest = line;
        const std::string_view first = NextField(rest);
        if (first.size() == 10 &&
            std::string_view("-dlbcps").find(first[0]) != std::string_view::npos) {
            // Unix: permissions, links, owner, group, size, month, day, time or year, name.
            for (int i = 0; i < 7; ++i)
                NextField(rest);
            if (rest.empty())
                return;
            std::string_view name = rest.substr(1);
            if (first[0] == 'l')
                name = name.substr(0, name.find(" -> "));
            AddEntry(entries, name, first[0] == 'd');
            return;
        }
        if (first.size() >= 8 && std::isdigit(static_cast<unsigned char>(first[0])) &&
            (first[2] == '-' || first[2] == '/')) {
            // DOS: date, time, "<DIR>" or size, name.
            NextField(rest);
            const std::string_view kind = NextField(rest);
            if (rest.empty())
                return;
            std::size_t start = 0;
            while (start < rest.size() && rest[start] == ' ')
                ++start;
            AddEntry(entries, rest.substr(start), EqualsIgnoreCase(kind, "<DIR>"));
        }
    });
    return entries;
}

std::string FtpListingPage(const std::vector<CVQFtpEntry>& entries) {
    std::string page = "<html>\r\n";
    for (const CVQFtpEntry& entry : entries) {
        const std::string name = entry.isDirectory ? entry.name + "/" : entry.name;
        page += "<a href=\"" + HtmlEscape(AddressEscape(name)) + "\">" + HtmlEscape(name) +
                "</a><br>\r\n";
    }
    page += "</html>";
    return page;
}

} // namespace vq
