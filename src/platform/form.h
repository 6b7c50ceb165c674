#pragma once
// Our stand-in for the desktop framework's form: a frameless top-level window
// whose title bar is drawn by a caption component (TKitGradientCaption), with a
// client area laid out in client coordinates, a modal result, and the
// framework's rule that setting a modal result ends a modal run.
//
// On a real desktop a form also behaves as the framework's forms did under
// their system, whether a window manager runs or not:
// - it comes up above the window that asked for it (a modal run's or the
//   active window), in that window's layer when that one stays on top, and
//   with the keyboard; when it goes, the keyboard goes back to that window;
// - each showing is a new window for the X server, so that a window manager
//   still busy with the last hiding (a wait note taken away at once, a
//   message right after it) can never leave it unmapped;
// - maximised, it fills the screen's free area even with no window manager
//   to do it.
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>

class QAbstractScrollArea;
class QTimer;

namespace r56::platform {

enum ModalResult {
    mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4,
    mrIgnore = 5, mrYes = 6, mrNo = 7
};

class TForm : public QDialog
{
    Q_OBJECT
public:
    explicit TForm(QWidget *parent = nullptr);

    // Controls are placed on the client area with the positions the windows
    // were designed with; the title bar sits above it.
    QWidget *client() const { return m_client; }
    void setClientSize(int width, int height);
    QSize clientSize() const;

    // Installed by a caption component; the form reserves `height` pixels.
    void setTitleBar(QWidget *bar, int height);
    QWidget *titleBar() const { return m_titleBar; }

    void setCaption(const QString &caption);
    QString caption() const { return windowTitle(); }

    // Whether the title bar shows a close box (the framework's system menu).
    void setSystemMenu(bool on);
    bool systemMenu() const { return m_systemMenu; }

    // Whether Escape closes the window (as cancel). Off by default: a form of
    // the framework does not close on Escape unless a button says so.
    void setEscapeCloses(bool on) { m_escapeCloses = on; }

    // Whether the user may close the window at all (close box, Alt+F4).
    void setUserCanClose(bool on) { m_userCanClose = on; }

    int showModal();
    void setModalResult(int result);
    int modalResult() const { return m_modalResult; }

    void centerOnScreen();

    // Whether the window stays above the program's other windows. Changed
    // while the window shows, it stays where it is: it is not hidden and
    // shown again, as a change of the window flags would do.
    void setStaysOnTop(bool on);
    bool staysOnTop() const { return m_staysOnTop; }
    // The window that asked for this one when it was last shown (none for
    // the first window of a program).
    QWidget *opener() const { return m_opener; }

    void setVisible(bool visible) override;

signals:
    void captionChanged(const QString &caption);
    void systemMenuChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void changeEvent(QEvent *e) override;
    void done(int r) override;

private:
    void layoutChildren();
    void applyStaysOnTop();
    void watchWindow();
    void mapped();

    QWidget *m_client = nullptr;
    QWidget *m_titleBar = nullptr;
    int m_titleHeight = 0;
    bool m_clientSizeSet = false;
    int m_modalResult = mrNone;
    bool m_systemMenu = true;
    bool m_escapeCloses = false;
    bool m_userCanClose = true;
    bool m_staysOnTop = false;    // the window's own
    bool m_liftedOnTop = false;   // its opener's
    bool m_shownBefore = false;
    bool m_maximiseOnMap = false;
    QSize m_sizeAtShow;
    QPointer<QWidget> m_opener;
    QTimer *m_mapWatch = nullptr;
    QElapsedTimer m_mapWatchStart;
};

// The height a text box of a form needs to show `lines` lines whole in its
// font (a Chinese line of the Ming serif, the tallest), with its frame and
// its document's margins.
int textBoxHeight(const QAbstractScrollArea *box, int lines);

} // namespace r56::platform
