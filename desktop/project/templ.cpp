// Writing and reading template files: the comment header, one key line per setting, the
// extension differences and the URL filters.
#include "desktop/project/templ.h"

#include "desktop/address/text_util.h"
#include "desktop/project/agent_id.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/program_options.h"
#include "desktop/project/text_format.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <sstream>
#include <system_error>
#include <variant>

namespace {

using S = CVQPrjSettings;

enum class Kind {
    String,
    Char,
    Int,
    Flag, // written as 0 or 1
    Unsigned,
    Real,
    StartUrl,
    TrUpdate,
    TrHtml,
    AgentId,
    FileExt,
    UrlFilter
};

// The range rules of stored values that a template shares with the project file.
enum class Check { None, Timeout, Retries, Flag01, Protocol };

using Field =
    std::variant<std::monostate, int S::*, unsigned S::*, double S::*, std::string S::*, char S::*>;

struct Key {
    std::string_view name;
    Kind kind;
    Field field = {};
    Check check = Check::None;
};

// In the order a template carries them.
const Key kKeys[] = {
    {"VQ_START_URL", Kind::StartUrl},
    {"VQ_SINGLE_URL", Kind::Flag, &S::singleUrl},
    {"VQ_USER_ID", Kind::String, &S::userId},
    {"VQ_PASSWORD", Kind::String, &S::password},
    {"VQ_PROJECT_DIR", Kind::String, &S::projectDir},
    {"VQ_TITLE", Kind::String, &S::title},
    {"VQ_THREADS", Kind::Int, &S::threads},
    {"VQ_FILE_TYPES", Kind::Int, &S::fileTypes},
    {"VQ_OFFSITE", Kind::Flag, &S::offsite},
    {"VQ_LIM_DS", Kind::Flag, &S::limDs},
    {"VQ_MAX_DS", Kind::Real, &S::maxDs},
    {"VQ_LIM_FQ", Kind::Flag, &S::limFq},
    {"VQ_MAX_FQ", Kind::Unsigned, &S::maxFq},
    {"VQ_LIM_MAXFS", Kind::Flag, &S::limMaxFs},
    {"VQ_MAX_MAXFS", Kind::Real, &S::maxMaxFs},
    {"VQ_LIM_MINFS", Kind::Flag, &S::limMinFs},
    {"VQ_MAX_MINFS", Kind::Real, &S::maxMinFs},
    {"VQ_LIM_TIME", Kind::Flag, &S::limTime},
    {"VQ_MAX_TIME", Kind::Unsigned, &S::maxTime},
    {"VQ_TR_UPDATE", Kind::TrUpdate, &S::trUpdate},
    {"VQ_TR_HTML", Kind::TrHtml, &S::trHtml},
    {"VQ_TR_INIT", Kind::Flag, &S::trInit},
    {"VQ_TR_EXTBR", Kind::Flag, &S::trExtBr, Check::Flag01},
    {"VQ_TR_PR_EXTBR", Kind::Flag, &S::trPrExtBr},
    {"VQ_TR_LIMIT_F", Kind::Flag, &S::trLimitF, Check::Flag01},
    {"VQ_TR_MAX_F", Kind::Int, &S::trMaxF},
    {"VQ_TR_STRUCT", Kind::Flag, &S::trStruct},
    {"VQ_TR_ONLYD", Kind::Flag, &S::trOnlyD},
    {"VQ_DIRSTR", Kind::Int, &S::dirStr},
    {"VQ_UMETHOD", Kind::Int, &S::uMethod},
    {"VQ_UPDLINKS", Kind::Int, &S::updLinks},
    {"VQ_TIMEOUT", Kind::Int, &S::timeout, Check::Timeout},
    {"VQ_RETRIES", Kind::Int, &S::retries, Check::Retries},
    {"VQ_LIM_L", Kind::Flag, &S::limL},
    {"VQ_MAX_L", Kind::Int, &S::maxL},
    {"VQ_LIM_OL", Kind::Flag, &S::limOl},
    {"VQ_MAX_OL", Kind::Int, &S::maxOl},
    {"VQ_DOWN", Kind::Flag, &S::down, Check::Flag01},
    {"VQ_PROTOCOL", Kind::Int, &S::protocol, Check::Protocol},
    {"VQ_DETPREV", Kind::Flag, &S::detPrev, Check::Flag01},
    {"VQ_KEEPHTML", Kind::Flag, &S::keepHtml, Check::Flag01},
    {"VQ_AGENTID", Kind::AgentId},
    {"VQ_DEFFNAME", Kind::String, &S::defFName},
    {"VQ_REPORT", Kind::Flag, &S::report},
    {"VQ_RENAMEHTML", Kind::Flag, &S::renameHtml},
    {"VQ_PAGEBREAK", Kind::Flag, &S::pageBreak},
    {"VQ_FASTPARSE", Kind::Flag, &S::fastParse},
    {"VQ_HTMLLOGIN", Kind::Flag, &S::htmlLogin},
    {"VQ_HTMLFORMS", Kind::Flag, &S::htmlForms},
    {"VQ_KEEPLOGFILE", Kind::Flag, &S::keepLogFile},
    {"VQ_KEEPQUERY", Kind::Flag, &S::keepQuery},
    {"VQ_DOWNLDPAUSE", Kind::Int, &S::downldPause},
    {"VQ_IMAGEALWAYS", Kind::Flag, &S::imageAlways},
    {"VQ_DELOUTDATED", Kind::Flag, &S::delOutdated},
    {"VQ_REFERERURL", Kind::String, &S::refererUrl},
    {"VQ_CHECKCACHE", Kind::Flag, &S::checkCache},
    {"VQ_NONHTMLALWAYS", Kind::Flag, &S::nonHtmlAlways},
    {"VQ_CONVERTWHENDWNLD", Kind::Flag, &S::convertWhenDwnld},
    {"VQ_CUSTOMERRORPAGE", Kind::Flag, &S::customErrorPage},
    {"VQ_COPYPRTO", Kind::Int, &S::copyPrTo},
    {"VQ_COPYPRDIRNAME", Kind::String, &S::copyPrDirName},
    {"VQ_COPYPROJECT", Kind::Flag, &S::copyProject},
    {"VQ_COPYDOWNLOAD", Kind::Flag, &S::copyDownload},
    {"VQ_COPYPRZIPPASSWORD", Kind::String, &S::copyPrZipPassword},
    {"VQ_DELIMITER", Kind::Char, &S::delimiter},
    {"VQ_NODEEXPORTINFO", Kind::Int, &S::nodeExportInfo},
    {"VQ_AUTOSYNCHPR", Kind::Flag, &S::autoSynchPr},
    {"VQ_FILETYPEMASK", Kind::Int, &S::fileTypeMask},
    {"VQ_STORAGENAME", Kind::String, &S::storageName},
    {"VQ_READERDRIVE", Kind::Char, &S::readerDrive},
    {"VQ_SCALELEVEL", Kind::Int, &S::scaleLevel},
    {"VQ_SCALEIMAGES", Kind::Flag, &S::scaleImages},
    {"VQ_FILE_EXT", Kind::FileExt},
    {"VQ_URL_FILTER", Kind::UrlFilter},
};
static_assert(std::size(kKeys) == 74);

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kSeparator = " \t\t";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view DropTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// ---------------------------------------------------------------------------------------------
// Writing

// "%f" without the locale's decimal comma.
std::string Real(double value) {
    char buffer[512];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : "0.000000";
}

// "%2d".
std::string Width2(int value) {
    std::string text = std::to_string(value);
    return text.size() < 2 ? " " + text : text;
}

// A line break inside a value would end its line and start a line of the value's making.
std::string Quoted(std::string_view value) {
    std::string text = "\"";
    for (char c : value)
        text += c == '\r' || c == '\n' ? ' ' : c;
    return text + "\"";
}

void Line(std::string& out, std::string_view key, std::string_view value) {
    out.append(key).append(kSeparator).append(value).append(kLineEnd);
}

// Identical to what a base table gives: enabled, no limits.
bool IsBaseEntry(const CVQFileExt& entry, int groupBit) {
    if (entry.enabled != 1 || entry.limitMax != 0 || entry.maxSize != 0 || entry.limitMin != 0 ||
        entry.minSize != 0)
        return false;
    for (std::string_view base : vq::BaseExtensions(groupBit))
        if (entry.ext == base)
            return true;
    return false;
}

void WriteExtensions(std::string& out, std::string_view key, const CVQPrjSettings& settings) {
    for (int groupBit : vq::kFileGroupOrder) {
        const CVQCustomArray& list = *settings.ExtList(groupBit);
        const std::string prefix = Width2(groupBit) + " ";
        for (const CVQFileExt& entry : list) {
            if (IsBaseEntry(entry, groupBit))
                continue;
            Line(out, key,
                 prefix + (entry.enabled ? "1 " : "0 ") + Quoted(entry.ext) + " " +
                     Real(entry.limitMin ? entry.minSize : 0) + " " +
                     Real(entry.limitMax ? entry.maxSize : 0));
        }
        for (std::string_view base : vq::BaseExtensions(groupBit))
            if (!vq::FindExt(list, base))
                Line(out, key, prefix + "2 " + Quoted(base));
    }
}

void WriteUrlFilters(std::string& out, std::string_view key, const CVQUrlArray& filters) {
    for (const CVQUrl& filter : filters)
        Line(out, key,
             std::string(filter.include ? "1 " : "0 ") + Width2(filter.protocol) + " " +
                 Quoted(filter.server) + " \t" + Quoted(filter.directory) + " \t" +
                 Quoted(filter.file));
}

void WriteKey(std::string& out, const Key& key, const CVQPrjSettings& s) {
    switch (key.kind) {
    case Kind::String:
        Line(out, key.name, Quoted(s.*std::get<std::string S::*>(key.field)));
        break;
    case Kind::Char: {
        // No drive letter is an empty value, not a zero byte in a text file.
        const char c = s.*std::get<char S::*>(key.field);
        Line(out, key.name, Quoted(c ? std::string_view(&c, 1) : std::string_view()));
        break;
    }
    case Kind::Int:
    case Kind::TrUpdate:
        Line(out, key.name, std::to_string(s.*std::get<int S::*>(key.field)));
        break;
    case Kind::Flag:
        Line(out, key.name, s.*std::get<int S::*>(key.field) ? "1" : "0");
        break;
    case Kind::Unsigned:
        Line(out, key.name, std::to_string(s.*std::get<unsigned S::*>(key.field)));
        break;
    case Kind::Real:
        Line(out, key.name, Real(s.*std::get<double S::*>(key.field)));
        break;
    case Kind::TrHtml:
        Line(out, key.name, s.trHtml == vq::kGroupHtml ? "1" : "0");
        break;
    case Kind::StartUrl:
        for (const std::string& url : s.DownloadUrls())
            Line(out, key.name, Quoted(url));
        break;
    case Kind::AgentId:
        Line(out, key.name, Quoted(vq::AgentIdText({s.agentType, s.agentVersion, s.agentText})));
        break;
    case Kind::FileExt:
        WriteExtensions(out, key.name, s);
        break;
    case Kind::UrlFilter:
        WriteUrlFilters(out, key.name, s.urlFilter);
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Reading

// A decimal integer after optional blanks; the text after it stays in text.
std::optional<long long> TakeInteger(std::string_view& text) {
    std::string_view rest = SkipBlanks(text);
    if (!rest.empty() && rest.front() == '+')
        rest.remove_prefix(1);
    long long value = 0;
    const auto result = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (result.ec != std::errc())
        return std::nullopt;
    text = rest.substr(static_cast<std::size_t>(result.ptr - rest.data()));
    return value;
}

std::string_view TakeWord(std::string_view& text) {
    text = SkipBlanks(text);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end]))
        ++end;
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

// A word read as a decimal number; a word that is no (finite) number gives 0.
double RealOfWord(std::string_view word) {
    if (!word.empty() && word.front() == '+')
        word.remove_prefix(1);
    if (word.empty() || !(std::isdigit(static_cast<unsigned char>(word.front())) ||
                          word.front() == '-' || word.front() == '.'))
        return 0;
    double value = 0;
    const auto result =
        std::from_chars(word.data(), word.data() + word.size(), value, std::chars_format::general);
    return result.ec == std::errc() && std::isfinite(value) ? value : 0;
}

// One quoted pattern of a line that holds several: from the first double quote to the next
// one that is not doubled; the text after it stays in text.
std::optional<std::string> TakeQuoted(std::string_view& text) {
    const std::size_t open = text.find('"');
    if (open == std::string_view::npos)
        return std::nullopt;
    std::string value;
    std::size_t i = open + 1;
    while (i < text.size()) {
        if (text[i] == '"') {
            if (i + 1 < text.size() && text[i + 1] == '"') {
                value += "\"\"";
                i += 2;
                continue;
            }
            break;
        }
        value += text[i++];
    }
    text.remove_prefix(i < text.size() ? i + 1 : text.size());
    return std::string(DropTrailingBlanks(value));
}

bool ReadFileExt(std::string_view value, CVQPrjSettings& s) {
    const std::optional<long long> group = TakeInteger(value);
    const std::optional<long long> state = TakeInteger(value);
    const std::optional<std::string> text = TakeQuoted(value);
    if (!group || !state || !text || *group < 0 || *group > vq::kGroupAll)
        return false;
    CVQCustomArray* list = s.ExtList(static_cast<int>(*group));
    const std::optional<CVQFileExt> made = vq::MakeFileExt(*text);
    if (!list || !made || *state < 0 || *state > 2)
        return false;
    CVQFileExt* entry = vq::FindExt(*list, made->ext);
    if (*state == 2) {
        if (entry)
            list->erase(list->begin() + (entry - list->data()));
        return true;
    }
    if (!entry)
        entry = &list->emplace_back(*made);
    entry->enabled = static_cast<std::uint8_t>(*state);
    const double minSize = RealOfWord(TakeWord(value));
    const double maxSize = RealOfWord(TakeWord(value));
    entry->limitMin = minSize != 0;
    if (minSize != 0)
        entry->minSize = minSize;
    entry->limitMax = maxSize != 0;
    if (maxSize != 0)
        entry->maxSize = maxSize;
    return true;
}

bool ReadUrlFilter(std::string_view value, CVQPrjSettings& s) {
    const std::optional<long long> include = TakeInteger(value);
    const std::optional<long long> protocol = TakeInteger(value);
    if (!include || !protocol || *protocol < INT_MIN || *protocol > INT_MAX)
        return false;
    std::optional<std::string> server = TakeQuoted(value);
    std::optional<std::string> directory = server ? TakeQuoted(value) : std::nullopt;
    std::optional<std::string> file = directory ? TakeQuoted(value) : std::nullopt;
    if (!file)
        return false;
    CVQUrl filter{.include = *include != 0,
                  .protocol = static_cast<int>(*protocol),
                  .server = std::move(*server),
                  .directory = std::move(*directory),
                  .file = std::move(*file)};
    for (const CVQUrl& existing : s.urlFilter)
        if (existing == filter)
            return true;
    s.urlFilter.push_back(std::move(filter));
    return true;
}

// An integer setting changes only when a number was read; the range rules keep the value
// in place where the stored one is out of range.
void ReadInteger(const Key& key, std::string_view value, CVQPrjSettings& s) {
    const std::optional<long long> number = TakeInteger(value);
    if (!number)
        return;
    if (key.kind == Kind::Unsigned) {
        // A value written with "%d" by older writers comes back negative.
        if (*number >= INT_MIN && *number <= UINT32_MAX)
            s.*std::get<unsigned S::*>(key.field) =
                static_cast<std::uint32_t>(static_cast<std::int64_t>(*number));
        return;
    }
    if (*number < INT_MIN || *number > INT_MAX)
        return;
    int& field = s.*std::get<int S::*>(key.field);
    const int v = static_cast<int>(*number);
    switch (key.check) {
    case Check::Timeout:
        if (vq::IsValidTimeout(v))
            field = v;
        return;
    case Check::Retries:
        if (vq::IsValidRetries(v))
            field = v;
        return;
    case Check::Flag01:
        if (vq::IsValidFlag(v))
            field = v;
        return;
    case Check::Protocol:
        field = vq::ProtocolFromStored(v);
        return;
    case Check::None:
        break;
    }
    if (key.kind == Kind::TrUpdate)
        field = vq::TreeUpdateFromStored(v);
    else if (key.kind == Kind::TrHtml)
        field = v != 0 ? vq::kGroupHtml : vq::kGroupAll;
    else
        field = v;
}

bool ReadKey(const Key& key, std::string_view value, CVQPrjSettings& s) {
    switch (key.kind) {
    case Kind::Int:
    case Kind::Flag:
    case Kind::Unsigned:
    case Kind::TrUpdate:
    case Kind::TrHtml:
        ReadInteger(key, value, s);
        return true;
    case Kind::Real:
        s.*std::get<double S::*>(key.field) = RealOfWord(TakeWord(value));
        return true;
    case Kind::FileExt:
        return ReadFileExt(value, s);
    case Kind::UrlFilter:
        return ReadUrlFilter(value, s);
    default:
        break;
    }
    const std::optional<std::string> text = CVQTempl::QuotedValue(value);
    if (!text)
        return false;
    switch (key.kind) {
    case Kind::String:
        s.*std::get<std::string S::*>(key.field) = *text;
        break;
    case Kind::Char:
        s.*std::get<char S::*>(key.field) = text->empty() ? '\0' : text->front();
        break;
    case Kind::StartUrl:
        if (s.startUrl.size() < CVQPrjSettings::kMaxStartUrls)
            s.startUrl.push_back(*text);
        break;
    case Kind::AgentId: {
        CVQAgentId agent{s.agentType, s.agentVersion, s.agentText};
        vq::AgentIdFromText(*text, agent);
        s.agentType = agent.type;
        s.agentVersion = agent.version;
        s.agentText = std::move(agent.text);
        break;
    }
    default:
        break;
    }
    return true;
}

const Key* FindKey(std::string_view word) {
    for (const Key& key : kKeys)
        if (vq::EqualsIgnoreCase(word, key.name))
            return &key;
    return nullptr;
}

std::string DirectoryOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

bool WriteWhole(const std::string& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file)
        return false;
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

} // namespace

