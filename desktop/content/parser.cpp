// The readers of the parser and the choice between them.
#include "desktop/content/parser.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/content/address_template.h"
#include "desktop/content/byte_source.h"
#include "desktop/content/class_file_scanner.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/scan_options.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/content/tag_table.h"
#include "desktop/content/text_file_scanner.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "desktop/resources/string_table.h"

#include <mutex>

namespace {

// What a reader needs of the project's settings, copied once per file: the settings dialog
// rebuilds the extension lists under the queue lock.
struct CVQSettingsCopy {
    CVQFileClassifier classifier;
    CVQScanOptions options;
};

CVQSettingsCopy CopySettings(CVQDoc& doc, std::string_view pageAddress) {
    const std::lock_guard lock(doc.QueueLock());
    const CVQPrjSettings& settings = doc.Settings();
    CVQSettingsCopy copy{CVQFileClassifier(settings), {}};
    copy.options.htmlForms = settings.htmlForms != 0;
    copy.options.htmlLogin = settings.htmlLogin != 0;
    copy.options.userId = settings.userId;
    copy.options.password = settings.password;
    copy.options.pageAddress = pageAddress;
    return copy;
}

void ShowAnalyzing(CVQDoc& doc, int workerIndex, std::string_view address) {
    CVQWorkerRow row;
    row.address = std::string(address);
    row.status = VQText(IDS_ANALYZING);
    doc.WorkerRow(workerIndex, row);
}

// The address a script's (or class's) relative links start from: the page that uses it.
std::string ReferringAddress(const CVQDocNode* node, std::string_view ownAddress) {
    const CVQDocNode* parent = node ? node->parent.load() : nullptr;
    if (parent && parent->kind != kNodeRoot && !parent->Address().empty())
        return std::string(parent->Address());
    return std::string(ownAddress);
}

} // namespace

void CVQParser::UseClient(CVQInet& client) {
    m_probe = [&client](const std::string& address, CVQDoc& doc, int& contentClass) {
        return client.ProbeContentKind(address, doc, contentClass);
    };
}

bool CVQParser::ParseFile(std::string_view address, std::string_view localPath, CVQDocNode* node,
                          int workerIndex, CVQDoc& doc) {
    if (!node || doc.Tree().NodeCount() >= CVQDocTree::kMaxNodes)
        return true;
    const std::string_view ext = vq::PathExtension(localPath);
    if (node->group == vq::kGroupHtml) {
        switch (node->contentClass) {
        case 0:
            if (vq::EqualsIgnoreCase(ext, "css"))
                return ParseTextFile(address, localPath, node, workerIndex, doc, false);
            return ParsePage(address, localPath, node, workerIndex, doc);
        case 2:
            return ParseWml(address, localPath, node, workerIndex, doc);
        default:
            return true; // XML, RSS and the like: no reader
        }
    }
    if (vq::EqualsIgnoreCase(ext, "js"))
        return ParseTextFile(address, localPath, node, workerIndex, doc, true);
    if (vq::EqualsIgnoreCase(ext, "class"))
        return ParseBinaryFile(address, localPath, node, workerIndex, doc);
    // Flash movies have a reader of their own, still to come.
    return true;
}

bool CVQParser::ParsePage(std::string_view address, std::string_view localPath, CVQDocNode* node,
                          int workerIndex, CVQDoc& doc) {
    const auto source = CVQByteSource::OpenFile(std::string(localPath));
    if (!source)
        return false;
    ShowAnalyzing(doc, workerIndex, address);
    const CVQSettingsCopy settings = CopySettings(doc, address);
    const CVQLinkTest test(settings.classifier);
    const CVQTagHandlers handlers(test, settings.options);
    CVQLinkProcessor links(doc, node, std::string(address), vq::DirectoryUrl(address),
                           settings.classifier, m_probe);
    CVQTagProcessor tags(handlers, links);
    CVQPageScanner().Scan(*source, tags);
    doc.TreeNotice(node, VQTreeChange::Changed);
    return true;
}

bool CVQParser::ParseTextFile(std::string_view address, std::string_view localPath,
                              CVQDocNode* node, int workerIndex, CVQDoc& doc, bool isScript) {
    const auto source = CVQByteSource::OpenFile(std::string(localPath));
    if (!source)
        return false;
    ShowAnalyzing(doc, workerIndex, address);
    const std::string from = isScript ? ReferringAddress(node, address) : std::string(address);
    const CVQSettingsCopy settings = CopySettings(doc, from);
    const CVQLinkTest test(settings.classifier);
    const CVQStringScanner strings(test);
    CVQLinkProcessor links(doc, node, from, vq::DirectoryUrl(from), settings.classifier, m_probe);
    CVQTextFileScanner(strings).Scan(*source, links);
    doc.TreeNotice(node, VQTreeChange::Changed);
    return true;
}

bool CVQParser::ParseBinaryFile(std::string_view address, std::string_view localPath,
                                CVQDocNode* node, int workerIndex, CVQDoc& doc) {
    const std::string from = ReferringAddress(node, address);
    const CVQSettingsCopy settings = CopySettings(doc, from);
    const CVQClassFileScanner scanner = [&doc] {
        const std::lock_guard lock(doc.QueueLock());
        return CVQClassFileScanner(doc.Settings());
    }();
    ShowAnalyzing(doc, workerIndex, address);
    CVQLinkProcessor links(doc, node, from, vq::DirectoryUrl(from), settings.classifier, m_probe);
    if (!scanner.Scan(std::string(localPath), links))
        return false;
    doc.TreeNotice(node, VQTreeChange::Changed);
    return true;
}

bool CVQParser::ParseWml(std::string_view address, std::string_view localPath, CVQDocNode* node,
                         int workerIndex, CVQDoc& doc) {
    // The links of a deck stand in its attributes and strings, which the text scan finds.
    return ParseTextFile(address, localPath, node, workerIndex, doc, false);
}

bool CVQParser::ExpandAddressTemplate(std::string& address, std::vector<std::string>& list) {
    return CVQAddressTemplate::Expand(address, list);
}

void CVQParser::ProcessLinks(CVQLinkList& list, std::string& base, int row, CVQDocNode* pageNode,
                             CVQDoc& doc) {
    const std::string pageAddress =
        pageNode && !pageNode->Address().empty() ? std::string(pageNode->Address()) : base;
    const CVQSettingsCopy settings = CopySettings(doc, pageAddress);
    CVQLinkProcessor links(doc, pageNode, pageAddress, base, settings.classifier, m_probe);
    links.Links(list, row, {});
    base = links.Base();
}
