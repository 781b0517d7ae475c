// WizardPage: the common frame of the main window and of every page of both
// paths: caption, background, step heading, the bottom row of four buttons,
// F1 for help, and the close-box rules. Each page is a small subclass that
// adds its own controls in onLoad() and overrides the hooks it needs; the
// flow between pages (which page Back and the forward button lead to, what
// Cancel and Finish do) is kept here and in Wizard, so it is in one place.
#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

namespace veltrano {

enum class PageId : int { Main, Frm1, Frm2, Frm3, Frm4, Frm5, Tova1, Tova2, Tova3, Tova4, None };

enum class PageKind {
    Main,    // frmMain: Exit instead of Cancel
    Step,    // Cancel asks whether to exit
    Run,     // frm4, frmTova3: Cancel asks whether to stop the run
    Report,  // frm5, frmTova4: Finish, Save Report, Back always disabled
};

// Fixed facts of one page.
struct PageInfo {
    PageId id;
    PageKind kind;
    const char* name;         // window object name: "frmMain", "frm1", ...
    const char* caption;      // window caption
    const char* heading;      // step heading (label Label1)
    const char* helpKey;      // key stored in helpKey by Help
    PageId back;              // Back target (None: Back disabled)
    PageId forward;           // forward target (None: the forward button is Finish)
    PageId report;            // report page of the page's path
    const char* backName;     // object names and captions of the bottom row
    const char* forwardName;
    const char* forwardCaption;
    const char* cancelName;
    const char* cancelCaption;
};

const PageInfo& pageInfo(PageId id);
inline constexpr int kPageCount = 10;

// Positions shared by every page, in twips.
inline constexpr int kPageWidth = 7905;
inline constexpr int kPageHeight = 5895;
inline constexpr int kButtonTop = 5100;
inline constexpr int kButtonWidth = 1575;
inline constexpr int kButtonHeight = 375;
inline constexpr int kBackLeft = 180;
inline constexpr int kForwardLeft = 1920;
inline constexpr int kCancelLeft = 4380;
inline constexpr int kHelpLeft = 6120;

class WizardPage : public QWidget {
    Q_OBJECT

public:
    explicit WizardPage(PageId id, QWidget* parent = nullptr);
    ~WizardPage() override;

    PageId id() const { return id_; }
    const PageInfo& info() const;

    QLabel* headingLabel() const { return heading_; }
    QString heading() const;
    void setHeading(const QString& text);

    QPushButton* backButton() const { return back_; }
    QPushButton* forwardButton() const { return forward_; }  // cmdNext / cmdConvert / cmdFinish
    QPushButton* cancelButton() const { return cancel_; }    // cmdCancel / cmdExit / cmdSaveReport
    QPushButton* helpButton() const { return help_; }

    // What the four bottom buttons run (the same as clicking them).
    void back();
    void forward();
    void cancel();
    void help();

    // True once the user confirmed that the run of this page should stop.
    bool stopRequested() const { return stopRequested_; }

    // Progress of a run started from this page, 0 to 100 (WizardRunHost).
    virtual void showRunProgress(int percent);

    // Run once by Wizard right after the page is created: the page's own
    // set-up (onLoad).
    void load();

protected:
    // The page's own controls and set-up; runs once, when the page is created.
    virtual void onLoad() {}
    // Each time the page becomes the active window.
    virtual void onActivate() {}
    // The forward button (Next, Convert). Default: goForward().
    virtual void onNext();
    // Back. Default: goBack().
    virtual void onBack();
    // The Cancel/Exit button. Default: the exit question (main window and
    // step pages) or the stop question (run pages); Save Report on the
    // report pages runs onSaveReport() instead.
    virtual void onCancel();
    // Finish on the report pages. Default: frm5 closes the run's objects
    // (closeRunObjects) and every window; frmTova4 ends the program.
    virtual void onFinish();
    virtual void onSaveReport() {}
    // After Yes to "Do you really want to exit!? ", before the program ends.
    virtual void onExitConfirmed() {}
    // Before Back hands over (frm2 closes the source file here).
    virtual void beforeBack() {}
    // Finish on frm5: close the run's MySQL result set, then the connection.
    // Default releases session().mysql.
    virtual void closeRunObjects();

    // Shows the forward / back target of the page, then hides this page.
    void goForward();
    void goBack();
    // "Do you really want to exit!? " (Yes/No, question); true on Yes.
    bool askExit();

    // Places a child at a rectangle given in twips.
    void placeTwips(QWidget* child, int left, int top, int width, int height);

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool allowClose() const;

    PageId id_;
    QLabel* heading_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
    bool stopRequested_ = false;
    bool goingBack_ = false;
    bool loaded_ = false;
};

}  // namespace veltrano
