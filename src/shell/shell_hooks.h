// The few things the wizard asks of the desktop: letting window events run,
// running a window modal, answering the message dialog, the open and save
// file dialogs, opening a web address, and ending the program. Each one is a
// replaceable function so the whole wizard can be driven offscreen by tests
// without blocking and without leaving the test process.
#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class QWidget;

namespace veltrano {

class FrmMessage;

// What a file dialog reports: the full path and the name without its folder.
struct FileChoice {
    QString path;
    QString fileName;
};

enum class FileDialogKind { Open, Save };

struct FileDialogRequest {
    FileDialogKind kind = FileDialogKind::Open;
    QWidget* parent = nullptr;
    QString filter;       // "Description|*.ext" pairs, as the pages write them
    QString initialName;  // proposed file name (may be empty)
};

struct ShellHooks {
    // Stops the program. Default: leaves every running event loop, so main()
    // returns; no window or close handling runs afterwards.
    std::function<void()> endProgram;
    // Lets pending window events run. Default: QCoreApplication::processEvents.
    std::function<void()> processEvents;
    // Shows a window modal and returns once it is hidden or closed. Default:
    // QDialog::exec for dialogs, a local event loop for other windows.
    std::function<void(QWidget&)> runModal;
    // When set, the message dialog is handed here, fully laid out, instead of
    // being shown; the responder presses one of its buttons (FrmMessage::press)
    // or closes it. Empty: the dialog runs through runModal.
    std::function<void(FrmMessage&)> messageResponder;
    // Open or save dialog; nullopt when the user cancels. The default save
    // dialog asks before an existing file is replaced.
    std::function<std::optional<FileChoice>(const FileDialogRequest&)> fileDialog;
    // Asks the desktop to open an address in the default browser; the
    // outcome is not looked at.
    std::function<void(const QUrl&)> openUrl;
};

// The hooks in force; resetShellHooks() puts the defaults back and forgets
// that the program was ended.
ShellHooks& shellHooks();
void resetShellHooks();

// Ends the program through the hook, once. Afterwards programEnded() is
// true: long runs stop, and no further question is asked.
void endProgram();
bool programEnded();

// Turns "Access files|*.mdb" (description|pattern pairs) into Qt's
// "Access files (*.mdb)" filter list.
QString qtFileFilter(const QString& filter);

// The extension of the first pattern of a filter in that form ("txt" for
// "Text Files|*.txt"), which a save dialog adds to a name typed without one;
// empty for "*.*".
QString defaultSuffix(const QString& filter);

// The file dialogs as the pages use them (through the hook).
std::optional<FileChoice> chooseOpenFile(QWidget* parent, const QString& filter, const QString& initialName = {});
std::optional<FileChoice> chooseSaveFile(QWidget* parent, const QString& filter, const QString& initialName = {});

// Called once at start: Arial where the system has it, otherwise a font with
// the same metrics (Liberation Sans) stands in for it.
void installShellFonts();

// The wizard's window background, RGB(207, 207, 207).
void applyWindowBackground(QWidget* window);

}  // namespace veltrano
