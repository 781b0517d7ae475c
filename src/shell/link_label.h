// A label drawn as a link: blue text, the hand pointer over it, and a
// clicked() signal like a button's.
#pragma once

#include <QLabel>

namespace veltrano {

class LinkLabel : public QLabel {
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    // Same as a click with the mouse.
    void click() { emit clicked(); }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace veltrano
