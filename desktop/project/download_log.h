// The download log: a text file beside the project file, one CR LF line per event, written
// under its own lock so that lines of several workers never interleave.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

class CVQDownloadLog {
public:
    enum Kind { kStart = 0, kCompletion = 1, kStop = 2, kSummary = 3, kText = 4 };

    // The most the log panel shows, its note included.
    static constexpr std::size_t kPanelLimit = 30720;

    // The project path with its extension replaced by "log"; without a project file the save
    // directory in use + the title + ".log". A "/" in the title cannot lead elsewhere.
    static std::string PathFor(std::string_view projectPath, std::string_view saveDirInUse,
                               std::string_view title);

    void SetPath(const std::string& path);
    std::string Path() const;
    // Renames the existing log file to follow a new project name (replacing a file there) and
    // takes the new path; false when an existing log could not be moved.
    bool MoveTo(const std::string& newPath);

    // Every written entry also goes to the panel through this sink (called under the lock).
    void SetPanelSink(std::function<void(const std::string& entry)> sink);
    // Called by Start, which clears the panel.
    void SetPanelClear(std::function<void()> clear);

    // At the start of a download: a fresh file, or with keepPrevious the old one followed by a
    // separator of ten asterisks. False when the file cannot be written.
    bool Start(bool keepPrevious);

    // The entries of the kinds 0-4; each returns false when the file could not be written.
    bool Started(bool preview, const std::tm& localTime);
    bool Completed(bool preview, const std::tm& localTime);
    // stopReason 1-3 (files, time, disk space) adds why the download stopped.
    bool Stopped(bool preview, const std::tm& localTime, int stopReason);
    bool Summary(std::uint64_t filesStored, std::uint64_t bytesStored);
    // A free-text line (kind 4), written as it is followed by CR LF.
    bool Text(std::string_view text);

    // What the log panel shows: at most 30720 bytes, with the note when the file is longer.
    std::string LoadForPanel() const;

private:
    bool Append(const std::string& entry);

    mutable std::mutex m_lock;
    std::string m_path;
    std::function<void(const std::string&)> m_sink;
    std::function<void()> m_clear;
};
