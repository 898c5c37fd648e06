// download, mirror and the desktop program's command line.
#include "cli/download_commands.h"

#include "cli/cli_context.h"
#include "cli/convert_command.h"
#include "cli/download_run.h"
#include "cli/project_commands.h"
#include "cli/setting_assignment.h"
#include "cli/terminal_observer.h"
#include "desktop/address/address.h"
#include "desktop/engine/conversion_pass.h"
#include "desktop/project/doc.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"
#include "desktop/shell/after_download.h"
#include "desktop/shell/command_line.h"
#include "platform/power_off.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>

namespace fs = std::filesystem;

namespace {

struct CVQDownloadArgs {
    std::string project;
    int type = 0;
    bool preview = false;
    std::string branch;
    int speed = 0;
    bool fullSpeed = false;
};

struct CVQConvertArgs {
    std::string project;
    bool all = false;
};

struct CVQMirrorArgs {
    std::string url;
    std::string dir;
    std::vector<std::string> sets;
    int speed = 0;
    bool fullSpeed = false;
};

// An unattended project on the terminal.
struct RunProject {
    explicit RunProject(const CVQCliContext& context)
        : observer(context.out, context.err, CVQTerminalObserver::StdoutIsTerminal()),
          doc(context.options) {
        doc.SetObserver(&observer);
        doc.SetUserPresent(false);
    }
    CVQTerminalObserver observer;
    CVQDoc doc;
};

// Where the copy can be opened, and the report when there is one.
void PrintWhereTheCopyIs(const CVQCliContext& context, CVQDoc& doc) {
    // The download has ended: nothing else touches the tree, whose look-up takes its own lock.
    std::string start;
    const std::vector<std::string> urls = doc.Settings().DownloadUrls();
    if (const CVQDocNode* node = urls.empty() ? nullptr : doc.Tree().FindByAddress(urls[0]))
        start = node->LocalPath();
    std::error_code ec;
    const std::string folder = doc.SaveDirInUse();
    if (!start.empty() && fs::is_regular_file(start, ec))
        context.out << VQFormat(IDS_CLI_COPY_AT, folder.c_str(), start.c_str()) << '\n';
    else
        context.out << VQFormat(IDS_CLI_COPY_IN, folder.c_str()) << '\n';
    const std::string report = doc.ReportPath();
    if (fs::is_regular_file(report, ec))
        context.out << VQFormat(IDS_CLI_REPORT_AT, report.c_str()) << '\n';
    context.out.flush();
}

// "--full-speed": no pauses at the highest speed level ("NoPacing" for this run).
void TakeSpeed(CVQCliContext& context, bool fullSpeed) {
    if (fullSpeed)
        context.options.noPacing = true;
}

int Download(CVQCliContext& context, const CVQDownloadArgs& args) {
    TakeSpeed(context, args.fullSpeed);
    RunProject p(context);
    if (!context.OpenProject(p.doc, context.Absolute(args.project)))
        return kExitError;
    CVQStartRequest request;
    request.type = args.type;
    request.preview = args.preview;
    if (!args.branch.empty()) {
        request.branch = p.doc.Tree().FindByAddress(vq::StartAddress(args.branch));
        if (!request.branch)
            return context.Fail(VQFormat(IDS_CLI_NO_BRANCH, args.branch.c_str()));
    }
    CVQDownloadRun run(context, p.doc, p.observer);
    run.SetSpeedLevel(args.speed);
    return run.Run(request).exitCode;
}

int Convert(CVQCliContext& context, const CVQConvertArgs& args) {
    RunProject p(context);
    if (!context.OpenProject(p.doc, context.Absolute(args.project)))
        return kExitError;
    return vq::ConvertProject(context, p.doc, p.observer,
                              args.all ? kConvertAllFiles : kConvertNewFiles);
}

// The one project file in a folder, if there is exactly one.
std::string ProjectIn(const std::string& folder) {
    std::string found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        if (entry.path().extension() != ".vqp" || !entry.is_regular_file(ec))
            continue;
        if (!found.empty())
            return {};
        found = entry.path().string();
    }
    return found;
}

int Mirror(CVQCliContext& context, const CVQMirrorArgs& args) {
    const std::string url = vq::StartAddress(args.url);
    const std::string dir = context.Absolute(
        args.dir.empty() ? vq::LegalFileName(vq::HostName(url).empty() ? "copy" : vq::HostName(url))
                         : args.dir);
    TakeSpeed(context, args.fullSpeed);
    RunProject p(context);
    const std::string existing = ProjectIn(dir);
    if (!existing.empty()) {
        // Mirroring into a copy made before updates it.
        if (!context.OpenProject(p.doc, existing))
            return kExitError;
        const std::vector<std::string> urls = p.doc.Settings().DownloadUrls();
        if (urls.empty() || !vq::SameAddress(urls[0], url))
            return context.Fail(
                VQFormat(IDS_CLI_OTHER_PROJECT, dir.c_str(), urls.empty() ? "" : urls[0].c_str()));
        for (const std::string& assignment : args.sets) {
            std::string error;
            if (!vq::ApplySettingAssignment(assignment, p.doc.Settings(), error))
                return context.Fail(error);
        }
        p.doc.SettingsChanged();
        p.doc.SetModified();
    } else {
        CVQNewProject request;
        request.url = args.url;
        request.projectFolder = dir;
        request.dir = dir;
        request.sets = args.sets;
        if (const int code = vq::CreateProject(context, p.doc, request); code != kExitCompleted)
            return code;
    }
    CVQDownloadRun run(context, p.doc, p.observer);
    run.SetSpeedLevel(args.speed);
    const CVQDownloadRunResult result = run.Run({});
    if (result.started)
        PrintWhereTheCopyIs(context, p.doc);
    return result.exitCode;
}

