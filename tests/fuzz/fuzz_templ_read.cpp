// Any template text reads without harm, and what is read is written back in a stable form.
#include "desktop/project/prj_settings.h"
#include "desktop/project/templ.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CVQPrjSettings first;
    CVQTempl::ReadText(text, first);
    if (first.startUrl.empty() || first.startUrl.size() > CVQPrjSettings::kMaxStartUrls)
        std::abort();
    for (const CVQCustomArray& list : first.fileExt)
        for (const CVQFileExt& entry : list)
            if (entry.ext.empty() || entry.ext.size() > CVQFileExt::kMaxLength)
                std::abort();

    // One round may reorder extensions and turn flags into 0 or 1; after it the text is fixed.
    CVQPrjSettings second;
    if (!CVQTempl::ReadText(CVQTempl::WriteText(first), second))
        std::abort();
    const std::string written = CVQTempl::WriteText(second);
    CVQPrjSettings third;
    if (!CVQTempl::ReadText(written, third) || CVQTempl::WriteText(third) != written)
        std::abort();
    return 0;
}
