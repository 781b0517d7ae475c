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

}  // namespace veltrano