// The finishing procedure in a terminal: there is no window to close, so closing the program
// means ending once the procedure is done; options are not written by a program without one.
class CVQTerminalFinish : public CVQFinishActions {
public:
    CVQTerminalFinish(CVQDoc& doc, CVQDownloadRun& run) : m_doc(doc), m_run(run) {}
    bool Countdown(int seconds, int textId) override {
        return m_run.Countdown(seconds, VQText(textId));
    }
    void MarkProjectSaveWithoutQuestion() override { m_doc.SetSaveWithoutQuestion(); }
    void SaveOptions() override {}
    void SaveProject() override { m_doc.Save(); }
    bool ShutDownComputer() override { return vq::RequestPowerOff(); }
    void CloseProgram() override {}

private:
    CVQDoc& m_doc;
    CVQDownloadRun& m_run;
};

void AddTypeOption(CLI::App* command, int& type) {
    const std::map<std::string, int> types = {{"new", kDownloadNew},
                                              {"continue", kDownloadContinue},
                                              {"selected", kDownloadSelected},
                                              {"failed", kDownloadFailed},
                                              {"incomplete", kDownloadIncomplete}};
    command->add_option("--type", type, VQText(IDS_CLI_DOWNLOAD_TYPE))
        ->transform(CLI::CheckedTransformer(types, CLI::ignore_case));
}

void AddSpeedOptions(CLI::App* command, int& speed, bool& fullSpeed) {
    command->add_option("--speed", speed, VQText(IDS_CLI_SPEED))->check(CLI::Range(1, 10));
    command->add_flag("--full-speed", fullSpeed, VQText(IDS_CLI_FULL_SPEED));
}

} // namespace

namespace vq {

void AddDownloadCommands(CLI::App& app, CVQCliContext& context, int& exitCode) {
    auto download = std::make_shared<CVQDownloadArgs>();
    CLI::App* d = app.add_subcommand("download", VQText(IDS_CLI_DOWNLOAD));
    d->add_option("PROJECT", download->project, VQText(IDS_CLI_PROJECT))->required();
    AddTypeOption(d, download->type);
    d->add_flag("--preview", download->preview, VQText(IDS_CLI_PREVIEW));
    d->add_option("--branch", download->branch, VQText(IDS_CLI_BRANCH));
    AddSpeedOptions(d, download->speed, download->fullSpeed);
    d->callback([&context, &exitCode, download] { exitCode = Download(context, *download); });

    auto convert = std::make_shared<CVQConvertArgs>();
    CLI::App* c = app.add_subcommand("convert", VQText(IDS_CLI_CONVERT));
    c->add_option("PROJECT", convert->project, VQText(IDS_CLI_PROJECT))->required();
    c->add_flag("--all", convert->all, VQText(IDS_CLI_CONVERT_ALL));
    c->callback([&context, &exitCode, convert] { exitCode = Convert(context, *convert); });

    auto mirror = std::make_shared<CVQMirrorArgs>();
    CLI::App* m = app.add_subcommand("mirror", VQText(IDS_CLI_MIRROR));
    m->add_option("URL", mirror->url, VQText(IDS_CLI_NEW_URL))->required();
    m->add_option("-o,--output", mirror->dir, VQText(IDS_CLI_MIRROR_OUTPUT));
    m->add_option("--set", mirror->sets, VQText(IDS_CLI_SET))->allow_extra_args(false);
    AddSpeedOptions(m, mirror->speed, mirror->fullSpeed);
    m->callback([&context, &exitCode, mirror] { exitCode = Mirror(context, *mirror); });
}

bool IsDesktopCommandLine(const std::vector<std::string>& args, const CLI::App& app) {
    if (args.empty())
        return false;
    const std::string& first = args.front();
    if (first.rfind("--", 0) == 0 || first == "-h")
        return false;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; }))
        if (command->check_name(first))
            return false;
    return true;
}

int RunDesktopCommandLine(CVQCliContext& context, const std::vector<std::string>& args) {
    const CVQCommandLine line = CVQCommandLine::Parse(args, context.currentDir);
    if (!line.HasProject()) {
        // The switches act only on a project named beside them.
        context.err << VQText(IDS_CLI_NO_PROJECT) << std::endl;
        return kExitCompleted;
    }
    RunProject p(context);
    if (!context.OpenProject(p.doc, line.projectPath))
        return kExitError;
    // -CONV without -D: "Convert Links" over every stored file, the scope a project opens with.
    if (line.ConvertsProject())
        return vq::ConvertProject(context, p.doc, p.observer, kConvertAllFiles);
    if (!line.DownloadsProject()) {
        context.out << VQFormat(IDS_CLI_NOTHING_TO_DO, line.projectPath.c_str()) << std::endl;
        return kExitCompleted;
    }
    CVQDownloadRun run(context, p.doc, p.observer);
    const CVQDownloadRunResult result = run.Run({});
    if (!result.started)
        return result.exitCode;
    CVQDownloadEnd end;
    end.commandLine = line;
    end.optionAutoShutdown = context.options.autoShutdown;
    end.optionAutoDisconnect = context.options.autoDisconn;
    end.connType = context.options.connType;
    end.stopped = result.outcome.stoppedByUser;
    CVQTerminalFinish finish(p.doc, run);
    RunFollowUp(end, finish);
    return result.exitCode;
}

} // namespace vq
