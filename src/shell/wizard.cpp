#include "shell/wizard.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>

#include "common/conversion_session.h"
#include "shell/frm_help.h"
#include "shell/frm_main.h"
#include "shell/shell_hooks.h"

namespace veltrano {

Wizard& wizard() {
    static Wizard instance;
    return instance;
}

void Wizard::registerPage(PageId id, PageFactory factory) { factories_[id] = std::move(factory); }

WizardPage* Wizard::loadedPage(PageId id) const {
    auto it = pages_.find(id);
    return it == pages_.end() ? nullptr : it->second.data();
}

WizardPage* Wizard::page(PageId id) {
    if (WizardPage* existing = loadedPage(id)) return existing;
    WizardPage* created = nullptr;
    if (auto it = factories_.find(id); it != factories_.end() && it->second) {
        created = it->second();
    } else if (id == PageId::Main) {
        created = new FrmMain;
    } else {
        created = new WizardPage(id);
    }
    pages_[id] = created;
    order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
    order_.push_back(id);
    // Every page has the same size and opens at the same place, mid-screen,
    // so moving between pages looks like one window changing its contents.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = created->geometry();
        area.moveCenter(screen->availableGeometry().center());
        created->move(area.topLeft());
    }
    created->load();
    return created;
}

void Wizard::show(PageId target, WizardPage* from) {
    WizardPage* next = page(target);
    next->show();
    next->activateWindow();
    if (from && from != next) from->hide();
}

void Wizard::showModal(PageId target, WizardPage* from) {
    WizardPage* next = page(target);
    if (from && from != next) from->hide();
    shellHooks().runModal(*next);
}

void Wizard::discard(PageId id) {
    auto it = pages_.find(id);
    if (it == pages_.end()) return;
    QPointer<WizardPage> gone = it->second;
    pages_.erase(it);
    order_.erase(std::remove(order_.begin(), order_.end(), id), order_.end());
    if (gone) {
        gone->hide();
        gone->deleteLater();
    }
}

std::vector<WizardPage*> Wizard::loadedPages() const {
    std::vector<WizardPage*> out;
    for (PageId id : order_) {
        if (WizardPage* p = loadedPage(id)) out.push_back(p);
    }
    return out;
}

void Wizard::closeAllWindows() {
    std::vector<QPointer<WizardPage>> pages;
    for (WizardPage* p : loadedPages()) pages.emplace_back(p);
    for (const QPointer<WizardPage>& p : pages) {
        if (programEnded()) return;
        if (p) p->close();
    }
    if (programEnded()) return;
    if (helpWindowLoaded()) helpWindow()->close();
    // Pages that refused to close are hidden; a program without a visible
    // window must not live on, so it ends here.
    endProgram();
}

void Wizard::start() { show(PageId::Main); }

void Wizard::reset() {
    for (auto& [id, p] : pages_) delete p.data();
    pages_.clear();
    order_.clear();
    factories_.clear();
    discardHelpWindow();
    resetSession();
    resetShellHooks();
}

}  // namespace veltrano
