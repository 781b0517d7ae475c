// frmHelp: the help window of every page. Created at its first use and
// afterwards only hidden and shown again; each time it is shown or
// activated it shows the text for the page key in ConversionSession::helpKey.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace veltrano {

class FrmHelp : public QDialog {
    Q_OBJECT

public:
    explicit FrmHelp(QWidget* parent = nullptr);

    // Looks up helpKey (ignoring case) and shows its caption and text; an
    // unknown key leaves both as they were.
    void refresh();

    // The text shown, with its CR LF line breaks.
    QString text() const { return text_; }
    QPlainTextEdit* textBox() const { return text1_; }
    QPushButton* closeButton() const { return close_; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPlainTextEdit* text1_ = nullptr;
    QPushButton* close_ = nullptr;
    QString text_;
};

// The one help window, created on first use.
FrmHelp* helpWindow();
// True once helpWindow() has created it.
bool helpWindowLoaded();
// Deletes it (at program end, and between tests).
void discardHelpWindow();

// Stores `key` in helpKey and shows the help window modal.
void showHelp(const QString& key);

}  // namespace veltrano
