// What follows the end of a download: exit, shut the computer down or hang up, as the command
// line, a scheduled run or the program options ask. A download stopped by the user gets none.
#pragma once

#include "desktop/shell/command_line.h"

struct CVQScheduledRun {
    bool inProgress = false;
    bool autoShutdown = false;   // the schedule entry's "Auto Shutdown"
    bool autoDisconnect = false; // the schedule entry's "Auto Disconnect"
};

struct CVQDownloadEnd {
    CVQCommandLine commandLine;
    CVQScheduledRun scheduled;
    bool optionAutoShutdown = false;   // "AutoShutdown"
    bool optionAutoDisconnect = false; // "AutoDisconn"
    int connType = 2;                  // "ConnType": 1 is a dial-up connection
    bool dialledByProgram = false;
    bool stopped = false;              // either stop flag of the engine was set
};

enum class VQFollowUp { None, Finish, FinishWithShutdown };

// The first matching case only: the command line's -D project, then a scheduled run, then the
// "AutoShutdown" option.
VQFollowUp ChooseFollowUp(const CVQDownloadEnd& end);

// Whether the connection is hung up (after a 5-second countdown the user may cancel).
bool ShouldDisconnect(const CVQDownloadEnd& end);

// The program's side of the finishing procedure.
class CVQFinishActions {
public:
    virtual ~CVQFinishActions() = default;
    // Counts seconds down showing the text (its "%d" the seconds left); true to go ahead.
    virtual bool Countdown(int seconds, int textId) = 0;
    virtual void MarkProjectSaveWithoutQuestion() = 0;
    virtual void SaveOptions() = 0;
    virtual void SaveProject() = 0;
    // True when the system accepted the request.
    virtual bool ShutDownComputer() = 0;
    virtual void CloseProgram() = 0;
};

// Marks the project for saving, then either shuts the computer down after a 10-second countdown
// or closes the program; a cancelled countdown leaves the program running.
void FinishProgram(bool shutdown, CVQFinishActions& actions);

// Runs the follow-up that ChooseFollowUp picked, if any.
void RunFollowUp(const CVQDownloadEnd& end, CVQFinishActions& actions);
