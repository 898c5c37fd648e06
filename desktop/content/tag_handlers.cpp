// The per-row handlers of the tag table.
#include "desktop/content/tag_handlers.h"

#include "desktop/address/text_util.h"
#include "desktop/content/attribute_reader.h"
#include "desktop/content/event_attributes.h"
#include "desktop/content/tag_table.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

void AddSpan(std::string_view text, const CVQSpan& span, CVQLinkList& out) {
    if (!span.Empty())
        CVQStringScanner::Add(text, span.pos, span.length, 0, out);
}

// The tag that opens at at, up to its ">" (or the end of text).
std::string_view TagAt(std::string_view text, std::size_t at) {
    const std::size_t close = text.find('>', at);
    return text.substr(at, close == npos ? npos : close - at);
}

} // namespace

CVQTagHandlers::CVQTagHandlers(const CVQLinkTest& test, const CVQScanOptions& options)
    : m_test(test), m_scanner(test), m_forms(m_scanner, test, options) {}

std::string_view CVQTagHandlers::TitleText(std::string_view text) {
    const std::string_view opening = CVQTagTable::Row(kRowTitle).opening;
    if (text.size() < opening.size())
        return {};
    text.remove_prefix(opening.size());
    const std::size_t close = vq::FindIgnoreCase(text, "</TITLE");
    return text.substr(0, close);
}

void CVQTagHandlers::Value(std::string_view text, std::string_view name, CVQLinkList& out) const {
    AddSpan(text, CVQAttributeReader::Attribute(text, name), out);
}

void CVQTagHandlers::Events(std::string_view text, CVQLinkList& out) const {
    CVQEventAttributes::Read(text, m_scanner, out);
}

// The values after from that pass the link test, at most 1000 of them; with skipLong, values
// longer than 1039 bytes are passed over.
void CVQTagHandlers::FollowingLinks(std::string_view text, std::size_t from, bool skipLong,
                                    CVQLinkList& out) const {
    std::size_t pos = from;
    for (int read = 0; read < kMaxValuesRead; ++read) {
        std::size_t end = pos;
        const CVQSpan value = CVQAttributeReader::NextValue(text, pos, &end);
        if (!value.Found())
            return;
        if (!skipLong || value.length <= kMaxScannedValue) {
            if (const CVQSpan link = m_test.Test(value.In(text)); link.Found())
                CVQStringScanner::Add(text, value.pos + link.pos, link.length, 0, out);
        }
        pos = std::max(end, pos + 1);
    }
}

void CVQTagHandlers::Anchor(std::string_view text, CVQLinkList& out) const {
    std::size_t end = 0;
    const CVQSpan href = CVQAttributeReader::Attribute(text, "HREF", 0, &end);
    if (href.Found()) {
        AddSpan(text, href, out);
        FollowingLinks(text, end, false, out);
    }
    // An image inside the anchor's text (a tag the page left open).
    const std::size_t img = vq::FindIgnoreCase(text, "<IMG");
    if (img != npos) {
        const CVQSpan src = CVQAttributeReader::Attribute(text, "SRC", img, &end);
        if (src.Found()) {
            AddSpan(text, src, out);
            FollowingLinks(text, end, false, out);
        }
    }
    Events(text, out);
}

void CVQTagHandlers::ImageValues(std::string_view text, CVQLinkList& out) const {
    Value(text, "LOWSRC", out);
    Value(text, "SRC", out);
    Events(text, out);
}

// The VALUE of every inner tag with the opening ("<PARAM", "<OPTION") that looks like a link.
void CVQTagHandlers::ValuesOfInnerTags(std::string_view text, std::string_view opening,
                                       bool withDotOnly, CVQLinkList& out) const {
    for (std::size_t at = vq::FindIgnoreCase(text, opening); at != npos;
         at = vq::FindIgnoreCase(text, opening, at + 1)) {
        const std::string_view tag = TagAt(text, at);
        const CVQSpan value = CVQAttributeReader::Attribute(tag, "VALUE");
        if (value.Empty() || value.length > kMaxScannedValue)
            continue;
        if (withDotOnly && value.In(tag).find('.') == npos)
            continue;
        if (const CVQSpan link = m_test.Test(value.In(tag)); link.Found())
            CVQStringScanner::Add(text, at + value.pos + link.pos, link.length, 0, out);
    }
}

