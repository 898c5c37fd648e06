// Reading and writing the project file, section by section, and saving it safely.
#include "desktop/project/project_file.h"

#include "desktop/address/address.h"
#include "desktop/address/text_util.h"
#include "desktop/project/archive_reader.h"
#include "desktop/project/archive_writer.h"
#include "desktop/project/doc_tree.h"
#include "desktop/project/prj_settings.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kNoIndex = 0xFFFFFFFF;
constexpr std::size_t kMaxTitle = 127;
constexpr std::size_t kMaxLocalPath = 1039;
constexpr std::size_t kReservedDwords = 10;
// The highest value the 16-bit field of the main block can hold; the exact value follows in
// the trailing section.
constexpr int kMaxTreeFilesWord = 0xFFFF;
constexpr int kMaxTreeFiles = 100000;

// --- Helpers ---------------------------------------------------------------------------------

std::uint32_t Low16(int value) {
    return static_cast<std::uint32_t>(value) & 0xFFFF;
}

std::uint32_t Pack(int low, int high) {
    return Low16(low) | Low16(high) << 16;
}

// A whole-megabyte count that fits its DWORD.
std::uint32_t WholeMegabytes(double bytes) {
    const double mb = std::floor(bytes / vq::kBytesPerMb);
    if (!(mb > 0))
        return 0;
    return mb >= 4294967295.0 ? 0xFFFFFFFF : static_cast<std::uint32_t>(mb);
}

bool IsValidSize(double value) {
    return std::isfinite(value) && value >= 0;
}

std::uint32_t LinkIndex(const CVQDocNode* node) {
    return node ? node->index : kNoIndex;
}

// The extension delta of one group against its base table.
void WriteExtensionDelta(CVQArchiveWriter& out, int groupBit, const CVQCustomArray& list) {
    struct Entry {
        std::uint8_t state;
        std::string_view ext;
    };
    std::vector<Entry> entries;
    const auto base = vq::BaseExtensions(groupBit);
    const auto inBase = [&base](std::string_view ext) {
        return std::any_of(base.begin(), base.end(),
                           [ext](std::string_view b) { return vq::EqualsIgnoreCase(b, ext); });
    };
    for (const CVQFileExt& entry : list)
        if (!(entry.enabled && inBase(entry.ext)))
            entries.push_back({static_cast<std::uint8_t>(entry.enabled ? 1 : 0), entry.ext});
    for (std::string_view ext : base)
        if (!vq::FindExt(list, ext))
            entries.push_back({2, ext});
    out.Dword(static_cast<std::uint32_t>(entries.size()));
    for (const Entry& entry : entries) {
        out.Int(groupBit);
        out.Byte(entry.state);
        out.String(entry.ext);
    }
}

// Applies extension delta entries to the lists without walking a list for each entry, so that a
// file with a huge delta still loads in linear time.
class ExtensionDeltaReader {
public:
    explicit ExtensionDeltaReader(CVQPrjSettings& settings) : m_settings(settings) {}
    ~ExtensionDeltaReader() { Finish(); }

    // A group's delta starts: its list goes back to the base table that the delta is against.
    void StartGroup(int groupBit) {
        CVQCustomArray* list = m_settings.ExtList(groupBit);
        *list = vq::DefaultExtList(groupBit, false);
        Table& table = TableOf(groupBit);
        table.removed.assign(list->size(), false);
        table.position.clear();
        for (std::size_t i = 0; i < list->size(); ++i)
            table.position.emplace((*list)[i].ext, i);
    }

    void Apply(int groupBit, std::uint8_t state, std::string_view text) {
        CVQCustomArray* list = m_settings.ExtList(groupBit);
        if (!list || state > 2)
            return;
        Table& table = TableOf(groupBit);
        // Entries are keyed by the extension as a list holds it (no dot, lower case).
        std::optional<CVQFileExt> entry = vq::MakeFileExt(text);
        const std::string key = entry ? entry->ext : vq::ToLowerAscii(text);
        const auto it = table.position.find(key);
        if (state == 2) {
            if (it != table.position.end()) {
                table.removed[it->second] = true;
                table.position.erase(it);
            }
            return;
        }
        if (it != table.position.end()) {
            (*list)[it->second].enabled = state;
            return;
        }
        if (!entry)
            return;
        entry->enabled = state;
        table.position.emplace(entry->ext, list->size());
        list->push_back(std::move(*entry));
        table.removed.push_back(false);
    }

