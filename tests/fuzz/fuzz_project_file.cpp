// Any bytes read as a project file: no crash, a consistent tree, and what is saved of it reads
// back as it was written. The first save may still carry oddities of the damaged input (node
// addresses without a protocol, which a start address of another file then resolves), so the
// exact round trip is required from the second save on.
#include "desktop/project/doc_tree.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/project_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

// Reads bytes (aborting when a file of ours does not open) and saves them again.
std::string ReadAndSave(std::string_view bytes, CVQPrjSettings& settings, bool mustOpen) {
    CVQDocTree tree;
    if (CVQProjectFile::ReadBytes(bytes, "/p/", settings, tree) != VQFileResult::Ok) {
        if (mustOpen)
            std::abort();
        return {};
    }
    if (!tree.Root() || tree.Recount() != tree.NodeCount())
        std::abort();
    settings.trStruct = 1; // the view is always written as the site structure
    return CVQProjectFile::WriteBytes(settings, tree, "/p/");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CVQPrjSettings first;
    const std::string once =
        ReadAndSave(std::string_view(reinterpret_cast<const char*>(data), size), first, false);
    if (once.empty())
        return 0;
    CVQPrjSettings second;
    const std::string twice = ReadAndSave(once, second, true);
    CVQPrjSettings third;
    const std::string thrice = ReadAndSave(twice, third, true);
    if (!(third == second) || thrice != twice)
        std::abort();
    return 0;
}
