// The handler of each row of the tag table: which attribute values and strings of a tag's text
// can be addresses.
#pragma once

#include "desktop/content/form_handler.h"
#include "desktop/content/found_link.h"
#include "desktop/content/link_test.h"
#include "desktop/content/scan_options.h"
#include "desktop/content/string_scanner.h"

#include <string_view>

class CVQTagHandlers {
public:
    // Values read one after the other by the "<A" and TH/TD handlers.
    static constexpr int kMaxValuesRead = 1000;
    // Longer values of the PARAM, OPTION and TH/TD scans are skipped.
    static constexpr std::size_t kMaxScannedValue = 1039;

    CVQTagHandlers(const CVQLinkTest& test, const CVQScanOptions& options);

    // Adds the links of one complete tag of row to out; text runs from the opening marker to
    // the end of the closing marker, and links get their position in text as offset.
    void Handle(int row, std::string_view text, CVQLinkList& out) const;

    // The text of a "<TITLE>" tag without its markers.
    static std::string_view TitleText(std::string_view text);

    const CVQStringScanner& Scanner() const { return m_scanner; }

private:
    void Value(std::string_view text, std::string_view name, CVQLinkList& out) const;
    void FollowingLinks(std::string_view text, std::size_t from, bool skipLong,
                        CVQLinkList& out) const;
    void ImageValues(std::string_view text, CVQLinkList& out) const;
    void Anchor(std::string_view text, CVQLinkList& out) const;
    void JavaCode(std::string_view text, bool applet, CVQLinkList& out) const;
    void ValuesOfInnerTags(std::string_view text, std::string_view opening, bool withDotOnly,
                           CVQLinkList& out) const;
    void Script(std::string_view text, CVQLinkList& out) const;
    void Style(std::string_view text, CVQLinkList& out) const;
    void UrlValue(std::string_view text, CVQLinkList& out) const;
    void Events(std::string_view text, CVQLinkList& out) const;

    const CVQLinkTest& m_test;
    CVQStringScanner m_scanner;
    CVQFormHandler m_forms;
};
