// Writes a PNG of every window of the wizard (all pages, the message dialog
// with each button set, help and About) into the folder given as the first
// argument, so a reviewer can look at them. Run offscreen by ctest.
//
// With "--screen FILE" it instead shows the main window on the real display
// (an X server such as Xvfb) and saves what the screen shows around it.
#include <QApplication>
#include <QDir>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "shell/frm_about.h"
#include "shell/frm_help.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_access/to_access_pages.h"
#include "to_mysql/to_mysql_pages.h"

using namespace veltrano;

namespace {

bool save(QWidget& window, const QDir& dir, const QString& name) {
    window.show();
    QApplication::processEvents();
    const QString path = dir.filePath(name + QStringLiteral(".png"));
    if (!window.grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

int screenShot(const QString& file) {
    wizard().start();
    QTimer::singleShot(800, [file] {
        WizardPage* main = wizard().page(PageId::Main);
        const QRect area = main->frameGeometry().adjusted(-12, -12, 12, 12);
        const QPixmap shot = main->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        QApplication::exit(shot.save(file) ? 0 : 1);
    });
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    installShellFonts();
    registerAccessToMysqlPages();
    registerMysqlToAccessPages();
    const QStringList args = QApplication::arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--screen")) return screenShot(args[2]);
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: page_screenshots FOLDER | --screen FILE\n");
        return 2;
    }
    QDir dir(args[1]);
    if (!dir.mkpath(QStringLiteral("."))) return 1;

    // Nothing may block or end the program while the windows are drawn.
    ShellHooks& hooks = shellHooks();
    hooks.endProgram = [] {};
    hooks.runModal = [](QWidget& w) { w.show(); };
    hooks.messageResponder = [](FrmMessage& m) { m.press(kClosed); };
    hooks.fileDialog = [](const FileDialogRequest&) -> std::optional<FileChoice> { return std::nullopt; };
    hooks.openUrl = [](const QUrl&) {};

    bool ok = true;
    for (int i = 0; i < kPageCount; ++i) {
        const auto id = static_cast<PageId>(i);
        WizardPage* page = wizard().page(id);
        ok = save(*page, dir, page->objectName()) && ok;
        page->hide();
    }

    struct Sample {
        const char* name;
        const char* text;
        int set;
        int picture;
    };
    const Sample samples[] = {
        {"frmMessage_exit", "Do you really want to exit!? ", kSetYesNo, kQuestion},
        {"frmMessage_notice", "The Database is empty ", kSetOk, kInformation},
        {"frmMessage_ok_cancel", "Replace the report file?", kSetOkCancel, kQuestion},
        {"frmMessage_yes_no_cancel", "Keep going?", kSetYesNoCancel, kQuestion},
        {"frmMessage_table_exists", "Table \"Customer Orders\" already exists.", kSetTableExists, kQuestion},
        {"frmMessage_stop",
         "Do you really want to stop conversion?, if you do you won't be able to undo changes made to the "
         "destination database.",
         kSetYesNo, kExclamation},
        {"frmMessage_connect",
         "Can't connect to server on 'LocalHost' (115)\n"
         "connection refused: is the server running and is the port right?",
         kSetOk, kExclamation},
        {"frmMessage_long",
         "Table 'shop.orders' doesn't exist. The statement could not be run on the server, so nothing was "
         "changed in the target database; check the name of the table and the rights of the login you used, "
         "then try the conversion again.",
         kSetOk, kExclamation},
    };
    for (const Sample& s : samples) {
        FrmMessage message;
        message.prepare(QString::fromUtf8(s.text), s.set, s.picture);
        ok = save(message, dir, QString::fromLatin1(s.name)) && ok;
    }

    showHelp(QStringLiteral("frmTova3"));
    ok = save(*helpWindow(), dir, QStringLiteral("frmHelp")) && ok;
    helpWindow()->hide();

    FrmAbout about;
    ok = save(about, dir, QStringLiteral("frmAbout")) && ok;
    about.hide();

    wizard().reset();
    std::printf("screenshots written to %s\n", qPrintable(dir.absolutePath()));
    return ok ? 0 : 1;
}
