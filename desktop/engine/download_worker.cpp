// The worker loop: the road of one address from the frontier to a status in the tree.
#include "desktop/engine/download_worker.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/content/tag_table.h"
#include "desktop/engine/download_limits.h"
#include "desktop/engine/run_context.h"
#include "desktop/net/response_check.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_classifier.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace vq {

std::string WithProtocol(std::string_view address) {
    if (!ProtocolPrefix(address).empty())
        return std::string(address);
    if (address.starts_with('/') || (address.size() > 1 && address[1] == ':'))
        return "file://" + std::string(address);
    return "http://" + std::string(address);
}

} // namespace vq

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t Now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::uint64_t StoredLength(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = path.empty() ? 0 : fs::file_size(path, ec);
    return ec ? 0 : size;
}

std::uint32_t NodeSize(std::uint64_t size) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(size, 0xFFFFFFFFu));
}

std::string FileNameOfPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The start page of a list position: the root's children are the start pages in list order.
CVQDocNode* RootChildAt(CVQDocTree& tree, int position) {
    std::lock_guard lock(tree.Lock());
    CVQDocNode* n = tree.Root() ? tree.Root()->firstChild.load() : nullptr;
    for (int i = 0; n && i < position; ++i)
        n = n->next;
    return n;
}

} // namespace

CVQDownloadWorker::CVQDownloadWorker(CVQRunContext& run, int index, std::string startAddress)
    : m_run(run), m_doc(run.Doc()), m_index(index), m_startAddress(std::move(startAddress)) {}

void CVQDownloadWorker::Run() {
    CVQDownloadState& state = m_doc.Run();
    const int pollMs = m_run.Options().pollMs;
    m_inet.OpenSession(m_doc, m_index == 0, &m_run.Cookies());
    m_parser.SetContentProbe([this](const std::string& address, CVQDoc& doc, int& contentClass) {
        return m_inet.ProbeContentKind(address, doc, contentClass);
    });
    if (m_index == 0)
        Begin();

    while (!state.stopRequest) {
        while (state.paused && !state.stopRequest)
            m_run.Sleep(pollMs);
        if (state.stopRequest)
            break;
        if (m_haveAddress) {
            Handle();
            m_haveAddress = false;
            m_node = nullptr;
            m_run.SendTotals();
            m_run.WakeUp();
        }
        if (m_index != 0 && m_index >= state.threadLimit) // lowered during the run
            break;
        if (state.paused) {
            ClearRow();
            m_run.Sleep(pollMs);
        }
        if (!SpeedPause())
            break;
        if (!TakeNext())
            break;
        if (m_index == 0)
            StartMissingWorkers();
        int reason = kStopNone;
        if (vq::LimitsSayStop(m_doc, Now(), reason)) {
            int none = kStopNone;
            if (reason != kStopNone)
                state.stopReason.compare_exchange_strong(none, reason);
            break;
        }
    }

    ClearRow();
    if (m_index == 0)
        state.keepWaiting = false;
    state.idle[static_cast<std::size_t>(m_index)] = false;
    m_inet.CloseSession(m_index == 0);
    m_run.Ended(m_index);
}

// Worker 0 begins with the start address and the node that stands for it.
void CVQDownloadWorker::Begin() {
    CVQDownloadState& state = m_doc.Run();
    CVQNextNode& next = m_run.NextNode();
    if (state.downloadType == kDownloadNew) {
        m_address = vq::WithProtocol(m_startAddress);
        CVQDocNode* start = state.branchMode ? state.branchNode.load()
                                             : RootChildAt(m_doc.Tree(), state.startIndex);
        // A start address changed since the last run has its own node, if any.
        if (start && !state.branchMode && !vq::SameAddress(start->Address(), m_address))
            start = m_doc.Tree().FindByAddress(m_address);
        if (start) {
            if (next.TakeStartNode(*start)) {
                m_node = start;
                m_address = std::string(start->Address());
            } else if (!TakeNext() || !m_haveAddress) {
                return;
            }
        }
    } else {
        const CVQNextNode::Choice choice =
            next.Take(m_index, [this](int self) { return m_run.OthersBusy(self); });
        if (!choice.node)
            return;
        m_node = choice.node;
        m_address = std::string(m_node->Address());
        ShowRow(m_address, VQText(state.preview ? IDS_ENGINE_SCANNING : IDS_ENGINE_DOWNLOADING), 0);
    }

    // A start address with a template stands for a series: every address of it becomes a start
    // page, and the first one is fetched now.
    std::string first = m_address;
    std::vector<std::string> series;
    if (CVQParser::ExpandAddressTemplate(first, series) && !series.empty()) {
        CVQLinkList links;
        for (const std::string& address : series)
            links.push_back(CVQFoundLink{address});
        std::string base = vq::DirectoryUrl(first);
        m_parser.ProcessLinks(links, base, kRowNone, m_doc.Tree().Root(), m_doc);
        if (m_node)
            m_run.NextNode().Requeue(*m_node); // the template's own node is not fetched
        m_node = nullptr;
        m_address = first;
        if (CVQDocNode* node = m_doc.Tree().FindByAddress(first)) {
            if (next.TakeStartNode(*node))
                m_node = node;
            else
                m_address.clear();
        }
    }
    m_haveAddress = !m_address.empty();
}

