// The end of a download.
#include "desktop/engine/run_end.h"

#include "desktop/engine/run_context.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

namespace {

int StopTextId(int reason) {
    switch (reason) {
    case kStopFileCount:
        return IDS_LOG_STOP_FILES;
    case kStopTime:
        return IDS_LOG_STOP_TIME;
    case kStopDiskSpace:
        return IDS_LOG_STOP_DISK;
    default:
        return 0;
    }
}

} // namespace

bool CVQRunEnd::ShouldConvert() const {
    const CVQDoc& doc = m_run.Doc();
    const CVQPrjSettings& s = doc.Settings();
    // Converting during the download leaves the links to files fetched after their page; the
    // pages holding them are marked, and the pass converts them.
    const bool flagged = doc.LinksNeedConversion() && !doc.Run().preview && s.updLinks != 0;
    return m_run.Request().convert || flagged;
}

bool CVQRunEnd::Countdown(int textId) const {
    const auto& countdown = m_run.Hooks().countdown;
    return !countdown || countdown(m_run.Options().countdownSeconds, VQText(textId));
}

void CVQRunEnd::Finish() {
    CVQDoc& doc = m_run.Doc();
    CVQDownloadState& state = doc.Run();
    const CVQEngineHooks& hooks = m_run.Hooks();
    const bool closing = state.closing;
    const bool preview = state.preview;

    if (!closing) {
        if (ShouldConvert() && Countdown(IDS_ENGINE_CONVERT_COUNTDOWN)) {
            doc.Status(VQText(IDS_ENGINE_CONVERTING));
            if (hooks.convertLinks)
                hooks.convertLinks(doc);
        }
        if (doc.Settings().autoSynchPr && Countdown(IDS_ENGINE_SYNC_COUNTDOWN) && hooks.autoSync)
            hooks.autoSync->Export(doc);
    }

    const bool stopped = state.stopRequest || state.stopReason != kStopNone;
    doc.Settings().runState = stopped   ? kRunStopped
                              : preview ? kRunPreviewCompleted
                                        : kRunCompleted;
    const int reason = state.stopReason;
    if (!closing) {
        if (stopped) {
            std::string text = VQText(IDS_ENGINE_STOPPED);
            if (const int id = StopTextId(reason))
                text += VQText(id);
            doc.Status(text);
        } else {
            doc.Status(VQText(IDS_ENGINE_COMPLETED));
        }
        m_run.SendTotals();
        if (stopped)
            doc.Log().Stopped(preview, vq::LocalTime(), reason);
        else
            doc.Log().Completed(preview, vq::LocalTime());
    }

    state.running = false;
    state.preview = false;
    state.stoppedByUser = state.stopRequest.load();
    doc.Log().Summary(state.filesStored, state.bytesStored);
    if (doc.Settings().report)
        doc.Report().End();
    doc.SetModified();

    if (closing || !hooks.downloadEnded)
        return;
    CVQDownloadOutcome outcome;
    outcome.runState = doc.Settings().runState;
    outcome.stopReason = reason;
    outcome.stoppedByUser = state.stoppedByUser;
    outcome.preview = preview;
    outcome.unattended = m_run.Request().unattended;
    outcome.scheduled = m_run.Request().scheduled;
    hooks.downloadEnded(outcome);
}
