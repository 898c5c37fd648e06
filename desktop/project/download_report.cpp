// Writing the HTML download report: its head, tabs, one row per file and its end.
#include "desktop/project/download_report.h"

#include "desktop/address/save_directory.h"
#include "desktop/project/doc_node.h"
#include "desktop/project/file_types.h"
#include "desktop/project/prj_settings.h"
#include "desktop/project/text_format.h"
#include "desktop/resources/report_logo.h"
#include "desktop/resources/string_table.h"

#include <cstdio>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool WriteFile(const std::string& path, const char* mode, const void* data, std::size_t size) {
    File file(std::fopen(path.c_str(), mode));
    if (!file)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file.get()) == size;
    return std::fclose(file.release()) == 0 && written;
}

std::string Text(int id) {
    return vq::HtmlEscape(VQText(id));
}

constexpr std::string_view kHead = R"(<HTML>
<HEAD>
<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=utf-8">
<META NAME="GENERATOR" CONTENT="Velloquin v5.0">
)";

constexpr std::string_view kStyle = R"(<STYLE TYPE="text/css">
.clsHeading { font-family: Arial; font-size: 16pt; font-weight: bold; }
TD.clsTitle { font-family: Arial; font-size: 8pt; background-color: #FFFFFF; }
TD.clsTitleB { font-family: Arial; font-size: 8pt; font-weight: bold; background-color: #FFFFFF; }
TH { text-align: center; color: #FFFFFF; background-color: #3366cc;
     border-top: 1px solid #71C2FF; border-left: 1px solid #71C2FF;
     border-bottom: 1px solid #264E75; border-right: 1px solid #264E75; }
TR.data { font-family: Arial; font-size: 8pt; background-color: #EEE; }
TD.tab { font-family: Arial; font-size: 10pt; font-weight: bold; background-color: #EEE; }
TD.seltab { font-family: Arial; font-size: 10pt; font-weight: bold; background-color: #DEDEDE; }
A.link { font-family: Arial; font-size: 12px; font-weight: bold; color: #003399;
         text-decoration: underline; }
A.link:hover { color: #4273BD; }
BODY { font-family: Arial; font-size: 8pt; }
</STYLE>
)";

// A shown row gets back its own display (a table row); "block" would break the columns.
constexpr std::string_view kScript = R"(<SCRIPT TYPE="text/javascript">
var tabIds = ["tab_all", "tab_downloaded", "tab_unchanged", "tab_cache", "tab_skipped", "tab_error"];
function showRows(showId, selTabId) {
  var all = document.getElementsByTagName("*");
  for (var i = 0; i < all.length; i++) {
    var e = all[i];
    if (!e.id)
      continue;
    if (tabIds.indexOf(e.id) >= 0)
      e.className = (e.id == selTabId) ? "seltab" : "tab";
    else
      e.style.display = (showId == "" || showId == e.id) ? "" : "none";
  }
}
</SCRIPT>
</HEAD>
<BODY>
)";

struct Tab {
    const char* rowId;
    const char* tabId;
    int label;
};

constexpr Tab kTabs[] = {
    {"", "tab_all", IDS_REPORT_TAB_ALL},
    {"downloaded", "tab_downloaded", IDS_REPORT_TAB_DOWNLOADED},
    {"unchanged", "tab_unchanged", IDS_REPORT_TAB_UNCHANGED},
    {"cache", "tab_cache", IDS_REPORT_TAB_CACHE},
    {"skipped", "tab_skipped", IDS_REPORT_TAB_SKIPPED},
    {"error", "tab_error", IDS_REPORT_TAB_ERRORS},
};

std::string InfoRow(int label, std::string_view value) {
    return "<TR><TD CLASS='clsTitleB'>" + Text(label) + "</TD><TD CLASS='clsTitle'>" +
           vq::HtmlEscape(value) + "</TD></TR>\n";
}

std::string TabRow() {
    std::string html = "<TABLE BORDER=0 CELLPADDING=4 CELLSPACING=0>\n<TR>\n";
    bool first = true;
    for (const Tab& tab : kTabs) {
        if (!first)
            html += "<TD WIDTH=2 BGCOLOR='#FFFFFF'></TD>\n";
        const std::string call = VQFormatText("showRows('%s','%s')", tab.rowId, tab.tabId);
        html += VQFormatText("<TD ID='%s' CLASS='%s' onclick=\"%s\">", tab.tabId,
                             first ? "seltab" : "tab", call.c_str());
        html +=
            "<A CLASS='link' HREF=\"javascript:" + call + "\">" + Text(tab.label) + "</A></TD>\n";
        first = false;
    }
    html += "</TR>\n<TR><TD CLASS='seltab' COLSPAN=11></TD></TR>\n</TABLE>\n";
    return html;
}

std::string Cell(std::string_view content, bool centered) {
    return std::string(centered ? "<TD ALIGN='center'>" : "<TD>") + std::string(content) + "</TD>";
}

} // namespace

std::string CVQDownloadReport::PathFor(std::string_view saveDirInUse, std::string_view title) {
    return vq::DirectoryWithSlash(saveDirInUse) + "_VQReport/" + vq::LegalFileName(title) +
           "_Report.htm";
}

bool CVQDownloadReport::Start(const std::string& path) {
    std::lock_guard lock(m_lock);
    m_path = path;
    const std::size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    if (!dir.empty() && !CreateDirectories(dir))
        return false;
    if (!WriteFile(path, "wb", nullptr, 0))
        return false;
    const auto logo = vq::ReportLogoGif();
    return WriteFile(dir + std::string(kLogoName), "wb", logo.data(), logo.size());
}

bool CVQDownloadReport::Header(const CVQReportHeader& header) {
    return Append(HeaderHtml(header));
}

bool CVQDownloadReport::Row(const CVQReportRow& row) {
    return Append(RowHtml(row));
}

bool CVQDownloadReport::End() {
    return Append(EndHtml());
}

std::string CVQDownloadReport::Path() const {
    std::lock_guard lock(m_lock);
    return m_path;
}

std::string CVQDownloadReport::HeaderHtml(const CVQReportHeader& header) {
    const std::string heading = Text(IDS_REPORT_TITLE);
    std::string html(kHead);
    html += "<TITLE>Velloquin " + heading + "</TITLE>\n";
    html += kStyle;
    html += kScript;
    html += "<TABLE BORDER=0 CELLPADDING=2 CELLSPACING=0>\n<TR><TD WIDTH=120><IMG SRC=\"" +
            std::string(kLogoName) + "\" WIDTH=234 HEIGHT=60 ALT=\"\"></TD>" +
            "<TD CLASS='clsHeading'>" + heading + "</TD></TR>\n</TABLE>\n";
    html += "<TABLE BORDER=0 CELLPADDING=2 CELLSPACING=0>\n";
    html += InfoRow(IDS_REPORT_PROJECT, header.projectPath);
    html += InfoRow(IDS_REPORT_PRJ_TITLE, header.title);
    for (const std::string& address : header.startAddresses)
        html += InfoRow(IDS_REPORT_URL, address);
    html += InfoRow(IDS_REPORT_DIRECTORY, header.projectDir);
    html += InfoRow(IDS_REPORT_STARTED, vq::DateTimeText(header.started, true));
    html += "</TABLE>\n<BR>\n";
    html += TabRow();
    html += "<TABLE WIDTH='100%'>\n<TR>";
    static constexpr std::pair<int, const char*> kColumns[] = {
        {IDS_REPORT_COL_STATUS, "10%"},   {IDS_REPORT_COL_URL, "40%"},
        {IDS_REPORT_COL_TYPE, "10%"},     {IDS_REPORT_COL_SIZE, "10%"},
        {IDS_REPORT_COL_MODIFIED, "15%"}, {IDS_REPORT_COL_LEVEL, "5%"}};
    for (const auto& [label, width] : kColumns)
        html += VQFormatText("<TH WIDTH='%s'>", width) + Text(label) + "</TH>";
    html += "</TR>\n";
    return html;
}

std::string CVQDownloadReport::RowHtml(const CVQReportRow& row) {
    const char* id = "downloaded";
    std::string status;
    if (row.errorCode != 0) {
        id = "error";
        status = "<FONT COLOR=#FF0000>" +
                 vq::HtmlEscape(VQFormat(IDS_REPORT_ERROR, row.errorCode)) + "</FONT>";
    } else if (row.disposition == 1) {
        id = "skipped";
        status = Text(IDS_REPORT_SKIPPED);
    } else if (row.disposition == 2) {
        id = "unchanged";
        status = Text(IDS_REPORT_UNCHANGED);
    } else if (row.disposition == 8) {
        id = "cache";
        status = Text(IDS_REPORT_FROM_CACHE);
    } else {
        status = Text(IDS_REPORT_DOWNLOADED);
    }
    const std::string none = "&nbsp;";
    std::string group = row.node ? vq::HtmlEscape(vq::FileGroupName(row.node->group)) : "";
    if (group.empty())
        group = none;
    const bool hasLevel = row.node && row.node->level != kNoPosition;
    const std::string level = hasLevel ? std::to_string(row.node->level) : none;
    const std::string modified =
        row.lastModified ? vq::HtmlEscape(vq::DateTimeText(*row.lastModified, false)) : none;

    std::string html = "<TR CLASS='data' ID='" + std::string(id) + "'>";
    html += Cell(status, true);
    html += Cell(vq::HtmlEscape(row.address), false);
    html += Cell(group, true);
    html += Cell(vq::HtmlEscape(vq::SizeText(row.size)), true);
    html += Cell(modified, true);
    html += Cell(level, true);
    return html + "</TR>\n";
}

std::string CVQDownloadReport::EndHtml() {
    return "</TABLE>\n</BODY>\n</HTML>\n";
}

bool CVQDownloadReport::Append(const std::string& html) {
    std::lock_guard lock(m_lock);
    return !m_path.empty() && WriteFile(m_path, "ab", html.data(), html.size());
}
