// Event attributes of a tag.
#include "desktop/content/event_attributes.h"

#include "desktop/address/text_util.h"
#include "desktop/content/attribute_reader.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;
// The position after "=" when an attribute called name starts at at; npos otherwise.
std::size_t ValueStart(std::string_view text, std::size_t at, std::string_view name) {
    if (!vq::StartsWithIgnoreCase(text.substr(at), name))
        return npos;
    const std::size_t eq = CVQAttributeReader::SkipBlanks(text, at + name.size());
    return eq < text.size() && text[eq] == '=' ? eq + 1 : npos;
}

} // namespace

void CVQEventAttributes::Read(std::string_view text, const CVQStringScanner& scanner,
                              CVQLinkList& out, unsigned which) {
    std::array<std::size_t, kNames.size()> values;
    values.fill(npos);
    unsigned missing = which;
    for (std::size_t at = vq::FindIgnoreCase(text, "on"); at != npos && missing != 0;
         at = vq::FindIgnoreCase(text, "on", at + 2)) {
        if (at > 0 && CVQAttributeReader::IsWordChar(text[at - 1]))
            continue;
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            if (!(missing & (1u << i)))
                continue;
            if (const std::size_t value = ValueStart(text, at, kNames[i]); value != npos) {
                values[i] = value;
                missing &= ~(1u << i);
                break;
            }
        }
    }
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (values[i] == npos)
            continue;
        const CVQSpan value = CVQAttributeReader::DelimitedValue(text, values[i], false);
        if (!value.Empty())
            scanner.ScanSingleQuoted(value.In(text), value.pos, out);
    }
}
