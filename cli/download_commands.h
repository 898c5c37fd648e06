// The commands that run a download or the conversion pass: download, mirror, convert, and the
// desktop program's command line (a project path with -D, -E, -DISC, -SHUT, -CONV).
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}
struct CVQCliContext;

namespace vq {

void AddDownloadCommands(CLI::App& app, CVQCliContext& context, int& exitCode);

// Whether the arguments are the desktop program's command line rather than a command: the first
// one is neither a command's name nor an option of this program.
bool IsDesktopCommandLine(const std::vector<std::string>& args, const CLI::App& app);
int RunDesktopCommandLine(CVQCliContext& context, const std::vector<std::string>& args);

} // namespace vq
