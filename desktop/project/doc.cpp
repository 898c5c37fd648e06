// The open project: new, open and save with their messages and questions, the save directory
// and the path mapping, and the notices to whatever front end shows the project.
#include "desktop/project/doc.h"

#include "desktop/address/save_directory.h"
#include "desktop/project/project_file.h"
#include "desktop/project/templ.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"
#include "platform/user_dirs.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kWaitNodes = 1000;
constexpr std::uintmax_t kWaitBytes = 102400;

bool Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

std::uintmax_t FileSize(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    return ec ? 0 : size;
}

// The directory part of VQ_PROJECT_DIR before any date or time macro, for the containment test.
std::string FixedPartOfProjectDir(const std::string& projectDir) {
    const std::size_t macro = projectDir.find("[%");
    if (macro == std::string::npos)
        return projectDir;
    const std::size_t slash = projectDir.rfind('/', macro);
    return slash == std::string::npos ? std::string() : projectDir.substr(0, slash + 1);
}

} // namespace

CVQDoc::CVQDoc(const CVQProgramOptions& options) : m_options(options) {
    m_tree.SetChangedFlag(&m_modified);
    m_tree.SetQueueLock(&m_queueLock);
    // Every log entry also reaches the front end's log panel.
    m_log.SetPanelSink([this](const std::string& entry) {
        if (m_observer)
            m_observer->LogLine(entry);
    });
    m_log.SetPanelClear([this] {
        if (m_observer)
            m_observer->LogCleared();
    });
    m_settings.Reset(m_options);
    m_tree.CreateRoot(m_settings.title);
    m_modified = false;
    RebuildMapper();
}

CVQDoc::~CVQDoc() = default;

// --- The project and its file ------------------------------------------------------------------

void CVQDoc::NewProject() {
    m_settings.Reset(m_options);
    if (m_options.useTemplFile && !m_options.templFile.empty()) {
        if (!CVQTempl::Read(m_options.templFile, m_settings))
            Message(VQFormat(IDS_CANNOT_OPEN_FILE, m_options.templFile.c_str()), VQIcon::Stop);
    }
    m_tree.CreateRoot(m_settings.title);
    m_pathName.clear();
    m_valid = true;
    m_saveWithoutQuestion = false;
    m_linksNeedConversion = false;
    {
        std::lock_guard lock(m_saveDirLock);
        m_saveDirInUse = vq::DirectoryWithSlash(m_settings.projectDir);
    }
    m_log.SetPath(LogPath());
    m_modified = false;
    RebuildMapper();
    TreeNotice(nullptr, VQTreeChange::Reloaded);
}

bool CVQDoc::Load(const std::string& path) {
    return LoadFile(path, VQLoadMode::OfferBackup);
}

bool CVQDoc::LoadFile(const std::string& path, VQLoadMode mode) {
    const bool offer = mode == VQLoadMode::OfferBackup && m_options.backupProject;
    if (!UserPresent())
        m_log.SetPath(vq::ReplaceExtension(path, "log"));

    std::string readPath = path;
    if (CVQProjectFile::IsEncrypted(path)) {
        std::string plain;
        if (!m_decrypt || !m_decrypt(path, plain)) {
            Message(VQFormat(IDS_NOT_VALID_PROJECT, path.c_str()), VQIcon::Stop);
            m_valid = false;
            return offer && UserPresent() && OfferBackup(path, true);
        }
        readPath = plain;
    }

    const bool wait = UserPresent() && FileSize(readPath) > kWaitBytes;
    if (wait && m_observer)
        m_observer->BeginWait(VQText(IDS_OPENING_PROJECT));
    CVQPrjSettings settings;
    settings.Reset(m_options);
    CVQDocTree tree;
    // A decrypted copy may lie elsewhere; local paths are relative to the project's own folder.
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const CVQProjectFile file(readPath, (ec ? fs::path(path) : absolute).parent_path().string());
    const VQFileResult result = file.Read(settings, tree);
    if (wait && m_observer)
        m_observer->EndWait();

    switch (result) {
    case VQFileResult::Ok:
        Install(settings, tree, path);
        return true;
    case VQFileResult::NotProject:
        Message(VQFormat(IDS_NOT_VALID_PROJECT, path.c_str()), VQIcon::Stop);
        m_valid = false;
        return offer && UserPresent() && OfferBackup(path, true);
    default:
        Message(VQFormat(IDS_ERROR_READING_FILE, path.c_str()), VQIcon::Stop);
        m_valid = false;
        return offer && OfferBackup(path, UserPresent());
    }
}

