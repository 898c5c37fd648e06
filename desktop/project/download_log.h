// The download log: a text file beside the project file, one CR LF line per event, written
// under its own lock so that lines of several workers never interleave.
#pragma once

#include <ctime>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

class CVQDownloadLog {
public:
    enum Kind { kStart = 0, kCompletion = 1, kStop = 2, kSummary = 3, kText = 4 };

    void SetPath(const std::string& path);
    std::string Path() const;
    // Renames the existing log file to follow a new project name (replacing a file there).
    bool MoveTo(const std::string& newPath);

    // Every written entry also goes to the panel through this sink (called under the lock).
    void SetPanelSink(std::function<void(const std::string& entry)> sink);

    // At the start of a download: a fresh file, or with keepPrevious the old one followed by a
    // separator of ten asterisks.
    bool Start(bool keepPrevious);

    void Started(bool preview, const std::tm& localTime);
    void Completed(bool preview, const std::tm& localTime);
    void Stopped(bool preview, const std::tm& localTime, int stopReason);
    void Summary(std::uint64_t filesStored, std::uint64_t bytesStored);
    // A free-text line (kind 4), written as it is followed by CR LF.
    void Text(std::string_view text);

    // What the log panel shows: at most 30720 bytes, with the note when the file is longer.
    std::string LoadForPanel() const;

private:
    void Append(const std::string& entry);

    mutable std::mutex m_lock;
    std::string m_path;
    std::function<void(const std::string&)> m_sink;
};
