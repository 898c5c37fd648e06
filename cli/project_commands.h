// The commands that make or read a project without downloading: new, tree, log and
// export-contents.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}
class CVQDoc;
struct CVQCliContext;

// What a new project is made from (the arguments of "new" and "mirror").
struct CVQNewProject {
    std::string url;
    std::string projectPath;   // empty: the title with ".vqp" in projectFolder
    std::string projectFolder; // empty: the current folder
    std::string dir;           // empty: VQ_PROJECT_DIR from the defaults and the template
    std::string title;         // empty: the server's name
    std::string templ;
    std::vector<std::string> sets;
};

namespace vq {

void AddProjectCommands(CLI::App& app, CVQCliContext& context, int& exitCode);

// Makes the project in doc and saves it; an exit code (kExitError after a message).
int CreateProject(const CVQCliContext& context, CVQDoc& doc, const CVQNewProject& request);

// The address as typed, with "http://" before a server name that comes without a protocol.
std::string StartAddress(const std::string& typed);

} // namespace vq