bool CVQDoc::OfferBackup(const std::string& path, bool askFirst) {
    if (!Exists(BackupPath(path)))
        return false;
    if (askFirst &&
        Ask(VQText(IDS_LOAD_BACKUP), false, VQAnswer::Yes, VQAnswer::Yes) != VQAnswer::Yes)
        return false;
    return LoadBackup(path);
}

void CVQDoc::Install(CVQPrjSettings& settings, CVQDocTree& tree, const std::string& path) {
    m_settings = std::move(settings);
    m_tree.TakeFrom(tree);
    m_pathName = path;
    m_valid = true;
    m_saveWithoutQuestion = false;
    m_linksNeedConversion = false;
    {
        std::lock_guard lock(m_saveDirLock);
        m_saveDirInUse = vq::DirectoryWithSlash(m_settings.downloadDirInUse.empty()
                                                    ? m_settings.projectDir
                                                    : m_settings.downloadDirInUse);
    }
    m_log.SetPath(LogPath());
    m_modified = false;
    RebuildMapper();
    if (m_observer)
        m_observer->AddToRecentFiles(path);
    TreeNotice(nullptr, VQTreeChange::Reloaded);
}

bool CVQDoc::LoadBackup(const std::string& path) {
    const std::string backup = BackupPath(path);
    if (!LoadFile(backup, VQLoadMode::NoBackup))
        return false;
    std::error_code ec;
    fs::copy_file(backup, path, fs::copy_options::overwrite_existing, ec);
    m_pathName = path;
    m_log.SetPath(LogPath());
    if (m_observer)
        m_observer->AddToRecentFiles(path);
    return true;
}

bool CVQDoc::Save(const std::string& path) {
    std::string target = path.empty() ? m_pathName : path;
    if (target.empty()) {
        // Save As: the title as a file name in the expanded save directory, for the user to change.
        ExpandSaveDirectory(true);
        const std::string name =
            m_settings.title.empty() ? VQText(IDS_NEW_PROJECT) : m_settings.title;
        target = SaveDirInUse() + vq::LegalFileName(name) + ".vqp";
        if (!ChooseSavePath(target) || target.empty())
            return false;
    }

    VQFileResult result;
    {
        std::lock_guard treeLock(m_tree.Lock());
        std::lock_guard queueLock(m_queueLock);
        SyncFastParse();
        const bool wait = UserPresent() && !m_run.running && m_tree.NodeCount() > kWaitNodes;
        if (wait && m_observer)
            m_observer->BeginWait(VQText(IDS_SAVING_PROJECT));
        const CVQProjectFile file(target);
        result = file.Save(m_settings, m_tree,
                           m_options.backupProject ? BackupPath(target) : std::string());
        if (wait && m_observer)
            m_observer->EndWait();
    }
    if (result == VQFileResult::DiskFull) {
        Message(VQText(IDS_DISK_FULL), VQIcon::Stop);
        return false;
    }
    if (result != VQFileResult::Ok) {
        Message(VQFormat(IDS_ERROR_WRITING_FILE, target.c_str()), VQIcon::Stop);
        return false;
    }
    if (target != m_pathName) {
        // The log follows the project to its new name.
        const std::string oldLog = m_log.Path();
        m_pathName = target;
        if (Exists(oldLog))
            m_log.MoveTo(LogPath());
        else
            m_log.SetPath(LogPath());
    }
    m_modified = false;
    if (m_observer)
        m_observer->AddToRecentFiles(target);
    return true;
}

bool CVQDoc::AutoSave() {
    return !m_pathName.empty() && Save();
}

