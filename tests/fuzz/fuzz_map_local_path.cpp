// Any address, mapped with any layout, stays inside the save directory.
#include "desktop/address/address.h"
#include "desktop/address/local_path_mapper.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    CVQPathRules rules;
    rules.saveDir = "/save/";
    rules.startDirUrl = "http://h.com/a/b/";
    rules.dirStructure = data[0] % 3;
    rules.keepQuery = (data[0] & 4) != 0;
    rules.retainFileNames = (data[0] & 8) != 0;
    rules.htmlExtensions = {"htm", "html", "asp", "php"};
    const std::string address(reinterpret_cast<const char*>(data + 1), size - 1);
    const CVQLocalPath mapped = CVQLocalPathMapper(rules).Map(address, (data[0] & 16) != 0, true);
    const std::string rel = mapped.path.substr(rules.saveDir.size());
    if (mapped.path.rfind(rules.saveDir, 0) != 0 || rel.empty() || rel[0] == '/' ||
        ("/" + rel + "/").find("/../") != std::string::npos)
        std::abort();
    std::string dir = vq::DirectoryUrl(address);
    (void)vq::ResolveLink(address, dir, address);
    return 0;
}