    // Drops the removed entries (also when the section ended early).
    void Finish() {
        for (std::size_t g = 0; g < vq::kFileGroupCount; ++g) {
            Table& table = m_tables[g];
            if (!table.used)
                continue;
            CVQCustomArray& list = m_settings.fileExt[g];
            std::size_t kept = 0;
            for (std::size_t i = 0; i < list.size(); ++i) {
                if (i < table.removed.size() && table.removed[i])
                    continue;
                if (kept != i)
                    list[kept] = std::move(list[i]);
                ++kept;
            }
            list.resize(kept);
            table = Table{};
        }
    }

private:
    struct Table {
        bool used = false;
        std::unordered_map<std::string, std::size_t> position;
        std::vector<bool> removed;
    };

    Table& TableOf(int groupBit) {
        Table& table = m_tables[static_cast<std::size_t>(vq::FileGroupIndex(groupBit))];
        if (!table.used) {
            table.used = true;
            const CVQCustomArray& list = *m_settings.ExtList(groupBit);
            table.removed.assign(list.size(), false);
            for (std::size_t i = 0; i < list.size(); ++i)
                table.position.emplace(vq::ToLowerAscii(list[i].ext), i);
        }
        return table;
    }

    CVQPrjSettings& m_settings;
    std::array<Table, vq::kFileGroupCount> m_tables;
};

std::string FilterKey(const CVQUrl& filter) {
    std::string key = std::to_string(filter.include) + ',' + std::to_string(filter.protocol) + ',';
    key += filter.server;
    key += '\0';
    key += filter.directory;
    key += '\0';
    key += filter.file;
    return key;
}

// --- Writing ---------------------------------------------------------------------------------

void WriteMainBlock(CVQArchiveWriter& out, const CVQPrjSettings& s) {
    out.String(s.startUrl.empty() ? std::string_view() : std::string_view(s.startUrl.front()));
    out.String(s.userId);
    out.String(s.password);
    out.String(s.projectDir);
    out.String(s.title);
    out.Int(s.threads);
    out.Int(s.fileTypes);
    out.Int(s.offsite);
    out.Int(s.limDs);
    out.Dword(WholeMegabytes(s.maxDs));
    out.Int(s.limFq);
    out.Dword(s.maxFq);
    out.Int(s.limMaxFs);
    out.Double(s.maxMaxFs);
    out.Int(s.limTime);
    out.Dword(s.maxTime);
    out.Int(s.trUpdate);
    out.Int(s.reserved);
    out.Int(s.trHtml);
    out.Int(s.trInit);
    out.Int(s.downloadMethod);
    out.Int(s.dirStr);
    out.Int(s.uMethod);
    out.Int(s.updLinks);
    out.Int(s.timeout);
    out.Int(s.retries);
    out.Int(s.trExtBr);
    out.Dword(Pack(s.limL, s.maxL == 0 ? 0xFFFF : s.maxL));
    out.Dword(Pack(s.limOl, s.maxOl == 0 ? 0xFFFF : s.maxOl));
    out.Dword(Pack(s.down, s.protocol));
    out.Dword(Low16(s.runState));
    out.Dword(Pack(s.detPrev, s.keepHtml));
    out.Dword(Pack(s.agentType, s.agentVersion));
    out.Dword(Pack(s.trLimitF, std::clamp(s.trMaxF, 0, kMaxTreeFilesWord)));
}

void WriteTree(CVQArchiveWriter& out, CVQDocTree& tree, std::string_view projectDir,
               std::string_view prefix, std::size_t count) {
    out.Dword(static_cast<std::uint32_t>(count));
    CVQDocNode* root = tree.Root();
    for (CVQDocNode* n = root; n; n = CVQDocTree::NextPreOrder(n, root)) {
        const int kind = n == root ? static_cast<int>(kNodeRoot) : static_cast<int>(n->kind);
        out.Int(kind);
        out.Text(n->Title());
        if (kind != kNodeRoot) {
            out.Text(vq::RelativeLocalPath(n->LocalPath(), projectDir));
            out.Text(vq::RelativeAddress(n->Address(), prefix));
            out.Dword(static_cast<std::uint32_t>(n->contentClass) << 16 | n->group);
            out.Int(n->status);
        }
        out.Dword(n->index);
        out.Dword(LinkIndex(n->prev));
        out.Dword(LinkIndex(n->next));
        out.Dword(LinkIndex(n->parent));
        out.Dword(LinkIndex(n->firstChild));
    }
}

void WriteSettingsSecond(CVQArchiveWriter& out, const CVQPrjSettings& s) {
    out.Double(s.maxDs);
    out.Int(s.limMinFs);
    out.Double(s.maxMinFs);
    for (std::size_t i = 0; i < kReservedDwords; ++i)
        out.Dword(0);
    for (std::size_t g = 0; g < vq::kFileGroupCount; ++g)
        WriteExtensionDelta(out, vq::kFileGroupOrder[g], s.fileExt[g]);
    out.Dword(static_cast<std::uint32_t>(s.urlFilter.size()));
    for (const CVQUrl& filter : s.urlFilter) {
        out.Int(filter.include);
        out.Int(filter.protocol);
        out.String(filter.server);
        out.String(filter.directory);
        out.String(filter.file);
    }
}

