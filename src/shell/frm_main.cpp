#include "shell/frm_main.h"

#include <QLabel>
#include <QRadioButton>

#include "common/conversion_session.h"
#include "shell/frm_about.h"
#include "shell/link_label.h"
#include "shell/wizard.h"

namespace veltrano {
namespace {

QFont arial(double pointSize, bool bold) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

}  // namespace

FrmMain::FrmMain() : WizardPage(PageId::Main) {
    optLenn_ = new QRadioButton(QStringLiteral("Access to MySQL"), this);
    optLenn_->setObjectName(QStringLiteral("optLenn"));
    optLenn_->setFont(arial(9.75, true));
    optLenn_->setChecked(true);
    placeTwips(optLenn_, 1620, 1500, 3555, 495);

    auto* lennText = new QLabel(QStringLiteral("I have an Access database and I want to export its data to MySQL"), this);
    lennText->setObjectName(QStringLiteral("lblLenn"));
    lennText->setFont(arial(8.25, false));
    lennText->setWordWrap(true);
    lennText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(lennText, 1920, 2040, 4155, 675);

    optTova_ = new QRadioButton(QStringLiteral("MySQL to Access"), this);
    optTova_->setObjectName(QStringLiteral("optTova"));
    optTova_->setFont(arial(9.75, true));
    placeTwips(optTova_, 1620, 3120, 4815, 495);

    auto* tovaText = new QLabel(QStringLiteral("I have a MySQL database and I want to export its data to Access."), this);
    tovaText->setObjectName(QStringLiteral("lblTova"));
    tovaText->setFont(arial(8.25, false));
    tovaText->setWordWrap(true);
    tovaText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(tovaText, 1920, 3660, 4095, 675);

    label3_ = new LinkLabel(QStringLiteral("About this program"), this);
    label3_->setObjectName(QStringLiteral("Label3"));
    QFont linkFont = arial(8.25, false);
    linkFont.setUnderline(true);
    label3_->setFont(linkFont);
    placeTwips(label3_, 6060, 4620, 1635, 225);
    connect(label3_, &LinkLabel::clicked, this, [] { showAbout(); });
}

void FrmMain::onLoad() {
    // The option buttons take the window's background through its palette.
    session().quitting = false;
}

void FrmMain::onNext() {
    if (optLenn_->isChecked()) {
        session().direction = 1;
        wizard().show(PageId::Frm1, this);
    } else {
        session().direction = 0;
        wizard().show(PageId::Tova1, this);
    }
}

}  // namespace veltrano
