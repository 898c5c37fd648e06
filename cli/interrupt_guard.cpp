// Signal handlers of a running download. They only count and write prepared texts: a project
// file is replaced by renaming a finished copy, so ending between two steps never leaves a
// half-written one.
#include "cli/interrupt_guard.h"

#include "cli/cli_context.h"
#include "desktop/resources/string_table.h"

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<int> g_count{0};
// Prepared before the handlers are installed: a handler may not allocate.
char g_firstText[256];
char g_secondText[256];
struct sigaction g_oldInt {};
struct sigaction g_oldTerm {};

void Prepare(char (&buffer)[256], int id) {
    const std::string text = VQText(id) + "\n";
    std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
}

void Write(const char* text) {
    const ssize_t ignored = ::write(STDERR_FILENO, text, std::strlen(text));
    (void)ignored;
}

void OnInterrupt(int) {
    if (g_count.fetch_add(1) == 0) {
        Write(g_firstText);
        return;
    }
    Write(g_secondText);
    ::_exit(kExitStopped);
}

} // namespace

CVQInterruptGuard::CVQInterruptGuard() {
    Prepare(g_firstText, IDS_CLI_STOPPING);
    Prepare(g_secondText, IDS_CLI_STOPPED_AT_ONCE);
    g_count = 0;
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_oldInt);
    ::sigaction(SIGTERM, &action, &g_oldTerm);
}

CVQInterruptGuard::~CVQInterruptGuard() {
    ::sigaction(SIGINT, &g_oldInt, nullptr);
    ::sigaction(SIGTERM, &g_oldTerm, nullptr);
}

int CVQInterruptGuard::Count() {
    return g_count.load();
}
