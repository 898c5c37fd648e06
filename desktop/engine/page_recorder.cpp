// Recording a browsed page and what it needs.
#include "desktop/engine/page_recorder.h"

#include "desktop/address/address.h"
#include "desktop/address/save_directory.h"
#include "desktop/address/text_util.h"
#include "desktop/content/parser.h"
#include "desktop/engine/url_parts.h"
#include "desktop/net/inet.h"
#include "desktop/project/doc.h"
#include "desktop/project/file_class.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr int kMaxNesting = 10;

std::string ParentDirectory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string FileName(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsExtension(std::string_view address, std::string_view ext) {
    return vq::EqualsIgnoreCase(vq::AddressExtension(address), ext);
}

// A page on its parent page's level without children of its own: a frame of that page.
bool IsFramePage(const CVQDocNode& node, const CVQDocNode& page) {
    return node.IsHtml() && node.level == page.level && !node.HasChildren();
}

// The next node of page's subtree in pre-order that is not below node.
CVQDocNode* NextAfterSubtree(const CVQDocNode* node, const CVQDocNode* page) {
    for (const CVQDocNode* n = node; n && n != page; n = n->parent)
        if (CVQDocNode* next = n->next)
            return next;
    return nullptr;
}

void RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

} // namespace

bool CVQPageRecorder::Fetch(CVQInet& inet, const std::string& address, std::string& file,
                            bool& temporary) {
    std::uint64_t cachedSize = 0;
    temporary = false;
    if (CVQInet::FindInUrlCache(address, std::nullopt, 0, cachedSize, file))
        return true;
    std::uint64_t bytes = 0;
    temporary = inet.FetchToFile(address, m_doc, file, bytes);
    return temporary;
}

bool CVQPageRecorder::Store(CVQDocNode& node, const std::string& file, bool& changed) {
    const std::string address(node.Address());
    const std::string path = m_doc.MapToLocalPath(address, false, true).path;
    if (!m_doc.IsInsideSaveDirectory(path) || !CreateDirectories(ParentDirectory(path)))
        return false;
    std::error_code ec;
    fs::copy_file(file, path, fs::copy_options::overwrite_existing, ec);
    if (ec)
        return false;
    const std::uintmax_t length = fs::file_size(path, ec);
    const auto size = static_cast<std::uint32_t>(ec ? 0 : length);
    changed = node.status != kStatusDownloaded || !vq::EqualsIgnoreCase(node.LocalPath(), path) ||
              node.size != size || (node.IsHtml() && !node.HasChildren());
    node.status = kStatusDownloaded;
    node.size = size;
    m_doc.Tree().SetLocalPath(&node, path);
    m_doc.TreeNotice(&node, VQTreeChange::Changed);
    return true;
}

bool CVQPageRecorder::Record(const std::string& address) {
    CVQInet inet;
    if (!inet.OpenSession(m_doc, false))
        return false;
    std::string source;
    bool temporary = false;
    if (!Fetch(inet, address, source, temporary))
        return false;
    const auto cleanUp = [&] {
        if (temporary)
            RemoveFile(source);
    };

    if (!m_doc.ExpandSaveDirectory(true)) {
        cleanUp();
        return false;
    }
    CVQPrjSettings& settings = m_doc.Settings();
    if (m_doc.StartDirUrl().empty() && !settings.startUrl.empty())
        m_doc.SetStartDirUrl(vq::DirectoryUrl(settings.startUrl.front()));

    CVQDocNode* node = m_doc.Tree().FindByAddress(address);
    if (!node) {
        const CVQFileClass cls = vq::ClassifyAddress(settings, address);
        const std::string path = m_doc.MapToLocalPath(address, false, true).path;
        const std::string title = FileName(path);
        node = m_doc.Tree().AddNode(
            m_doc.Tree().Root(),
            CVQNodeInit{.kind = cls.group == vq::kGroupHtml ? kNodePage : kNodeFile,
                        .address = address,
                        .title = title,
                        .group = cls.group,
                        .extEnabled = cls.extEnabled,
                        .dirPosition = 0,
                        .level = 0});
        if (!node) {
            cleanUp();
            return false;
        }
        m_doc.TreeNotice(node, VQTreeChange::Added);
        if (settings.startUrl.empty() || settings.startUrl.front().empty())
            settings.AddStartUrl(address);
    }

    bool changed = false;
    const bool stored = Store(*node, source, changed);
    cleanUp();
    if (!stored)
        return false;
    if (changed) {
        CVQParser parser;
        parser.SetContentProbe([&inet](const std::string& a, CVQDoc& doc, int& contentClass) {
            return inet.ProbeContentKind(a, doc, contentClass);
        });
        const std::string path(node->LocalPath());
        parser.ParseFile(address, path, node, 0, m_doc);
        m_nesting = 0;
        RecordDescendants(inet, parser, *node);
    }
    m_doc.SetModified();
    return true;
}

void CVQPageRecorder::RecordDescendants(CVQInet& inet, CVQParser& parser, CVQDocNode& page) {
    CVQDocNode* d = page.firstChild;
    while (d) {
        const std::string address(d->Address());
        const bool frame = IsFramePage(*d, page);
        const bool needed = frame || d->group == vq::kGroupImage || IsExtension(address, "css") ||
                            IsExtension(address, "js");
        std::string source;
        bool temporary = false;
        bool readIt = false;
        if (needed && !address.empty() && Fetch(inet, address, source, temporary)) {
            bool changed = false;
            if (Store(*d, source, changed) && m_nesting < kMaxNesting &&
                (frame || IsExtension(address, "js") || IsExtension(address, "css"))) {
                const std::string path(d->LocalPath());
                parser.ParseFile(address, path, d, 0, m_doc);
                RecordDescendants(inet, parser, *d);
                ++m_nesting;
                readIt = true;
            }
            if (temporary)
                RemoveFile(source);
        }
        // A node read for links had its own subtree recorded just now.
        d = readIt ? NextAfterSubtree(d, &page) : CVQDocTree::NextPreOrder(d, &page);
    }
}
