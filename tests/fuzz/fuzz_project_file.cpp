// Any bytes read as a project file: no crash, a consistent tree, and whatever opens survives a
// save and a reload unchanged.
#include "desktop/project/doc_tree.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/project_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CVQPrjSettings settings;
    CVQDocTree tree;
    if (CVQProjectFile::ReadBytes(bytes, "/p/", settings, tree) != VQFileResult::Ok)
        return 0;
    if (!tree.Root() || tree.Recount() != tree.NodeCount())
        std::abort();
    settings.trStruct = 1; // the view is always written as the site structure
    const std::string once = CVQProjectFile::WriteBytes(settings, tree, "/p/");
    CVQPrjSettings again;
    CVQDocTree againTree;
    if (CVQProjectFile::ReadBytes(once, "/p/", again, againTree) != VQFileResult::Ok)
        std::abort();
    if (!(again == settings) || againTree.NodeCount() != tree.NodeCount())
        std::abort();
    if (CVQProjectFile::WriteBytes(again, againTree, "/p/") != once)
        std::abort();
    return 0;
}
