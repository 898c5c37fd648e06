// Runs the page, text-file and class-file scans on texts in memory and records what they
// deliver, cleaned as the project's link processing would clean it.
#pragma once

#include "desktop/content/found_link.h"
#include "desktop/content/link_sink.h"
#include "desktop/content/scan_options.h"
#include "desktop/project/prj_settings.h"

#include <string>
#include <string_view>
#include <vector>

struct CVQRecordedLink {
    int row;
    std::string text;   // cleaned
    std::string raw;    // as the handler found it
    std::size_t offset; // in the page, zero bytes not counted
    std::size_t length;
};

class CVQRecordingSink : public CVQLinkSink {
public:
    void Links(CVQLinkList& links, int row, const CVQTagPlace& place) override;
    void Title(std::string_view title) override { titles.emplace_back(title); }
    bool KeepGoing() override { return ++polls <= stopAfterPolls; }

    // The cleaned link texts, in order.
    std::vector<std::string> Texts() const;

    std::vector<CVQRecordedLink> links;
    std::vector<std::string> titles;
    int polls = 0;
    int stopAfterPolls = 1 << 30;
};

struct CVQPageScanResult {
    CVQRecordingSink sink;
    int restarts = 0;
};

// The page scan over html into sink; returns the restarts it made.
int ScanPageInto(std::string_view html, CVQRecordingSink& sink, const CVQScanOptions& options = {},
                 const CVQPrjSettings& settings = CVQPrjSettings());
// The page scan over html with the default project lists.
CVQPageScanResult ScanPage(std::string_view html, const CVQScanOptions& options = {},
                           const CVQPrjSettings& settings = CVQPrjSettings());
// The cleaned links of a page, in order.
std::vector<std::string> PageLinks(std::string_view html, const CVQScanOptions& options = {});
// The cleaned links of a style sheet or script.
std::vector<std::string> TextFileLinks(std::string_view text);
