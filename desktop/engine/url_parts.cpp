// Splitting an address into the parts the URL filters match.
#include "desktop/engine/url_parts.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"

#include <array>
#include <utility>

namespace vq {

namespace {

struct PrefixBit {
    std::string_view prefix;
    int bit;
};

// The order decides: an address that contains "http://" anywhere is an http address.
constexpr std::array<PrefixBit, 4> kPrefixes = {{{"http://", kProtoHttp},
                                                 {"https://", kProtoHttps},
                                                 {"ftp://", kProtoFtp},
                                                 {"file://", kProtoFile}}};

} // namespace

CVQUrlParts SplitUrlForFilters(std::string_view address) {
    CVQUrlParts parts;
    std::string_view rest = address;
    for (const PrefixBit& p : kPrefixes) {
        const std::size_t at = FindIgnoreCase(address, p.prefix);
        if (at == std::string_view::npos)
            continue;
        parts.protocol = p.bit;
        rest = address.substr(at + p.prefix.size());
        break;
    }

    const char sep = rest.find('/') != std::string_view::npos ? '/' : '\\';
    const std::size_t first = rest.find(sep);
    parts.server = std::string(rest.substr(0, first));
    if (first == std::string_view::npos)
        return parts;

    std::string_view remainder = rest.substr(first + 1);
    const std::size_t last = remainder.rfind(sep);
    const std::string_view segment =
        last == std::string_view::npos ? remainder : remainder.substr(last + 1);
    if (segment.find('.') != std::string_view::npos) {
        parts.file = std::string(segment);
        remainder = last == std::string_view::npos ? std::string_view() : remainder.substr(0, last);
    }
    if (!remainder.empty() && remainder.back() == sep)
        remainder.remove_suffix(1);
    parts.directory = std::string(remainder);
    return parts;
}

std::string_view AddressExtension(std::string_view address) {
    const std::size_t slash = FindLastSlash(address);
    std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
    name = name.substr(0, name.find_first_of("?^#;"));
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

} // namespace vq
