// Ctrl+C during a run: the first one asks the download to stop as the Stop command does, a
// second one ends the program at once. SIGTERM counts as Ctrl+C.
#pragma once

class CVQInterruptGuard {
public:
    // Installs the handlers for the guard's lifetime; only one guard exists at a time.
    CVQInterruptGuard();
    ~CVQInterruptGuard();
    CVQInterruptGuard(const CVQInterruptGuard&) = delete;
    CVQInterruptGuard& operator=(const CVQInterruptGuard&) = delete;

    // How many interrupts came since the guard was installed.
    static int Count();
};
