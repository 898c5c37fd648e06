// Scans of texts in memory for the content tests.
#include "tests/content/scan_support.h"

#include "desktop/content/byte_source.h"
#include "desktop/content/link_cleanup.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/content/text_file_scanner.h"

void CVQRecordingSink::Links(CVQLinkList& found, int row, const CVQTagPlace&) {
    for (const CVQFoundLink& link : found)
        links.push_back(
            {row, CVQLinkCleanup::Clean(link.text), link.text, link.offset, link.length});
}

std::vector<std::string> CVQRecordingSink::Texts() const {
    std::vector<std::string> texts;
    for (const CVQRecordedLink& link : links)
        texts.push_back(link.text);
    return texts;
}

int ScanPageInto(std::string_view html, CVQRecordingSink& sink, const CVQScanOptions& options,
                 const CVQPrjSettings& settings) {
    const CVQFileClassifier classifier(settings);
    const CVQLinkTest test(classifier);
    const CVQTagHandlers handlers(test, options);
    CVQTagProcessor processor(handlers, sink);
    CVQPageScanner scanner;
    const auto source = CVQByteSource::FromText(html);
    scanner.Scan(*source, processor);
    return scanner.Restarts();
}

CVQPageScanResult ScanPage(std::string_view html, const CVQScanOptions& options,
                           const CVQPrjSettings& settings) {
    CVQPageScanResult result;
    result.restarts = ScanPageInto(html, result.sink, options, settings);
    return result;
}

std::vector<std::string> PageLinks(std::string_view html, const CVQScanOptions& options) {
    return ScanPage(html, options).sink.Texts();
}

std::vector<std::string> TextFileLinks(std::string_view text) {
    const CVQPrjSettings settings;
    const CVQFileClassifier classifier(settings);
    const CVQLinkTest test(classifier);
    const CVQStringScanner strings(test);
    const CVQTextFileScanner scanner(strings);
    CVQRecordingSink sink;
    const auto source = CVQByteSource::FromText(text);
    scanner.Scan(*source, sink);
    return sink.Texts();
}
