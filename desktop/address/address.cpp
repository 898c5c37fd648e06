#include "desktop/address/address.h"

#include "desktop/address/text_util.h"

#include <array>

namespace vq {

namespace {

constexpr std::array<std::string_view, 4> kPrefixes = {"http://", "https://", "ftp://", "file://"};
constexpr std::array<int, 4> kPrefixBits = {kProtoHttp, kProtoHttps, kProtoFtp, kProtoFile};
// Scheme words that a page may write without "//" (http:page.htm means page.htm).
constexpr std::array<std::string_view, 4> kSchemeWords = {"http:", "https:", "ftp:", "file:"};

bool StartsWithSlash(std::string_view s) {
    return !s.empty() && IsSlash(s[0]);
}

bool StartsWithTwoSlashes(std::string_view s) {
    return s.size() >= 2 && ((s[0] == '/' && s[1] == '/') || (s[0] == '\\' && s[1] == '\\'));
}

bool StartsWithDotDot(std::string_view s) {
    return s.starts_with("../") || s.starts_with("..\\");
}

bool StartsWithWww(std::string_view s) {
    return StartsWithIgnoreCase(s, "www.") || StartsWithIgnoreCase(s, "www2.");
}

// A link written as "http:page.htm" is relative: the scheme word is dropped.
std::string_view DropBareSchemeWord(std::string_view link) {
    for (std::string_view word : kSchemeWords) {
        if (!StartsWithIgnoreCase(link, word))
            continue;
        std::string_view rest = link.substr(word.size());
        if (rest.starts_with("//"))
            return link;
        return rest;
    }
    return link;
}

// "../" steps: n occurrences climb n directories, never into the host part.
std::string ResolveParentLink(std::string_view link, std::string_view dirUrl) {
    std::size_t n = 0;
    std::size_t restStart = 0;
    for (std::size_t i = 0; i + 3 <= link.size(); ++i) {
        if (link[i] == '.' && link[i + 1] == '.' && IsSlash(link[i + 2])) {
            ++n;
            restStart = i + 3;
        }
    }
    std::string_view base = dirUrl;
    if (!base.empty() && IsSlash(base.back()))
        base.remove_suffix(1);
    const std::size_t hostEnd = HostEnd(dirUrl);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t slash = FindLastSlash(base);
        if (slash == std::string_view::npos || slash < hostEnd)
            break;
        base = base.substr(0, slash);
    }
    std::string out(base);
    out += '/';
    out += link.substr(restStart);
    return out;
}

// "page.htm/#a" becomes "page.htm#a"; "dir/#a" becomes "dir/page.htm#a". A "#" right after
// the host gets the page's file name too, so that "#top" on /other.htm stays on that page.
void FixFragmentAfterSlash(std::string& result, std::string_view pageAddress) {
    const std::size_t hash = result.find('#');
    if (hash == std::string::npos || hash == 0 || !IsSlash(result[hash - 1]))
        return;
    const std::size_t slash = hash - 1;
    const std::size_t prev = FindLastSlash(std::string_view(result).substr(0, slash));
    const std::size_t segBegin = prev == std::string::npos ? 0 : prev + 1;
    const std::string_view segment(result.data() + segBegin, slash - segBegin);
    const bool atHostEnd = slash == HostEnd(result);
    if (!atHostEnd && segment.find('.') != std::string_view::npos) {
        result.erase(slash, 1);
        return;
    }
    const std::size_t pageSlash = FindLastSlash(pageAddress);
    if (pageSlash != std::string_view::npos && pageSlash >= HostEnd(pageAddress))
        result.insert(hash, pageAddress.substr(pageSlash + 1));
}

} // namespace

std::string_view ProtocolPrefix(std::string_view address) {
    for (std::string_view prefix : kPrefixes)
        if (StartsWithIgnoreCase(address, prefix))
            return address.substr(0, prefix.size());
    return {};
}

bool HasProtocol(std::string_view address) {
    for (std::string_view prefix : kPrefixes)
        if (FindIgnoreCase(address, prefix) != std::string_view::npos)
            return true;
    return false;
}

int ProtocolBits(std::string_view address) {
    for (std::size_t i = 0; i < kPrefixes.size(); ++i)
        if (StartsWithIgnoreCase(address, kPrefixes[i]))
            return kPrefixBits[i];
    return 0;
}

std::size_t HostEnd(std::string_view address) {
    const std::size_t slash = FindFirstSlash(address, ProtocolPrefix(address).size());
    return slash == std::string_view::npos ? address.size() : slash;
}