void WriteSettingsTail(CVQArchiveWriter& out, const CVQPrjSettings& s) {
    out.String(s.defFName);
    for (const CVQCustomArray& list : s.fileExt) {
        out.Dword(static_cast<std::uint32_t>(list.size()));
        for (const CVQFileExt& entry : list) {
            out.Byte(static_cast<std::uint8_t>(entry.limitMin));
            out.Double(entry.minSize);
            out.Byte(entry.limitMax);
            out.Double(entry.maxSize);
        }
    }
    out.Int(s.singleUrl);
    out.Dword(static_cast<std::uint32_t>(s.startUrl.size()));
    for (const std::string& url : s.startUrl)
        out.String(url);
    for (int v : {s.report, s.renameHtml, s.pageBreak, s.htmlLogin, s.htmlForms})
        out.Int(v);
    for (int v : {s.encryptProjectFiles, s.encryptDownloadedFiles, s.fastParse, s.keepLogFile,
                  s.keepQuery, s.downldPause, s.imageAlways})
        out.Int(v);
    out.String(s.refererUrl);
    for (int v : {s.delOutdated, s.autoSynchPr, s.copyPrTo})
        out.Int(v);
    out.String(s.copyPrDirName);
    for (int v : {s.copyProject, s.copyDownload, s.exportSpare})
        out.Int(v);
    out.String(s.copyPrZipPassword);
    out.Int(s.fileTypeMask);
    out.String(s.storageName);
    out.Byte(static_cast<std::uint8_t>(s.readerDrive));
    for (int v : {s.scaleLevel, s.prevScaleLevel, s.scaleImages})
        out.Int(v);
    for (int v : {s.checkCache, s.renamedFiles, s.nonHtmlAlways})
        out.Int(v);
    for (int v :
         {0, s.htmlParser, s.analyzeJavaScript, s.processDhtmlEvents, s.replaceScriptedLinks})
        out.Int(v);
    out.Int(s.convertWhenDwnld);
    out.Int(1); // the view is always stored as the site structure
    out.Int(s.trOnlyD);
    out.Int(s.customErrorPage);
    out.Int(s.retainFileNames);
    out.Byte(static_cast<std::uint8_t>(s.delimiter));
    for (int v : {s.nodeExportInfo, s.exportAfterDownload, s.convertFlashLinks, s.trPrExtBr})
        out.Int(v);
    out.String(s.appAddress);
    out.String(s.appSyncId);
}

void WriteArchive(CVQArchiveWriter& out, const CVQPrjSettings& s, CVQDocTree& tree,
                  std::string_view projectDir) {
    const std::string prefix =
        vq::AddressPrefix(s.startUrl.empty() ? std::string_view() : s.startUrl.front());
    const std::size_t count = tree.NumberNodes();
    CVQDocNode* root = tree.Root();

    out.String(CVQProjectFile::kHeader);
    WriteMainBlock(out, s);
    WriteTree(out, tree, projectDir, prefix, count);
    WriteSettingsSecond(out, s);

    out.Dword(static_cast<std::uint32_t>(count));
    for (CVQDocNode* n = root; n; n = CVQDocTree::NextPreOrder(n, root)) {
        out.Dword(n->index);
        out.Int(n->level);
        out.Dword(n->size);
    }
    out.String(s.agentText);
    out.String(s.downloadDirInUse);
    out.Dword(static_cast<std::uint32_t>(count));
    for (CVQDocNode* n = root; n; n = CVQDocTree::NextPreOrder(n, root)) {
        out.Dword(n->index);
        out.Int(n->dirPosition);
        out.Dword(static_cast<std::uint32_t>(n->selection) << 16 | Low16(n->reason));
    }
    WriteSettingsTail(out, s);
    // Trailing section, which readers that stop after the tail ignore: the exact number of files
    // the tree shows (the main block's 16-bit field cannot hold it above 65535) and the limit
    // flag beside it (lost there when both are 0, as the main block skips a DWORD of 0).
    out.Int(s.trMaxF);
    out.Int(s.trLimitF);
}

// --- Reading ---------------------------------------------------------------------------------

