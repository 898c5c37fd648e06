// Starting, running and stopping a download.
#include "desktop/engine/download_engine.h"

#include "desktop/address/address.h"
#include "desktop/engine/download_type.h"
#include "desktop/engine/run_context.h"
#include "desktop/engine/run_end.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <algorithm>
#include <chrono>
#include <ctime>

CVQDownloadEngine::CVQDownloadEngine(CVQDoc& doc, CVQEngineOptions options)
    : m_doc(doc), m_options(options), m_nextNode(doc), m_linkRules(m_nextNode.Filter()) {
    m_doc.SetLinkRules(&m_linkRules);
}

CVQDownloadEngine::~CVQDownloadEngine() {
    StopForClose();
    if (m_doc.LinkRules() == &m_linkRules)
        m_doc.SetLinkRules(nullptr);
}

void CVQDownloadEngine::SetConversionRule(CVQEngineLinkRules::ConversionRule rule) {
    m_linkRules.SetConversionRule(std::move(rule));
}

bool CVQDownloadEngine::IsRunning() const {
    return !m_controlDone;
}

CVQTreeCounts CVQDownloadEngine::Counts() {
    return vq::CountTree(m_doc);
}

int CVQDownloadEngine::ChooseDownloadType(bool unattended) {
    const int runState = m_doc.Settings().runState;
    if (unattended)
        return vq::UnattendedDownloadType(runState);
    const CVQDownloadTypeChoice choice = vq::DownloadTypeChoice(runState, Counts());
    if (!choice.ask)
        return choice.preselected;
    const int type = m_doc.ChooseDownloadType(choice.offered, choice.preselected);
    return (type & choice.offered) == type ? type : 0;
}

bool CVQDownloadEngine::Start(CVQStartRequest request) {
    if (IsRunning())
        return false;
    if (m_control.joinable())
        m_control.join();
    if (request.preview)
        request.branch = nullptr;
    const int type = request.type ? request.type : ChooseDownloadType(request.unattended);
    if (type == 0)
        return false;
    request.type = type;

    std::vector<std::string> startList;
    m_doc.Status(VQText(IDS_ENGINE_STARTING));
    if (!Prepare(request, type, startList)) {
        m_doc.Status(VQText(IDS_ENGINE_STOPPED));
        return false;
    }
    m_request = request;
    {
        std::lock_guard lock(m_contextLock);
        m_context =
            std::make_unique<CVQRunContext>(m_doc, m_options, m_hooks, m_request, m_nextNode);
    }
    m_controlDone = false;
    m_control = std::thread(&CVQDownloadEngine::Control, this, std::move(startList));
    return true;
}

void CVQDownloadEngine::PrepareTree(const CVQStartRequest& request, int type) {
    CVQDocTree& tree = m_doc.Tree();
    CVQDocNode* branch = request.branch;
    switch (type) {
    case kDownloadNew: {
        bool clear = m_doc.Settings().trInit != 0 && !branch;
        // After a completed preview the user decides whether its tree is kept.
        if (clear && !request.preview && m_doc.Settings().runState == kRunPreviewCompleted &&
            !request.unattended)
            clear = m_doc.Ask(VQText(IDS_ENGINE_INIT_TREE), false, VQAnswer::No, VQAnswer::No) ==
                    VQAnswer::Yes;
        if (clear) {
            tree.CreateRoot(m_doc.Settings().title);
            m_doc.TreeNotice(nullptr, VQTreeChange::Reloaded);
        } else {
            tree.ResetForNewDownload(branch);
        }
        break;
    }
    case kDownloadContinue:
        tree.PrepareContinue(branch);
        break;
    case kDownloadFailed:
        tree.PrepareFailedOnly(branch);
        break;
    case kDownloadIncomplete:
        tree.PrepareIncompleteOnly(branch);
        break;
    default:
        break; // the selection as it is
    }
}

bool CVQDownloadEngine::Prepare(const CVQStartRequest& request, int type,
                                std::vector<std::string>& startList) {
    CVQPrjSettings& settings = m_doc.Settings();
    CVQDownloadState& state = m_doc.Run();
    state.downloadType = type;
    state.preview = request.preview;
    state.branchMode = request.branch != nullptr;
    state.branchNode = request.branch;
    PrepareTree(request, type);

    if (!m_doc.ExpandSaveDirectory(true)) {
        m_doc.Message(VQFormat(IDS_ENGINE_SAVE_DIR_FAILED, m_doc.SaveDirInUse().c_str()),
                      VQIcon::Stop);
        state.preview = false;
        state.branchMode = false;
        state.branchNode = nullptr;
        return false;
    }
    // Every backslash of a start address becomes a slash; a branch is its node's address.
    if (request.branch) {
        startList.push_back(std::string(request.branch->Address()));
    } else {
        startList = settings.DownloadUrls();
        if (startList.size() > CVQPrjSettings::kMaxStartUrls)
            startList.resize(CVQPrjSettings::kMaxStartUrls);
    }
    for (std::string& address : startList)
        std::replace(address.begin(), address.end(), '\\', '/');
    const std::vector<std::string> urls = settings.DownloadUrls();
    const std::string first = urls.empty() ? std::string() : urls.front();
    m_doc.SetStartDirUrl(vq::DirectoryUrl(first));

    state.running = true;
    state.stopRequest = false;
    state.stopReason = kStopNone;
    state.paused = false;
    state.closing = false;
    state.stoppedByUser = false;
    m_doc.SetLinksNeedConversion(false);
    state.keepWaiting = true;
    state.ClearWorkerSlots();
    state.startTime = static_cast<std::int64_t>(std::time(nullptr));
    state.threadLimit = std::clamp(settings.threads, 1, CVQRunContext::kMaxWorkers);
    state.ResetCounters();
    if (type == kDownloadContinue) {
        std::uint64_t downloaded = 0;
        m_doc.Tree().WalkPreOrder(nullptr, [&downloaded](CVQDocNode& n) {
            downloaded += n.status == kStatusDownloaded;
            return true;
        });
        state.filesStored = downloaded;
    }

    m_doc.Log().SetPath(m_doc.LogPath());
    m_doc.Log().Start(settings.keepLogFile != 0);
    if (settings.report)
        m_doc.Report().Start(m_doc.ReportPath());

    CVQInet::SetWorkOffline(false);
    if (m_hooks.dialUp) {
        std::string message;
        if (!m_hooks.dialUp->Connect(m_doc, message))
            m_doc.Log().Text(VQFormat(IDS_LOG_DIALER_ERROR, message.c_str()));
    }

    state.speedLevel = 10;
    settings.runState = kRunRunning;
    if (m_doc.IsModified())
        m_doc.Save();
    m_doc.Tree().Recount();
    m_doc.RebuildAddressIndex();
    settings.conversionScope = 1;
    return true;
}

