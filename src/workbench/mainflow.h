#pragma once
// The rules of the declaration program's main window that need no display:
// which buttons are enabled in which state, the looks of the six steps of the
// step guide, the table file names derived from an employer file, the worker
// orders, the exit check, and the window's texts (captions, hints, messages).
// The window (unit `main`) only applies what these say to its widgets.
#include "shared/datetime.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

namespace r56::mainflow {

// ------------------------------------------------------------------ buttons

// The enabled state of the nine buttons and which caption `btopen` shows.
struct Buttons
{
    bool btimport = true;
    bool btopen = true;
    bool btcompany = false;
    bool btmodify = false;
    bool btexport = false;
    bool btcheck = true;
    bool btreport = false;
    bool bthelp = true;
    bool btexit = true;
    bool openShowsClose = false; // btopen reads "關閉檔案" (a declaration is open)

    bool operator==(const Buttons &) const = default;
};

// The state at start.
Buttons startButtons();
// The no-declaration display (`emptydsply`): the four declaration buttons off,
// import and check on; the rest as they were.
void applyEmpty(Buttons &b);
// The display of an open declaration (`showcmp`): the four declaration
// buttons on, check off; the rest as they were.
void applyShowcmp(Buttons &b);
// After a successful open: close caption, import off.
void applyOpened(Buttons &b);
// After a close (`closesys`): the empty display and the open caption.
void applyClosed(Buttons &b);
// While the export prepares its files: open, update, export, year/employer,
// report and help off (`lockbuttons`); `applyUnlocked` turns the six on again.
void applyLocked(Buttons &b);
void applyUnlocked(Buttons &b);

// ------------------------------------------------------------------ steps

enum class StepLook { Available, Visited, Unavailable };

// The six steps of the step guide, numbered 1..6.
class StepGuide
{
public:
    StepGuide() { reset(); }
    // Steps 1 and 2 available, 3 to 6 unavailable (start, after a close).
    void reset();
    // After a successful open: step 1 unavailable, 2 visited, 3 to 6 available.
    void opened();
    // The step's button ran (whatever its outcome).
    void visit(int step);
    void set(int step, StepLook look);
    StepLook look(int step) const;

    bool operator==(const StepGuide &) const = default;

private:
    std::array<StepLook, 6> m_looks{};
};

// Which button a step stands for: 1 btimport, 2 btopen, 3 btcompany,
// 4 btmodify, 5 btreport, 6 btexport. A step's line acts only while its
// button is enabled.
bool stepButtonEnabled(const Buttons &b, int step);

// ------------------------------------------------------------------ files

// The table file names are r56::tableNames (shared/pubvar.h).

// ------------------------------------------------------------------ orders

// The worker order at open: the employer's saved order when it is one, else
// "art;nmp".
QByteArray openOrder(QByteArrayView stafforder);
// The worker order of the data-entry window: the saved order when it occurs in
// "art;nmp;cntb,art;cntb" and is a usable order, else "art;nmp;cntb".
QByteArray entryOrder(QByteArrayView stafforder);

// ------------------------------------------------------------------ exit

// Whether leaving asks first: the declaration was updated after its last
// export (an export date of 0 means never exported and never asks).
bool exitAsks(TDateTime dtexport, TDateTime dtupdate);

// ------------------------------------------------------------------ texts

QString buttonCaption(const char *button, bool openShowsClose = false);
QString stepCaption(int step);      // Chinese, "1. ..." .. "6. ..."
QString stepPortuguese(int step);

enum class TipTarget {
    None, btimport, btopen, btcompany, btmodify, btexport, btcheck, btreport, bthelp, btexit
};
// The hint `rtips` shows for the control under the mouse; `importEnabled`
// tells which of its two hints `btopen` gives.
QString tipText(TipTarget target, bool importEnabled);

// Message texts.
QString openFailedText();
QString noPhoneCaption();
QString noPhoneText();
QString closeFirstText();
QString importGuardCaption();
QString importGuardText();
QString exitCheckText();
QString openDialogTitle();

} // namespace r56::mainflow