struct MainBlock {
    std::string firstUrl, userId, password, projectDir, title;
    std::uint32_t threads = 0, fileTypes = 0, offsite = 0, limDs = 0, maxDsMb = 0, limFq = 0,
                  maxFq = 0, limMaxFs = 0;
    double maxMaxFs = 0;
    std::uint32_t limTime = 0, maxTime = 0, trUpdate = 0, reserved = 0, trHtml = 0, trInit = 0,
                  downloadMethod = 0, dirStr = 0, uMethod = 0, updLinks = 0, timeout = 0,
                  retries = 0, trExtBr = 0, levels = 0, offsiteLevels = 0, downProtocol = 0,
                  runState = 0, preview = 0, agent = 0, treeFiles = 0;
};

bool ReadMainBlock(CVQArchiveReader& in, MainBlock& m) {
    for (std::string* text : {&m.firstUrl, &m.userId, &m.password, &m.projectDir, &m.title})
        in.String(*text);
    for (std::uint32_t* v : {&m.threads, &m.fileTypes, &m.offsite, &m.limDs, &m.maxDsMb, &m.limFq,
                             &m.maxFq, &m.limMaxFs})
        in.Dword(*v);
    in.Double(m.maxMaxFs);
    for (std::uint32_t* v :
         {&m.limTime,      &m.maxTime,        &m.trUpdate, &m.reserved, &m.trHtml,
          &m.trInit,       &m.downloadMethod, &m.dirStr,   &m.uMethod,  &m.updLinks,
          &m.timeout,      &m.retries,        &m.trExtBr,  &m.levels,   &m.offsiteLevels,
          &m.downProtocol, &m.runState,       &m.preview,  &m.agent,    &m.treeFiles})
        in.Dword(*v);
    return !in.Failed();
}

int AsInt(std::uint32_t v) {
    return static_cast<int>(v);
}

void ApplyMainBlock(const MainBlock& m, CVQPrjSettings& s) {
    s.startUrl = {m.firstUrl};
    s.userId = m.userId;
    s.password = m.password;
    s.projectDir = m.projectDir;
    s.title = m.title;
    // More workers than the engine has slots would exhaust the machine; keep the default.
    if (m.threads >= 1 && m.threads <= 100)
        s.threads = AsInt(m.threads);
    s.fileTypes = AsInt(m.fileTypes);
    s.offsite = AsInt(m.offsite);
    s.limDs = AsInt(m.limDs);
    if (m.maxDsMb != 0 && m.maxDsMb != 1)
        s.maxDs = m.maxDsMb * vq::kBytesPerMb;
    s.limFq = AsInt(m.limFq);
    s.maxFq = m.maxFq;
    s.limMaxFs = AsInt(m.limMaxFs);
    if (IsValidSize(m.maxMaxFs))
        s.maxMaxFs = m.maxMaxFs;
    s.limTime = AsInt(m.limTime);
    s.maxTime = m.maxTime;
    s.trUpdate = vq::TreeUpdateFromStored(AsInt(m.trUpdate));
    s.reserved = AsInt(m.reserved);
    s.trHtml = AsInt(m.trHtml);
    s.trInit = AsInt(m.trInit);
    s.downloadMethod = AsInt(m.downloadMethod);
    s.dirStr = AsInt(m.dirStr);
    s.uMethod = AsInt(m.uMethod);
    s.updLinks = AsInt(m.updLinks);
    if (vq::IsValidTimeout(AsInt(m.timeout)))
        s.timeout = AsInt(m.timeout);
    if (vq::IsValidRetries(AsInt(m.retries)))
        s.retries = AsInt(m.retries);
    if (vq::IsValidFlag(AsInt(m.trExtBr)))
        s.trExtBr = AsInt(m.trExtBr);
    if (m.levels != 0) {
        s.limL = AsInt(m.levels & 0xFFFF);
        s.maxL = vq::LevelFromStored(m.levels >> 16);
    }
    if (m.offsiteLevels != 0) {
        s.limOl = AsInt(m.offsiteLevels & 0xFFFF);
        s.maxOl = vq::LevelFromStored(m.offsiteLevels >> 16);
    }
    if (vq::IsValidFlag(m.downProtocol & 0xFFFF))
        s.down = AsInt(m.downProtocol & 0xFFFF);
    s.protocol = vq::ProtocolFromStored(m.downProtocol >> 16);
    if (vq::IsValidRunState(m.runState & 0xFFFF))
        s.runState = AsInt(m.runState & 0xFFFF);
    if (vq::IsValidFlag(m.preview & 0xFFFF))
        s.detPrev = AsInt(m.preview & 0xFFFF);
    if (vq::IsValidFlag(m.preview >> 16))
        s.keepHtml = AsInt(m.preview >> 16);
    const int agentType = AsInt(m.agent & 0xFFFF);
    if (vq::IsValidAgentType(agentType)) {
        s.agentType = agentType;
        if (agentType >= 2 && agentType <= 4)
            s.agentVersion = AsInt(m.agent >> 16);
    }
    if (m.treeFiles != 0) {
        if (vq::IsValidFlag(m.treeFiles & 0xFFFF))
            s.trLimitF = AsInt(m.treeFiles & 0xFFFF);
        s.trMaxF = AsInt(m.treeFiles >> 16);
    }
    s.downloadDirInUse = s.projectDir;
}

