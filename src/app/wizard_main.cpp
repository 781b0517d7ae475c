// veltrano: the conversion wizard.
#include <QApplication>
#include <QIcon>

#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_access/to_access_pages.h"
#include "to_mysql/to_mysql_pages.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    // Ties the windows to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.orvane.Veltrano"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("io.github.orvane.Veltrano")));
    // The program ends only through Exit, a confirmed Cancel or Finish; a
    // page that hides itself never ends it by accident.
    QApplication::setQuitOnLastWindowClosed(false);
    veltrano::installShellFonts();
    veltrano::registerAccessToMysqlPages();
    veltrano::registerMysqlToAccessPages();
    veltrano::wizard().start();
    const int code = QApplication::exec();
    veltrano::wizard().reset();
    return code;
}
