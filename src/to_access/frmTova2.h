// Page 2 of the MySQL-to-Access path: the tables to convert (the shared
// two-list selection). Next hands the selection to the run and proposes the
// destination file.
#pragma once

#include "shell/wizard_page.h"

namespace veltrano {

class TableSelection;

class FrmTova2 : public WizardPage {
    Q_OBJECT

public:
    FrmTova2();

    TableSelection* selection() {
        load();
        return selection_;
    }

    // Where a new file goes by default: <home>/<sourceDatabase>.mdb.
    static std::string defaultDestination(const std::string& database);

protected:
    void onLoad() override;
    void onActivate() override;
    void onNext() override;

private:
    TableSelection* selection_ = nullptr;
};

}  // namespace veltrano
