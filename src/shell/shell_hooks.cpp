#include "shell/shell_hooks.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace veltrano {
namespace {

// Quits a local event loop when the watched window is hidden or destroyed.
class HideWatcher : public QObject {
public:
    HideWatcher(QWidget* window, QEventLoop* loop) : loop_(loop) { window->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        // A minimised window gets a Hide event too but is not hidden.
        if (event->type() == QEvent::Hide && static_cast<QWidget*>(watched)->isHidden()) loop_->quit();
        return false;
    }

private:
    QEventLoop* loop_;
};

void defaultRunModal(QWidget& window) {
    if (auto* dialog = qobject_cast<QDialog*>(&window)) {
        dialog->exec();
        return;
    }
    QPointer<QWidget> guard(&window);
    const bool wasVisible = window.isVisible();
    if (wasVisible) window.hide();  // modality only takes effect on show
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    QEventLoop loop;
    HideWatcher watcher(&window, &loop);
    QObject::connect(&window, &QObject::destroyed, &loop, &QEventLoop::quit);
    loop.exec();
    if (guard) guard->setWindowModality(Qt::NonModal);
}

std::optional<FileChoice> defaultFileDialog(const FileDialogRequest& request) {
    const QString filter = qtFileFilter(request.filter);
    QString path;
    if (request.kind == FileDialogKind::Open) {
        path = QFileDialog::getOpenFileName(request.parent, QString(), request.initialName, filter);
    } else {
        // A name typed without an extension gets the filter's: "report"
        // becomes "report.txt". The dialog adds it before it asks whether an
        // existing file may be replaced, so the question is about the file
        // that will really be written.
        QFileDialog dialog(request.parent, QString(), request.initialName, filter);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(defaultSuffix(request.filter));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    if (path.isEmpty()) return std::nullopt;
    return FileChoice{path, QFileInfo(path).fileName()};
}

ShellHooks defaultHooks() {
    ShellHooks hooks;
    hooks.endProgram = [] {
        for (QWidget* w : QApplication::topLevelWidgets()) w->hide();
        QCoreApplication::exit(0);
    };
    hooks.processEvents = [] { QCoreApplication::processEvents(); };
    hooks.runModal = defaultRunModal;
    hooks.fileDialog = defaultFileDialog;
    hooks.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    return hooks;
}

bool& endedFlag() {
    static bool ended = false;
    return ended;
}

}  // namespace

ShellHooks& shellHooks() {
    static ShellHooks hooks = defaultHooks();
    return hooks;
}

void resetShellHooks() {
    shellHooks() = defaultHooks();
    endedFlag() = false;
}

void endProgram() {
    if (endedFlag()) return;
    endedFlag() = true;
    shellHooks().endProgram();
}

bool programEnded() { return endedFlag(); }

QString defaultSuffix(const QString& filter) {
    const QStringList parts = filter.split('|');
    if (parts.size() < 2) return {};
    const QString first = parts[1].split(';').constFirst().trimmed();
    // "*.txt" gives "txt"; "*.*" and "*" give none.
    if (!first.startsWith(QLatin1String("*."))) return {};
    const QString extension = first.mid(2);
    if (extension.isEmpty() || extension.contains(QLatin1Char('*')) || extension.contains(QLatin1Char('?')))
        return {};
    return extension;
}

QString qtFileFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << QStringLiteral("%1 (%2)").arg(parts[i], patterns);
    }
    if (out.isEmpty() && !filter.isEmpty()) out << filter;
    return out.join(QStringLiteral(";;"));
}

std::optional<FileChoice> chooseOpenFile(QWidget* parent, const QString& filter, const QString& initialName) {
    return shellHooks().fileDialog(FileDialogRequest{FileDialogKind::Open, parent, filter, initialName});
}

std::optional<FileChoice> chooseSaveFile(QWidget* parent, const QString& filter, const QString& initialName) {
    return shellHooks().fileDialog(FileDialogRequest{FileDialogKind::Save, parent, filter, initialName});
}

void installShellFonts() {
    static bool done = false;
    if (done) return;
    done = true;
    if (!QFontDatabase::hasFamily(QStringLiteral("Arial"))) {
        QFont::insertSubstitutions(QStringLiteral("Arial"),
                                   {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo")});
    }
}

void applyWindowBackground(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, QColor(207, 207, 207));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

}  // namespace veltrano
