#pragma once
// The data-entry window: the workers of the open declaration ten to a page,
// each row's total income, income-in-kind mark, non-taxable income (from the
// annex A editor), tax paid and leave date, with the page sums and the sums
// carried forward to the page shown under the rows, and the commands (save,
// auto-save, add, change names, remove, search, exit).
//
// The ten row panels and their controls are built once and filled again for
// every page. Row controls are named by a field prefix and a four-digit row
// number ("xttl_0003"); one handler per event serves all rows and finds the
// row and the field from the name. The rules are in entryflow.h.
//
// The main window's update step calls r5r6update(), which creates the
// window's annex A editor, search prompt and worker record dialog with it:
// the window is never shown without them.
#include "platform/form.h"
#include "workbench/entryflow.h"

#include <QColor>
#include <QPointer>
#include <QString>

#include <array>

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QTimer;
class QToolButton;

namespace r56 {

class TKitGradientCaption;
class TKitLabel;
class TKitSpeedButton;
class TCurrencyEdit;
class TDateEdit;

namespace entryui {
class TotalsGrid;
}

// The row edits: the component set's currency and date edits.
using AmountEdit = TCurrencyEdit;
using LeaveDateEdit = TDateEdit;

class Tr5r6f : public platform::TForm
{
    Q_OBJECT
public:
    explicit Tr5r6f(QWidget *parent = nullptr);
    ~Tr5r6f() override;

    // ---------------------------------------------------------------- state
    int page = 0;
    int pages = 0;
    int row = 0;
    int rowsshown = 0;
    QString fieldprefix;
    QString sortkey;
    bool loaded = false;
    bool modified = false;
    QByteArray leavedatetext;
    QColor authoritycolour = QColor(0xFD, 0xFB, 0xDB); // 14416893 ($DBFBFD)
    QColor usercolour = QColor(0x8D, 0xBF, 0xDA);      // 14335885 ($DABF8D)
    const entryflow::PageSums &sums() const { return m_sums; }

    // ---------------------------------------------------------------- layout
    void FormCreate();
    void setfontsize(int choice);
    void setwidths();
    void xpnl0Resize();
    // Header texts made to fit their places (below).
    void fitHeaders();
    void N10Click() { setfontsize(0); }
    void N11Click() { setfontsize(1); }
    void N12Click() { setfontsize(2); }
    void N800x6001Click();
    void N1024x7681Click();
    void N9Click();

    // ---------------------------------------------------------------- pages
    void updatepagecount();
    void firstpage();
    void lastpage();
    void nextpage();
    void priorpage();
    void showpage();
    void calcpagetotals();
    void gotocurrentrecord();
    void FormActivate();
    // Enter in the page edit.
    void gotopage();

    // ---------------------------------------------------------------- fields
    void commonfldenter(QWidget *sender);
    void commonfldexit(QWidget *sender);
    bool checkfield(QWidget *sender);
    void storerow();
    // True when the key was taken (discarded or acted on).
    bool commonkeydown(QWidget *sender, int key, Qt::KeyboardModifiers mods);
    void commonlabelclick(QWidget *sender);
    void commonclick(QWidget *sender);
    void commonmouse(QWidget *sender);
    void openannex(QWidget *sender);

    // ---------------------------------------------------------------- commands
    void Save1Click();
    void btsaveClick();
    void Timer1Timer();
    void btnewClick();
    void btmodifyClick();
    void btremoveClick();
    void mnudeleteClick();
    void searchby(int kind);
    void btexitClick();
    void Exit1Click();

    // A row control by prefix and row (1..10), for the handlers and tests.
    QWidget *rowControl(const QString &prefix, int r) const;
    AmountEdit *xttl(int r) const { return m_rows[std::size_t(r - 1)].xttl; }
    AmountEdit *xsub(int r) const { return m_rows[std::size_t(r - 1)].xsub; }
    AmountEdit *ximp(int r) const { return m_rows[std::size_t(r - 1)].ximp; }
    QLineEdit *xexp(int r) const { return m_rows[std::size_t(r - 1)].xexp; }
    LeaveDateEdit *xdtl(int r) const { return m_rows[std::size_t(r - 1)].xdtl; }
    TKitLabel *idx(int r) const { return m_rows[std::size_t(r - 1)].idx; }
    TKitLabel *xcnm(int r) const { return m_rows[std::size_t(r - 1)].xcnm; }
    TKitLabel *xcntb(int r) const { return m_rows[std::size_t(r - 1)].xcntb; }
    // The texts the totals grid shows: entry 11 (page) or 12 (carried).
    QString totalCell(int gridRow, int column) const;

