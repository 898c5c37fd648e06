// A contents file copied from anywhere: reading never fails hard, links stay inside the record
// list, and no resolved path climbs out of the folder.
#include "common/contents_file/contents_file.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/vq_fuzz_contents_" + std::to_string(getpid()) + ".vqx";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    CVQContentsFile file;
    if (!file.Open(path))
        return 0;
    const int count = static_cast<int>(file.Records().size());
    for (const CVQContentsRecord& r : file.Records()) {
        for (int link : {r.prev, r.next, r.parent, r.firstChild})
            if (link < -1 || link >= count)
                std::abort();
        const std::string resolved = ResolveContentsPath(r.localPath, "/dev/card");
        if (!resolved.empty() && resolved.rfind("/dev/card/", 0) != 0)
            std::abort();
    }
    if (static_cast<int>(file.PreOrder().size()) > count)
        std::abort();
    std::string title;
    CVQContentsFile::ReadProjectTitle(path, title);
    return 0;
}