int NodeKind(std::uint32_t stored, bool isRoot) {
    if (isRoot)
        return kNodeRoot;
    if (stored == kNodePage || stored == kNodeRoot)
        return kNodePage;
    return kNodeFile;
}

// Reads the node records; false when the section is damaged or cut.
bool ReadTree(CVQArchiveReader& in, std::string_view projectDir, std::string_view prefix,
              CVQDocTree& tree, std::vector<CVQDocNode*>& positions) {
    std::uint32_t count = 0;
    if (!in.Dword(count))
        return false;
    std::vector<std::unique_ptr<CVQDocNode>> nodes;
    std::vector<std::uint32_t> parents;
    std::string title;
    std::string path;
    std::string address;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t kind = 0;
        std::uint32_t groupWord = 0;
        std::uint32_t status = 0;
        std::uint32_t links[5] = {};
        path.clear();
        address.clear();
        if (!in.Dword(kind) || !in.Text(title, kMaxTitle))
            return false;
        if (kind != kNodeRoot &&
            (!in.Text(path) || !in.Text(address) || !in.Dword(groupWord) || !in.Dword(status)))
            return false;
        for (std::uint32_t& link : links)
            if (!in.Dword(link))
                return false;
        if (nodes.size() >= CVQDocTree::kMaxNodes)
            continue;
        auto node = std::make_unique<CVQDocNode>(NodeKind(kind, nodes.empty()), title,
                                                 vq::ResolveAddress(address, prefix),
                                                 vq::ResolveLocalPath(path, projectDir));
        node->group = static_cast<std::uint16_t>(groupWord & 0xFFFF);
        node->contentClass =
            static_cast<std::uint8_t>(std::min<std::uint32_t>(groupWord >> 16, 255));
        node->status = status <= static_cast<std::uint32_t>(kStatusFiltered)
                           ? static_cast<int>(status)
                           : kStatusToAnalyze;
        node->index = links[0];
        nodes.push_back(std::move(node));
        parents.push_back(links[3]);
    }
    positions = tree.LinkFromFile(nodes, parents);
    return true;
}

CVQDocNode* At(const std::vector<CVQDocNode*>& positions, std::uint32_t i) {
    return i < positions.size() ? positions[i] : nullptr;
}

// A later tree pass: a count, then (own index, value, value) per node, applied by position in
// file order to the nodes that were kept.
template <typename Apply>
bool ReadNodePass(CVQArchiveReader& in, const std::vector<CVQDocNode*>& positions, Apply apply) {
    std::uint32_t n = 0;
    if (!in.Dword(n))
        return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        std::uint32_t own = 0;
        std::uint32_t first = 0;
        std::uint32_t second = 0;
        if (!in.Dword(own) || !in.Dword(first) || !in.Dword(second))
            return false;
        if (CVQDocNode* node = At(positions, i))
            apply(*node, first, second);
    }
    return true;
}

