// What a download is started with, and the engine's waiting times.
#pragma once

class CVQDocNode;

struct CVQStartRequest {
    int type = 0;                 // a download type; 0: chosen as the user or the rules decide
    bool unattended = false;      // started by the command line or the scheduler: nobody to ask
    bool scheduled = false;       // started by the scheduler
    bool preview = false;         // "Preview website": never in branch mode
    CVQDocNode* branch = nullptr; // "Download Branch": only this node's subtree
    bool convert = false;         // the command line asked for the conversion pass
};

// The engine's pauses in milliseconds. The defaults are the program's; only tests and the
// benchmark shorten them.
struct CVQEngineOptions {
    int workerStaggerMs = 500; // between the starts of two workers
    int retryPauseMs = 500;    // before a file is tried again
    int pollMs = 500;          // idle and paused workers look again after this
    int stopPollMs = 100;      // closing looks this often whether the download has ended
    int closeWaitMs = 10000;   // the longest closing waits for the workers
    int countdownSeconds = 5;  // before the conversion pass and the AutoSync export
};