// Takes the next node, or waits while others may still bring work; false when the worker ends.
bool CVQDownloadWorker::TakeNext() {
    CVQDownloadState& state = m_doc.Run();
    const CVQNextNode::Choice choice =
        m_run.NextNode().Take(m_index, [this](int self) { return m_run.OthersBusy(self); });
    if (choice.node) {
        m_node = choice.node;
        m_address = std::string(m_node->Address());
        m_haveAddress = true;
        return true;
    }
    ClearRow();
    if (m_index == 0) {
        if (!choice.othersBusy) {
            state.keepWaiting = false;
            m_run.WakeUp();
            return false;
        }
    } else if (!state.keepWaiting) {
        return false;
    }
    m_run.WaitForWork(m_run.Options().pollMs);
    return true;
}

bool CVQDownloadWorker::SpeedPause() {
    const int level = std::clamp(m_doc.Run().speedLevel.load(), 1, 10);
    if (level == 10 && m_doc.Options().noPacing)
        return !m_doc.Run().stopRequest;
    return m_run.Sleep((10 - level) * 1000 / 9 + 25);
}

bool CVQDownloadWorker::PauseBetweenFiles() {
    const int pause = m_doc.Settings().downldPause;
    if (m_firstFile || pause <= 0 || !m_lastSuccess)
        return true;
    const auto passed =
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - *m_lastSuccess).count();
    if (passed >= pause)
        return true;
    return m_run.Sleep(static_cast<int>(pause - passed) * 1000);
}

void CVQDownloadWorker::StartMissingWorkers() {
    const int limit = std::clamp(m_doc.Run().threadLimit.load(), 1, CVQRunContext::kMaxWorkers);
    for (int i = 1; i < limit; ++i)
        if (m_run.Reserve(i))
            m_run.Launch(i, {});
}

std::string CVQDownloadWorker::ParentAddress(const CVQDocNode& node) const {
    std::lock_guard lock(m_doc.TreeLock());
    const CVQDocNode* parent = node.parent;
    return parent ? std::string(parent->Address()) : std::string();
}

void CVQDownloadWorker::ShowRow(const std::string& address, const std::string& status,
                                std::uint64_t size) {
    CVQWorkerRow row;
    row.address = address;
    row.status = status;
    row.sizeText = size ? vq::SizeText(size) : VQText(IDS_ROW_SIZE_UNKNOWN);
    m_doc.WorkerRow(m_index, row);
}

void CVQDownloadWorker::ClearRow() {
    m_doc.WorkerRow(m_index, CVQWorkerRow{});
}

void CVQDownloadWorker::Handle() {
    CVQDownloadState& state = m_doc.Run();
    const CVQPrjSettings& settings = m_doc.Settings();
    CVQDocNode* node = m_node;
    ++state.filesHandled;

    const int retries = settings.retries;
    const bool isHtml = !node || node->IsHtml();
    const bool treatAsDirectory = !node || node->retries < retries / 2;
    const CVQLocalPath local = m_doc.MapToLocalPath(m_address, treatAsDirectory, isHtml);
    if (local.madeHarmless)
        m_doc.Log().Text(VQFormat(IDS_LOG_NAME_REDUCED, m_address.c_str(), local.path.c_str()));
    const std::string referrer = node ? ParentAddress(*node) : settings.refererUrl;

    if (!PauseBetweenFiles())
        return; // stopped: the node stays taken and the next run takes it up again
    m_firstFile = false;

    Attempt attempt;
    attempt.address = m_address;
    attempt.localPath = local.path;
    attempt.wasIncomplete = node && node->reason == kReasonIncomplete;
    attempt.resume = attempt.wasIncomplete;
    attempt.knownSize = node ? node->size.load() : 0;
    const bool lastAttempt = !node || node->retries >= retries;
    attempt.ok = m_inet.Download(attempt.address, attempt.localPath, m_index, m_doc, lastAttempt,
                                 attempt.canRetry, attempt.interrupted, attempt.knownSize, referrer,
                                 attempt.group, attempt.contentClass, 0, node, &attempt.resume);
    if (attempt.ok)
        Succeeded(attempt);
    else
        Failed(attempt);
    if (m_node)
        m_run.NextNode().Release(*m_node);
}

