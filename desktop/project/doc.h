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
#include <string_view>

class CVQLinkConverter;
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
    // The question on closing a changed project (saved without asking when unattended, when the
    // "AutoSave" option is on or when marked so); false when the user cancelled or the save
    // failed, so that the caller keeps the project open.
    bool SaveModified(bool withCancel = false);
    // Saves a project that has a file name, holding the tree lock and then the queue lock so that
    // it may run during a download.
    bool AutoSave();
    // Marks the project to be saved without a question when it closes (the finishing procedure).
    void SetSaveWithoutQuestion(bool value = true) { m_saveWithoutQuestion = value; }
    static bool IsProjectFile(const std::string& path);
    // The project path with its extension replaced by "vqb" (a "." added when it has none).
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
    // The "please wait" window around a long wait; only while the user is present.
    void BeginWait(const std::string& text);
    void EndWait();
    VQAnswer Ask(const std::string& text, bool withCancel, VQAnswer preselected,
                 VQAnswer unattended);
    void Status(const std::string& text);
    void TreeNotice(const CVQDocNode* node, VQTreeChange change);
    void WorkerRow(int worker, const CVQWorkerRow& row);
    void Progress(int worker, const std::string& percent, std::size_t bytes);
    void Totals(const CVQDownloadTotals& totals);
    // The download type the user picks among offered (type bits); 0 when cancelled. Unattended
    // runs take the preselected type.
    int ChooseDownloadType(int offered, int preselected);
    // A file name for a project saved for the first time; unattended runs take the proposal.
    bool ChooseSavePath(std::string& path);

    // --- Locks (see the lock order: tree, then queue) -------------------------------------
    std::mutex& TreeLock() { return m_tree.Lock(); }
    std::mutex& QueueLock() { return m_queueLock; }
    std::mutex& LinkLock() { return m_linkLock; }

    // --- The contents tree -----------------------------------------------------------------
    // At the start of a download: a fresh address index while VQ_FASTPARSE is on. When it
    // cannot be built VQ_FASTPARSE is switched off (and saved so); lookups then walk the tree.
    void RebuildAddressIndex();
    // Removes a branch (never the root) with or without its stored files; the file work happens
    // after the locks are released and touches only files inside the project's save directory.
    // Refused while a running download holds a node of the branch.
    bool DeleteBranch(CVQDocNode* node, bool deleteFiles);
    // Removes only the node; its children take its place.
    bool DeleteNodeKeepChildren(CVQDocNode* node);

    // --- Save directory, starting directory and the path mapping --------------------------
    std::string SaveDirInUse() const;
    std::string StartDirUrl() const;
    void SetStartDirUrl(const std::string& url);
    // Expands VQ_PROJECT_DIR (with or without the date and time macros) into the save
    // directory in use and creates it; false when it cannot be created.
    bool ExpandSaveDirectory(bool expandMacros);
    // Makes dir (a download directory in use of an earlier download) the save directory in use
    // again and creates it; false when it cannot be created.
    bool UseSaveDirectory(std::string_view dir);
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
    // Whether a stored file may be deleted or changed by the project: it lies inside the save
    // directory in use or inside VQ_PROJECT_DIR (up to its first date or time macro).
    bool IsInsideSaveDirectory(std::string_view path) const;

    // --- Rules of the higher floors -------------------------------------------------------
    void SetLinkRules(CVQLinkRules* rules) { m_linkRules = rules; }
    CVQLinkRules* LinkRules() const { return m_linkRules; }
    // What links become for offline browsing; none leaves every link as it is.
    void SetLinkConverter(CVQLinkConverter* converter) { m_linkConverter = converter; }
    CVQLinkConverter* LinkConverter() const { return m_linkConverter; }

private:
    enum class VQLoadMode { OfferBackup, NoBackup };
    bool LoadFile(const std::string& path, VQLoadMode mode);
    bool OfferBackup(const std::string& path, bool askFirst);
    void Install(CVQPrjSettings& settings, CVQDocTree& tree, const std::string& path);
    void RebuildMapper();
    void SyncFastParse();

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
    bool m_saveWithoutQuestion = false;
    CVQDocObserver* m_observer = nullptr;
    CVQLinkRules* m_linkRules = nullptr;
    CVQLinkConverter* m_linkConverter = nullptr;
    CVQDecryptHook m_decrypt;
    mutable std::atomic<bool> m_linksNeedConversion{false};

    std::mutex m_queueLock;
    std::mutex m_linkLock;
    mutable std::mutex m_saveDirLock;
    mutable std::mutex m_startDirLock;
    // One lock per kind of notice, so that notices of one kind never interleave.
    std::mutex m_treeNoticeLock;
    std::mutex m_workerNoticeLock;
    std::mutex m_statusNoticeLock;
    std::string m_saveDirInUse;
    std::string m_startDirUrl;
    std::shared_ptr<const CVQLocalPathMapper> m_mapper; // under m_startDirLock
};
