#include "shell_test_support.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include "common/conversion_session.h"

namespace veltrano::testing {

void ensureApp() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "shell_tests";
    static char* argv[] = {name, nullptr};
    // Never deleted: widgets of a failed test must not outlive it.
    new QApplication(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installShellFonts();
}

void ShellTest::SetUp() {
    ensureApp();
    wizard().reset();
    endCount_ = 0;
    processEventsCount_ = 0;
    modalShown_.clear();
    asked_.clear();
    answers_.clear();
    openedUrls_.clear();
    onModal_ = nullptr;
    onMessage_ = nullptr;
    ShellHooks& hooks = shellHooks();
    hooks.endProgram = [this] { ++endCount_; };
    hooks.processEvents = [this] {
        ++processEventsCount_;
        QCoreApplication::processEvents();
    };
    hooks.runModal = [this](QWidget& w) {
        modalShown_ << w.objectName();
        w.show();
        if (onModal_) onModal_(w);
    };
    hooks.openUrl = [this](const QUrl& url) { openedUrls_.push_back(url); };
    hooks.fileDialog = [](const FileDialogRequest&) -> std::optional<FileChoice> {
        ADD_FAILURE() << "unexpected file dialog";
        return std::nullopt;
    };
    hooks.messageResponder = [this](FrmMessage& dialog) {
        asked_.push_back({dialog.text(), dialog.buttonSet(), dialog.picture()});
        if (onMessage_) onMessage_(dialog);
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected message: " << dialog.text().toStdString();
            dialog.press(kClosed);
            return;
        }
        const int code = answers_.front();
        answers_.pop_front();
        EXPECT_TRUE(dialog.press(code)) << "no button answers " << code;
    };
}

void ShellTest::TearDown() {
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " scripted answers were not asked for";
    wizard().reset();
    flushDeletes();
}

void ShellTest::flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace veltrano::testing
