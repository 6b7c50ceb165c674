// The road of one declaration as a user goes it, on the sample files of the
// authority, through the windows of the declaration program and the real
// print program, all by pointer and keyboard through the X server: import
// from drive A, open, the year and employer data, data entry (typing, a
// dialog opened and closed, typing again, a worker added), the report window
// with two jobs in a row and the test page, export to a folder, the check of
// the exported files, exit. Every message on the way comes up with the
// keyboard and is answered with Enter.
#include "desktop.h"

#include "components/curredit.h"
#include "components/kitctrls.h"
#include "components/tooledit.h"
#include "interchange/checkr56.h"
#include "interchange/export.h"
#include "interchange/import.h"
#include "pdfcheck.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "shared/ur5r6msg.h"
#include "workbench/anexo.h"
#include "workbench/main.h"
#include "workbench/modtaxer.h"
#include "workbench/sysadm.h"
#include "workbench/ur5r6form.h"
#include "workbench/ureport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <map>

using namespace r56;
using namespace r56::desk;

namespace {

QWidget *modal()
{
    return QApplication::activeModalWidget();
}

// A window is up: shown, mapped by the server, with the keyboard.
bool up(QWidget *w)
{
    return w && gui([&] { return w->isVisible(); }) && viewable(w) && hasXFocus(w);
}

// Pictures of each window on the way, when they are asked for (R56_SHOTS).
void look(const QString &name)
{
    if (!qEnvironmentVariableIsEmpty("R56_SHOTS"))
        screenshots(name);
}

// The amounts of each worker in a table file, by taxpayer number.
struct Amounts
{
    Currency rend, sub1, rimp;
    bool operator==(const Amounts &) const = default;
};
std::map<QByteArray, Amounts> workersIn(const QString &dta)
{
    Tdm56 dm;
    std::map<QByteArray, Amounts> out;
    if (!dm.loadstaff(dta))
        return out;
    for (dm.staff.first(); !dm.staff.eof(); dm.staff.next())
        out[dm.staff.asString(staffcol::cntb)] = {dm.staff.asCurrency(staffcol::rend),
                                                  dm.staff.asCurrency(staffcol::sub1),
                                                  dm.staff.asCurrency(staffcol::rimp)};
    return out;
}

class Road : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString src = sourceDir();
        ASSERT_TRUE(QFileInfo::exists(src + QStringLiteral("/data/sample/R56_0112.txt"))) << src.toStdString();
        const QString built = binDir() + QStringLiteral("/printr5r6");
        ASSERT_TRUE(QFile::exists(built)) << "printr5r6 is built";
        start = dir.path();
        disk = dir.filePath(QStringLiteral("disk"));
        out = dir.filePath(QStringLiteral("out"));
        progdir = dir.filePath(QStringLiteral("bin"));
        for (const QString &d : {disk, out, progdir, start + QStringLiteral("/DOC")})
            ASSERT_TRUE(QDir().mkpath(d));
        for (const char *f : {"idcode.sys", "iddesc.sys", "r56axa2.inf", "DOC/select.htm"})
            ASSERT_TRUE(QFile::copy(src + QStringLiteral("/data/") + QLatin1String(f), start + QLatin1Char('/') + QLatin1String(f)));
        for (const char *f : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
            ASSERT_TRUE(QFile::copy(src + QStringLiteral("/data/sample/") + QLatin1String(f), disk + QLatin1Char('/') + QLatin1String(f)));
        ASSERT_TRUE(QFile::copy(built, progdir + QStringLiteral("/printr5r6")));
        savedStart = startdir;
        startdir = start;
        cmpfile = TCmpFile{};
        cmpopened = false;
        qputenv("R56_DRIVE_A", disk.toLocal8Bit());
        pdf = dir.filePath(QStringLiteral("road.pdf"));
        qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
        qputenv("R56_CLOCK", "2025-02-28 09:30:00");
    }
    void TearDown() override
    {
        for (const char *v : {"R56_DRIVE_A", "R56_PRINT_PDF", "R56_CLOCK"})
            qunsetenv(v);
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        startdir = savedStart;
        cmpfile = TCmpFile{};
        cmpopened = false;
    }

