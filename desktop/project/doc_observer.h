// How a project reaches its user: questions and messages, and the notices of a running download.
// The desktop window, the terminal front end and the tests each implement it.
#pragma once

#include <cstdint>
#include <string>

class CVQDocNode;

enum class VQIcon { Information, Question, Warning, Stop };
enum class VQAnswer { Yes, No, Cancel };

// One row of the download information list: what a worker is doing now.
struct CVQWorkerRow {
    std::string address;
    std::string sizeText;
    std::string status;   // "Opening...", "Downloading...", "Unchanged", "From cache", "Done", ...
    std::string progress; // "42 %" or empty
};

struct CVQDownloadTotals {
    std::uint64_t found = 0;      // nodes in the tree (or chosen for a special download)
    std::uint64_t processed = 0;  // files handled
    std::uint64_t downloaded = 0; // files stored
    std::uint64_t filtered = 0;
    std::uint64_t errors = 0;
    std::uint64_t bytesStored = 0;
};

enum class VQTreeChange { Added, Changed, Removed, Reloaded };

class CVQDocObserver {
public:
    virtual ~CVQDocObserver() = default;

    // Questions and messages come only while the user is present; they are answered on the
    // calling thread.
    virtual void ShowMessage(const std::string& text, VQIcon icon) = 0;
    virtual VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer preselected) = 0;
    // The file name for a project saved for the first time, path holding the proposal; false
    // when the user cancelled. Without a file dialog the proposal is taken.
    virtual bool ChooseSavePath(std::string& /*path*/) { return true; }
    // "Choose the Download Type": offered holds the download type bits that may be chosen, the
    // answer is one of them or 0 for Cancel. Without a dialog the preselected type is taken.
    virtual int ChooseDownloadType(int /*offered*/, int preselected) { return preselected; }
    // A small "please wait" window around a long save or load, shown only where the program
    // window is visible.
    virtual void BeginWait(const std::string& /*text*/) {}
    virtual void EndWait() {}
    // A project was saved or opened under this path (the recent-files list).
    virtual void AddToRecentFiles(const std::string& /*path*/) {}

    // Notices may come from any thread and must return at once.
    virtual void StatusText(const std::string& /*text*/) {}
    // For Removed the node is the parent of what was removed (the removed nodes are gone);
    // Reloaded comes with no node.
    virtual void TreeChanged(const CVQDocNode* /*node*/, VQTreeChange /*change*/) {}
    virtual void WorkerRow(int /*worker*/, const CVQWorkerRow& /*row*/) {}
    virtual void Progress(int /*worker*/, const std::string& /*percent*/, std::size_t /*bytes*/) {}
    virtual void LogLine(const std::string& /*line*/) {}
    virtual void Totals(const CVQDownloadTotals& /*totals*/) {}
    virtual void LogCleared() {}
};
