#include "shell/frm_about.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>

#include "shell/link_label.h"
#include "shell/shell_hooks.h"
#include "shell/twips.h"

namespace veltrano {
namespace {

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, int pointSize, bool bold) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

LinkLabel* addLink(QWidget* parent, const char* name, const QString& text) {
    auto* link = new LinkLabel(text, parent);
    link->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(9);
    font.setUnderline(true);
    link->setFont(font);
    return link;
}

// The program's picture: two stacked discs (a database) with a V across them.
QPixmap logo(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor blue(0, 0, 192);
    painter.setPen(QPen(blue, 2));
    painter.setBrush(QColor(207, 207, 207));
    const qreal w = size * 0.7, h = size * 0.22, x = size * 0.15;
    painter.drawRect(QRectF(x, size * 0.2, w, size * 0.6));
    painter.drawEllipse(QRectF(x, size * 0.7, w, h));
    painter.setPen(Qt::NoPen);
    painter.drawRect(QRectF(x + 1, size * 0.75, w - 2, size * 0.06));
    painter.setPen(QPen(blue, 2));
    painter.drawEllipse(QRectF(x, size * 0.1, w, h));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(static_cast<int>(size * 0.45));
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRectF(0, size * 0.3, size, size * 0.5), Qt::AlignCenter, QStringLiteral("V"));
    return pixmap;
}

}  // namespace

FrmAbout::FrmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About Veltrano"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
    setAutoFillBackground(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgLogo"));
    picture->setPixmap(logo(toPixels(900)));
    setTwipsGeometry(picture, 240, 240, 900, 900);

    setTwipsGeometry(addLabel(this, "lblProduct", QStringLiteral("Veltrano"), 16, true), 1320, 240, 3000, 480);
    setTwipsGeometry(addLabel(this, "lblMaker", QStringLiteral("Orvane"), 10, true), 1320, 720, 3000, 300);
    setTwipsGeometry(addLabel(this, "lblVersion", QStringLiteral("Version 1.0"), 9, false), 1320, 1020, 3000, 300);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    setTwipsGeometry(line, 240, 1440, 4560, 60);

    struct Target {
        const char* name;
        const char* caption;
        const char* url;
        int top;
    };
    const Target targets[] = {
        {"lblHomepage", "Veltrano Homepage", kHomepageUrl, 1620},
        {"lblSupport", "Veltrano Support", kSupportUrl, 1920},
        {"lblMakerHomepage", "Orvane Homepage", kMakerUrl, 2220},
    };
    for (const Target& t : targets) {
        LinkLabel* link = addLink(this, t.name, QString::fromLatin1(t.caption));
        setTwipsGeometry(link, 1320, t.top, 2400, 270);
        const QUrl url(QString::fromLatin1(t.url));
        connect(link, &LinkLabel::clicked, this, [url] { shellHooks().openUrl(url); });
    }
    LinkLabel* closeLink = addLink(this, "lblClose", QStringLiteral("Close this window"));
    setTwipsGeometry(closeLink, 3000, 2700, 1800, 270);
    connect(closeLink, &LinkLabel::clicked, this, &QWidget::close);

    setTwipsClientSize(this, 5040, 3180);
}

LinkLabel* FrmAbout::link(const QString& objectName) const { return findChild<LinkLabel*>(objectName); }

void showAbout(QWidget* parent) {
    FrmAbout about(parent);
    shellHooks().runModal(about);
}

}  // namespace veltrano
