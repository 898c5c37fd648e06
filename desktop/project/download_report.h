// The optional HTML download report: one row per file handled, filterable by tabs.
#pragma once

#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CVQDocNode;

struct CVQReportHeader {
    std::string projectPath;
    std::string title;
    std::vector<std::string> startAddresses; // only the first when a single site is copied
    std::string projectDir;
    std::tm started{};
};

struct CVQReportRow {
    const CVQDocNode* node = nullptr; // none: no group and level cells
    std::string address;
    int errorCode = 0;   // not 0: the row is an error row
    int disposition = 0; // the client's: 1 skipped, 2 unchanged, 8 from cache, else downloaded
    std::uint64_t size = 0;
    std::optional<std::tm> lastModified;
};

// Every text taken from the project or a server is HTML-escaped, so that an address or a
// title cannot add markup or script to the page.
class CVQDownloadReport {
public:
    static constexpr std::string_view kLogoName = "vqlogo.gif";

    // The save directory in use + "_VQReport/" + the title + "_Report.htm"; a "/" in the title
    // cannot lead elsewhere.
    static std::string PathFor(std::string_view saveDirInUse, std::string_view title);

    // Creates the report's directories and an empty file, and writes the logo beside it.
    bool Start(const std::string& path);
    // Head, style, script, title table, tabs and the head of the result table.
    bool Header(const CVQReportHeader& header);
    bool Row(const CVQReportRow& row);
    bool End();
    std::string Path() const;

    // The texts the calls above append; exposed for the tests of the page.
    static std::string HeaderHtml(const CVQReportHeader& header);
    static std::string RowHtml(const CVQReportRow& row);
    static std::string EndHtml();

private:
    bool Append(const std::string& html);

    mutable std::mutex m_lock;
    std::string m_path;
};
