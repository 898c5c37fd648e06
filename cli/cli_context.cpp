// Options, paths and messages shared by the commands of the terminal front end.
#include "cli/cli_context.h"

#include "desktop/project/doc.h"
#include "desktop/resources/string_table.h"
#include "platform/registry.h"

#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

CVQCliContext::CVQCliContext(std::ostream& outStream, std::ostream& errStream)
    : out(outStream), err(errStream) {}

void CVQCliContext::Load() {
    const CVQRegistry registry;
    options.Load(registry, CVQScreenMetrics{});
    std::error_code ec;
    currentDir = fs::current_path(ec).string();
}

std::string CVQCliContext::Absolute(std::string_view path) const {
    if (path.empty() || path.front() == '/')
        return fs::path(path).lexically_normal().string();
    return (fs::path(currentDir) / path).lexically_normal().string();
}

int CVQCliContext::Fail(const std::string& message) const {
    err << message << '\n';
    return kExitError;
}

bool CVQCliContext::OpenProject(CVQDoc& doc, const std::string& path) const {
    std::error_code ec;
    // A missing file would otherwise leave a log file of its name behind.
    if (!fs::is_regular_file(path, ec)) {
        Fail(VQFormat(IDS_CANNOT_OPEN_FILE, path.c_str()));
        return false;
    }
    return doc.Load(path);
}