    // Waits for `cond`, answering with Enter every message that comes up
    // meanwhile (each must come up with the keyboard). False, with
    // pictures, when `cond` does not come within `ms`.
    bool until(const std::function<bool()> &cond, const char *what, int ms = 30000)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (gui(cond))
                return true;
            auto *m = gui([] { return qobject_cast<Tfr5r6msgw *>(modal()); });
            if (m && gui([&] { return m->isVisible() && m->kittitle != nullptr; })) {
                // A message waits for its answer: it must be on the screen
                // with the keyboard, or the user could not give it.
                if (!waitUntil([&] { return viewable(m) && hasXFocus(m); }, 5000)) {
                    screenshots(QStringLiteral("message-not-up"));
                    ADD_FAILURE() << "while waiting for " << what << ", a message runs modally but is not up";
                    return false;
                }
                const QString text = gui([&] { return m->msg->toPlainText(); });
                answered << text;
                look(QStringLiteral("message"));
                key(QStringLiteral("Return"));
                waitUntil([&] { return !m->isVisible() || m->msg->toPlainText() != text; }, 5000);
                continue;
            }
            pause(30);
        }
        screenshots(QStringLiteral("not-reached"));
        ADD_FAILURE() << "never reached: " << what;
        return false;
    }
    // The modal window `name` is up (the pointer clears once the window is
    // freed after its modal run).
    template <class W>
    QPointer<W> window(const char *name)
    {
        QPointer<W> w;
        const bool ok = until([&] {
            w = qobject_cast<W *>(modal());
            return w && w->objectName() == QLatin1String(name);
        }, name) && waitUntil([&] { return up(w); }, 5000);
        if (!ok) {
            ADD_FAILURE() << name << " did not come up with the keyboard";
            return nullptr;
        }
        look(QLatin1String(name));
        return w;
    }
    // A file dialog comes up; the name typed into it and taken with Enter.
    bool chooseFile(const QString &name, QString *openedIn = nullptr)
    {
        QPointer<QFileDialog> d;
        if (!until([&] {
                d = qobject_cast<QFileDialog *>(modal());
                return d != nullptr;
            }, "a file dialog")
            || !waitUntil([&] { return up(d); }, 5000)) {
            ADD_FAILURE() << "the file dialog did not come up with the keyboard";
            return false;
        }
        look(QStringLiteral("file-dialog"));
        if (openedIn)
            *openedIn = gui([&] { return QDir::cleanPath(d->directory().absolutePath()); });
        key(QStringLiteral("ctrl+a"));
        type(name);
        key(QStringLiteral("Return"));
        return waitUntil([&] { return !d || !d->isVisible(); }, 10000);
    }
    // `button` clicked, and `w` gone (freed or hidden) afterwards.
    template <class W>
    bool closeWith(QWidget *button, const QPointer<W> &w, const char *what, int ms = 30000)
    {
        click(button);
        return until([&] { return !w || !w->isVisible(); }, what, ms);
    }
    // Text into an edit: clicked, all selected, typed over.
    static void typeInto(QWidget *edit, const QString &text)
    {
        click(edit);
        key(QStringLiteral("ctrl+a"));
        type(text);
    }

    QTemporaryDir dir;
    QString start, disk, out, progdir, pdf, savedStart;
    QStringList answered;
};

// The amount fields of the data-entry window in their editing look though
// the keyboard is elsewhere.
QStringList editingWithoutFocus(Tr5r6f *entry)
{
    QStringList out;
    for (int r = 1; r <= 10; ++r)
        for (TCurrencyEdit *e : {entry->xttl(r), entry->xsub(r), entry->ximp(r)})
            if ((e->editing() || e->editingShown()) && entry->focusWidget() != e)
                out << e->objectName() + (e->editingShown() ? QStringLiteral(" (shown)") : QString());
    return out;
}

bool containsText(const QStringList &list, const QString &part)
{
    for (const QString &s : list)
        if (s.contains(part))
            return true;
    return false;
}

} // namespace

