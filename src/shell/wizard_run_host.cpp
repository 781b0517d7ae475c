#include "shell/wizard_run_host.h"

#include "shell/my_message.h"
#include "shell/shell_hooks.h"

namespace veltrano {

WizardRunHost::WizardRunHost(WizardPage* page) : page_(page) {}

int WizardRunHost::ask(const std::string& text, int buttonSet, int picture) {
    return MyMessage(QString::fromStdString(text), buttonSet, picture);
}

void WizardRunHost::keepAlive() {
    if (sinceEvents_.isValid() && sinceEvents_.elapsed() < kKeepAliveMs) return;
    shellHooks().processEvents();
    sinceEvents_.start();
}

bool WizardRunHost::cancelRequested() const {
    return programEnded() || (page_ && page_->stopRequested());
}

void WizardRunHost::progress(int percent) {
    if (page_) page_->showRunProgress(percent);
}

}  // namespace veltrano
