// The open project: its settings, its contents tree, the state of a running download, its
// locks, its log and report, and the project file it lives in.
#pragma once

#include "desktop/address/local_path_mapper.h"
#include "desktop/project/doc_observer.h"
#include "desktop/project/doc_tree.h"
#include "desktop/project/download_log.h"
#include "desktop/project/download_report.h"
#include "desktop/project/download_state.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CVQLinkRules;

class CVQDoc {
public:
    // The program options outlive the project.
    explicit CVQDoc(const CVQProgramOptions& options);
    ~CVQDoc();
    CVQDoc(const CVQDoc&) = delete;
    CVQDoc& operator=(const CVQDoc&) = delete;

    CVQPrjSettings& Settings() { return m_settings; }
    const CVQPrjSettings& Settings() const { return m_settings; }
    CVQDocTree& Tree() { return m_tree; }
    const CVQDocTree& Tree() const { return m_tree; }
    CVQDownloadState& Run() { return m_run; }
    const CVQDownloadState& Run() const { return m_run; }
    const CVQProgramOptions& Options() const { return m_options; }

    // --- The project and its file ---------------------------------------------------------
    // A new project: defaults, then the default template when the program options name one.
    void NewProject();
    // Reads a project file; messages and the backup question go through the observer.
    bool Load(const std::string& path);
    // Writes the project through a temporary copy, keeping the backup when the options say so.
    // An empty path saves to the current file name.
    bool Save(const std::string& path = {});
    // Opens the backup copy as the project and, when that works, copies it over the project file.
    bool LoadBackup(const std::string& path);
    // The question on closing a changed project; false when the user cancelled.
    bool SaveModified();
    static bool IsProjectFile(const std::string& path);
    static std::string BackupPath(const std::string& projectPath);

    // Decrypts a project file that begins with "PK" into a plain project file; none until the
    // privacy encryption is installed.
    using CVQDecryptHook = std::function<bool(const std::string& path, std::string& plainPath)>;
    void SetDecryptHook(CVQDecryptHook hook) { m_decrypt = std::move(hook); }

    const std::string& PathName() const { return m_pathName; }
    void SetPathName(const std::string& path);
    bool IsModified() const { return m_modified; }
    void SetModified(bool modified = true) { m_modified = modified; }
    bool IsValid() const { return m_valid; }

    // --- The user -------------------------------------------------------------------------
    void SetObserver(CVQDocObserver* observer) { m_observer = observer; }
    // Unattended runs (command line, scheduler) have no user: messages become log lines and
    // questions take the answer the unattended rules give.
    void SetUserPresent(bool present) { m_userPresent = present; }
    bool UserPresent() const { return m_userPresent; }
    void Message(const std::string& text, VQIcon icon);
    VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer preselected,
                 VQAnswer unattended);
    void Status(const std::string& text);
    void TreeNotice(const CVQDocNode* node, VQTreeChange change);
    void WorkerRow(int worker, const CVQWorkerRow& row);
    void Progress(int worker, const std::string& percent, std::size_t bytes);
    void Totals(const CVQDownloadTotals& totals);

    // --- Locks (see the lock order: tree, then queue) -------------------------------------
    std::mutex& TreeLock() { return m_treeLock; }
    std::mutex& QueueLock() { return m_queueLock; }
    std::mutex& LinkLock() { return m_linkLock; }

    // --- Save directory, starting directory and the path mapping --------------------------
    std::string SaveDirInUse() const;
    std::string StartDirUrl() const;
    void SetStartDirUrl(const std::string& url);
    // Expands VQ_PROJECT_DIR (with or without the date and time macros) into the save
    // directory in use and creates it; false when it cannot be created.
    bool ExpandSaveDirectory(bool expandMacros);
    // Maps an address with the project's rules. Without outFlag a changed name sets the
    // project's links-need-conversion flag.
    CVQLocalPath MapToLocalPath(std::string_view address, bool treatAsDirectory, bool isHtml,
                                bool* outFlag = nullptr) const;
    // Call after the settings changed (the mapping caches the project's rules).
    void SettingsChanged();

    bool LinksNeedConversion() const { return m_linksNeedConversion; }
    void SetLinksNeedConversion(bool value = true) const { m_linksNeedConversion = value; }

    // --- Log and report -------------------------------------------------------------------
    CVQDownloadLog& Log() { return m_log; }
    CVQDownloadReport& Report() { return m_report; }
    // The project path with ".log", or the save directory + title + ".log" without a file.
    std::string LogPath() const;
    // The save directory + "_VQReport/" + title + "_Report.htm".
    std::string ReportPath() const;

    // --- Rules of the higher floors -------------------------------------------------------
    void SetLinkRules(CVQLinkRules* rules) { m_linkRules = rules; }
    CVQLinkRules* LinkRules() const { return m_linkRules; }

private:
    void RebuildMapper();

    const CVQProgramOptions& m_options;
    CVQPrjSettings m_settings;
    CVQDocTree m_tree;
    CVQDownloadState m_run;
    CVQDownloadLog m_log;
    CVQDownloadReport m_report;

    std::string m_pathName;
    std::atomic<bool> m_modified{false};
    bool m_valid = true;
    bool m_userPresent = true;
    CVQDocObserver* m_observer = nullptr;
    CVQLinkRules* m_linkRules = nullptr;
    CVQDecryptHook m_decrypt;
    mutable std::atomic<bool> m_linksNeedConversion{false};

    std::mutex m_treeLock;
    std::mutex m_queueLock;
    std::mutex m_linkLock;
    mutable std::mutex m_saveDirLock;
    mutable std::mutex m_startDirLock;
    mutable std::mutex m_noticeLock;
    std::string m_saveDirInUse;
    std::string m_startDirUrl;
    std::shared_ptr<const CVQLocalPathMapper> m_mapper; // under m_startDirLock
};