bool CVQDoc::SaveModified(bool withCancel) {
    if (!m_modified)
        return true;
    if (!UserPresent() || m_saveWithoutQuestion || m_options.autoSave)
        return Save();
    switch (Ask(VQText(IDS_PROJECT_CHANGED), withCancel, VQAnswer::Yes, VQAnswer::Yes)) {
    case VQAnswer::Yes:
        return Save();
    case VQAnswer::No:
        return true;
    case VQAnswer::Cancel:
        return false;
    }
    return false;
}

bool CVQDoc::IsProjectFile(const std::string& path) {
    return CVQProjectFile::IsProjectFile(path);
}

std::string CVQDoc::BackupPath(const std::string& projectPath) {
    return vq::ReplaceExtension(projectPath, "vqb");
}

void CVQDoc::SetPathName(const std::string& path) {
    m_pathName = path;
    m_log.SetPath(LogPath());
}

// --- The user ----------------------------------------------------------------------------------

void CVQDoc::Message(const std::string& text, VQIcon icon) {
    if (UserPresent()) {
        if (m_observer)
            m_observer->ShowMessage(text, icon);
        return;
    }
    if (!m_log.Path().empty())
        m_log.Text(text);
    else if (m_observer)
        m_observer->LogLine(text);
}

VQAnswer CVQDoc::Ask(const std::string& text, bool withCancel, VQAnswer preselected,
                     VQAnswer unattended) {
    if (!UserPresent() || !m_observer)
        return unattended;
    return m_observer->Ask(text, withCancel, preselected);
}

int CVQDoc::ChooseDownloadType(int offered, int preselected) {
    if (!UserPresent() || !m_observer)
        return preselected;
    return m_observer->ChooseDownloadType(offered, preselected);
}

void CVQDoc::BeginWait(const std::string& text) {
    if (UserPresent() && m_observer)
        m_observer->BeginWait(text);
}

void CVQDoc::EndWait() {
    if (UserPresent() && m_observer)
        m_observer->EndWait();
}

bool CVQDoc::ChooseSavePath(std::string& path) {
    return !UserPresent() || !m_observer || m_observer->ChooseSavePath(path);
}

void CVQDoc::Status(const std::string& text) {
    if (!m_observer)
        return;
    std::lock_guard lock(m_statusNoticeLock);
    m_observer->StatusText(text);
}

void CVQDoc::TreeNotice(const CVQDocNode* node, VQTreeChange change) {
    if (!m_observer)
        return;
    std::lock_guard lock(m_treeNoticeLock);
    m_observer->TreeChanged(node, change);
}

void CVQDoc::WorkerRow(int worker, const CVQWorkerRow& row) {
    if (!m_observer)
        return;
    std::lock_guard lock(m_workerNoticeLock);
    m_observer->WorkerRow(worker, row);
}

void CVQDoc::Progress(int worker, const std::string& percent, std::size_t bytes) {
    if (!m_observer)
        return;
    std::lock_guard lock(m_workerNoticeLock);
    m_observer->Progress(worker, percent, bytes);
}

void CVQDoc::Totals(const CVQDownloadTotals& totals) {
    if (!m_observer)
        return;
    std::lock_guard lock(m_statusNoticeLock);
    m_observer->Totals(totals);
}

// --- The contents tree -------------------------------------------------------------------------

void CVQDoc::SyncFastParse() {
    if (m_tree.IndexLost())
        m_settings.fastParse = 0;
}

void CVQDoc::RebuildAddressIndex() {
    SyncFastParse();
    if (!m_settings.fastParse) {
        m_tree.DropIndex();
        return;
    }
    if (!m_tree.RebuildIndex())
        m_settings.fastParse = 0;
}

bool CVQDoc::DeleteBranch(CVQDocNode* node, bool deleteFiles) {
    if (!node)
        return false;
    CVQDocNode* parent = node->parent;
    std::vector<CVQStoredFile> files;
    if (!m_tree.DetachBranch(node, &files, m_run.running))
        return false;
    vq::DeleteStoredFiles(files, deleteFiles,
                          [this](std::string_view path) { return IsInsideSaveDirectory(path); });
    TreeNotice(parent, VQTreeChange::Removed);
    return true;
}

