// Drives the wizard offscreen: a lazily created QApplication, and hooks that
// record the program's end, modal windows and file dialogs, and answer the
// message dialog from a script.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"

namespace veltrano::testing {

void ensureApp();

struct AskedMessage {
    QString text;
    int buttonSet = 0;
    int picture = 0;
};

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Answers for the next message dialogs, in order (MessageResult codes).
    void answer(std::initializer_list<int> codes) { answers_.insert(answers_.end(), codes); }

    // Deletes pages discarded with deleteLater.
    static void flushDeletes();

    int endCount_ = 0;                    // times the program was ended
    int processEventsCount_ = 0;
    QStringList modalShown_;              // object names, in order
    std::vector<AskedMessage> asked_;
    std::deque<int> answers_;
    std::vector<QUrl> openedUrls_;
    // Runs inside the modal hook while the window is shown (About is only
    // alive during its call).
    std::function<void(QWidget&)> onModal_;
    // Also sees each laid-out message dialog before it is answered.
    std::function<void(FrmMessage&)> onMessage_;
};

}  // namespace veltrano::testing