    // Controls, by their design names.
    TKitGradientCaption *KitGradientCaption1 = nullptr;
    QMenuBar *MainMenu1 = nullptr;
    QFrame *Panel1 = nullptr;
    QLabel *nocada = nullptr;
    QLabel *ano = nullptr;
    QLabel *period = nullptr;
    QLabel *pg_npg = nullptr;
    QLabel *reccnt = nullptr;
    TKitLabel *KitLabel1 = nullptr;
    QLabel *nmcad = nullptr;
    QFrame *Panel2 = nullptr;
    QCheckBox *autosave = nullptr;
    TKitSpeedButton *btnew = nullptr;
    TKitSpeedButton *btmodify = nullptr;
    TKitSpeedButton *btremove = nullptr;
    TKitSpeedButton *btfirst = nullptr;
    QLineEdit *edgotopage = nullptr;
    QToolButton *btup = nullptr;   // btupdown, up: previous page
    QToolButton *btdown = nullptr; // btupdown, down: next page
    TKitSpeedButton *btlast = nullptr;
    TKitSpeedButton *btsave = nullptr;
    TKitSpeedButton *btexit = nullptr;
    TKitSpeedButton *btjump = nullptr;
    TKitSpeedButton *btprior = nullptr;
    TKitSpeedButton *btnext = nullptr;
    QTabWidget *PageControl1 = nullptr;
    QWidget *TabSheet1 = nullptr;
    QFrame *xpnl0 = nullptr;
    TKitLabel *ltxtidx = nullptr, *ltxtart = nullptr, *ltxtcntb = nullptr, *ltxtcnm = nullptr,
              *ltxtrnd = nullptr, *ltxtexp = nullptr, *ltxtsub = nullptr, *ltxtimp = nullptr,
              *ltxtldt = nullptr;
    QScrollArea *sb1 = nullptr;
    QFrame *Panel3 = nullptr;
    entryui::TotalsGrid *gpg = nullptr;
    QPlainTextEdit *stbar = nullptr;
    QTimer *Timer1 = nullptr;
    QAction *Save1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *mnudelete = nullptr;
    QAction *findnext = nullptr;
    QAction *N4 = nullptr, *N7 = nullptr, *N8 = nullptr;
    QAction *N10 = nullptr, *N11 = nullptr, *N12 = nullptr;
    QAction *N800x6001 = nullptr, *N1024x7681 = nullptr, *N9 = nullptr;

protected:
    bool eventFilter(QObject *o, QEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void changeEvent(QEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;

private:
    struct Row
    {
        QFrame *panel = nullptr;
        TKitLabel *idx = nullptr, *xart = nullptr, *xcntb = nullptr, *xcnm = nullptr;
        AmountEdit *xttl = nullptr;
        QLineEdit *xexp = nullptr;
        AmountEdit *xsub = nullptr;
        QPushButton *xbtn = nullptr;
        AmountEdit *ximp = nullptr;
        LeaveDateEdit *xdtl = nullptr;
        TKitLabel *xblk = nullptr, *xblk2 = nullptr;
    };

    void buildMenu();
    void buildHeader();
    void buildCommands();
    void buildSheet();
    void buildRow(int r);
    void layoutClient();
    void afterMove();
    void enableUserButtons(int r);
    void setRemoveState();
    void setTimerState(bool restart = false);
    bool commit();
    void focusRowEdit(int r, bool scroll = true);
    void scrollTo(QWidget *w);
    int recordOfRow(int r) const;
    entryflow::RowInput rowInput(int r) const;
    void setRowLabelColour(int r, const QColor &c);
    void setFieldColours(QWidget *w, bool highlight);
    void setStatus(const QString &text);
    void showRowDate(int r, QByteArrayView stored);

    std::array<Row, entryflow::kRowsPerPage> m_rows;
    entryflow::PageSums m_sums;
    int m_fontchoice = 0;
    bool m_inExit = false;
    // The row's amount edit that refused its text, when it held back the
    // check of another field of the row.
    QWidget *m_heldBy = nullptr;
    // The field drawn in the highlight colour.
    QPointer<QWidget> m_highlighted;
    bool m_lastSaveOk = false;
};

// The window while the update step runs.
extern Tr5r6f *r5r6f;

// The update step of the main window: builds the data-entry window for the
// open declaration with its annex A editor, search prompt and worker record
// dialog, shows it modally and frees them. When it closes with unsaved
// changes, `staff` and `sub` are read back from their files so that the
// tables hold what was last saved. `periodText` is the half-year text of the
// header. Returns whether changes were left unsaved.
bool r5r6update(QWidget *parent, const QString &periodText);

} // namespace r56