bool CVQDoc::DeleteNodeKeepChildren(CVQDocNode* node) {
    if (!node)
        return false;
    CVQDocNode* parent = node->parent;
    if (!m_tree.DeleteNodeKeepChildren(node, m_run.running))
        return false;
    TreeNotice(parent, VQTreeChange::Removed);
    return true;
}

// --- Save directory, starting directory and the path mapping ------------------------------------

std::string CVQDoc::SaveDirInUse() const {
    std::lock_guard lock(m_saveDirLock);
    return m_saveDirInUse;
}

std::string CVQDoc::StartDirUrl() const {
    std::lock_guard lock(m_startDirLock);
    return m_startDirUrl;
}

void CVQDoc::SetStartDirUrl(const std::string& url) {
    {
        std::lock_guard lock(m_startDirLock);
        m_startDirUrl = url;
    }
    RebuildMapper();
}

bool CVQDoc::ExpandSaveDirectory(bool expandMacros) {
    const std::string fallback =
        vq::DefaultSaveDirectory(m_options.lastFilesDir, vq::DocumentsDirectory());
    const CVQSaveDirectory dir =
        ::ExpandSaveDirectory(m_settings.projectDir, fallback, expandMacros);
    m_settings.downloadDirInUse = dir.inUse;
    {
        std::lock_guard lock(m_saveDirLock);
        m_saveDirInUse = dir.saveDir;
    }
    RebuildMapper();
    return dir.created;
}

bool CVQDoc::UseSaveDirectory(std::string_view dir) {
    const CVQSaveDirectory expanded = ::ExpandSaveDirectory(dir, SaveDirInUse(), false);
    m_settings.downloadDirInUse = expanded.inUse;
    {
        std::lock_guard lock(m_saveDirLock);
        m_saveDirInUse = expanded.saveDir;
    }
    RebuildMapper();
    return expanded.created;
}

void CVQDoc::SettingsChanged() {
    RebuildMapper();
}

void CVQDoc::RebuildMapper() {
    CVQPathRules rules;
    rules.saveDir = SaveDirInUse();
    rules.startDirUrl = StartDirUrl();
    rules.dirStructure = m_settings.dirStr;
    rules.defaultName = m_settings.defFName;
    rules.retainFileNames = m_settings.retainFileNames != 0;
    rules.renameHtml = m_settings.renameHtml != 0;
    rules.keepQuery = m_settings.keepQuery != 0;
    if (const CVQCustomArray* html = m_settings.ExtList(vq::kGroupHtml))
        for (const CVQFileExt& entry : *html)
            rules.htmlExtensions.push_back(entry.ext);
    auto mapper = std::make_shared<const CVQLocalPathMapper>(std::move(rules));
    std::lock_guard lock(m_startDirLock);
    m_mapper = std::move(mapper);
}

CVQLocalPath CVQDoc::MapToLocalPath(std::string_view address, bool treatAsDirectory, bool isHtml,
                                    bool* outFlag) const {
    std::shared_ptr<const CVQLocalPathMapper> mapper;
    {
        std::lock_guard lock(m_startDirLock);
        mapper = m_mapper;
    }
    CVQLocalPath local = mapper->Map(address, treatAsDirectory, isHtml);
    if (outFlag)
        *outFlag = local.needsConversion;
    else if (local.needsConversion)
        SetLinksNeedConversion();
    return local;
}

// --- Log and report ----------------------------------------------------------------------------

std::string CVQDoc::LogPath() const {
    const std::string name = m_settings.title.empty() ? VQText(IDS_NEW_PROJECT) : m_settings.title;
    return CVQDownloadLog::PathFor(m_pathName, SaveDirInUse(), name);
}

std::string CVQDoc::ReportPath() const {
    return CVQDownloadReport::PathFor(SaveDirInUse(), m_settings.title);
}

bool CVQDoc::IsInsideSaveDirectory(std::string_view path) const {
    const std::string saveDir = SaveDirInUse();
    if (!saveDir.empty() && vq::IsInsideDirectory(path, saveDir))
        return true;
    const std::string fixed = FixedPartOfProjectDir(m_settings.projectDir);
    return !fixed.empty() && vq::IsInsideDirectory(path, fixed);
}
