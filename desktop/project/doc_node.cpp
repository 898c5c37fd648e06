// Node texts and the status texts shown in the Contents panel, the properties and the report.
#include "desktop/project/doc_node.h"

#include "desktop/resources/string_table.h"

CVQDocNode::CVQDocNode(int nodeKind, std::string_view title, std::string_view address,
                       std::string_view localPath)
    : m_title(title), m_address(vq::WithoutFragment(address)), m_localPath(localPath) {
    kind = static_cast<std::uint8_t>(nodeKind);
}

void CVQDocNode::SetAddress(std::string_view address) {
    m_address.Assign(vq::WithoutFragment(address));
}

namespace vq {

std::string_view WithoutFragment(std::string_view address) {
    return address.substr(0, address.find('#'));
}

std::string StatusText(int status, int reason) {
    static constexpr int kReasonTexts[] = {
        IDS_SKIP_OTHER_SERVER, IDS_SKIP_URL_FILTER, IDS_SKIP_FILE_FILTER, IDS_SKIP_TOO_BIG,
        IDS_SKIP_TOO_SMALL,    IDS_SKIP_PREVIEW,    IDS_SKIP_OUTSIDE_DIR, IDS_SKIP_LEVEL};
    switch (status) {
    case kStatusToAnalyze:
    case kStatusToCheck:
        return VQText(IDS_STATUS_TO_ANALYZE);
    case kStatusDownloading:
        return VQText(IDS_STATUS_DOWNLOADING);
    case kStatusDownloaded:
        return VQText(IDS_STATUS_DOWNLOADED);
    case kStatusError: {
        std::string text = VQText(IDS_STATUS_ERROR);
        if (reason == kReasonIncomplete)
            text += " - " + VQText(IDS_INCOMPLETE_DOWNLOAD);
        else if (reason != 0)
            text += " - " + std::to_string(reason);
        return text;
    }
    case kStatusFiltered: {
        std::string text = VQText(IDS_STATUS_FILTERED);
        if (reason >= kSkipOtherServer && reason <= kSkipLevel)
            text += " - " + VQText(kReasonTexts[reason - 1]);
        return text;
    }
    default:
        return {};
    }
}

std::string StatusText(const CVQDocNode& node) {
    return StatusText(node.status, node.reason);
}

} // namespace vq