std::string CVQTempl::WriteText(const CVQPrjSettings& settings) {
    std::string out(77, '/');
    out.append(kLineEnd).append("// Velloquin Template").append(kLineEnd);
    out.append("//").append(kLineEnd).append(kLineEnd);
    for (const Key& key : kKeys)
        WriteKey(out, key, settings);
    return out;
}

bool CVQTempl::Write(const std::string& path, const CVQPrjSettings& settings) {
    try {
        const std::string text = WriteText(settings);
        // Through a temporary file, so that a failed write keeps the previous template.
        const std::string temporary = path + ".tmp";
        if (!WriteWhole(temporary, text)) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
        std::error_code error;
        std::filesystem::rename(temporary, path, error);
        if (error)
            std::filesystem::remove(temporary, error);
        return !error;
    } catch (const std::exception&) {
        return false;
    }
}

std::optional<std::string> CVQTempl::QuotedValue(std::string_view text) {
    const std::size_t open = text.find('"');
    if (open == std::string_view::npos)
        return std::nullopt;
    // Up to the last quote: a value with a lone quote inside survives its round trip.
    const std::size_t close = text.rfind('"');
    const std::size_t end = close > open ? close : text.size();
    return std::string(DropTrailingBlanks(text.substr(open + 1, end - open - 1)));
}

