// A project, its engine and a loopback site for the engine's tests: the site's files are scripted
// per case, and everything the project tells its user is recorded.
#pragma once

#include "desktop/engine/download_engine.h"
#include "desktop/project/doc.h"
#include "tests/support/http_test_server.h"
#include "tests/support/temp_dir.h"

#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

// Thread-safe: the engine's workers report from their own threads.
class CVQRunWatcher : public CVQDocObserver {
public:
    struct Row {
        int worker;
        std::string status;
        std::string address;
    };

    void ShowMessage(const std::string& text, VQIcon icon) override;
    VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer preselected) override;
    int ChooseDownloadType(int offered, int preselected) override;
    void StatusText(const std::string& text) override;
    void WorkerRow(int worker, const CVQWorkerRow& row) override;
    void LogLine(const std::string& line) override;

    std::vector<std::string> Questions() const;
    std::vector<std::string> Statuses() const;
    std::vector<Row> Rows() const;
    std::string LastStatus() const;
    // Rows with the text "Done", by worker.
    std::map<int, int> DoneByWorker() const;
    int Done() const;

    // Called on the worker's thread for every row, outside the watcher's lock.
    std::function<void(int worker, const CVQWorkerRow& row)> onRow;
    VQAnswer answer = VQAnswer::No;
    int chosenType = 0; // 0 takes the preselected type
    int offeredTypes = 0;

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_messages, m_questions, m_statuses, m_log;
    std::vector<Row> m_rows;
};

class EngineTest : public ::testing::Test {
public:
    // Every file below folder with its bytes, by path relative to folder.
    static std::map<std::string, std::string> Files(const std::string& folder);

protected:
    EngineTest();
    ~EngineTest() override;

    // Engine waits shortened so that a case takes a moment; the retry pause stays the program's.
    static CVQEngineOptions FastOptions();

    // A page linking to the given addresses with anchors (pages) or images (the rest).
    static std::string Page(const std::vector<std::string>& links);
    void Serve(const std::string& path, const std::string& body,
               const std::string& type = "text/html");
    // A 1 MB file sent 4 KB every 50 ms (about 13 seconds); sending is set once it began.
    void ServeSlowly(const std::string& path, std::atomic<bool>& sending);
    // A site of pages p0.htm ... p(n-1).htm: page k links to pages 2k+1, 2k+2 and to its own
    // picture k.gif; each answer waits delayMs first, page m_slowPage waits m_slowMs.
    void ServeSite(int pages, int delayMs = 0);

    // A start without a user.
    static CVQStartRequest Unattended(int type = kDownloadNew);
    void Start(const CVQStartRequest& request);
    // Starts a download without a user and waits for its end.
    void Run(int type = kDownloadNew);
    static void WaitFor(const std::atomic<bool>& flag);
    CVQDocNode* Node(const std::string& path) const;
    std::string SavePath(const std::string& relative) const;
    std::string LogText();

    CVQTempDir m_dir;
    CVQProgramOptions m_options;
    CVQRunWatcher m_user;
    CVQDoc m_doc;
    CVQTestHttpServer m_server;
    std::atomic<int> m_slowPage{-1};
    std::atomic<int> m_slowMs{0};
    std::unique_ptr<CVQDownloadEngine> m_engine;
};