void CVQTagHandlers::JavaCode(std::string_view text, bool applet, CVQLinkList& out) const {
    const std::size_t first = out.size();
    if (applet) {
        const CVQSpan archive = CVQAttributeReader::Attribute(text, "ARCHIVE");
        AddSpan(text, archive.Empty() ? CVQAttributeReader::Attribute(text, "CODE") : archive, out);
    } else {
        Value(text, "CODE", out);
        ValuesOfInnerTags(text, "<PARAM", true, out);
    }
    // The code base goes in front of what was found so far in the tag.
    const CVQSpan base = CVQAttributeReader::Attribute(text, "CODEBASE");
    if (!base.Empty() && base.In(text) != "./") {
        std::string prefix(base.In(text));
        if (prefix.back() != '/' && prefix.back() != '\\')
            prefix += '/';
        for (std::size_t i = first; i < out.size(); ++i) {
            out[i].text.insert(0, prefix);
            out[i].offset = CVQFoundLink::kComposed;
            out[i].length = 0;
        }
    }
    if (applet) {
        ValuesOfInnerTags(text, "<PARAM", true, out);
    } else if (const std::size_t embed = vq::FindIgnoreCase(text, "<EMBED"); embed != npos) {
        const std::size_t before = out.size();
        const std::string_view embedTag = TagAt(text, embed);
        Handle(kRowEmbed, embedTag, out);
        for (std::size_t i = before; i < out.size(); ++i)
            if (!out[i].IsComposed())
                out[i].offset += embed;
    }
    Events(text, out);
}

void CVQTagHandlers::Script(std::string_view text, CVQLinkList& out) const {
    m_scanner.ScanStrings(text, out);
    // A bare source address is no string literal: read it as an attribute.
    const std::string_view opening = TagAt(text, 0);
    const CVQSpan src = CVQAttributeReader::Attribute(opening, "SRC");
    if (!src.Empty()) {
        const char before = opening[src.pos - 1];
        if (before != '"' && before != '\'' && before != ';')
            AddSpan(text, src, out);
    }
}

void CVQTagHandlers::Style(std::string_view text, CVQLinkList& out) const {
    m_scanner.ScanStrings(text, out);
    m_scanner.ScanUrlValues(text, out);
}

void CVQTagHandlers::UrlValue(std::string_view text, CVQLinkList& out) const {
    const std::size_t open = CVQTagTable::Row(kRowUrl).opening.size() - 1;
    std::size_t end = 0;
    AddSpan(text, m_scanner.UrlValue(text, open, &end), out);
}

void CVQTagHandlers::Handle(int row, std::string_view text, CVQLinkList& out) const {
    switch (row) {
    case kRowFrame:
    case kRowIFrame:
        Value(text, "SRC", out);
        break;
    case kRowBody:
    case kRowTable:
        Value(text, "BACKGROUND", out);
        Events(text, out);
        break;
    case kRowAnchor:
        Anchor(text, out);
        break;
    case kRowImg:
    case kRowAudio:
    case kRowVideo:
        ImageValues(text, out);
        break;
    case kRowApplet:
        JavaCode(text, true, out);
        break;
    case kRowObject:
        JavaCode(text, false, out);
        break;
    case kRowBgSound:
        Value(text, "SRC", out);
        Events(text, out);
        break;
    case kRowArea:
    case kRowLink:
    case kRowBase:
        Value(text, "HREF", out);
        Events(text, out);
        break;
    case kRowEmbed:
        Value(text, "SRC", out);
        Value(text, "CODE", out);
        Events(text, out);
        break;
    case kRowScript:
        Script(text, out);
        break;
    case kRowMeta:
        Value(text, "URL", out);
        break;
    case kRowForm:
        m_forms.Handle(text, out);
        break;
    case kRowInput:
        m_scanner.ScanStrings(text, out);
        Value(text, "SRC", out);
        Events(text, out);
        break;
    case kRowSelect:
        ValuesOfInnerTags(text, "<OPTION", false, out);
        Events(text, out);
        break;
    case kRowTh:
    case kRowTd:
        Value(text, "BACKGROUND", out);
        FollowingLinks(text, 0, true, out);
        Events(text, out);
        break;
    case kRowStyle:
        Style(text, out);
        break;
    case kRowUrl:
        UrlValue(text, out);
        break;
    case kRowDiv:
        Events(text, out);
        break;
    default: // the title and comments hold no links
        break;
    }
}