std::string SchemeAndHost(std::string_view address) {
    return std::string(address.substr(0, HostEnd(address)));
}

std::string HostName(std::string_view address) {
    std::string_view host = address.substr(0, HostEnd(address));
    host.remove_prefix(ProtocolPrefix(host).size());
    if (const std::size_t at = host.rfind('@'); at != std::string_view::npos)
        host.remove_prefix(at + 1);
    if (!host.starts_with('[')) {
        if (const std::size_t colon = host.find(':'); colon != std::string_view::npos)
            host = host.substr(0, colon);
    } else if (const std::size_t close = host.find(']'); close != std::string_view::npos) {
        host = host.substr(0, close + 1);
    }
    return std::string(host);
}

std::string DirectoryUrl(std::string_view address) {
    std::string text(TrimBlanks(address));
    if (ProtocolPrefix(text).empty()) {
        if (text.size() > 1 && text[1] == ':') {
            text[1] = '|';
            text.insert(0, "file://");
        } else {
            text.insert(0, "http://");
        }
    }
    const std::size_t question = text.rfind('?');
    const std::size_t caret = text.rfind('^');
    const std::size_t cut = std::min(question, caret);
    if (cut != std::string::npos)
        text.resize(cut);
    const std::size_t hostEnd = HostEnd(text);
    const std::size_t slash = FindLastSlash(text);
    if (slash == std::string::npos || slash < hostEnd) {
        text.resize(hostEnd);
        text += '/';
        return text;
    }
    text.resize(slash);
    text += '/';
    return text;
}

std::string LookupKey(std::string_view address) {
    std::string_view key = address.substr(0, address.find('#'));
    if (!key.empty() && IsSlash(key.back()))
        key.remove_suffix(1);
    return ToLowerAscii(key);
}

bool SameAddress(std::string_view a, std::string_view b, bool exact) {
    if (EqualsIgnoreCase(a, b))
        return true;
    if (exact)
        return false;
    if (a.size() < b.size())
        std::swap(a, b);
    return a.size() == b.size() + 1 && IsSlash(a.back()) && a.substr(0, b.size()) == b;
}

bool SameServer(std::string_view hostA, std::string_view hostB) {
    if (EqualsIgnoreCase(hostA, hostB))
        return true;
    std::string a = StartsWithIgnoreCase(hostA, "www.") ? std::string(hostA) : "www." + std::string(hostA);
    std::string b = StartsWithIgnoreCase(hostB, "www.") ? std::string(hostB) : "www." + std::string(hostB);
    return EqualsIgnoreCase(a, b);
}

std::string ResolveLink(std::string_view link, std::string_view pageDirUrl,
                        std::string_view pageAddress, bool* needsConversion) {
    link = TrimBlanks(link);
    if (link.empty())
        return std::string(pageDirUrl);
    if (link == "#")
        return std::string(pageAddress);
    link = DropBareSchemeWord(link);

    std::string result;
    if (FindFirstSlash(link) == std::string_view::npos) {
        result = std::string(pageDirUrl) + std::string(link);
    } else if (StartsWithSlash(link) && !StartsWithTwoSlashes(link)) {
        result = SchemeAndHost(pageAddress) + std::string(link);
        if (needsConversion)
            *needsConversion = true;
    } else if (StartsWithDotDot(link)) {
        result = ResolveParentLink(link, pageDirUrl);
    } else if (link.starts_with("./") || link.starts_with(".\\")) {
        result = std::string(pageDirUrl) + std::string(link.substr(2));
    } else if (ProtocolPrefix(link).empty() && !StartsWithWww(link)) {
        if (StartsWithTwoSlashes(link)) {
            std::string_view prefix = ProtocolPrefix(pageAddress);
            result = std::string(prefix.empty() ? "http://" : prefix) + std::string(link.substr(2));
        } else {
            result = std::string(pageDirUrl) + std::string(link);
        }
    } else if (!ProtocolPrefix(link).empty()) {
        result = std::string(link);
    } else if (link.find('.') < HostEnd(link)) {
        result = "http://" + std::string(link);
    } else {
        result = std::string(pageDirUrl) + std::string(link);
    }

    FixFragmentAfterSlash(result, pageAddress);
    result = std::string(TrimBlanks(result));
    for (char& c : result)
        if (c == '\\')
            c = '/';
    return result;
}

} // namespace vq