// Sections 4 to 8 and the trailing section: a file that ends inside them keeps the defaults of
// everything not yet read.
void ReadLaterSections(CVQArchiveReader& in, CVQPrjSettings& s,
                       const std::vector<CVQDocNode*>& positions) {
    double value = 0;
    std::uint32_t n = 0;
    int v = 0;

    // 4. Settings, second block.
    if (!in.Double(value))
        return;
    if (IsValidSize(value))
        s.maxDs = value;
    if (!in.Int(s.limMinFs) || !in.Double(value))
        return;
    if (IsValidSize(value))
        s.maxMinFs = value;
    if (!in.Skip(kReservedDwords * 4))
        return;
    {
        ExtensionDeltaReader deltas(s);
        for (int groupBit : vq::kFileGroupOrder) {
            if (!in.Dword(n))
                return;
            deltas.StartGroup(groupBit);
            std::string ext;
            for (std::uint32_t i = 0; i < n; ++i) {
                std::uint32_t bit = 0;
                std::uint8_t state = 0;
                if (!in.Dword(bit) || !in.Byte(state) || !in.String(ext))
                    return;
                if (vq::FileGroupIndex(static_cast<int>(bit)) >= 0)
                    deltas.Apply(static_cast<int>(bit), state, ext);
            }
        }
    }
    if (!in.Dword(n))
        return;
    {
        std::unordered_set<std::string> present;
        for (const CVQUrl& filter : s.urlFilter)
            present.insert(FilterKey(filter));
        for (std::uint32_t i = 0; i < n; ++i) {
            CVQUrl filter;
            if (!in.Int(filter.include) || !in.Int(filter.protocol) || !in.String(filter.server) ||
                !in.String(filter.directory) || !in.String(filter.file))
                return;
            if (present.insert(FilterKey(filter)).second)
                s.urlFilter.push_back(std::move(filter));
        }
    }

    // 5. Tree pass 2: level and size, by position in file order.
    const bool pass2 =
        ReadNodePass(in, positions, [](CVQDocNode& node, std::uint32_t level, std::uint32_t size) {
            node.level = static_cast<int>(level);
            node.size = size;
        });
    if (!pass2)
        return;

    // 6. Agent text and the download directory in use.
    if (!in.String(s.agentText) || !in.String(s.downloadDirInUse))
        return;

    // 7. Tree pass 3: directory position, selection and reason.
    const bool pass3 = ReadNodePass(
        in, positions, [](CVQDocNode& node, std::uint32_t position, std::uint32_t flags) {
            node.dirPosition = static_cast<int>(position);
            node.selection = static_cast<std::uint16_t>(flags >> 16);
            const int reason = static_cast<int>(flags & 0xFFFF);
            node.reason = reason >= 65521 ? reason - 65536 : reason;
        });
    if (!pass3)
        return;

    // 8. Settings tail.
    if (!in.String(s.defFName))
        return;
    for (CVQCustomArray& list : s.fileExt) {
        if (!in.Dword(n))
            return;
        for (std::uint32_t i = 0; i < n; ++i) {
            std::uint8_t limitMin = 0;
            std::uint8_t limitMax = 0;
            double minSize = 0;
            double maxSize = 0;
            if (!in.Byte(limitMin) || !in.Double(minSize) || !in.Byte(limitMax) ||
                !in.Double(maxSize))
                return;
            if (i >= list.size())
                continue;
            list[i].limitMin = limitMin;
            list[i].limitMax = limitMax;
            if (IsValidSize(minSize))
                list[i].minSize = minSize;
            if (IsValidSize(maxSize))
                list[i].maxSize = maxSize;
        }
    }
    if (!in.Int(s.singleUrl) || !in.Dword(n))
        return;
    {
        std::vector<std::string> urls;
        std::string url;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!in.String(url))
                return;
            if (urls.size() < CVQPrjSettings::kMaxStartUrls)
                urls.push_back(url);
        }
        if (!urls.empty())
            s.startUrl = std::move(urls);
    }
    for (int* field : {&s.report, &s.renameHtml, &s.pageBreak, &s.htmlLogin, &s.htmlForms,
                       &s.encryptProjectFiles, &s.encryptDownloadedFiles, &s.fastParse,
                       &s.keepLogFile, &s.keepQuery, &s.downldPause, &s.imageAlways})
        if (!in.Int(*field))
            return;
    if (!in.String(s.refererUrl))
        return;
    for (int* field : {&s.delOutdated, &s.autoSynchPr, &s.copyPrTo})
        if (!in.Int(*field))
            return;
    if (!in.String(s.copyPrDirName))
        return;
    for (int* field : {&s.copyProject, &s.copyDownload, &s.exportSpare})
        if (!in.Int(*field))
            return;
    if (!in.String(s.copyPrZipPassword) || !in.Int(s.fileTypeMask) || !in.String(s.storageName))
        return;
    std::uint8_t byte = 0;
    if (!in.Byte(byte))
        return;
    s.readerDrive = static_cast<char>(byte);
    for (int* field : {&s.scaleLevel, &s.prevScaleLevel, &s.scaleImages, &s.checkCache,
                       &s.renamedFiles, &s.nonHtmlAlways, &v, &s.htmlParser, &s.analyzeJavaScript,
                       &s.processDhtmlEvents, &s.replaceScriptedLinks, &s.convertWhenDwnld,
                       &s.trStruct, &s.trOnlyD, &s.customErrorPage, &s.retainFileNames})
        if (!in.Int(*field))
            return;
    if (!in.Byte(byte))
        return;
    s.delimiter = static_cast<char>(byte);
    for (int* field :
         {&s.nodeExportInfo, &s.exportAfterDownload, &s.convertFlashLinks, &s.trPrExtBr})
        if (!in.Int(*field))
            return;
    if (!in.String(s.appAddress) || !in.String(s.appSyncId))
        return;

    // The trailing section with the exact VQ_TR_MAX_F and VQ_TR_LIMIT_F.
    if (!in.Int(v))
        return;
    if (v >= 0 && v <= kMaxTreeFiles)
        s.trMaxF = v;
    if (in.Int(v) && vq::IsValidFlag(v))
        s.trLimitF = v;
}

