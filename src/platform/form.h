#pragma once
// Our stand-in for the desktop framework's form: a frameless top-level window
// whose title bar is drawn by a caption component (TKitGradientCaption), with a
// client area laid out in client coordinates, a modal result, and the
// framework's rule that setting a modal result ends a modal run.
#include <QDialog>

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

signals:
    void captionChanged(const QString &caption);
    void systemMenuChanged(bool on);

protected:
    void resizeEvent(QResizeEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void done(int r) override;

private:
    void layoutChildren();

    QWidget *m_client = nullptr;
    QWidget *m_titleBar = nullptr;
    int m_titleHeight = 0;
    bool m_clientSizeSet = false;
    int m_modalResult = mrNone;
    bool m_systemMenu = true;
    bool m_escapeCloses = false;
    bool m_userCanClose = true;
};

} // namespace r56::platform
