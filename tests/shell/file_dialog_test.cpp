// The save dialog as the program shows it (not a test hook): a name typed
// without an extension gets the filter's, one with an extension is kept.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include "shell/shell_hooks.h"
#include "shell_test_support.h"

namespace veltrano {
namespace {

// Types `name` into the next file dialog that opens and accepts it.
std::optional<FileChoice> saveAs(const QString& folder, const QString& name) {
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* nameBox = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
        if (!dialog || !dialog->isVisible() || !nameBox) return;
        timer.stop();
        dialog->setDirectory(folder);
        nameBox->setText(name);  // as a user types it
        static_cast<QDialog*>(dialog)->accept();  // QFileDialog::accept, which adds the suffix
    });
    timer.start(10);
    return chooseSaveFile(nullptr, QStringLiteral("Text Files|*.txt"), QStringLiteral("report.txt"));
}

TEST(SaveDialog, AddsTheFilterExtensionToANameTypedWithoutOne) {
    testing::ensureApp();
    resetShellHooks();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    auto plain = saveAs(folder.path(), QStringLiteral("myreport"));
    ASSERT_TRUE(plain.has_value());
    EXPECT_EQ(plain->path, QDir(folder.path()).filePath(QStringLiteral("myreport.txt")));
    EXPECT_EQ(plain->fileName, QStringLiteral("myreport.txt"));

    auto withExtension = saveAs(folder.path(), QStringLiteral("notes.log"));
    ASSERT_TRUE(withExtension.has_value());
    EXPECT_EQ(withExtension->fileName, QStringLiteral("notes.log"));

    EXPECT_EQ(defaultSuffix(QStringLiteral("Access files|*.mdb;*.accdb")), QStringLiteral("mdb"));
    EXPECT_EQ(defaultSuffix(QStringLiteral("All files|*.*")), QString());
}

}  // namespace
}  // namespace veltrano
