// The walk of the conversion pass over the contents tree.
#include "desktop/engine/conversion_pass.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_class.h"
#include "desktop/resources/string_table.h"

#include <algorithm>

namespace {

bool HasDirectoryMacro(std::string_view dir) {
    return dir.find("[%d]") != std::string_view::npos || dir.find("[%t]") != std::string_view::npos;
}

// The start address whose subtree holds node: the address of its ancestor just below the root.
std::string StartAddressOf(const CVQDoc& doc, const CVQDocNode* node) {
    const CVQDocNode* top = node;
    while (top && top->parent.load() && top->parent.load()->kind != kNodeRoot)
        top = top->parent.load();
    const std::vector<std::string> urls = doc.Settings().DownloadUrls();
    if (top && top->kind != kNodeRoot) {
        const std::string_view address = top->Address();
        for (const std::string& url : doc.Settings().startUrl)
            if (vq::SameAddress(url, address))
                return url;
    }
    return urls.empty() ? std::string() : urls.front();
}

std::size_t CountNodes(const CVQDocNode* start) {
    std::size_t count = 0;
    for (const CVQDocNode* n = start; n; n = CVQDocTree::NextPreOrder(n, start))
        ++count;
    return count;
}

// Keeps the previous link converter of the project and puts it back.
class CVQConverterInstall {
public:
    CVQConverterInstall(CVQDoc& doc, CVQLinkConverter& converter)
        : m_doc(doc), m_previous(doc.LinkConverter()) {
        if (!m_previous)
            doc.SetLinkConverter(&converter);
    }
    ~CVQConverterInstall() { m_doc.SetLinkConverter(m_previous ? m_previous : nullptr); }
    CVQConverterInstall(const CVQConverterInstall&) = delete;
    CVQConverterInstall& operator=(const CVQConverterInstall&) = delete;

private:
    CVQDoc& m_doc;
    CVQLinkConverter* m_previous;
};

} // namespace

bool CVQConversionPass::Prepare(CVQDoc& doc, CVQDocNode* branch) {
    CVQPrjSettings& settings = doc.Settings();
    // The directory of the last download rather than one named after today's date.
    const bool ready = HasDirectoryMacro(settings.projectDir) &&
                               !settings.downloadDirInUse.empty() &&
                               !HasDirectoryMacro(settings.downloadDirInUse)
                           ? doc.UseSaveDirectory(settings.downloadDirInUse)
                           : doc.ExpandSaveDirectory(false);
    if (!ready)
        return false;
    const std::string start = StartAddressOf(doc, branch);
    if (!start.empty())
        doc.SetStartDirUrl(vq::DirectoryUrl(start));
    return true;
}

bool CVQConversionPass::RewriteNode(CVQDocNode& node, CVQDoc& doc) {
    const std::string_view ext = vq::PathExtension(node.LocalPath());
    if (node.group == vq::kGroupHtml && node.contentClass == 0) {
        if (vq::EqualsIgnoreCase(ext, "css"))
            return m_parser.RewriteTextFile(&node, doc, false);
        return m_parser.RewritePage(&node, doc);
    }
    if (node.group == vq::kGroupHtml && node.contentClass == 2)
        return m_parser.RewriteWml(&node, doc);
    if (node.group == vq::kGroupJava && vq::EqualsIgnoreCase(ext, "js"))
        return m_parser.RewriteTextFile(&node, doc, true);
    return true;
}

CVQConversionResult CVQConversionPass::Convert(CVQDoc& doc, int scope, CVQDocNode* branch,
                                               CVQConversionProgress* progress) {
    CVQConversionResult result;
    CVQDocTree& tree = doc.Tree();
    CVQDocNode* start = branch ? branch : tree.Root();
    if (!start || !tree.Root() || !Prepare(doc, branch))
        return result;
    CVQDownloadState& state = doc.Run();
    state.converting = true;
    {
        const std::lock_guard lock(doc.QueueLock());
        doc.Settings().conversionScope = scope;
    }
    const CVQConverterInstall install(doc, m_conversion);
    // Every link asks the tree for its node: without the address index each question would
    // walk the whole tree.
    const bool ownIndex = !tree.HasIndex() && tree.RebuildIndex();

    const std::size_t total = std::max<std::size_t>(1, CountNodes(start));
    int shown = -1;
    for (CVQDocNode* node = start; node; node = CVQDocTree::NextPreOrder(node, start)) {
        if (!progress && !state.converting) {
            result.ended = true; // stopped
            break;
        }
        if (node->status == kStatusDownloaded &&
            (scope == kConvertAllFiles || (node->selection & kSelNeedsConversion) != 0)) {
            ++result.rewritten;
            if (!RewriteNode(*node, doc))
                ++result.failed;
        }
        // Visited by this pass: the mark is done with. The other bits of the flag (chosen for
        // the next download, taken in by a filter) stay as they are.
        node->selection &= static_cast<std::uint16_t>(~kSelNeedsConversion);
        ++result.visited;
        const int percent =
            static_cast<int>(std::min<std::size_t>(100, result.visited * 100 / total));
        if (progress && !progress->KeepGoing(percent)) {
            result.ended = true;
            break;
        }
        if (!progress && percent != shown)
            doc.Status(VQText(IDS_ENGINE_CONVERTING) + " (" + std::to_string(percent) + "%)");
        shown = percent;
    }

    if (ownIndex)
        tree.DropIndex();
    state.converting = false;
    doc.SetModified();
    return result;
}

CVQConversionResult CVQConversionPass::ConvertAfterDownload(CVQDoc& doc) {
    return Convert(doc, kConvertNewFiles);
}

CVQConversionResult CVQConversionPass::ConvertCommand(CVQDoc& doc, int scope, CVQDocNode* branch,
                                                      CVQConversionProgress* progress) {
    CVQPrjSettings& settings = doc.Settings();
    int updLinks;
    {
        const std::lock_guard lock(doc.QueueLock());
        updLinks = settings.updLinks;
        if (updLinks == 0)
            settings.updLinks = 1;
    }
    const CVQConversionResult result = Convert(doc, scope, branch, progress);
    if (updLinks == 0) {
        const std::lock_guard lock(doc.QueueLock());
        settings.updLinks = 0;
    }
    return result;
}
