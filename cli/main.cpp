// velloquin-cli: the terminal front end over the same core as the desktop program.
#include "cli/cli_context.h"
#include "cli/download_commands.h"
#include "cli/project_commands.h"
#include "desktop/resources/string_table.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    CVQCliContext context(std::cout, std::cerr);
    context.Load();

    CLI::App app(VQText(IDS_CLI_DESCRIPTION), "velloquin-cli");
    app.require_subcommand(1);
    int exitCode = kExitCompleted;
    vq::AddProjectCommands(app, context, exitCode);
    vq::AddDownloadCommands(app, context, exitCode);

    const std::vector<std::string> args(argv + 1, argv + argc);
    if (vq::IsDesktopCommandLine(args, app))
        return vq::RunDesktopCommandLine(context, args);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error, std::cout, std::cerr);
        return code == 0 ? kExitCompleted : kExitError;
    }
    return exitCode;
}
