// Attribute values of a tag's text.
#include "desktop/content/attribute_reader.h"

#include "desktop/address/text_util.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view kQuotEntity = "&quot;";

bool EndsBareValue(char c) {
    return CVQAttributeReader::IsBlank(c) || CVQAttributeReader::IsLineBreak(c) || c == '"' ||
           c == '\'' || c == '>';
}

} // namespace

std::size_t CVQAttributeReader::SkipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && (IsBlank(text[pos]) || IsLineBreak(text[pos])))
        ++pos;
    return pos;
}

CVQSpan CVQAttributeReader::DelimitedValue(std::string_view text, std::size_t pos,
                                           bool singleQuotes, std::size_t* end) {
    pos = SkipBlanks(text, pos);
    std::string_view delimiter;
    if (pos < text.size() && (text[pos] == '"' || (singleQuotes && text[pos] == '\'')))
        delimiter = text.substr(pos, 1);
    else if (text.substr(pos, kQuotEntity.size()) == kQuotEntity)
        delimiter = kQuotEntity;
    else
        return {};
    const std::size_t start = pos + delimiter.size();
    const std::size_t stop = text.find(delimiter, start);
    if (end)
        *end = stop == npos ? start : stop + delimiter.size();
    return {start, stop == npos ? 0 : stop - start};
}

std::size_t CVQAttributeReader::FindAttribute(std::string_view text, std::string_view name,
                                              std::size_t from) {
    std::size_t inWord = npos;
    for (std::size_t at = vq::FindIgnoreCase(text, name, from); at != npos;
         at = vq::FindIgnoreCase(text, name, at + 1)) {
        const std::size_t eq = SkipBlanks(text, at + name.size());
        if (eq >= text.size() || text[eq] != '=')
            continue;
        if (at == 0 || !IsWordChar(text[at - 1]))
            return eq + 1;
        if (inWord == npos)
            inWord = eq + 1;
    }
    // Only inside a longer word: a line feed between two attributes was taken out, which
    // joins them ("<A" and "HREF" on two lines), so the name still counts there.
    return inWord;
}

CVQSpan CVQAttributeReader::CallArgument(std::string_view value) {
    const std::size_t open = value.find('(');
    if (open == npos)
        return {};
    const std::size_t close = value.rfind(')');
    if (close == npos || close < open)
        return {};
    for (std::size_t i = open + 1; i < close; ++i) {
        std::string_view delimiter;
        if (value[i] == '\'' || value[i] == '"')
            delimiter = value.substr(i, 1);
        else if (value.substr(i, kQuotEntity.size()) == kQuotEntity)
            delimiter = kQuotEntity;
        else
            continue;
        const std::size_t start = i + delimiter.size();
        const std::size_t stop = value.find(delimiter, start);
        if (stop == npos || stop > close)
            return {};
        return {start, stop - start};
    }
    return {};
}

CVQSpan CVQAttributeReader::ReadValue(std::string_view text, std::size_t pos, std::size_t* end) {
    pos = SkipBlanks(text, pos);
    std::size_t after = pos;
    CVQSpan value = DelimitedValue(text, pos, true, &after);
    if (!value.Found()) {
        std::size_t stop = pos;
        while (stop < text.size() && !EndsBareValue(text[stop]))
            ++stop;
        after = stop;
        // A bare value written out by a script may end in the entity of its closing quote.
        if (stop - pos >= kQuotEntity.size() &&
            text.substr(stop - kQuotEntity.size(), kQuotEntity.size()) == kQuotEntity)
            stop -= kQuotEntity.size();
        value = {pos, stop - pos};
    }
    if (end)
        *end = after;
    if (const CVQSpan arg = CallArgument(value.In(text)); arg.Found())
        return {value.pos + arg.pos, arg.length};
    return value;
}

CVQSpan CVQAttributeReader::Attribute(std::string_view text, std::string_view name,
                                      std::size_t from, std::size_t* end) {
    const std::size_t at = FindAttribute(text, name, from);
    if (at == npos)
        return {};
    return ReadValue(text, at, end);
}

CVQSpan CVQAttributeReader::NextValue(std::string_view text, std::size_t from, std::size_t* end) {
    const std::size_t eq = text.find('=', from);
    if (eq == npos)
        return {};
    return ReadValue(text, eq + 1, end);
}
