#include "to_mysql/frm2.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

#include "common/conversion_session.h"
#include "shell/my_message.h"
#include "shell/shell_hooks.h"
#include "shell/wizard.h"
#include "to_mysql/conversion_run.h"
#include "to_mysql/frm1.h"
#include "shell/table_selection.h"

namespace veltrano {

Frm2::Frm2() : WizardPage(PageId::Frm2) {}

void Frm2::onLoad() {
    selection_ = new TableSelection(this, accessToMysqlSelectionLayout());
    chkConvertSpaces_ = new QCheckBox(QStringLiteral("Convert name spaces to underscores"), this);
    chkConvertSpaces_->setObjectName(QStringLiteral("chkConvertSpaces"));
    chkConvertSpaces_->setToolTip(
        QStringLiteral("If checked, Convert Space(s) in both table and field name to Undescore(s)"));
    placeTwips(chkConvertSpaces_, 120, 4380, 3900, 285);
    chkDefinitionOnly_ = new QCheckBox(QStringLiteral("Convert table definition only"), this);
    chkDefinitionOnly_->setObjectName(QStringLiteral("chkDefinitionOnly"));
    placeTwips(chkDefinitionOnly_, 4320, 4380, 3420, 285);
    session().definitionOnly = false;
    connect(chkDefinitionOnly_, &QCheckBox::clicked, this,
            [this] { session().definitionOnly = chkDefinitionOnly_->isChecked(); });
}

void Frm2::onActivate() { selection_->activate(); }

void Frm2::onNext() {
    ConversionSession& s = session();
    const QStringList names = selection_->selectedNames();
    if (!s.sourceEmpty && names.isEmpty()) {
        MyMessage(QStringLiteral("Select at least one table to convert."), kSetOk, kExclamation);
        return;
    }
    s.convertSpaces = chkConvertSpaces_->isChecked();
    forwardButton()->setEnabled(false);  // page 3's Back enables it again
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shellHooks().processEvents();
    std::vector<std::string> selected;
    for (const auto& n : names) selected.push_back(n.toStdString());
    auto* frm1 = wizard().pageAs<Frm1>(PageId::Frm1);
    // Errors of this step are passed over: a table that cannot be read shows
    // its failure when the run creates it.
    (void)tomysql::buildDefinitions(s, frm1->source(), selected, [] { shellHooks().processEvents(); });
    QApplication::restoreOverrideCursor();
    goForward();
}

void Frm2::beforeBack() {
    if (auto* frm1 = dynamic_cast<Frm1*>(wizard().loadedPage(PageId::Frm1))) frm1->closeSource();
}

}  // namespace veltrano
