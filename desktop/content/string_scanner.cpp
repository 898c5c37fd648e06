// String literals and url() values of scripts and styles.
#include "desktop/content/string_scanner.h"

#include "desktop/address/text_util.h"
#include "desktop/content/attribute_reader.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view kQuotEntity = "&quot;";

// A lone "/" or "\" followed by "+" is the start of a concatenation, not an address.
bool StartsConcatenation(std::string_view literal, std::string_view text, std::size_t after) {
    if (literal != "/" && literal != "\\")
        return false;
    while (after < text.size() && CVQAttributeReader::IsBlank(text[after]))
        ++after;
    return after < text.size() && text[after] == '+';
}

} // namespace

void CVQStringScanner::Add(std::string_view text, std::size_t pos, std::size_t length,
                           std::size_t base, CVQLinkList& out) {
    out.push_back({std::string(text.substr(pos, length)), base + pos, length});
}

void CVQStringScanner::TakeLiteral(std::string_view text, std::size_t pos, std::size_t length,
                                   std::size_t after, CVQLinkList& out) const {
    const std::string_view literal = text.substr(pos, length);
    if (StartsConcatenation(literal, text, after))
        return;
    if (const CVQSpan link = m_test.Test(literal); link.Found()) {
        Add(text, pos + link.pos, link.length, 0, out);
        return;
    }
    // "page.php?go=next.htm": the text after each "=" may be the address.
    for (std::size_t eq = literal.find('='); eq != npos; eq = literal.find('=', eq + 1)) {
        const std::size_t start = eq + 1;
        const std::size_t stop =
            std::min(vq::FindFirstOf(literal, " ;\r\n", start), literal.size());
        const std::string_view value = literal.substr(start, stop - start);
        if (value == "/" || vq::FindFirstOf(value, "\"'") != npos)
            continue;
        if (const CVQSpan link = m_test.Test(value); link.Found())
            Add(text, pos + start + link.pos, link.length, 0, out);
    }
}

void CVQStringScanner::ScanDelimited(std::string_view text, std::string_view delimiter,
                                     bool orQuotEntity, CVQLinkList& out) const {
    std::size_t pos = 0;
    std::size_t nextPlain = text.find(delimiter);
    std::size_t nextEntity = orQuotEntity ? text.find(kQuotEntity) : npos;
    while (nextPlain != npos || nextEntity != npos) {
        const bool entity = nextEntity < nextPlain;
        const std::string_view open = entity ? kQuotEntity : delimiter;
        const std::size_t start = (entity ? nextEntity : nextPlain) + open.size();
        const std::size_t close = text.find(open, start);
        if (close == npos)
            return;
        std::size_t length = close - start;
        if (length > 0 && text[close - 1] == '\\')
            --length;
        TakeLiteral(text, start, length, close + open.size(), out);
        pos = close + open.size();
        if (nextPlain != npos && nextPlain < pos)
            nextPlain = text.find(delimiter, pos);
        if (nextEntity != npos && nextEntity < pos)
            nextEntity = text.find(kQuotEntity, pos);
    }
}

void CVQStringScanner::ScanStrings(std::string_view text, CVQLinkList& out) const {
    ScanDelimited(text, "\"", true, out);
    ScanDelimited(text, "'", false, out);
    ScanDelimited(text, "\\\"", false, out);
}

CVQSpan CVQStringScanner::UrlValue(std::string_view text, std::size_t open,
                                   std::size_t* end) const {
    const std::size_t close = text.find(')', open + 1);
    if (close == npos) {
        *end = text.size();
        return {};
    }
    *end = close + 1;
    std::size_t from = open + 1;
    std::size_t to = close;
    if (to > from && text[to - 1] == '\\')
        --to;
    while (from < to && CVQAttributeReader::IsBlank(text[from]))
        ++from;
    while (to > from && CVQAttributeReader::IsBlank(text[to - 1]))
        --to;
    if (to > from && (text[from] == '"' || text[from] == '\'')) {
        const char quote = text[from++];
        if (to > from && text[to - 1] == quote)
            --to;
    }
    const CVQSpan link = m_test.Test(text.substr(from, to - from));
    if (!link.Found())
        return {};
    return {from + link.pos, link.length};
}

void CVQStringScanner::ScanUrlValues(std::string_view text, CVQLinkList& out) const {
    std::size_t pos = 0;
    for (std::size_t at = vq::FindIgnoreCase(text, "url", pos); at != npos;
         at = vq::FindIgnoreCase(text, "url", pos)) {
        std::size_t open = at + 3;
        while (open < text.size() && CVQAttributeReader::IsBlank(text[open]))
            ++open;
        if (open >= text.size() || text[open] != '(') {
            pos = at + 3;
            continue;
        }
        const CVQSpan value = UrlValue(text, open, &pos);
        if (value.Found())
            Add(text, value.pos, value.length, 0, out);
    }
}

void CVQStringScanner::ScanSingleQuoted(std::string_view text, std::size_t base,
                                        CVQLinkList& out) const {
    for (std::size_t open = text.find('\''); open != npos;) {
        const std::size_t close = text.find('\'', open + 1);
        if (close == npos)
            return;
        std::size_t length = close - open - 1;
        if (length > 0 && text[close - 1] == '\\')
            --length;
        if (const CVQSpan link = m_test.Test(text.substr(open + 1, length)); link.Found())
            Add(text, open + 1 + link.pos, link.length, base, out);
        open = text.find('\'', close + 1);
    }
}
