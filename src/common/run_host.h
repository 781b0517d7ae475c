// RunHost: everything a conversion run needs from whoever drives it.
//
// The wizard answers through the message dialog and lets window events run;
// the batch tool and the tests answer by policy. Conversion code never touches
// a widget: it asks here.
#pragma once

#include <cstdint>
#include <string>

namespace veltrano {

// Answers of the message dialog (and of every other host).
enum MessageResult : int {
    kClosed = 0,
    kYes = 1,
    kNo = 2,
    kCancel = 3,
    kOk = 4,
    kSkip = 5,
    kOverwrite = 6,
    kSkipAll = 7,
    kOverwriteAll = 8,
};

// Button sets and pictures of the message dialog.
enum ButtonSet : int { kSetOk = 1, kSetOkCancel = 2, kSetYesNo = 3, kSetYesNoCancel = 4, kSetTableExists = 5 };
enum Picture : int { kQuestion = 1, kExclamation = 2, kInformation = 3 };

class RunHost {
public:
    virtual ~RunHost() = default;

    // Shows a message or asks a question; returns a MessageResult.
    virtual int ask(const std::string& text, int buttonSet, int picture) = 0;

    // Called often during a run; lets the user interface breathe. Hosts
    // decide how often they actually do work here.
    virtual void keepAlive() {}

    // True once the user asked to stop the run (and confirmed it).
    virtual bool cancelRequested() const { return false; }

    // Progress of the run, 0 to 100.
    virtual void progress(int /*percent*/) {}
};

}  // namespace veltrano
