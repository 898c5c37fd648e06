// The optional HTML download report: one row per file handled, filterable by tabs.
#pragma once

#include <ctime>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
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
    int errorCode = 0;      // not 0: the row is an error row
    int disposition = 0;    // the client's: 1 skipped, 2 unchanged, 8 from cache, else downloaded
    std::uint64_t size = 0;
    std::optional<std::tm> lastModified;
};

class CVQDownloadReport {
public:
    // Creates the report's directories and an empty file, and writes the logo beside it.
    bool Start(const std::string& path);
    void Header(const CVQReportHeader& header);
    void Row(const CVQReportRow& row);
    void End();
    std::string Path() const;

private:
    bool Append(const std::string& html);

    mutable std::mutex m_lock;
    std::string m_path;
};
