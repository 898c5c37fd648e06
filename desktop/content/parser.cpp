// The readers of the parser and the choice between them.
#include "desktop/content/parser.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/content/address_template.h"
#include "desktop/content/byte_source.h"
#include "desktop/content/class_file_scanner.h"
#include "desktop/content/link_replace.h"
#include "desktop/content/link_rewriter.h"
#include "desktop/content/link_test.h"
#include "desktop/content/page_edits.h"
#include "desktop/content/page_scanner.h"
#include "desktop/content/scan_options.h"
#include "desktop/content/tag_handlers.h"
#include "desktop/content/tag_processor.h"
#include "desktop/content/tag_table.h"
#include "desktop/content/text_file_scanner.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "desktop/resources/string_table.h"

#include <cstdio>
#include <initializer_list>
#include <mutex>
#include <optional>

namespace {

// What a reader needs of the project's settings, copied once per file: the settings dialog
// rebuilds the extension lists under the queue lock.
struct CVQSettingsCopy {
    CVQFileClassifier classifier;
    CVQScanOptions options;
    bool rewrite = false;   // rewriting during the download
    bool pageBreak = false; // VQ_PAGEBREAK
};

// Style sheets and scripts are rewritten only when they look like code.
constexpr int kCodeSignLines = 1000;

CVQSettingsCopy CopySettings(CVQDoc& doc, std::string_view pageAddress) {
    const std::lock_guard lock(doc.QueueLock());
    const CVQPrjSettings& settings = doc.Settings();
    CVQSettingsCopy copy{CVQFileClassifier(settings), {}};
    copy.options.htmlForms = settings.htmlForms != 0;
    copy.options.htmlLogin = settings.htmlLogin != 0;
    copy.options.userId = settings.userId;
    copy.options.password = settings.password;
    copy.options.pageAddress = pageAddress;
    copy.rewrite = settings.updLinks != 0 && settings.convertWhenDwnld != 0;
    copy.pageBreak = settings.pageBreak != 0;
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

// Where that page is stored: a script's links are read from the page's place, so they are made
// relative to it.
std::string ReferringPath(CVQDoc& doc, const CVQDocNode* node, std::string_view ownPath) {
    const CVQDocNode* parent = node ? node->parent.load() : nullptr;
    if (parent && parent->kind != kNodeRoot) {
        const std::lock_guard lock(doc.TreeLock());
        if (!parent->LocalPath().empty())
            return std::string(parent->LocalPath());
    }
    return std::string(ownPath);
}

bool HoldsCode(const std::string& path, std::initializer_list<std::string_view> words) {
    const auto source = CVQByteSource::OpenFile(path);
    return source && CVQTextFileScanner::HoldsWithinLines(*source, words, kCodeSignLines);
}

// A node's stored file, opened for a rewriter.
struct CVQOpenedFile {
    std::string path;
    std::string address;
    std::unique_ptr<CVQByteSource> source;
};

std::optional<CVQOpenedFile> OpenStored(const CVQDocNode* node) {
    if (!node || node->LocalPath().empty())
        return std::nullopt;
    CVQOpenedFile file{std::string(node->LocalPath()), std::string(node->Address()), nullptr};
    file.source = CVQByteSource::OpenFile(file.path);
    if (!file.source)
        return std::nullopt;
    return file;
}

// A script or class file: its path pieces are code, not addresses.
bool IsJavaFile(const CVQDocNode* node) {
    return node && node->group == vq::kGroupJava;
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
    auto source = CVQByteSource::OpenFile(std::string(localPath));
    if (!source)
        return false;
    ShowAnalyzing(doc, workerIndex, address);
    const CVQSettingsCopy settings = CopySettings(doc, address);
    const CVQLinkTest test(settings.classifier);
    const CVQTagHandlers handlers(test, settings.options);
    CVQLinkProcessor links(doc, node, std::string(address), vq::DirectoryUrl(address),
                           settings.classifier, m_probe);
    CVQPageEdits edits;
    if (settings.rewrite)
        links.RewriteInto(edits, std::string(localPath), false);
    CVQTagProcessor tags(handlers, links);
    CVQPageScanner().Scan(*source, tags);
    bool ok = true;
    if (!edits.Empty()) {
        source.reset();
        ok = edits.Apply(std::string(localPath));
    }
    doc.TreeNotice(node, VQTreeChange::Changed);
    return ok;
}

bool CVQParser::ParseTextFile(std::string_view address, std::string_view localPath,
                              CVQDocNode* node, int workerIndex, CVQDoc& doc, bool isScript) {
    auto source = CVQByteSource::OpenFile(std::string(localPath));
    if (!source)
        return false;
    ShowAnalyzing(doc, workerIndex, address);
    const std::string from = isScript ? ReferringAddress(node, address) : std::string(address);
    const CVQSettingsCopy settings = CopySettings(doc, from);
    const CVQLinkTest test(settings.classifier);
    const CVQStringScanner strings(test);
    CVQLinkProcessor links(doc, node, from, vq::DirectoryUrl(from), settings.classifier, m_probe);
    CVQPageEdits edits;
    const std::string path(localPath);
    if (settings.rewrite && HoldsCode(path, {"{"}))
        links.RewriteInto(edits, isScript ? ReferringPath(doc, node, path) : path,
                          IsJavaFile(node));
    CVQTextFileScanner(strings).Scan(*source, links);
    bool ok = true;
    if (!edits.Empty()) {
        source.reset();
        ok = edits.Apply(path);
    }
    doc.TreeNotice(node, VQTreeChange::Changed);
    return ok;
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

bool CVQParser::RewritePage(CVQDocNode* node, CVQDoc& doc) {
    std::optional<CVQOpenedFile> file = OpenStored(node);
    if (!file)
        return false;
    const CVQSettingsCopy settings = CopySettings(doc, file->address);
    const CVQLinkTest test(settings.classifier);
    const CVQTagHandlers handlers(test, settings.options);
    CVQPageEdits edits;
    CVQLinkRewriter links(doc, node, file->address, vq::DirectoryUrl(file->address), file->path,
                          CVQLinkRewriter::VQMode::Offline, false, edits);
    CVQTagProcessor tags(handlers, links);
    CVQPageScanner().Scan(*file->source, tags);
    file->source.reset();
    return edits.Empty() || edits.Apply(file->path);
}

bool CVQParser::RewriteText(CVQDocNode* node, CVQDoc& doc, VQTextKind kind) {
    std::optional<CVQOpenedFile> file = OpenStored(node);
    if (!file)
        return false;
    const std::string& path = file->path;
    if (kind != VQTextKind::Wml && !HoldsCode(path, {"function", "{"}))
        return true;
    const std::string from =
        kind == VQTextKind::Script ? ReferringAddress(node, file->address) : file->address;
    const CVQSettingsCopy settings = CopySettings(doc, from);
    const CVQLinkTest test(settings.classifier);
    const CVQStringScanner strings(test);
    CVQPageEdits edits;
    const std::string linkedFrom =
        kind == VQTextKind::Script ? ReferringPath(doc, node, path) : path;
    CVQLinkRewriter links(doc, node, from, vq::DirectoryUrl(from), linkedFrom,
                          CVQLinkRewriter::VQMode::Offline, IsJavaFile(node), edits);
    CVQTextFileScanner(strings).Scan(*file->source, links);
    file->source.reset();
    return edits.Empty() || edits.Apply(path);
}

bool CVQParser::RewriteTextFile(CVQDocNode* node, CVQDoc& doc, bool isScript) {
    return RewriteText(node, doc, isScript ? VQTextKind::Script : VQTextKind::StyleSheet);
}

bool CVQParser::RewriteWml(CVQDocNode* node, CVQDoc& doc) {
    // The links of a deck stand in its attributes and strings, which the text scan finds.
    return RewriteText(node, doc, VQTextKind::Wml);
}

bool CVQParser::MakePrintCopy(CVQDocNode* node, CVQDoc& doc, const std::string& targetFile,
                              bool isFirstPage) {
    std::optional<CVQOpenedFile> file = OpenStored(node);
    if (!file || node->group != vq::kGroupHtml)
        return false;
    const std::string& path = file->path;
    CVQPageEdits edits;
    const CVQSettingsCopy settings = CopySettings(doc, file->address);
    {
        const CVQLinkTest test(settings.classifier);
        const CVQTagHandlers handlers(test, settings.options);
        CVQLinkRewriter links(doc, node, file->address, vq::DirectoryUrl(file->address), path,
                              CVQLinkRewriter::VQMode::Print, false, edits);
        CVQTagProcessor tags(handlers, links);
        CVQPageScanner().Scan(*file->source, tags);
        file->source.reset();
        if (links.FrameFound())
            return false;
    }
    std::FILE* page = std::fopen(path.c_str(), "rb");
    if (!page)
        return false;
    std::FILE* out = std::fopen(targetFile.c_str(), "wb");
    if (!out) {
        std::fclose(page);
        return false;
    }
    std::string_view head;
    if (settings.pageBreak)
        head = isFirstPage ? "<STYLE>\nP.page { page-break-before: always }\n</STYLE>\n"
                           : "<P CLASS=page>\n";
    bool ok = head.empty() || std::fwrite(head.data(), 1, head.size(), out) == head.size();
    ok = edits.Write(page, out) && ok;
    ok = std::fclose(out) == 0 && ok;
    std::fclose(page);
    return ok;
}

bool CVQParser::ReplaceLink(std::string& tagText, std::string_view oldText,
                            std::string_view newText, bool delimited) {
    return CVQLinkReplace::Replace(tagText, oldText, newText, delimited);
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
    links.Links(list, row, CVQTagPlace{});
    base = links.Base();
}
