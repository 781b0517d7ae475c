// frmAbout: the About window, opened from the main window. It shows the
// version and links to the project's pages; it is closed, not kept, by
// "Close this window" or its close box.
#pragma once

#include <QDialog>

namespace veltrano {

class LinkLabel;

// The project's web pages: its README (home page), its issue tracker
// (support) and the maker's page.
inline constexpr char kHomepageUrl[] = "https://github.com/orvane/veltrano#readme";
inline constexpr char kSupportUrl[] = "https://github.com/orvane/veltrano/issues";
inline constexpr char kMakerUrl[] = "https://github.com/orvane";

class FrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit FrmAbout(QWidget* parent = nullptr);

    LinkLabel* link(const QString& objectName) const;
};

// Shows the About window modal.
void showAbout(QWidget* parent = nullptr);

}  // namespace veltrano