VQFileResult ReadArchive(CVQArchiveReader& in, std::string_view projectDir, CVQPrjSettings& s,
                         CVQDocTree& tree) {
    std::string header;
    if (!in.String(header) || header != CVQProjectFile::kHeader)
        return VQFileResult::NotProject;
    MainBlock main;
    if (!ReadMainBlock(in, main))
        return VQFileResult::ReadError;
    ApplyMainBlock(main, s);
    std::vector<CVQDocNode*> positions;
    try {
        if (!ReadTree(in, projectDir, vq::AddressPrefix(main.firstUrl), tree, positions))
            return VQFileResult::ReadError;
        if (!tree.Root())
            tree.CreateRoot(std::string_view(s.title).substr(0, kMaxTitle));
        ReadLaterSections(in, s, positions);
    } catch (const std::bad_alloc&) {
        return VQFileResult::ReadError;
    }
    return VQFileResult::Ok;
}

std::string DirectoryOf(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec)
        absolute = path;
    return vq::DirectoryWithSlash(absolute.parent_path().string());
}

std::string FirstBytes(const std::string& path, std::size_t n) {
    std::string bytes(n, '\0');
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, bytes.data() + got, n - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    ::close(fd);
    bytes.resize(got);
    return bytes;
}

VQFileResult WriteError(int error) {
    return error == ENOSPC || error == EDQUOT ? VQFileResult::DiskFull : VQFileResult::WriteError;
}

// A new file beside target, created with the user's file mode mask applied.
int CreateTempBeside(const std::string& target, std::string& temp) {
    const fs::path path(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = (path.parent_path() / ("." + path.filename().string() + "." +
                                      std::to_string(::getpid()) + "." + std::to_string(attempt)))
                   .string();
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The previous version as the backup: a second name for the old file when the file system
// allows one, else a copy. A backup that cannot be made does not fail the save.
void KeepBackup(const std::string& target, const std::string& backupPath) {
    std::error_code ec;
    if (backupPath.empty() || !fs::exists(target, ec))
        return;
    fs::remove(backupPath, ec);
    fs::create_hard_link(target, backupPath, ec);
    if (ec)
        fs::copy_file(target, backupPath, fs::copy_options::overwrite_existing, ec);
}

} // namespace

// --- CVQProjectFile --------------------------------------------------------------------------

CVQProjectFile::CVQProjectFile(std::string path, std::string baseDir)
    : m_path(std::move(path)),
      m_baseDir(baseDir.empty() ? DirectoryOf(m_path) : vq::DirectoryWithSlash(baseDir)) {}

VQFileResult CVQProjectFile::Read(CVQPrjSettings& settings, CVQDocTree& tree) const {
    const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return VQFileResult::ReadError;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return VQFileResult::ReadError;
    }
    VQFileResult result = VQFileResult::ReadError;
    try {
        CVQArchiveReader in(fd, static_cast<std::uint64_t>(info.st_size));
        result = ReadArchive(in, m_baseDir, settings, tree);
    } catch (const std::bad_alloc&) {
        result = VQFileResult::ReadError;
    }
    ::close(fd);
    return result;
}

VQFileResult CVQProjectFile::Save(const CVQPrjSettings& settings, CVQDocTree& tree,
                                  const std::string& backupPath) const {
    std::error_code ec;
    std::string target = m_path;
    if (fs::is_symlink(target, ec)) {
        const fs::path real = fs::canonical(target, ec);
        if (!ec)
            target = real.string();
    }
    std::string temp;
    const int fd = CreateTempBeside(target, temp);
    if (fd < 0)
        return WriteError(errno);

    int error = 0;
    try {
        CVQArchiveWriter out(fd);
        WriteArchive(out, settings, tree, m_baseDir);
        if (!out.Flush())
            error = out.Error();
    } catch (const std::bad_alloc&) {
        error = ENOMEM;
    }
    if (error == 0 && ::fdatasync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return WriteError(error);
    }
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        ::chmod(temp.c_str(), old.st_mode & 07777);
    KeepBackup(target, backupPath);
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(temp.c_str());
        return WriteError(error);
    }
    return VQFileResult::Ok;
}

bool CVQProjectFile::IsProjectFile(const std::string& path) {
    const std::string bytes = FirstBytes(path, kHeader.size() + 1);
    return bytes.size() == kHeader.size() + 1 &&
           static_cast<unsigned char>(bytes[0]) == kHeader.size() &&
           std::string_view(bytes).substr(1) == kHeader;
}

bool CVQProjectFile::IsEncrypted(const std::string& path) {
    return FirstBytes(path, 2) == "PK";
}

