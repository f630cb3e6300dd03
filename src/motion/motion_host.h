#pragma once

#include "motion/config_client.h"

#include <optional>

namespace kestrova::motion {

// A host that answers the control's dialogs itself instead of showing them (headless runs
// and tests). Without one the dialogs are real modal Qt dialogs.
class MotionDialogHost {
public:
    virtual ~MotionDialogHost() = default;
    // The authorization dialog: typed credentials, or nothing for Cancel.
    virtual std::optional<Credentials> AuthAnswer() = 0;
    virtual void About() {}
};

// Every pause of the control, in milliseconds. Users get the defaults; tests shorten them.
struct MotionTimings {
    int snapshotWait = 1000; // before the view-mode snapshot is asked for
    int stopWait = 1000;     // before a running stream is stopped (save, release)
    int restartWait = 2000;  // after a confirmed save, before the picture restarts
    int cancelWait = 200;    // Cancel: before the set-up is read again
    int readPeriod = 200;    // indicator timers started by a read
    int enablePeriod = 1000; // indicator timer restarted by MotionEnable
    uint32_t sessionStop = 70000;
};

} // namespace kestrova::motion
