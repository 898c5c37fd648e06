// new, tree, log and export-contents.
#include "cli/project_commands.h"

#include "cli/cli_context.h"
#include "cli/setting_assignment.h"
#include "cli/terminal_observer.h"
#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/export/contents_export.h"
#include "desktop/project/doc.h"
#include "desktop/project/download_log.h"
#include "desktop/project/templ.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>

namespace fs = std::filesystem;

namespace {

// A project that is only read or made: messages on the terminal, and "No" to every question
// (such as loading the backup copy over the project file).
struct ReadOnlyProject {
    explicit ReadOnlyProject(const CVQCliContext& context)
        : observer(context.out, context.err, false), doc(context.options) {
        observer.SetAnswer(VQAnswer::No);
        doc.SetObserver(&observer);
    }
    CVQTerminalObserver observer;
    CVQDoc doc;
};

int DepthOf(const CVQDocNode& node) {
    int depth = 0;
    for (const CVQDocNode* p = node.parent.load(); p; p = p->parent.load())
        ++depth;
    return depth;
}

std::string NodeLine(const CVQDocNode& node) {
    std::string line(node.Title());
    if (!node.Address().empty())
        line.append("  ").append(node.Address());
    if (node.kind != kNodeRoot)
        line.append("  [").append(vq::StatusText(node)).append("]");
    return line;
}

int PrintTree(const CVQCliContext& context, const std::string& project, int status) {
    ReadOnlyProject p(context);
    if (!context.OpenProject(p.doc, context.Absolute(project)))
        return kExitError;
    std::lock_guard lock(p.doc.TreeLock());
    p.doc.Tree().WalkPreOrder(nullptr, [&](CVQDocNode& node) {
        if (status < 0)
            context.out << std::string(2 * static_cast<std::size_t>(DepthOf(node)), ' ')
                        << NodeLine(node) << '\n';
        else if (node.kind != kNodeRoot && node.status == status)
            context.out << NodeLine(node) << '\n';
        return true;
    });
    context.out.flush();
    return kExitCompleted;
}

int PrintLog(const CVQCliContext& context, const std::string& project) {
    const std::string path = context.Absolute(project);
    if (!CVQDoc::IsProjectFile(path))
        return context.Fail(fs::exists(path) ? VQFormat(IDS_NOT_VALID_PROJECT, path.c_str())
                                             : VQFormat(IDS_CANNOT_OPEN_FILE, path.c_str()));
    const std::string logPath = CVQDownloadLog::PathFor(path, {}, {});
    std::ifstream log(logPath, std::ios::binary);
    if (!log)
        return context.Fail(VQFormat(IDS_CLI_NO_LOG, logPath.c_str()));
    std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    std::erase(text, '\r');
    context.out << text << std::flush;
    return kExitCompleted;
}

int ExportContents(const CVQCliContext& context, const std::string& project,
                   const std::string& file) {
    ReadOnlyProject p(context);
    if (!context.OpenProject(p.doc, context.Absolute(project)))
        return kExitError;
    const CVQContentsExport how = vq::ContentsExportOf(p.doc);
    std::string target = context.Absolute(file);
    std::error_code ec;
    if (fs::is_directory(target, ec))
        target = (fs::path(target) / (how.projectName + ".vqx")).string();
    if (!vq::WriteContentsFile(p.doc, target, how))
        return context.Fail(VQText(IDS_CLI_CONTENTS_FAILED));
    const std::string folder = (fs::path(target).parent_path() / how.projectName).string();
    context.out << VQFormat(IDS_CLI_CONTENTS_WRITTEN, target.c_str(), folder.c_str()) << std::endl;
    return kExitCompleted;
}

std::string ProjectFileFor(const CVQCliContext& context, const CVQNewProject& request,
                           const std::string& title) {
    std::string path = request.projectPath;
    if (path.empty())
        path = (fs::path(request.projectFolder) / (vq::LegalFileName(title) + ".vqp")).string();
    if (fs::path(path).extension().empty())
        path += ".vqp";
    return context.Absolute(path);
}

} // namespace

