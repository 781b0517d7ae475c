// Wizard: owns the page windows and moves between them.
//
// A page is created (and loaded) the first time it is referred to and then
// only hidden and shown again, so it keeps its contents; frm2 is the one
// page that is discarded (by its own Back) and built afresh. The shell does
// not know the pages' classes: each path registers a factory per page
// (registerAccessToMysqlPages() in to_mysql, registerMysqlToAccessPages() in
// to_access). A page with no factory is a plain WizardPage, which is enough
// to walk the flow.
#pragma once

#include <QPointer>
#include <functional>
#include <map>
#include <vector>

#include "shell/wizard_page.h"

namespace veltrano {

using PageFactory = std::function<WizardPage*()>;

class Wizard {
public:
    void registerPage(PageId id, PageFactory factory);

    // The page, created and loaded on first reference (not shown).
    WizardPage* page(PageId id);
    // The page if it is loaded, else nullptr.
    WizardPage* loadedPage(PageId id) const;
    template <class T>
    T* pageAs(PageId id) {
        return dynamic_cast<T*>(page(id));
    }

    // Shows `target` (modeless), then hides `from`.
    void show(PageId target, WizardPage* from = nullptr);
    // Hides `from`, then shows `target` modal and returns when it is hidden
    // or the program ends.
    void showModal(PageId target, WizardPage* from = nullptr);
    // Forgets a page and deletes it once the current event is done.
    void discard(PageId id);

    // Every loaded page in the order it was created.
    std::vector<WizardPage*> loadedPages() const;

    // Asks every loaded window to close, one after the other, and then ends
    // the program (Finish on frm5). Stops as soon as the program has ended.
    void closeAllWindows();

    // Shows the main window: the start of the program.
    void start();

    // Deletes every page and the help window, forgets the registrations and
    // resets the session and the hooks (program end and tests).
    void reset();

private:
    std::map<PageId, PageFactory> factories_;
    std::map<PageId, QPointer<WizardPage>> pages_;
    std::vector<PageId> order_;
};

Wizard& wizard();

}  // namespace veltrano