TEST_F(Road, FromTheAuthoritysFilesToTheExportAndTheCheck)
{
    MessageWindowHandler messages;
    Tfmain main;
    main.setReportStep([this](Tfreport &f) {
        f.setProgramDir(progdir);
        f.showModal();
    });
    const QString cmp = start + QStringLiteral("/decl.cmp");
    std::map<QByteArray, Amounts> imported;
    QByteArray row1, row2, added;
    Currency annexTotal;

    Driver user([&] {
        if (!waitUntil([&] { return up(&main); }, 10000)) {
            ADD_FAILURE() << "the main window did not come up with the keyboard";
            return;
        }
        look(QStringLiteral("main"));

        // ---- Import from drive A: the file button opens on it.
        click(main.btimport);
        auto imp = window<Tfimport>("fimport");
        if (!imp)
            return;
        click(imp->edtxt->button());
        QString openedIn;
        if (!chooseFile(QStringLiteral("R56_0112.txt"), &openedIn))
            return;
        EXPECT_EQ(openedIn.toStdString(), QDir::cleanPath(disk).toStdString()) << "the file button opens on drive A";
        click(imp->btread);
        if (!until([&] { return imp->btsave->isEnabled(); }, "the import read"))
            return;
        click(imp->btsave);
        if (!chooseFile(cmp) || !until([&] { return !imp || !imp->isVisible(); }, "the import saved"))
            return;
        EXPECT_TRUE(containsText(answered, QStringLiteral("年度的資料已儲存")));
        imported = gui([&] { return workersIn(start + QStringLiteral("/decl.dta")); });
        EXPECT_EQ(imported.size(), 25u);

        // ---- Open it (its telephone is missing: a notice).
        if (!until([&] { return up(&main); }, "the main window after the import"))
            return;
        click(main.btopen);
        if (!chooseFile(cmp) || !until([&] { return main.btmodify->isEnabled() && !modal(); }, "the declaration open"))
            return;

        // ---- The telephone in the year and employer data.
        click(main.btcompany);
        auto adm = window<Tfsysadm>("fsysadm");
        if (!adm)
            return;
        typeInto(adm->COMPTELE, QStringLiteral("28123456"));
        if (!closeWith(adm->btsave, adm, "the employer data saved"))
            return;
        EXPECT_EQ(gui([] { return cmpfile.block.comptele(); }).trimmed(), QByteArray("28123456"));

        // ---- Data entry, maximised over the whole screen.
        click(main.btmodify);
        auto entry = window<Tr5r6f>("r5r6f");
        if (!entry)
            return;
        const QRect screen = gui([&] { return entry->screen()->availableGeometry(); });
        EXPECT_TRUE(waitUntil([&] { return entry->geometry() == screen; }))
            << "the maximised data-entry window does not fill the screen";
        row1 = gui([&] { return entry->xcntb(1)->text().toLatin1(); });
        row2 = gui([&] { return entry->xcntb(2)->text().toLatin1(); });
        // Row 1's total income typed; Down to row 2, then Enter in its
        // non-taxable income opens the annex A editor.
        EXPECT_TRUE(waitUntil([&] { return entry->xttl(1)->hasFocus(); }));
        key(QStringLiteral("ctrl+a"));
        type(QStringLiteral("250000"));
        key(QStringLiteral("Down"));
        EXPECT_TRUE(waitUntil([&] { return entry->xttl(2)->hasFocus(); }));
        key(QStringLiteral("Tab"));
        key(QStringLiteral("Tab"));
        EXPECT_TRUE(waitUntil([&] { return entry->xsub(2)->hasFocus(); }));
        key(QStringLiteral("Return"));
        auto annex = window<Tfanexo>("fanexo");
        if (!annex)
            return;
        EXPECT_EQ(gui([&] { return annex->y(); }), gui([&] { return entry->y(); }))
            << "the annex editor opens at the data-entry window's top";
        // The first item's amount typed over (the worker's other items stay).
        const Currency before = gui([&] { return annex->annextotal(); });
        type(QStringLiteral("1000"));
        key(QStringLiteral("Return"));
        EXPECT_TRUE(waitUntil([&] { return annex->annextotal() != before; })) << "the amount did not reach the item";
        annexTotal = gui([&] { return annex->annextotal(); });
        if (!closeWith(annex->btok, annex, "the annex editor confirmed"))
            return;
        // Typing again where the keyboard came back: the tax paid of row 2.
        EXPECT_TRUE(waitUntil([&] { return entry->xsub(2)->hasFocus(); })) << "the keyboard is back in row 2";
        key(QStringLiteral("Tab"));
        key(QStringLiteral("ctrl+a"));
        type(QStringLiteral("1200"));
        key(QStringLiteral("Down"));
        EXPECT_TRUE(waitUntil([&] { return entry->ximp(3)->hasFocus(); }));
        EXPECT_FALSE(gui([&] { return entry->xttl(1)->editingShown() || entry->ximp(2)->editingShown(); }))
            << "a field without the focus shows its display format";

        // A worker added: Enter in the Chinese name goes on to the
        // Portuguese one; Enter there confirms.
        click(entry->btnew);
        auto taxer = window<Tfmodtaxer>("fmodtaxer");
        if (!taxer)
            return;
        added = gui([&] {
            for (int n = 70000000; n < 79999999; ++n) {
                const QByteArray s = QByteArray::number(n);
                if (chktaxno(s, 32) == 0 && !imported.count(s))
                    return s;
            }
            return QByteArray();
        });
        key(QStringLiteral("Down"));
        key(QStringLiteral("Tab"));
        type(QString::fromLatin1(added));
        key(QStringLiteral("Tab"));
        EXPECT_TRUE(waitUntil([&] { return taxer->edchnm->hasFocus(); }));
        const QString chinese = QStringLiteral("黃大仙");
        EXPECT_TRUE(typeEach(taxer->edchnm, chinese)) << gui([&] { return taxer->edchnm->text(); }).toStdString();
        key(QStringLiteral("Return"));
        EXPECT_TRUE(waitUntil([&] { return taxer->edptnm->hasFocus(); }))
            << "Enter in the Chinese name moves on to the Portuguese name";
        type(QStringLiteral("WONG TAI SIN"));
        key(QStringLiteral("Return"));
        if (!until([&] { return !taxer || !taxer->isVisible(); }, "the new worker confirmed"))
            return;
        EXPECT_TRUE(waitUntil([&] {
            QWidget *f = entry->focusWidget();
            return f && f->objectName().startsWith(QLatin1String("xttl_"));
        })) << "the new worker's total income has the keyboard";
        type(QStringLiteral("88000"));
        key(QStringLiteral("Tab"));
        click(entry->btsave);
        if (!until([&] { return containsText(answered, QStringLiteral("資料儲存完成")) && modal() == entry; },
                   "the data saved"))
            return;
        look(QStringLiteral("entry-saved"));
        EXPECT_EQ(gui([&] { return editingWithoutFocus(entry); }).join(QLatin1Char(' ')).toStdString(), "")
            << "fields without the keyboard show their display format";
        if (!closeWith(entry->btexit, entry, "the data-entry window closed"))
            return;

        // ---- The report window: a preview and a print of the nominal list
        // (each followed by the annex reminder) and the test page, the window
        // back after each.
        click(main.btreport);
        auto report = window<Tfreport>("freport");
        if (!report)
            return;
        const auto back = [&](const char *job) {
            const bool ok = until([&] {
                return !modal() || (modal() == report && report->isEnabled() && report->dbtview->isEnabled());
            }, job) && waitUntil([&] { return up(report); }, 5000);
            if (!ok)
                ADD_FAILURE() << "after " << job << " the report window is not back";
            return ok;
        };
        const int pages = gui([&] { return report->listpages32; });
        click(report->dbtview);
        if (!back("the preview"))
            return;
        EXPECT_EQ(test::pdfPages(pdf), pages);
        QFile::remove(pdf);
        click(report->dbtprint);
        if (!back("the print"))
            return;
        EXPECT_EQ(test::pdfPages(pdf), pages);
        click(report->bttest);
        if (!back("the test page"))
            return;
        EXPECT_TRUE(containsText(answered, QStringLiteral("已印出第一頁之")));
        if (!closeWith(report->btexit, report, "the report window closed"))
            return;

        // ---- Export to a folder.
        click(main.btexport);
        auto exp = window<Tfexport>("fexport");
        if (!exp)
            return;
        typeInto(exp->export_to, out);
        if (!closeWith(exp->btexport, exp, "the export done", 60000))
            return;
        EXPECT_TRUE(QFileInfo::exists(out + QStringLiteral("/R56_0112.txt")));

        // ---- The check of the exported files (with no declaration open).
        click(main.btopen);
        if (!until([&] { return main.btcheck->isEnabled(); }, "the declaration closed"))
            return;
        click(main.btcheck);
        auto check = window<Tfcheckr56>("fcheckr56");
        if (!check)
            return;
        typeInto(check->edchk, out + QStringLiteral("/R56_0112.txt"));
        click(check->btcheck);
        if (!until([&] { return check->msg->isVisible() && !check->msg->toPlainText().isEmpty(); }, "the check's report"))
            return;
        look(QStringLiteral("check-done"));
        if (!closeWith(check->btexit, check, "the checker closed"))
            return;

        // ---- Exit.
        click(main.btexit);
        until([&] { return !main.isVisible(); }, "the program closed");
    });
    main.show();
    user.join();
    ASSERT_FALSE(failed());

    // Which workers changed, in the saved table: row 1's total income, row
    // 2's non-taxable income (its annex total) and tax paid, and the worker
    // added; no other.
    const auto saved = workersIn(start + QStringLiteral("/decl.dta"));
    ASSERT_EQ(saved.size(), imported.size() + 1);
    for (const auto &[cntb, was] : imported) {
        Amounts want = was;
        if (cntb == row1)
            want.rend = Currency::fromUnits(250000);
        if (cntb == row2) {
            want.sub1 = annexTotal;
            want.rimp = Currency::fromUnits(1200);
        }
        const Amounts got = saved.at(cntb);
        EXPECT_TRUE(got == want) << "worker " << cntb.constData() << ": total income "
                                 << got.rend.format().toStdString() << ", non-taxable "
                                 << got.sub1.format().toStdString() << ", tax paid "
                                 << got.rimp.format().toStdString();
    }
    ASSERT_TRUE(saved.count(added));
    EXPECT_EQ(saved.at(added).rend, Currency::fromUnits(88000));
    EXPECT_NE(row1, row2);
}