VQFileResult CVQProjectFile::ReadBytes(std::string_view bytes, std::string_view projectDir,
                                       CVQPrjSettings& settings, CVQDocTree& tree) {
    CVQArchiveReader in(bytes);
    return ReadArchive(in, projectDir, settings, tree);
}

std::string CVQProjectFile::WriteBytes(const CVQPrjSettings& settings, CVQDocTree& tree,
                                       std::string_view projectDir) {
    std::string bytes;
    CVQArchiveWriter out(&bytes);
    WriteArchive(out, settings, tree, projectDir);
    return bytes;
}

// --- Relative forms --------------------------------------------------------------------------

namespace vq {

namespace {

// Length of the common beginning of a and b that ends just after a "/" (both compared exactly:
// on this system a path or address that differs only in case is another one).
std::size_t CommonDirectoryPrefix(std::string_view a, std::string_view b) {
    std::size_t common = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size() && a[i] == b[i]; ++i)
        if (a[i] == '/')
            common = i + 1;
    return common;
}

std::size_t CountSlashes(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '/'));
}

// Drops the last directory of a directory that ends in "/", never above its first slash.
void DropLastDirectory(std::string& dir, std::size_t floor) {
    if (dir.size() <= floor + 1)
        return;
    dir.pop_back();
    const std::size_t slash = dir.rfind('/');
    dir.resize(slash == std::string::npos || slash < floor ? floor + 1 : slash + 1);
}

std::size_t LeadingParentSteps(std::string_view text, std::string_view step) {
    std::size_t n = 0;
    while (text.substr(n * step.size()).starts_with(step))
        ++n;
    return n;
}

} // namespace

std::string RelativeLocalPath(std::string_view path, std::string_view projectDir) {
    if (path.empty() || !path.starts_with('/') || !projectDir.starts_with('/') ||
        path.find("..") != std::string_view::npos)
        return std::string(path);
    const std::size_t common = CommonDirectoryPrefix(projectDir, path);
    std::string rel;
    for (std::size_t i = CountSlashes(projectDir.substr(common)); i > 0; --i)
        rel += "..\\";
    std::string tail(path.substr(common));
    std::replace(tail.begin(), tail.end(), '/', '\\');
    return rel + tail;
}

std::string ResolveLocalPath(std::string_view stored, std::string_view projectDir) {
    if (stored.empty())
        return {};
    std::string text(stored);
    std::replace(text.begin(), text.end(), '\\', '/');
    if (!text.starts_with('/') && projectDir.starts_with('/')) {
        std::string base = DirectoryWithSlash(projectDir);
        const std::size_t steps = LeadingParentSteps(text, "../");
        for (std::size_t i = 0; i < steps; ++i)
            DropLastDirectory(base, 0);
        text = base + text.substr(steps * 3);
    }
    if (text.size() > kMaxLocalPath)
        text.resize(kMaxLocalPath);
    return text;
}

std::string AddressPrefix(std::string_view firstStartUrl) {
    return ProtocolPrefix(firstStartUrl).empty() ? std::string() : DirectoryUrl(firstStartUrl);
}

std::string RelativeAddress(std::string_view address, std::string_view prefix) {
    if (prefix.empty() || address.find("..") != std::string_view::npos)
        return std::string(address);
    const std::size_t hostEnd = HostEnd(prefix);
    const std::string_view host = prefix.substr(0, hostEnd);
    if (!address.starts_with(host) || address.size() <= hostEnd || address[hostEnd] != '/')
        return std::string(address);
    const std::string_view prefixPath = prefix.substr(hostEnd);
    const std::string_view path = address.substr(hostEnd);
    // Only the directory part takes part: a query may hold slashes of its own.
    const std::string_view dir =
        path.substr(0, path.substr(0, path.find_first_of("?^")).rfind('/') + 1);
    const std::size_t common = CommonDirectoryPrefix(prefixPath, dir);
    std::string rel;
    for (std::size_t i = CountSlashes(prefixPath.substr(common)); i > 0; --i)
        rel += "../";
    rel += path.substr(common);
    // An empty text would read as no address, and one that begins with a protocol as absolute.
    if (rel.empty() || !ProtocolPrefix(rel).empty())
        return std::string(address);
    return rel;
}

std::string ResolveAddress(std::string_view stored, std::string_view prefix) {
    if (stored.empty() || prefix.empty() || !ProtocolPrefix(stored).empty())
        return std::string(stored);
    const std::size_t hostEnd = HostEnd(prefix);
    std::string base(prefix);
    const std::size_t steps = LeadingParentSteps(stored, "../");
    for (std::size_t i = 0; i < steps; ++i)
        DropLastDirectory(base, hostEnd);
    base += stored.substr(steps * 3);
    return base;
}

} // namespace vq
