// Messages, log lines and the progress line of the terminal front end.
#include "cli/terminal_observer.h"

#include "desktop/project/text_format.h"
#include "desktop/resources/string_table.h"

#include <cstdlib>
#include <ostream>
#include <string_view>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr std::chrono::seconds kSpeedWindow{3};

std::string_view WithoutLineEnd(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    return line;
}

// The width a redrawn line may take without wrapping (which would break the redraw).
std::size_t TerminalWidth() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1)
        return size.ws_col - 1u;
    return 79;
}

} // namespace

CVQTerminalObserver::CVQTerminalObserver(std::ostream& out, std::ostream& err, bool terminal)
    : m_out(out), m_err(err), m_terminal(terminal) {}

bool CVQTerminalObserver::StdoutIsTerminal() {
    const char* term = std::getenv("TERM");
    return ::isatty(STDOUT_FILENO) == 1 && !(term && std::string_view(term) == "dumb");
}

void CVQTerminalObserver::ShowMessage(const std::string& text, VQIcon /*icon*/) {
    std::lock_guard lock(m_lock);
    ClearLine();
    m_err << text << std::endl;
}

VQAnswer CVQTerminalObserver::Ask(const std::string& text, bool /*withCancel*/,
                                  VQAnswer /*preselected*/) {
    std::lock_guard lock(m_lock);
    ClearLine();
    m_err << text << ' '
          << VQText(m_answer == VQAnswer::Yes ? IDS_CLI_ANSWER_YES : IDS_CLI_ANSWER_NO)
          << std::endl;
    return m_answer;
}

void CVQTerminalObserver::LogLine(const std::string& line) {
    std::lock_guard lock(m_lock);
    const std::string_view text = WithoutLineEnd(line);
    if (text.empty())
        return;
    ClearLine();
    m_out << text << std::endl;
}

void CVQTerminalObserver::StatusText(const std::string& text) {
    std::lock_guard lock(m_lock);
    m_status = text;
}

std::string CVQTerminalObserver::LastStatus() {
    std::lock_guard lock(m_lock);
    return m_status;
}

void CVQTerminalObserver::Totals(const CVQDownloadTotals& totals) {
    std::lock_guard lock(m_lock);
    m_totals = totals;
}

void CVQTerminalObserver::BeginProgress(Clock::time_point now) {
    std::lock_guard lock(m_lock);
    m_progress = true;
    m_start = m_lastPlain = m_sampleTime = now;
    m_sampleBytes = m_totals.bytesStored;
    m_speed = 0;
}

void CVQTerminalObserver::Tick(Clock::time_point now) {
    std::lock_guard lock(m_lock);
    if (!m_progress)
        return;
    if (now - m_sampleTime >= kSpeedWindow) {
        const double seconds = std::chrono::duration<double>(now - m_sampleTime).count();
        m_speed = static_cast<double>(m_totals.bytesStored - m_sampleBytes) / seconds;
        m_sampleTime = now;
        m_sampleBytes = m_totals.bytesStored;
    }
    if (m_terminal) {
        DrawLine(now);
        return;
    }
    if (now - m_lastPlain >= kPlainInterval) {
        m_lastPlain = now;
        DrawLine(now);
    }
}

void CVQTerminalObserver::EndProgress(const std::string& summary) {
    std::lock_guard lock(m_lock);
    ClearLine();
    m_progress = false;
    if (!summary.empty())
        m_out << summary << std::endl;
}

void CVQTerminalObserver::ClearLine() {
    if (!m_lineShown)
        return;
    m_out << "\r\033[K" << std::flush;
    m_lineShown = false;
}

void CVQTerminalObserver::DrawLine(Clock::time_point now) {
    std::string text = ProgressText(
        m_totals, m_speed, std::chrono::duration_cast<std::chrono::seconds>(now - m_start));
    if (!m_terminal) {
        m_out << text << std::endl;
        return;
    }
    if (text.size() > TerminalWidth())
        text.resize(TerminalWidth());
    m_out << "\r\033[K" << text << std::flush;
    m_lineShown = true;
}

std::string CVQTerminalObserver::ProgressText(const CVQDownloadTotals& totals,
                                              double bytesPerSecond, std::chrono::seconds elapsed) {
    const std::string done = std::to_string(totals.processed);
    const std::string found = std::to_string(totals.found);
    const std::string failed = std::to_string(totals.errors);
    const std::string bytes = vq::SizeText(totals.bytesStored);
    const std::string speed =
        vq::SizeText(bytesPerSecond > 0 ? static_cast<std::uint64_t>(bytesPerSecond) : 0);
    return VQFormat(IDS_CLI_PROGRESS, done.c_str(), found.c_str(), failed.c_str(), bytes.c_str(),
                    speed.c_str(), ElapsedText(elapsed).c_str());
}

std::string CVQTerminalObserver::ElapsedText(std::chrono::seconds elapsed) {
    const long long total = elapsed.count() < 0 ? 0 : elapsed.count();
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const long long seconds = total % 60;
    return hours > 0 ? VQFormatText("%lld:%02lld:%02lld", hours, minutes, seconds)
                     : VQFormatText("%lld:%02lld", minutes, seconds);
}
