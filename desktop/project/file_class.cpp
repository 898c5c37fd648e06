// Classification of names by the project's extension lists.
#include "desktop/project/file_class.h"

#include "desktop/address/text_util.h"
#include "desktop/project/prj_settings.h"

namespace vq {

std::string_view PathExtension(std::string_view path) {
    const std::size_t slash = FindLastSlash(path);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

CVQFileClass ClassifyExtension(const CVQPrjSettings& settings, std::string_view ext) {
    CVQFileClass result;
    if (ext.empty())
        return result;
    for (int group : kFileGroupOrder) {
        const CVQCustomArray* list = settings.ExtList(group);
        const CVQFileExt* entry = list ? FindExt(*list, ext) : nullptr;
        if (!entry)
            continue;
        result.group = group;
        result.extEnabled = entry->enabled;
        result.entry = entry;
        return result;
    }
    return result;
}

CVQFileClass ClassifyAddress(const CVQPrjSettings& settings, std::string_view address) {
    const std::size_t slash = FindLastSlash(address);
    std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
    const std::size_t query = name.find_first_of("?^");
    if (query == 0 || name.empty()) {
        CVQFileClass page;
        page.group = kGroupHtml;
        return page;
    }
    if (query != std::string_view::npos)
        name = name.substr(0, query);
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return {};
    return ClassifyExtension(settings, name.substr(dot + 1));
}

} // namespace vq
