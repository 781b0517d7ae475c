// WizardRunHost: how a conversion run started from a page talks to the
// user. Questions go to the message dialog; window events run at most about
// every 50 ms, which keeps the window drawn and lets Cancel and Help be
// pressed without slowing a run of many small rows.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "common/run_host.h"
#include "shell/wizard_page.h"

namespace veltrano {

// The question a run page's Cancel asks before it stops the run.
inline constexpr char kStopRunQuestion[] =
    "Do you really want to stop conversion?, if you do you won't be able to undo changes made to the destination "
    "database.";

class WizardRunHost : public RunHost {
public:
    // `page` is the page the run belongs to: its confirmed Cancel stops the
    // run and it shows the progress. May be null.
    explicit WizardRunHost(WizardPage* page = nullptr);

    // Texts are UTF-8.
    int ask(const std::string& text, int buttonSet, int picture) override;
    void keepAlive() override;
    bool cancelRequested() const override;
    void progress(int percent) override;

    // Minimum time between two rounds of window events.
    static constexpr qint64 kKeepAliveMs = 50;

private:
    QPointer<WizardPage> page_;
    QElapsedTimer sinceEvents_;
};

// The host of a run whose page stops it itself: its Cancel, confirmed during
// the run, sets `stop`, and the run ends (and commits) before the page shows
// the report.
class StoppableRunHost : public WizardRunHost {
public:
    StoppableRunHost(WizardPage* page, const bool& stop) : WizardRunHost(page), stop_(stop) {}
    bool cancelRequested() const override { return stop_ || WizardRunHost::cancelRequested(); }

private:
    const bool& stop_;
};

}  // namespace veltrano
