// MyMessage and its window frmMessage: the one dialog through which the
// program shows every question, warning and error.
//
// The dialog sizes itself to its text: a hidden one-line label (lblTemp)
// measures the text's longest line, and that width decides between a short
// layout (the window shrinks or grows around the text) and two wrapped
// layouts of fixed width. All geometry is kept in twips, so the layout
// rules can be checked exactly, and is turned into pixels only for display.
// The frame around the inner area belongs to the window manager, so the
// window's width and height here are those of its inner area.
#pragma once

#include <QDialog>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

#include "common/run_host.h"

class QLabel;
class QPushButton;

namespace veltrano {

struct TwipsBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipsBox&) const = default;
};

class FrmMessage : public QDialog {
    Q_OBJECT

public:
    // Built in its design state: no button visible, exclamation picture.
    explicit FrmMessage(QWidget* parent = nullptr);

    // Fills and lays out the dialog for one call (text, button set, picture).
    void prepare(const QString& text, int buttonSet, int picture);

    // The word stored by the pressed button ("" while none was pressed) and
    // the MessageResult it stands for.
    QString answerWord() const { return answer_; }
    int result() const;

    // Presses the visible button that answers `code` (a MessageResult);
    // 0 closes the window by its close box. False when no visible button
    // gives that answer.
    bool press(int code);

    // What the dialog shows, for whoever answers it.
    QString text() const { return text_; }
    int buttonSet() const { return buttonSet_; }
    int picture() const { return picture_; }             // 1, 2 or 3 as shown
    QStringList visibleButtons() const;                   // object names, left to right

    // Geometry in twips: controls by object name, and the inner window size.
    TwipsBox box(const QString& control) const { return boxes_.value(control); }
    int windowWidth() const { return windowWidth_; }
    int windowHeight() const { return windowHeight_; }
    int baseWidth() const { return baseWidth_; }          // W of the button set
    int measuredWidth() const { return boxes_.value(QStringLiteral("lblTemp")).width; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* addButton(const char* name, const QString& caption, const QString& word, int width, int height,
                           int top);
    void setPicture(int picture);
    void applyGeometry();

    QString text_;
    QString answer_;
    int buttonSet_ = 0;
    int picture_ = kExclamation;
    int windowWidth_ = 6195;
    int windowHeight_ = 990;
    int baseWidth_ = 0;
    QMap<QString, TwipsBox> boxes_;
    QMap<QString, QWidget*> widgets_;
    QLabel* lblMessage_ = nullptr;
    QLabel* lblTemp_ = nullptr;
    QLabel* img_ = nullptr;
};

// Shows `text` with a button set (1 OK; 2 OK, Cancel; 3 Yes, No;
// 4 Yes, No, Cancel; 5 Skip, Skip all, Overwrite, Overwrite all, Cancel)
// and a picture (1 question, 2 exclamation, 3 information); blocks until the
// dialog is closed and returns the MessageResult of the pressed button, or 0.
int MyMessage(const QString& text, int buttonSet, int picture);

// Answers every later message without a user (tests): `answer` sees what the
// dialog shows and returns a MessageResult; an answer that no visible button
// gives closes the dialog instead (result 0). Installs
// ShellHooks::messageResponder; resetShellHooks() removes it.
void answerMessagesWith(std::function<int(const QString& text, int buttonSet, int picture)> answer);

}  // namespace veltrano
