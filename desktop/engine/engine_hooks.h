// What the engine calls beyond the download itself: the countdown window, the conversion pass,
// the AutoSync export, the dial-up connection and the front end that follows up the end.
#pragma once

#include <functional>
#include <string>

class CVQDoc;

// The export of the project after a download (AutoSync). This one does nothing.
class CVQAutoSync {
public:
    virtual ~CVQAutoSync() = default;
    virtual void Export(CVQDoc& /*doc*/) {}
};

// The dial-up connection made before a download. This one needs none and always succeeds.
class CVQDialUp {
public:
    virtual ~CVQDialUp() = default;
    // False with the dialer's message when a configured connection cannot be made.
    virtual bool Connect(CVQDoc& /*doc*/, std::string& /*message*/) { return true; }
};

// How a download ended, for the front end that runs the follow-up (exit, shut down, hang up).
struct CVQDownloadOutcome {
    int runState = 0;
    int stopReason = 0;
    bool stoppedByUser = false; // the stop request was set when the download ended
    bool preview = false;
    bool unattended = false;
    bool scheduled = false;
};

struct CVQEngineHooks {
    // Counts seconds down showing text (its "%d" the seconds left); false when cancelled. None
    // goes ahead at once.
    std::function<bool(int seconds, const std::string& text)> countdown;
    // The conversion pass over the new files; none converts nothing.
    std::function<void(CVQDoc& doc)> convertLinks;
    CVQAutoSync* autoSync = nullptr; // none: nothing is exported
    CVQDialUp* dialUp = nullptr;     // none: no connection is made
    // Told when a download ended, unless the project is being closed.
    std::function<void(const CVQDownloadOutcome& outcome)> downloadEnded;
};
