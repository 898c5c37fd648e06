#include "desktop/address/local_path_mapper.h"

#include "desktop/address/address.h"
#include "desktop/address/name_hash.h"
#include "desktop/address/text_util.h"

#include <algorithm>
#include <array>

using namespace vq;

namespace {

constexpr std::size_t kMaxPlainPath = 240;
constexpr std::size_t kMaxDirectory = 259;
constexpr std::array<std::string_view, 6> kStandardHtml = {"htm", "html", "shtm", "shtml", "css", "htc"};

// Inside this file the relative part is built with "\" separators, as the naming rules are
// written for them; it becomes "/" only when joined to the save directory.
constexpr char kSep = '\\';

std::string_view Strip(std::string_view address) {
    address.remove_prefix(ProtocolPrefix(address).size());
    return address;
}

// Prefix test ignoring case and slash direction.
bool IsPrefixOf(std::string_view prefix, std::string_view text) {
    if (prefix.size() > text.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = prefix[i], b = text[i];
        if (AsciiLower(a) != AsciiLower(b) && !(IsSlash(a) && IsSlash(b)))
            return false;
    }
    return true;
}

bool SameIgnoringSlashes(std::string_view a, std::string_view b) {
    return a.size() == b.size() && IsPrefixOf(a, b);
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

// "%41" becomes "A"; a "%" without two hexadecimal digits, and any byte that would be a
// control character in a file name, becomes "_".
bool PercentDecode(std::string& text) {
    if (text.find('%') == std::string::npos)
        return false;
    bool changed = false;
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        changed = true;
        const int hi = i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? HexDigitValue(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
            out += '_';
            continue;
        }
        const auto byte = static_cast<unsigned char>(hi * 16 + lo);
        out += IsControl(byte) ? '_' : static_cast<char>(byte);
        i += 2;
    }
    if (changed)
        text = std::move(out);
    return changed;
}

std::string_view LastSegment(std::string_view text) {
    const std::size_t slash = FindLastSlash(text);
    return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

// Text after the last "." of the file name (or of the whole text when it has no separator).
std::string_view FileExtension(std::string_view rel) {
    const std::string_view name = LastSegment(rel);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
}

// Extension comparison: the extension text at the start of the compared text, ignoring case,
// followed by its end, a line break, a blank, ";", "?" or the stored query marker "^".
bool ExtensionMatches(std::string_view compared, std::string_view ext) {
    if (ext.empty() || !StartsWithIgnoreCase(compared, ext))
        return false;
    if (compared.size() == ext.size())
        return true;
    const char next = compared[ext.size()];
    return next == '\r' || next == '\n' || next == ' ' || next == ';' || next == '?' || next == '^';
}

bool IsStandardHtml(std::string_view ext) {
    for (std::string_view standard : kStandardHtml)
        if (EqualsIgnoreCase(ext, standard))
            return true;
    return false;
}

// Step 9: separators become "\", and a blank before a separator becomes "_".
void UnifySeparators(std::string& rel) {
    for (std::size_t i = 0; i < rel.size(); ++i) {
        if (rel[i] == '/')
            rel[i] = kSep;
        if (rel[i] == kSep && i > 0 && rel[i - 1] == ' ')
            rel[i - 1] = '_';
    }
}

// Step 10: a name that ends in a directory gets the default name; the file name loses its "#".
void AddDefaultName(std::string& rel, std::string_view defaultName) {
    if (rel.empty() || rel.back() == kSep) {
        rel += defaultName;
    } else if (LastSegment(rel).find('.') == std::string_view::npos) {
        rel += kSep;
        rel += defaultName;
    }
    const std::size_t nameStart = rel.rfind(kSep) == std::string::npos ? 0 : rel.rfind(kSep) + 1;
    const std::size_t hash = rel.find('#', nameStart);
    if (hash != std::string::npos)
        rel.resize(hash);
}

// Step 11 over the relative part, which always follows the save directory's separator.
void ReplaceIllegalCharacters(std::string& rel) {
    char previous = kSep;
    for (char& c : rel) {
        switch (c) {
        case '?': c = '^'; break;
        case '"': case '*': case '<': case '>': case '|': case ':': case '/': c = '_'; break;
        case kSep:
            if (previous == kSep)
                c = '_';
            break;
        default:
            if (IsControl(static_cast<unsigned char>(c)))
                c = '_';
        }
        previous = c;
    }
}

// No segment may climb out of the save directory or name it again.
bool HasDotSegment(std::string_view rel) {
    std::size_t start = 0;
    while (start <= rel.size()) {
        std::size_t end = rel.find(kSep, start);
        if (end == std::string_view::npos)
            end = rel.size();
        const std::string_view segment = rel.substr(start, end - start);
        if (segment == "." || segment == ".." || (segment.empty() && end < rel.size()))
            return true;
        start = end + 1;
    }
    return false;
}

bool DropDotSegments(std::string& rel) {
    if (!HasDotSegment(rel))
        return false;
    std::string out;
    bool dropped = false;
    std::size_t start = 0;
    while (start <= rel.size()) {
        std::size_t end = rel.find(kSep, start);
        if (end == std::string::npos)
            end = rel.size();
        const std::string_view segment(rel.data() + start, end - start);
        if (segment == "." || segment == ".." || (segment.empty() && end < rel.size())) {
            dropped = true;
        } else {
            if (!out.empty())
                out += kSep;
            out += segment;
        }
        start = end + 1;
    }
    if (dropped)
        rel = std::move(out);
    return dropped;
}

} // namespace

CVQLocalPathMapper::CVQLocalPathMapper(CVQPathRules rules) : m_rules(std::move(rules)) {
    if (m_rules.saveDir.empty() || m_rules.saveDir.back() != '/')
        m_rules.saveDir += '/';
    // Extension comparisons ignore case: keep the list lower-cased and sorted for look-ups.
    for (const std::string& ext : m_rules.htmlExtensions)
        if (!ext.empty())
            m_htmlExtensions.push_back(ToLowerAscii(ext));
    std::sort(m_htmlExtensions.begin(), m_htmlExtensions.end());
}

std::string CVQLocalPathMapper::Flatten(std::string_view text, bool& flag) const {
    flag = true;
    if (m_rules.retainFileNames)
        return std::string(LastSegment(text));
    std::string out(text);
    for (char& c : out)
        if (IsSlash(c))
            c = '_';
    return out;
}

// Steps 2-7: where the address lands relative to the save directory, before any clean-up.
std::string CVQLocalPathMapper::RawRelativePath(std::string_view a, std::string_view defaultName,
                                                bool& flag) const {
    const std::string_view b = m_rules.startDirUrl;
    const int d = m_rules.dirStructure;
    if (FindFirstSlash(a) == std::string_view::npos)
        return std::string(defaultName);

    std::string_view bNoSlash = b;
    if (!bNoSlash.empty() && IsSlash(bNoSlash.back()))
        bNoSlash.remove_suffix(1);
    if (!b.empty() && (SameIgnoringSlashes(a, b) || SameIgnoringSlashes(a, bNoSlash))) {
        if (d == 1)
            return std::string(Strip(bNoSlash)) + "/" + std::string(defaultName);
        return std::string(defaultName);
    }

    if (!b.empty() && IsPrefixOf(b, a)) {
        if (d == 1)
            return std::string(Strip(a));
        const std::string_view tail = a.substr(b.size());
        return d == 2 ? Flatten(tail, flag) : std::string(tail);
    }

    // An ancestor of the starting directory: only whole segments count.
    if (!a.empty() && IsPrefixOf(a, b) && (IsSlash(a.back()) || IsSlash(b[a.size()]))) {
        if (d == 1)
            return std::string(Strip(a));
        std::string_view above = b.substr(a.size());
        if (!above.empty() && IsSlash(above.back()))
            above.remove_suffix(1);
        std::size_t levels = IsSlash(above.empty() ? '\0' : above.front()) ? 0 : 1;
        for (char c : above)
            levels += IsSlash(c) ? 1 : 0;
        std::string name = "Upper" + std::to_string(levels);
        return d == 2 ? Flatten(name, flag) : name;
    }

    flag = true;
    std::string t(Strip(a));
    const bool lastHasDot = LastSegment(a).find('.') != std::string_view::npos;
    const bool tHasSlash = FindFirstSlash(t) != std::string::npos;
    if (!lastHasDot || !tHasSlash) {
        if (d == 2)
            t = Flatten(t, flag);
        if (!a.empty() && IsSlash(a.back()))
            return t + std::string(defaultName);
        return t + (d == 2 ? "_" : "/") + std::string(defaultName);
    }
    return d == 2 ? Flatten(t, flag) : t;
}

bool CVQLocalPathMapper::IsHtmlExtension(std::string_view ext) const {
    const std::string token = ToLowerAscii(ext.substr(0, ext.find_first_of("\r\n ;?^")));
    return std::binary_search(m_htmlExtensions.begin(), m_htmlExtensions.end(), token);
}

// Step 12: non-standard HTML names (page.asp) get ".htm" so that a browser shows them.
void CVQLocalPathMapper::RenameHtml(std::string& rel, bool isHtml, bool& flag) const {
    if (!m_rules.renameHtml)
        return;
    const std::string_view name = LastSegment(rel);
    if (name.find('.') == std::string_view::npos) {
        if (isHtml) {
            rel += ".htm";
            flag = true;
        }
        return;
    }
    const std::string_view ext = FileExtension(rel);
    bool standard = false;
    for (std::string_view s : kStandardHtml)
        standard = standard || ExtensionMatches(ext, s);
    if (!IsHtmlExtension(ext) || standard || EndsWithIgnoreCase(rel, ".htm"))
        return;
    rel += ".htm";
    flag = true;
}

// Step 13: a kept-out query or an over-long path gives a name hashed from the lookup key.
std::string CVQLocalPathMapper::HashedPath(const std::string& rel, std::string_view address) const {
    std::string_view cut = rel;
    if (const std::size_t caret = cut.rfind('^'); caret != std::string_view::npos)
        cut = cut.substr(0, caret);

    std::string ext;
    if (const std::size_t dot = cut.rfind('.'); dot != std::string_view::npos) {
        std::string_view e = cut.substr(dot + 1);
        e = e.substr(0, std::min(e.find('^'), FindFirstSlash(e)));
        ext = std::string(e);
    }
    if (!IsStandardHtml(ext))
        ext = "htm";

    std::string_view dir = cut;
    const std::size_t lastSep = dir.rfind(kSep);
    dir = lastSep == std::string_view::npos ? std::string_view{} : dir.substr(0, lastSep);
    while (!dir.empty() && m_rules.saveDir.size() + dir.size() > kMaxDirectory) {
        const std::size_t sep = dir.rfind(kSep);
        dir = sep == std::string_view::npos ? std::string_view{} : dir.substr(0, sep);
    }
    std::string out(dir);
    if (!out.empty())
        out += kSep;
    out += HashedNameStem(LookupKey(address));
    out += '.';
    out += ext;
    return out;
}

CVQLocalPath CVQLocalPathMapper::Map(std::string_view address, bool treatAsDirectory,
                                     bool isHtml) const {
    CVQLocalPath result;
    bool& flag = result.needsConversion;
    std::string a(address);
    if (treatAsDirectory && a.find('?') == std::string::npos && !m_rules.startDirUrl.empty() &&
        SameIgnoringSlashes(a + "/", m_rules.startDirUrl))
        a += '/';
    const std::string_view defaultName = isHtml ? std::string_view(m_rules.defaultName) : "default.";

    std::string rel = RawRelativePath(a, defaultName, flag);
    flag = PercentDecode(rel) || flag;
    UnifySeparators(rel);
    AddDefaultName(rel, defaultName);
    flag = PercentDecode(rel) || flag;
    ReplaceIllegalCharacters(rel);
    if (DropDotSegments(rel)) {
        result.madeHarmless = true;
        flag = true;
        if (rel.empty())
            rel = defaultName;
    }
    RenameHtml(rel, isHtml, flag);

    const bool longPath = m_rules.saveDir.size() + rel.size() > kMaxPlainPath;
    if (longPath || (!m_rules.keepQuery && rel.find('^') != std::string::npos)) {
        rel = HashedPath(rel, a);
        flag = true;
    }
    for (char& c : rel)
        if (c == kSep)
            c = '/';
    result.path = m_rules.saveDir + rel;
    return result;
}