void CVQDownloadEngine::Control(std::vector<std::string> startList) {
    CVQDownloadState& state = m_doc.Run();
    CVQPrjSettings& settings = m_doc.Settings();
    m_doc.Log().Started(state.preview, vq::LocalTime());
    if (settings.report) {
        CVQReportHeader header;
        header.projectPath = m_doc.PathName();
        header.title = settings.title;
        header.startAddresses = settings.DownloadUrls();
        header.projectDir = settings.projectDir;
        header.started = vq::LocalTime();
        m_doc.Report().Header(header);
    }
    m_doc.Status(VQText(IDS_ENGINE_STARTING));
    if (IsSpecialDownload(state.downloadType)) {
        std::uint64_t chosen = 0;
        const int type = state.downloadType;
        m_doc.Tree().WalkPreOrder(nullptr, [&chosen, type](CVQDocNode& n) {
            chosen += CVQNodeQueue::Qualifies(n, type);
            return true;
        });
        m_context->SetChosenCount(chosen);
    }

    for (std::size_t i = 0; i < startList.size() && !state.stopRequest; ++i)
        RunStartAddress(static_cast<int>(i), startList[i]);

    CVQRunEnd(*m_context).Finish();
    {
        std::lock_guard lock(m_contextLock);
        m_context.reset();
    }
    m_controlDone = true;
}

void CVQDownloadEngine::RunStartAddress(int index, const std::string& address) {
    CVQDownloadState& state = m_doc.Run();
    CVQRunContext& run = *m_context;
    state.startIndex = index;
    // In a branch the server and directory rules keep referring to the site's start.
    const std::vector<std::string> urls = m_doc.Settings().DownloadUrls();
    const std::string& from = state.branchMode && !urls.empty() ? urls.front() : address;
    const std::string startDir = vq::DirectoryUrl(from);
    m_doc.SetStartDirUrl(startDir);
    m_nextNode.Begin(state.downloadType, state.branchNode, startDir);
    state.ClearWorkerSlots();
    state.keepWaiting = true;
    const int workers = std::clamp(state.threadLimit.load(), 1, CVQRunContext::kMaxWorkers);
    for (int w = 0; w < workers; ++w) {
        m_doc.WorkerRow(w, CVQWorkerRow{});
        run.Reserve(w);
    }
    // Workers 0 and 1 start together, every further one a stagger later.
    run.Launch(0, address);
    for (int w = 1; w < workers; ++w) {
        if (state.stopRequest) {
            run.Unreserve(w);
            continue;
        }
        run.Launch(w, {});
        if (w + 1 < workers)
            run.Sleep(m_options.workerStaggerMs);
    }
    run.JoinAll();
    m_nextNode.End();
}

void CVQDownloadEngine::Wake() {
    std::lock_guard lock(m_contextLock);
    if (m_context)
        m_context->WakeAll();
}

void CVQDownloadEngine::Stop() {
    if (!IsRunning())
        return;
    CVQDownloadState& state = m_doc.Run();
    state.stopRequest = true;
    state.paused = false;
    state.converting = false; // the pass after the download ends too
    m_doc.Status(VQText(IDS_ENGINE_STOPPING));
    Wake();
}

void CVQDownloadEngine::StopForClose() {
    if (!m_control.joinable())
        return;
    const bool wasRunning = IsRunning();
    if (wasRunning) {
        m_doc.Run().closing = true;
        Stop();
        m_doc.BeginWait(VQText(IDS_ENGINE_STOP_WAIT));
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.closeWaitMs);
        while (!m_controlDone && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(m_options.stopPollMs));
        m_doc.EndWait();
    }
    // Every step of a worker ends at a stop request, so this returns at once; a worker is
    // never killed in the middle of a lock or a file.
    m_control.join();
    if (!wasRunning)
        return;
    m_doc.Settings().runState = kRunStopped;
    if (!m_doc.PathName().empty())
        m_doc.Save();
}

void CVQDownloadEngine::Pause(bool paused) {
    if (!IsRunning())
        return;
    m_doc.Run().paused = paused;
    m_doc.Status(VQText(paused ? IDS_ENGINE_PAUSED : IDS_ENGINE_DOWNLOADING));
    Wake();
}

void CVQDownloadEngine::Skip(int worker) {
    m_doc.Run().RequestSkip(worker);
}

void CVQDownloadEngine::SetThreadLimit(int threads) {
    m_doc.Settings().threads = threads;
    m_doc.Run().threadLimit = std::clamp(threads, 1, CVQRunContext::kMaxWorkers);
}

void CVQDownloadEngine::WaitUntilEnded() {
    if (m_control.joinable())
        m_control.join();
}
