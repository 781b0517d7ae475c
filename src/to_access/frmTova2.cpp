#include "to_access/frmTova2.h"

#include <QDir>
#include <QListWidget>

#include "common/conversion_session.h"
#include "shell/my_message.h"
#include "shell/wizard.h"
#include "to_access/frmTova3.h"
#include "shell/table_selection.h"

namespace veltrano {

FrmTova2::FrmTova2() : WizardPage(PageId::Tova2) {}

void FrmTova2::onLoad() { selection_ = new TableSelection(this, mysqlToAccessSelectionLayout()); }

void FrmTova2::onActivate() { selection_->activate(); }

std::string FrmTova2::defaultDestination(const std::string& database) {
    return QDir::home().filePath(QString::fromStdString(database + ".mdb")).toStdString();
}

void FrmTova2::onNext() {
    const QStringList chosen = selection_->selectedNames();
    if (chosen.isEmpty()) {
        MyMessage(QStringLiteral("Select at least one table to convert."), kSetOk, kExclamation);
        return;
    }
    ConversionSession& s = session();
    // Entries of an earlier, longer selection must not stay selected.
    s.sourceTables.assign(static_cast<size_t>(chosen.size()) + 1, SourceTable{});
    for (qsizetype k = 0; k < chosen.size(); ++k) {
        s.sourceTables[static_cast<size_t>(k)].name = chosen[k].toStdString();
        s.sourceTables[static_cast<size_t>(k)].selected = true;
    }
    s.tableCount = chosen.size();
    s.destinationPath = defaultDestination(s.sourceDatabase);
    s.destinationFileName = s.sourceDatabase + ".mdb";
    wizard().pageAs<FrmTova3>(PageId::Tova3)->setNewFileText(QString::fromStdString(s.destinationPath));
    goForward();
}

}  // namespace veltrano
