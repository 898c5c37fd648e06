// Which download a start makes of a project: new, continue, or one of the special types.
#pragma once

struct CVQTreeCounts;

struct CVQDownloadTypeChoice {
    bool ask = false; // the dialog "Choose the Download Type" is shown
    int offered = 0;  // the type bits it offers
    int preselected = 1;
};

namespace vq {

// Without a user (command line, scheduler): continue a run that stopped or never ended, else a
// new download.
int UnattendedDownloadType(int runState);

// With a user: the dialog is shown when the last run stopped or never ended, or when the tree
// holds selected, failed or incomplete nodes or nodes still to be analyzed; otherwise a new
// download starts without asking.
CVQDownloadTypeChoice DownloadTypeChoice(int runState, const CVQTreeCounts& counts);

} // namespace vq