bool CVQTempl::ReadText(std::string_view text, CVQPrjSettings& settings) {
    settings.startUrl.clear();
    // An editor may have put a UTF-8 byte order mark before the first line.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    bool knownKey = false;
    bool ok = true;
    while (!text.empty()) {
        const std::size_t lineEnd = text.find('\n');
        std::string_view line = text.substr(0, lineEnd);
        text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A whole line is one entry: a value longer than a reading piece continues in it and
        // its tail is never taken for a key of its own.
        const std::string_view word = TakeWord(line);
        if (word.starts_with("//"))
            continue;
        const Key* key = FindKey(word);
        if (!key)
            continue;
        knownKey = true;
        ok = ReadKey(*key, line, settings) && ok;
    }
    if (settings.startUrl.empty())
        settings.startUrl.emplace_back();
    return knownKey && ok;
}

bool CVQTempl::Read(const std::string& path, CVQPrjSettings& settings) {
    try {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            return false;
        const std::string text((std::istreambuf_iterator<char>(file)),
                               std::istreambuf_iterator<char>());
        if (file.bad())
            return false;
        return ReadText(text, settings);
    } catch (const std::exception&) {
        return false;
    }
}

std::string CVQTempl::DefaultTemplateDirectory(const CVQProgramOptions& options) {
    if (!options.lastDir.empty())
        return vq::DirectoryWithSlash(options.lastDir);
    for (const std::string& templ :
         {options.templFile,
          options.templateFileList.empty() ? std::string() : options.templateFileList.front()}) {
        std::string dir = DirectoryOf(templ);
        if (!dir.empty())
            return dir;
    }
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    return error ? std::string() : vq::DirectoryWithSlash(current.string());
}

bool CVQTempl::SetAsDefault(const CVQPrjSettings& settings, CVQProgramOptions& options,
                            std::string* writtenPath) {
    const std::string path = DefaultTemplateDirectory(options) + std::string(kDefaultName);
    if (!Write(path, settings))
        return false;
    options.useTemplFile = true;
    options.templFile = path;
    if (writtenPath)
        *writtenPath = path;
    return true;
}

std::string CVQTempl::ProjectPathFor(std::string_view templatePath) {
    return vq::ReplaceExtension(templatePath, "vqp");
}