CVQDocNode* CVQDownloadWorker::MakeStartNode(const Attempt& attempt) {
    const CVQFileClass cls = [this, &attempt] {
        std::lock_guard lock(m_doc.QueueLock()); // the settings dialog rebuilds the lists under it
        return vq::ClassifyAddress(m_doc.Settings(), attempt.address);
    }();
    int group = cls.group != 0 ? cls.group : attempt.group;
    int contentClass = attempt.contentClass;
    if (group == 0)
        group = m_inet.ProbeContentKind(attempt.address, m_doc, contentClass);
    const std::string title = FileNameOfPath(attempt.localPath);
    CVQNodeInit init;
    init.kind = group == vq::kGroupHtml ? kNodePage : kNodeFile;
    init.address = attempt.address;
    init.title = title;
    init.localPath = attempt.localPath;
    init.group = group;
    init.contentClass = contentClass;
    init.extEnabled = cls.extEnabled;
    init.dirPosition = 0;
    init.level = 0;
    init.status = kStatusDownloading;
    CVQDocNode* node = m_doc.Tree().AddNode(m_doc.Tree().Root(), init);
    if (node)
        m_doc.TreeNotice(node, VQTreeChange::Added);
    return node;
}

void CVQDownloadWorker::Succeeded(Attempt& attempt) {
    CVQDownloadState& state = m_doc.Run();
    const CVQPrjSettings& settings = m_doc.Settings();
    const bool preview = state.preview;
    CVQDocNode* node = m_node;
    if (!node) {
        node = MakeStartNode(attempt);
        m_node = node;
        if (!node) {
            --state.filesHandled; // the tree is full
            return;
        }
    }

    CVQDocTree& tree = m_doc.Tree();
    tree.SetLocalPath(node, attempt.localPath);
    if (attempt.group != 0) {
        node->group = static_cast<std::uint16_t>(attempt.group);
        node->kind = static_cast<std::uint8_t>(vq::NodeKindFor(
            attempt.group, attempt.contentClass, vq::PathExtension(attempt.localPath), false));
    }
    node->contentClass = static_cast<std::uint8_t>(attempt.contentClass);
    const std::uint64_t size = m_inet.Size();
    node->size = NodeSize(size);
    if (node->reason == kReasonIncomplete)
        node->reason = 0;
    node->status = preview && !node->IsHtml() ? kStatusDownloading : kStatusDownloaded;

    const int disposition = m_inet.Disposition();
    const bool stored = !(preview && !node->IsHtml());
    if (stored && (disposition == kDispTransferred || disposition == kDispFromCache ||
                   !node->HasChildren())) {
        m_parser.ParseFile(attempt.address, attempt.localPath, node, m_index, m_doc);
        if (state.stopRequest) {
            // The scan may have ended early: the next run fetches and reads the page again
            // rather than keep a page whose links were only partly taken.
            DiscardPage(*node);
            node->status = kStatusToAnalyze;
            --state.filesHandled;
            ClearRow();
            return;
        }
    }

    const int rowText = disposition == kDispDone        ? IDS_ROW_UNCHANGED
                        : disposition == kDispFromCache ? IDS_ROW_FROM_CACHE
                                                        : IDS_ENGINE_ROW_DONE;
    ShowRow(attempt.address, VQText(rowText), size);

    // New bytes: a resumed file counts only what this run added.
    const std::uint64_t before = attempt.wasIncomplete ? attempt.knownSize : 0;
    const std::uint64_t added = size > before ? size - before : 0;
    const auto count = [&] {
        ++state.filesStored;
        if (disposition == kDispTransferred) {
            state.bytesStored += added;
            state.bytesAll += size;
        }
    };
    if (preview) {
        if (stored)
            count();
        if (node->IsHtml() && !settings.keepHtml)
            DiscardPage(*node);
    } else if (m_run.NextNode().Filter().KeepPage(*node, size)) {
        count();
    } else {
        DiscardPage(*node);
        --state.filesHandled;
    }
    ReportRow(attempt, 0);
    m_doc.TreeNotice(node, VQTreeChange::Changed);
    m_lastSuccess = Clock::now();
}

