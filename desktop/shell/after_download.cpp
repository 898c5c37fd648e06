#include "desktop/shell/after_download.h"

#include "desktop/resources/string_table.h"

namespace {

constexpr int kShutdownSeconds = 10;
constexpr int kDialUpConnection = 1;

} // namespace

VQFollowUp ChooseFollowUp(const CVQDownloadEnd& end) {
    if (end.stopped)
        return VQFollowUp::None;
    const CVQCommandLine& cl = end.commandLine;
    if (cl.DownloadsProject()) {
        if (cl.exit)
            return cl.shutdown ? VQFollowUp::FinishWithShutdown : VQFollowUp::Finish;
        return cl.shutdown ? VQFollowUp::FinishWithShutdown : VQFollowUp::None;
    }
    if (end.scheduled.inProgress)
        return end.scheduled.autoShutdown ? VQFollowUp::FinishWithShutdown : VQFollowUp::None;
    return end.optionAutoShutdown ? VQFollowUp::FinishWithShutdown : VQFollowUp::None;
}

bool ShouldDisconnect(const CVQDownloadEnd& end) {
    if (end.stopped || end.connType != kDialUpConnection || !end.dialledByProgram)
        return false;
    if (end.commandLine.DownloadsProject())
        return end.commandLine.disconnect;
    if (end.scheduled.inProgress)
        return end.scheduled.autoDisconnect;
    return end.optionAutoDisconnect;
}

void FinishProgram(bool shutdown, CVQFinishActions& actions) {
    actions.MarkProjectSaveWithoutQuestion();
    if (shutdown) {
        if (!actions.Countdown(kShutdownSeconds, IDS_COUNTDOWN_SHUTDOWN))
            return;
        actions.SaveOptions();
        actions.SaveProject();
        if (actions.ShutDownComputer())
            return;
    }
    actions.CloseProgram();
}

void RunFollowUp(const CVQDownloadEnd& end, CVQFinishActions& actions) {
    const VQFollowUp followUp = ChooseFollowUp(end);
    if (followUp != VQFollowUp::None)
        FinishProgram(followUp == VQFollowUp::FinishWithShutdown, actions);
}
