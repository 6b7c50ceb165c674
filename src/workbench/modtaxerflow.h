#pragma once
// The rules of the worker record dialog (modtaxer.h), without widgets: the
// confirmation's checks in their order, the character filters of the number
// and the Portuguese name, the dialog's texts and the reading of "iddesc.sys".
#include "shared/memtable.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace r56::modtaxer {

// Refusals of the confirmation; the value is the design's error number.
enum Error : int {
    errNone = 0,
    errArticle = 1,   // no article chosen
    errNumber = 3,    // taxpayer number invalid for the article
    errPtName = 4,    // Portuguese name empty
    errDuplicate = 5, // number held by another worker (register mode)
};

// "更新R5/R6資料 ( Alteracao dos Dados do R5/R6 )"
QString dialogCaption();
// Label5's two-line title and the caption bar's one-line title of a mode
// (0 register, 1 modify).
QString modeTitle(int editmode);
QString modeCaption(int editmode);
// The message of an error ("" for errNone).
QString errorText(int error);

// What the dialog holds when it is confirmed.
struct Entry
{
    QString article;        // cbart's text: "32", "36" or "" (none chosen)
    QByteArray number;      // the number edit's text (Big5)
    QByteArray ptname;      // the Portuguese name (Big5)
    bool numberEditable = true; // register mode: the number may be typed
};

// The article of cbart's text (32 or 36; 0 when none is chosen).
int articleOf(const QString &text);

// The checks of the confirmation, the first failing one wins: article,
// number (chktaxno), Portuguese name, and in register mode a number already
// held by a worker of `staff`. The table's cursor and pending row are left
// alone (the workers are read row by row, so the record being edited is not
// posted by the search).
int checkEntry(const MemTable &staff, const Entry &entry);

// Leaving the number edit: true when the number is not empty and invalid for
// the article (the edit then keeps the focus and shows errNumber's text).
bool numberRefusedOnExit(const QByteArray &number, const QString &article);

// Characters that may be typed: digits in the number; blank, ' ( ) , . / : ;
// and the letters A-Z, a-z (shown in upper case) in the Portuguese name.
bool numberCharAllowed(QChar c);
bool ptnameCharAllowed(QChar c);
// The text with the refused characters dropped and letters upper-cased (what
// typing or pasting `text` into the name leaves).
QString filterPtName(const QString &text);

// The lines of "iddesc.sys" in the start directory as the popup's captions,
// every line (an empty one included) in file order; false when the file
// cannot be read (the caller shows "System Error").
bool readIdDesc(const QString &path, QStringList &lines);
// startdir + "\iddesc.sys", found without regard to case.
QString idDescPath();

} // namespace r56::modtaxer