void CVQDownloadWorker::DiscardPage(CVQDocNode& node) {
    const std::string path(node.LocalPath());
    if (!path.empty())
        vq::DeleteStoredFiles({{path, node.group}}, true, [this](std::string_view p) {
            return m_doc.IsInsideSaveDirectory(p);
        });
    m_doc.Tree().SetLocalPath(&node, {});
    node.status = kStatusDownloading;
}

void CVQDownloadWorker::RetryLater(CVQDocNode& node) {
    CVQDownloadState& state = m_doc.Run();
    const int retries = m_doc.Settings().retries;
    if (node.retries >= retries / 2) {
        // Further attempts go without the trailing slash, for good.
        std::string address(node.Address());
        if (!address.empty() && vq::IsSlash(address.back())) {
            address.pop_back();
            m_doc.Tree().SetAddress(&node, address);
            m_doc.Tree().SetLocalPath(&node, m_doc.MapToLocalPath(address, false, true).path);
        }
    }
    m_run.Sleep(m_run.Options().retryPauseMs);
    // A special download keeps the node in the state it chose it by.
    const int type = state.downloadType;
    if (IsSpecialDownload(type)) {
        node.selection |= kSelSelected;
        node.status = type == kDownloadSelected ? kStatusToAnalyze : kStatusError;
    } else {
        node.status = kStatusToAnalyze;
    }
    ++node.retries;
    m_run.NextNode().Requeue(node);
}

void CVQDownloadWorker::Failed(Attempt& attempt) {
    CVQDownloadState& state = m_doc.Run();
    CVQDocNode* node = m_node;
    --state.filesHandled;
    const int retries = m_doc.Settings().retries;

    if (attempt.canRetry && node && node->retries < retries) {
        ClearRow();
        RetryLater(*node);
        return;
    }
    if (!attempt.canRetry && attempt.interrupted) {
        ClearRow();
        if (!node)
            return;
        if (attempt.wasIncomplete) {
            node->status = kStatusError;
            node->reason = kReasonIncomplete;
            node->size = NodeSize(StoredLength(attempt.localPath));
            return;
        }
        // Fetched again from the start next time: no partial file stays behind.
        if (m_doc.IsInsideSaveDirectory(attempt.localPath)) {
            std::error_code ec;
            fs::remove(attempt.localPath, ec);
        }
        node->status = kStatusToAnalyze;
        m_run.NextNode().Requeue(*node);
        return;
    }
    RecordFailure(attempt);
    if (node && m_inet.HttpStatus() == 404 && m_doc.Settings().delOutdated)
        DeleteOutdated(*node);
    if (node)
        m_doc.TreeNotice(node, VQTreeChange::Changed);
}

// A failure that is final for this run: status 3 with the error, or 5 for a refusal by a limit.
void CVQDownloadWorker::RecordFailure(const Attempt& attempt) {
    CVQDownloadState& state = m_doc.Run();
    CVQDocNode* node = m_node;
    const int code = m_inet.ErrorCode();
    ReportRow(attempt, code);
    ClearRow();
    const bool refused = m_inet.Disposition() == kDispRefused;
    if (refused)
        ++state.filesFiltered;
    else
        ++state.filesFailed;
    if (!node)
        return;
    if (refused) {
        node->status = kStatusFiltered;
        node->reason = m_inet.SkipReason();
        return;
    }
    node->status = kStatusError;
    const bool incomplete = attempt.wasIncomplete || attempt.resume;
    if (incomplete)
        node->size = NodeSize(StoredLength(attempt.localPath));
    // A retried incomplete file stays incomplete; any other failure keeps the client's code.
    node->reason =
        attempt.canRetry && (attempt.wasIncomplete || attempt.resume) ? kReasonIncomplete : code;
}

void CVQDownloadWorker::DeleteOutdated(CVQDocNode& node) {
    const std::string path(node.LocalPath());
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec) || !m_doc.IsInsideSaveDirectory(path))
        return;
    vq::DeleteStoredFiles({{path, node.group}}, true,
                          [this](std::string_view p) { return m_doc.IsInsideSaveDirectory(p); });
    m_doc.Log().Text(VQFormat(IDS_LOG_FILE_DELETED, path.c_str()));
    m_doc.Tree().SetLocalPath(&node, {});
}

void CVQDownloadWorker::ReportRow(const Attempt& attempt, int errorCode) {
    if (!m_doc.Settings().report)
        return;
    CVQReportRow row;
    row.node = m_node;
    row.address = attempt.address;
    row.errorCode = errorCode;
    row.disposition = m_inet.Disposition();
    row.size = m_inet.Size();
    if (const auto& modified = m_inet.LastModified())
        row.lastModified = vq::LocalTime(static_cast<std::time_t>(*modified));
    m_doc.Report().Row(row);
}