namespace vq {

std::string StartAddress(const std::string& typed) {
    const std::string address(vq::TrimBlanks(typed));
    if (address.empty() || !vq::ProtocolPrefix(address).empty() ||
        vq::StartsWithIgnoreCase(address, "file:"))
        return address;
    return "http://" + address;
}

int CreateProject(const CVQCliContext& context, CVQDoc& doc, const CVQNewProject& request) {
    doc.NewProject();
    CVQPrjSettings& settings = doc.Settings();
    if (!request.templ.empty()) {
        const std::string templ = context.Absolute(request.templ);
        if (!CVQTempl::Read(templ, settings))
            return context.Fail(VQFormat(IDS_CANNOT_OPEN_FILE, templ.c_str()));
    }
    const std::string url = StartAddress(request.url);
    if (vq::ProtocolPrefix(url).empty() && !vq::StartsWithIgnoreCase(url, "file:"))
        return context.Fail(VQFormat(IDS_CLI_BAD_URL, request.url.c_str()));
    settings.startUrl = {url};
    if (!request.title.empty())
        settings.title = request.title;
    else if (settings.title.empty())
        settings.title = vq::HostName(url);
    if (!request.dir.empty())
        settings.projectDir = vq::DirectoryWithSlash(context.Absolute(request.dir));
    for (const std::string& assignment : request.sets) {
        std::string error;
        if (!vq::ApplySettingAssignment(assignment, settings, error))
            return context.Fail(error);
    }
    if (settings.title.empty())
        settings.title = VQText(IDS_NEW_PROJECT);
    doc.Tree().SetTitle(doc.Tree().Root(), settings.title);
    doc.SettingsChanged();

    const std::string path = ProjectFileFor(context, request, settings.title);
    std::error_code ec;
    if (fs::exists(path, ec))
        return context.Fail(VQFormat(IDS_CLI_PROJECT_EXISTS, path.c_str()));
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (!doc.Save(path))
        return context.Fail(VQFormat(IDS_CLI_NOT_SAVED, path.c_str()));
    context.out << VQFormat(IDS_CLI_PROJECT_CREATED, path.c_str(), url.c_str(),
                            settings.projectDir.c_str())
                << std::endl;
    return kExitCompleted;
}

void AddProjectCommands(CLI::App& app, CVQCliContext& context, int& exitCode) {
    auto request = std::make_shared<CVQNewProject>();
    CLI::App* make = app.add_subcommand("new", VQText(IDS_CLI_NEW));
    make->add_option("URL", request->url, VQText(IDS_CLI_NEW_URL))->required();
    make->add_option("-o,--output", request->projectPath, VQText(IDS_CLI_NEW_OUTPUT));
    make->add_option("--dir", request->dir, VQText(IDS_CLI_NEW_DIR));
    make->add_option("--title", request->title, VQText(IDS_CLI_NEW_TITLE));
    make->add_option("--template", request->templ, VQText(IDS_CLI_NEW_TEMPLATE));
    make->add_option("--set", request->sets, VQText(IDS_CLI_SET))->allow_extra_args(false);
    make->callback([&context, &exitCode, request] {
        // Nothing runs yet: a message (a default template that cannot be read) is for the user.
        ReadOnlyProject p(context);
        exitCode = CreateProject(context, p.doc, *request);
    });

    auto project = std::make_shared<std::string>();
    auto status = std::make_shared<int>(-1);
    CLI::App* tree = app.add_subcommand("tree", VQText(IDS_CLI_TREE));
    tree->add_option("PROJECT", *project, VQText(IDS_CLI_PROJECT))->required();
    tree->add_option("--status", *status, VQText(IDS_CLI_TREE_STATUS))->check(CLI::Range(0, 5));
    tree->callback([&context, &exitCode, project, status] {
        exitCode = PrintTree(context, *project, *status);
    });

    CLI::App* log = app.add_subcommand("log", VQText(IDS_CLI_LOG));
    log->add_option("PROJECT", *project, VQText(IDS_CLI_PROJECT))->required();
    log->callback([&context, &exitCode, project] { exitCode = PrintLog(context, *project); });

    auto file = std::make_shared<std::string>();
    CLI::App* contents = app.add_subcommand("export-contents", VQText(IDS_CLI_EXPORT));
    contents->add_option("PROJECT", *project, VQText(IDS_CLI_PROJECT))->required();
    contents->add_option("FILE", *file, VQText(IDS_CLI_EXPORT_FILE))->required();
    contents->callback([&context, &exitCode, project, file] {
        exitCode = ExportContents(context, *project, *file);
    });
}

} // namespace vq
