// The main window driven through its widgets, offscreen: start state, open
// and close of a declaration made by the test, failed opens, the half-year
// step of 2003, the step guide, the hints and the exit check; and the
// user-guide window.
#include "workbench/fusrgd.h"
#include "workbench/main.h"
#include "workbench/declock.h"
#include "workbench/ureport.h"

#include <QRadioButton>

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "interchange/exchange.h"
#include "filedialog.h"
#include "lockholder.h"
#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"
#include "workbench/halfyear.h"
#include "workbench/sysadm.h"

#include <QApplication>
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>

using namespace r56;
using r56::test::b5;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kPurple(128, 0, 128);
const QColor kGrey(113, 113, 113);

QString plain(const QString &s)
{
    QString t = s;
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return t;
}

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        startdir = dir.path();
        cmpopened = false;
        cmpfile = TCmpFile{};
        cmpname.clear();
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        win = std::make_unique<Tfmain>();
        win->setFileChooser([this](const Tfmain::OpenRequest &req) -> std::optional<QString> {
            ++dialogs;
            lastRequest = req;
            return chosen;
        });
        win->setHalfStep([] { return false; });
        win->setImportStep([this] {
            ++imports;
            return importResult;
        });
        win->setCheckStep([this](const QString &path) {
            checks << path;
            // What a check leaves behind: the record of the files it read.
            cmpfile.block.setCompid("1234567 ");
            cmpfile.block.setEano(2010);
        });
        // No "idcode.sys" here: its plain notice came up and start-up went on.
        EXPECT_TRUE(!rec.empty() && rec.messages.first().plainBox);
        rec.messages.clear();
    }

    void TearDown() override
    {
        win.reset();
        declock::unlockDeclaration();
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        cmpfile = TCmpFile{};
        cmpopened = false;
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    // An employer file and, unless told otherwise, its worker and annex
    // files, all written through the system's own routines.
    QString makeDeclaration(const QString &name, int year, const char *phone = "28000000",
                            const QByteArray &order = "art;cntb", bool withStaff = true)
    {
        const QString cmp = path(name);
        TCmpFile rec;
        rec.block.setCompid("12345678");
        rec.block.setEano(year);
        rec.block.setPeriodpair(year == 2003 ? "01060712" : "0112");
        rec.block.setStafforder(order);
        rec.block.setCompchnm(b5("測試貿易有限公司"));
        rec.block.setCompname("Companhia de Teste Lda");
        rec.block.setCompaddr(0, b5("東灣新馬路1號"));
        rec.block.setComptele(phone);
        rec.dtimport = encodeDate(year + 1, 1, 15);
        cmpname = cmp;
        EXPECT_TRUE(writecmp(rec));
        if (withStaff) {
            const TableNames names = tableNames(cmp);
            dm56.staff.emptyTable();
            dm56.staff.appendRecord({36, " ", "59000005", b5("陳大文"), "CHAN TAI MAN"});
            dm56.staff.appendRecord({32, " ", "10000001", b5("李小明"), "LEI SIO MENG"});
            EXPECT_TRUE(dm56.savestaff(names.dta, true));
            dm56.staff.emptyTable();
            dm56.sub.emptyTable();
            dm56.sub.appendRecord({"10000001", "A0001", Currency::fromUnits(100), 32});
            EXPECT_TRUE(dm56.savesub(names.axa, true));
            dm56.sub.emptyTable();
        }
        cmpname.clear();
        return cmp;
    }

    void expectNoDeclarationState()
    {
        EXPECT_TRUE(win->btimport->isEnabled());
        EXPECT_TRUE(win->btopen->isEnabled());
        EXPECT_TRUE(win->btcheck->isEnabled());
        EXPECT_TRUE(win->bthelp->isEnabled());
        EXPECT_TRUE(win->btexit->isEnabled());
        EXPECT_FALSE(win->btcompany->isEnabled());
        EXPECT_FALSE(win->btmodify->isEnabled());
        EXPECT_FALSE(win->btexport->isEnabled());
        EXPECT_FALSE(win->btreport->isEnabled());
        EXPECT_EQ(win->btopen->text(), QStringLiteral("開啟檔案\r\nAbrir &Ficheiro"));
        EXPECT_EQ(win->pg_ctrl->currentWidget(), win->pgsteps);
        EXPECT_FALSE(win->pg_ctrl->isTabEnabled(1));
        EXPECT_TRUE(win->pg_ctrl->isTabEnabled(0));
        EXPECT_TRUE(win->ecompid->text().isEmpty());
        EXPECT_TRUE(win->eano->text().isEmpty());
        EXPECT_TRUE(win->edfilesource->text().isEmpty());
        EXPECT_TRUE(win->recompany->toPlainText().isEmpty() || !cmpopened);
        EXPECT_TRUE(cmpfile.block.compid().isEmpty());
        EXPECT_EQ(dm56.staff.recordCount(), 0);
        expectLooks({kBlue, kBlue, kGrey, kGrey, kGrey, kGrey});
    }

    void expectOpenState()
    {
        EXPECT_FALSE(win->btimport->isEnabled());
        EXPECT_FALSE(win->btcheck->isEnabled());
        EXPECT_TRUE(win->btopen->isEnabled());
        EXPECT_TRUE(win->btcompany->isEnabled());
        EXPECT_TRUE(win->btmodify->isEnabled());
        EXPECT_TRUE(win->btexport->isEnabled());
        EXPECT_TRUE(win->btreport->isEnabled());
        EXPECT_EQ(win->btopen->text(), QStringLiteral("關閉檔案\r\nFechar &Ficheiro"));
        EXPECT_EQ(win->pg_ctrl->currentWidget(), win->pg_cmp);
        EXPECT_TRUE(win->pg_ctrl->isTabEnabled(1));
        EXPECT_FALSE(win->Panel3->isHidden());
    }

    void expectLooks(const std::array<QColor, 6> &colours)
    {
        for (int i = 0; i < 6; ++i) {
            EXPECT_EQ(win->COV[i]->palette().color(QPalette::WindowText), colours[i]) << "step " << i + 1;
            EXPECT_EQ(win->covp[i]->palette().color(QPalette::WindowText), colours[i]) << "step " << i + 1;
        }
    }

    void mouseMove(QWidget *w)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    QTemporaryDir dir;
    test::MessageRecorder rec;
    std::unique_ptr<Tfmain> win;
    std::optional<QString> chosen;
    Tfmain::OpenRequest lastRequest;
    int dialogs = 0;
    // The import and the checker stand in for their windows here.
    Tfmain::ImportResult importResult{platform::mrOk, true, QString()};
    int imports = 0;
    QStringList checks;
    TCmpFile recordSeenByCheck;
};

} // namespace

TEST_F(MainWindowTest, StartsWithTheStepGuideAndNoDeclaration)
{
    EXPECT_EQ(fmain, win.get());
    EXPECT_EQ(win->clientSize(), QSize(817, 581));
    EXPECT_EQ(win->kittitle->formCaption(), win->caption());
    EXPECT_TRUE(win->caption().startsWith(QStringLiteral("僱員")));
    expectNoDeclarationState();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(win->COV[i]->font().underline() == (i < 2)) << i;
    EXPECT_EQ(win->COV[0]->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(win->covp[0]->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(win->COV[3]->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_TRUE(win->COV0->toPlainText().startsWith(QStringLiteral("使用本系統的步驟:")));
}

TEST_F(MainWindowTest, ButtonsSitInTheirColumn)
{
    struct Case { TKitSpeedButton *b; int top; int height; };
    const Case cases[] = {
        {win->btimport, 144, 47}, {win->btopen, 191, 47}, {win->btcompany, 239, 47},
        {win->btmodify, 287, 47}, {win->btexport, 335, 47}, {win->btcheck, 384, 45},
        {win->btreport, 431, 47}, {win->bthelp, 483, 47}, {win->btexit, 532, 47},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.b->geometry(), QRect(4, c.top, 145, c.height)) << c.b->objectName().toStdString();
    EXPECT_EQ(win->rtips->geometry(), QRect(152, 491, 662, 85));
    EXPECT_EQ(win->pg_ctrl->geometry(), QRect(152, 96, 665, 393));
    EXPECT_EQ(win->Panel1->geometry(), QRect(144, 0, 673, 89));
    EXPECT_EQ(win->Panel4->geometry().size(), QSize(145, 137));
}

TEST_F(MainWindowTest, OpensAndClosesADeclaration)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(lastRequest.folder, startdir);
    EXPECT_EQ(lastRequest.fileName, QStringLiteral("*.cmp"));
    EXPECT_EQ(lastRequest.defaultExtension, QStringLiteral("cmp"));
    EXPECT_EQ(lastRequest.title, QStringLiteral("開啟檔案 ( Abrir Ficheiro )"));
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();

    expectOpenState();
    EXPECT_TRUE(cmpopened);
    EXPECT_EQ(win->ecompid->text(), QStringLiteral("12345678"));
    EXPECT_EQ(win->eano->text(), QStringLiteral("2010"));
    EXPECT_EQ(win->edfilesource->text(), *chosen);
    EXPECT_TRUE(win->recompany->toPlainText().contains(QStringLiteral("測試貿易有限公司")));
    EXPECT_TRUE(win->prdselected->isHidden());
    EXPECT_EQ(dtaname, path(QStringLiteral("decl.dta")));
    EXPECT_EQ(axaname, path(QStringLiteral("decl.axa")));
    EXPECT_EQ(axcname, path(QStringLiteral("decl.axc")));
    EXPECT_EQ(dm56.staff.recordCount(), 2);
    EXPECT_EQ(dm56.staff.indexFieldNames(), QStringLiteral("art;cntb"));
    dm56.staff.first();
    EXPECT_EQ(dm56.staff.asString(staffcol::cntb), QByteArray("10000001"));
    EXPECT_EQ(dm56.sub.recordCount(), 1);
    expectLooks({kGrey, kPurple, kBlue, kBlue, kBlue, kBlue});

    // The next activation marks the record refreshed, once.
    EXPECT_TRUE(cmpfile.state.isEmpty());
    win->FormActivate();
    EXPECT_EQ(cmpfile.state, QByteArray("LOGINED"));

    win->btopen->click(); // now the close
    EXPECT_EQ(dialogs, 1);
    expectNoDeclarationState();
    EXPECT_EQ(dm56.sub.recordCount(), 0);
    // A close leaves the open flag and the state as they were.
    EXPECT_TRUE(cmpopened);
    EXPECT_EQ(cmpfile.state, QByteArray("LOGINED"));
    win->FormActivate();
    expectNoDeclarationState();
}

TEST_F(MainWindowTest, ADeclarationOpenInAnotherCopyIsNotOpenedHere)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    // The other copy: the logic tests' program holding the lock (see the
    // lock's own tests) until its input closes.
    QProcess other;
    QByteArray out;
    ASSERT_TRUE(test::startLockHolder(other, QCoreApplication::applicationDirPath() + QStringLiteral("/test_workbench"),
                                      *chosen, &out))
        << out.toStdString();

    win->btopen->click();
    ASSERT_FALSE(rec.empty());
    EXPECT_TRUE(rec.last().text.contains(QStringLiteral("此申報資料已在另一個程式中開啟")));
    EXPECT_TRUE(rec.last().text.contains(QStringLiteral("Esta declaracao ja esta aberta noutro programa")));
    EXPECT_TRUE(rec.last().text.contains(QString::number(other.processId())));
    expectNoDeclarationState();
    EXPECT_TRUE(cmpname.isEmpty());

    // Once the other copy has closed it, it opens here; closing it here
    // lets another copy have it.
    other.closeWriteChannel();
    ASSERT_TRUE(other.waitForFinished());
    rec.messages.clear();
    win->btopen->click();
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();
    expectOpenState();
    EXPECT_TRUE(QFile::exists(declock::lockPath(*chosen)));
    win->btopen->click();
    expectNoDeclarationState();
    EXPECT_FALSE(QFile::exists(declock::lockPath(*chosen)));

    // A declaration that fails to open keeps no lock either.
    QFile::remove(path(QStringLiteral("decl.dta")));
    win->btopen->click();
    EXPECT_FALSE(cmpopened && !cmpfile.block.compid().isEmpty());
    EXPECT_FALSE(QFile::exists(declock::lockPath(*chosen)));
}

// The name chosen in the open dialog is found once, at the open, without
// regard to case: the employer file found then is the one every later save
// writes, even when a file of the very name typed turns up meanwhile; the
// window shows the name as it was typed.
TEST_F(MainWindowTest, TheEmployerFileFoundAtTheOpenIsTheOneSaved)
{
    const QString found = makeDeclaration(QStringLiteral("DECL.CMP"), 2010);
    chosen = path(QStringLiteral("decl.cmp"));
    win->btopen->click();
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();
    expectOpenState();
    EXPECT_EQ(win->edfilesource->text(), *chosen);
    EXPECT_EQ(cmpname, *chosen);
    EXPECT_EQ(dtaname, path(QStringLiteral("DECL.dta")));
    EXPECT_EQ(dm56.staff.recordCount(), 2);

    ASSERT_TRUE(test::writeFile(*chosen, "another file"));
    cmpfile.block.setComptele("28999999");
    ASSERT_TRUE(writecmp(cmpfile));
    TCmpFile back;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.comptele(), QByteArray("28999999"));
    EXPECT_EQ(test::readFile(*chosen), QByteArray("another file"));
    cmpname = found;
    ASSERT_TRUE(readcmp(back));
    EXPECT_EQ(back.block.comptele(), QByteArray("28999999"));
}

// The open dialog itself, as its user meets it in the start folder: a
// folder's name typed as the file's opens that folder; the same name typed
// there is the employer file's, with the dialog's extension.
TEST_F(MainWindowTest, TheOpenDialogOpensAFolderTypedAsTheNameAndGivesTheNameItsExtension)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("big")));
    const QString cmp = makeDeclaration(QStringLiteral("big/big.cmp"), 2010);
    win->setFileChooser({});
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path())); // the program runs in its start folder
    QStringList shown;
    test::typeIntoNextFileDialog(QStringLiteral("big"), 2, &shown);
    win->btopen->click();
    QDir::setCurrent(cwd);
    EXPECT_EQ(shown, QStringList{path(QStringLiteral("big"))});
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();
    expectOpenState();
    EXPECT_EQ(cmpname, cmp);
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("big/big"))));
}

// A folder holding a half-replaced save that cannot be put right (a rename
// the folder refuses, as a write-protected diskette refuses every one): the
// open says so and reads nothing there.
TEST_F(MainWindowTest, AFolderThatCannotBePutRightIsNotOpened)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("blocked/inside")));
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("decl.dta.r56new-aaaaaa")), "a new table"));
    ASSERT_TRUE(test::writeFile(path(QStringLiteral("decl.r56set-bbbbbb")),
                                "r56set 1\nR\tdecl.dta.r56new-aaaaaa\tblocked\t-\nend\n"));
    win->btopen->click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, win->caption());
    EXPECT_EQ(rec.last().text, unsettledtext(dir.path() + QStringLiteral("/")));
    expectNoDeclarationState();
    EXPECT_TRUE(cmpname.isEmpty());
    EXPECT_FALSE(QFile::exists(declock::lockPath(*chosen)));
}

TEST_F(MainWindowTest, ReopeningRefreshesOnTheNextActivation)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    win->FormActivate();
    win->btopen->click();
    win->btopen->click();
    expectOpenState();
    EXPECT_TRUE(cmpfile.state.isEmpty()); // emptied by the new read
    win->FormActivate();
    EXPECT_EQ(cmpfile.state, QByteArray("LOGINED"));
    EXPECT_EQ(win->ecompid->text(), QStringLiteral("12345678"));
}

TEST_F(MainWindowTest, CancelledDialogChangesNothing)
{
    chosen.reset();
    win->btopen->click();
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(rec.empty());
    expectNoDeclarationState();
    EXPECT_FALSE(cmpopened);
}

TEST_F(MainWindowTest, MissingTelephoneIsANoticeAndTheDeclarationStaysOpen)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010, "   ");
    win->btopen->click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("注意(Atencao)"));
    EXPECT_EQ(rec.last().text, QStringLiteral("請使用\"申報年度/商號資料\"加入聯絡電話\r\n"
                                              "Favor utilize \"Exer./Ent.Patronal\" para\r\n"
                                              "preencher o no. telefone."));
    EXPECT_EQ(rec.last().kind, mkContinue);
    expectOpenState();
}

TEST_F(MainWindowTest, CorruptEmployerFileIsRefusedAndTheDisplayStaysEmpty)
{
    chosen = path(QStringLiteral("broken.cmp"));
    ASSERT_TRUE(test::writeFile(*chosen, QByteArray(100, 'x')));
    win->btopen->click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, win->caption());
    EXPECT_EQ(rec.last().text, QStringLiteral("檔案資料不正確\r\nOs dados do ficheiro invalidos."));
    EXPECT_FALSE(cmpopened);
    expectNoDeclarationState();
    // The broken file is left as it was.
    EXPECT_EQ(test::readFile(*chosen), QByteArray(100, 'x'));
}

TEST_F(MainWindowTest, MissingWorkerFileOpensNothing)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010, "28000000", "art;cntb", false);
    win->btopen->click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("Data Error"));
    EXPECT_EQ(rec.last().text, QStringLiteral("數據檔案不存在\r\n") + path(QStringLiteral("decl.dta")));
    expectNoDeclarationState();
    win->FormActivate();
    expectNoDeclarationState();
}

TEST_F(MainWindowTest, EmployerFileWithoutNumberIsNotLeftHalfOpen)
{
    // Worker files but no employer file: the open creates an empty one,
    // whose record has no employer number.
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    ASSERT_TRUE(QFile::remove(*chosen));
    win->btopen->click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text, QStringLiteral("檔案資料不正確\r\nOs dados do ficheiro invalidos."));
    expectNoDeclarationState();
    EXPECT_EQ(win->btopen->text(), QStringLiteral("開啟檔案\r\nAbrir &Ficheiro"));
}

TEST_F(MainWindowTest, NameThatDoesNotExistCreatesTheEmployerFileThenReportsTheWorkers)
{
    chosen = path(QStringLiteral("new.cmp"));
    win->btopen->click();
    EXPECT_TRUE(QFileInfo::exists(*chosen));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().text.startsWith(QStringLiteral("數據檔案不存在")));
    expectNoDeclarationState();
}

TEST_F(MainWindowTest, LongPathsAndOtherExtensionsKeepTheirNames)
{
    const QString sub = QString(120, QLatin1Char('d'));
    ASSERT_TRUE(QDir(dir.path()).mkpath(sub));
    chosen = makeDeclaration(sub + QStringLiteral("/decl.r56decl"), 2010);
    ASSERT_GT(chosen->size(), 100);
    win->btopen->click();
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();
    expectOpenState();
    EXPECT_EQ(cmpname, *chosen);
    EXPECT_EQ(dtaname, path(sub + QStringLiteral("/decl.dta")));
    EXPECT_EQ(dm56.staff.recordCount(), 2);
}

TEST_F(MainWindowTest, UnusableSavedOrderFallsBackToArticleAndName)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010, "28000000", "nosuch;cntb");
    win->btopen->click();
    expectOpenState();
    EXPECT_EQ(dm56.staff.indexFieldNames(), QStringLiteral("art;nmp"));
}

TEST_F(MainWindowTest, CancelledHalfYearChooserOpensNothing)
{
    chosen = makeDeclaration(QStringLiteral("y2003.cmp"), 2003);
    win->setHalfStep([] { return choosehalf([] { return std::optional<bool>(); }); });
    win->btopen->click();
    EXPECT_FALSE(cmpopened);
    expectNoDeclarationState();
}

TEST_F(MainWindowTest, SecondHalfOf2003OpensItsOwnFiles)
{
    chosen = makeDeclaration(QStringLiteral("y2003.cmp"), 2003);
    // The second half's workers, under the second half's names.
    const QString dt2 = path(QStringLiteral("y2003.dt2"));
    ASSERT_TRUE(QFile::copy(path(QStringLiteral("y2003.dta")), dt2));
    win->setHalfStep([] { return choosehalf([] { return std::optional<bool>(false); }); });
    win->btopen->click();
    EXPECT_TRUE(rec.empty()) << rec.last().text.toStdString();
    expectOpenState();
    EXPECT_EQ(cmpfile.firsthalf, 0);
    EXPECT_EQ(dtaname, dt2);
    EXPECT_FALSE(win->prdselected->isHidden());
    EXPECT_EQ(win->prdselected->text(), halflabel(cmpfile, 2));
    EXPECT_EQ(win->eano->text(), QStringLiteral("2003"));
}

TEST_F(MainWindowTest, StepTwoWithADeclarationOpenAsksBeforeReopening)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->COV2Click();
    expectOpenState();
    EXPECT_EQ(dialogs, 1);

    rec.answer(3); // "否 (Nao)"
    win->COV2Click();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().kind, mkYesNo);
    EXPECT_TRUE(rec.last().text.startsWith(QStringLiteral("你現在已開啟了一個檔案，\r\n")));
    EXPECT_EQ(dialogs, 1);
    expectOpenState();

    rec.answer(1); // "是 (Sim)": close, then open again
    win->COV2Click();
    EXPECT_EQ(dialogs, 2);
    expectOpenState();
}

TEST_F(MainWindowTest, StepLinesActOnlyWhileTheirButtonIsEnabled)
{
    // Steps 3..6 are unavailable without a declaration: clicking does nothing.
    for (int i = 2; i < 6; ++i) {
        emit win->COV[i]->clicked();
        emit win->covp[i]->clicked();
    }
    EXPECT_TRUE(rec.empty());
    expectLooks({kBlue, kBlue, kGrey, kGrey, kGrey, kGrey});

    // Step 1 runs the import button's handler: visited, then the import.
    emit win->covp[0]->clicked();
    EXPECT_EQ(imports, 1);
    EXPECT_EQ(win->steps().look(1), mainflow::StepLook::Visited);
    EXPECT_EQ(win->COV[0]->palette().color(QPalette::WindowText), kPurple);
    // A visited step keeps its underline and hand cursor.
    EXPECT_TRUE(win->COV[0]->font().underline());
    EXPECT_EQ(win->COV[0]->cursor().shape(), Qt::PointingHandCursor);
}

TEST_F(MainWindowTest, ImportIsRefusedWhileADeclarationIsOpen)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    emit win->COV[0]->clicked(); // unavailable: nothing
    EXPECT_TRUE(rec.empty());
    win->btimportClick();
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("注意(Atencao):"));
    EXPECT_EQ(rec.last().text, QStringLiteral("請先關閉目前商號檔案\r\nE preciso de fechar o ficheiro em uso."));
    EXPECT_EQ(win->steps().look(1), mainflow::StepLook::Visited);
    expectOpenState();
}

TEST_F(MainWindowTest, ReportStepOpensTheReportWindowWithThePageCounts)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    ASSERT_EQ(dm56.staff.recordCount(), 2);
    int shown = 0;
    win->setReportStep([&](Tfreport &f) {
        ++shown;
        EXPECT_EQ(f.listpages32, 1);
        EXPECT_EQ(f.listpages36, 1);
        EXPECT_EQ(f.annexpages32, 1);
        EXPECT_EQ(f.annexpages36, 0);
        EXPECT_TRUE(f.ck_axo->isEnabled());
        // What prints is what was saved: the tables are empty meanwhile.
        EXPECT_TRUE(dm56.staff.isEmpty());
        EXPECT_TRUE(dm56.sub.isEmpty());
    });
    rec.messages.clear();
    win->btreport->click();
    EXPECT_EQ(shown, 1);
    ASSERT_EQ(rec.messages.size(), 2);
    EXPECT_EQ(rec.messages[0].kind, mkWait);
    EXPECT_TRUE(rec.messages[1].text.startsWith(QStringLiteral("列印報表前, 請先關閉其他應用程式。")));
    EXPECT_EQ(dm56.staff.recordCount(), 2);
    EXPECT_EQ(dm56.sub.recordCount(), 1);
    expectLooks({kGrey, kPurple, kBlue, kBlue, kPurple, kBlue});
    expectOpenState();
}

TEST_F(MainWindowTest, ImportThatEndsInOrderIsNotFollowedByACheck)
{
    importResult = {platform::mrOk, true, QStringLiteral("/d/R56_0112.TXT")};
    win->btimport->click();
    EXPECT_EQ(imports, 1);
    EXPECT_TRUE(checks.isEmpty());
    EXPECT_TRUE(cmpfile.block.compid().isEmpty());
}

TEST_F(MainWindowTest, RefusedOrUnequalImportIsFollowedByTheCheckOfItsListFile)
{
    struct Case { int modal; bool accepted; };
    // Refused ("No"), saved with annex sums that differ (flag clear), both.
    const Case cases[] = {{platform::mrNo, true}, {platform::mrOk, false}, {platform::mrNo, false}};
    for (const Case &c : cases) {
        checks.clear();
        importResult = {c.modal, c.accepted, QStringLiteral("/d/R56_0112.TXT")};
        win->btimport->click();
        ASSERT_EQ(checks, QStringList{QStringLiteral("/d/R56_0112.TXT")}) << c.modal << c.accepted;
        // The check filled the record; it is cleared when the checker closes.
        EXPECT_EQ(cmpfile.block.bytes(), QByteArray(CmpBlock::kSize, '\0'));
    }
    expectLooks({kPurple, kBlue, kGrey, kGrey, kGrey, kGrey});
}

TEST_F(MainWindowTest, CheckButtonLetsTheUserPickAndClearsTheRecordAfterwards)
{
    cmpfile.dtimport = 40000;
    win->btcheck->click();
    EXPECT_EQ(checks, QStringList{QString()});
    EXPECT_EQ(cmpfile.block.bytes(), QByteArray(CmpBlock::kSize, '\0'));
    EXPECT_EQ(cmpfile.dtimport, 40000); // the dates stay
}

TEST_F(MainWindowTest, YearAndEmployerEditorRefreshesTheDisplayAfterwards)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    // What the editor would have saved: the display shows it once it closes.
    QTimer::singleShot(0, [] {
        cmpfile.block.setCompchnm(b5("新名稱有限公司"));
        if (fsysadm)
            fsysadm->setModalResult(platform::mrCancel);
    });
    win->btcompany->click();
    EXPECT_EQ(win->steps().look(3), mainflow::StepLook::Visited);
    EXPECT_TRUE(win->recompany->toPlainText().contains(QStringLiteral("新名稱有限公司")));
    expectOpenState();
}

TEST_F(MainWindowTest, HintsFollowTheMouse)
{
    mouseMove(win->btopen);
    EXPECT_EQ(win->rtips->toPlainText(), plain(mainflow::tipText(mainflow::TipTarget::btopen, true)));
    mouseMove(win->btcheck);
    EXPECT_EQ(win->rtips->toPlainText(), QStringLiteral("檢查交到稅務當局的磁碟的資料是否符合規定的格式"));
    mouseMove(win->bthelp);
    EXPECT_EQ(win->rtips->toPlainText(), QStringLiteral(" "));
    mouseMove(win->btexit);
    EXPECT_TRUE(win->rtips->toPlainText().startsWith(QStringLiteral("退出")));
    mouseMove(win->client());
    EXPECT_EQ(win->rtips->toPlainText(), QStringLiteral(" "));

    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    mouseMove(win->btopen);
    EXPECT_EQ(win->rtips->toPlainText(), QStringLiteral("關閉現時使用中的檔案\nFechar do ficheiro da empresa"));
    // A disabled button gets no mouse of its own: the form's blank hint.
    mouseMove(win->btimport);
    EXPECT_EQ(win->rtips->toPlainText(), QStringLiteral(" "));
}

TEST_F(MainWindowTest, LockingForTheExportAndUnlocking)
{
    chosen = makeDeclaration(QStringLiteral("decl.cmp"), 2010);
    win->btopen->click();
    win->lockbuttons();
    for (QWidget *b : {static_cast<QWidget *>(win->btopen), static_cast<QWidget *>(win->btmodify),
                       static_cast<QWidget *>(win->btexport), static_cast<QWidget *>(win->btcompany),
                       static_cast<QWidget *>(win->btreport), static_cast<QWidget *>(win->bthelp)})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(win->btexit->isEnabled());
    win->unlockbuttons();
    expectOpenState();
    EXPECT_TRUE(win->bthelp->isEnabled());
    EXPECT_GE(rec.closes, 1);
}

// ------------------------------------------------------------------ exit

TEST_F(MainWindowTest, ExitAsksOnlyWhenUpdatedAfterTheExport)
{
    struct Case { double exported, updated; int answer; bool asks; bool closes; };
    const Case cases[] = {
        {0, 45000, 1, false, true},     // never exported: never asks
        {45000, 45000, 1, false, true}, // equal: never asks
        {45000, 45000.25, 1, true, false}, // "繼續 (Continuar)": keeps running
        {45000, 45000.25, 3, true, true},  // "退出 (Saida)": leaves
    };
    for (const Case &c : cases) {
        rec.messages.clear();
        win->show();
        ASSERT_TRUE(win->isVisible());
        cmpfile.dtexport = c.exported;
        cmpfile.dtupdate = c.updated;
        if (c.asks)
            rec.answer(c.answer);
        win->btexit->click();
        EXPECT_EQ(!rec.empty(), c.asks) << c.exported << " " << c.updated;
        if (!rec.empty()) {
            EXPECT_EQ(rec.last().caption, QStringLiteral("R5/R6"));
            EXPECT_EQ(rec.last().kind, mkContinueExit);
            EXPECT_TRUE(rec.last().text.startsWith(QStringLiteral("發現在匯出資料後尚有更新資料!\r\n")));
        }
        EXPECT_EQ(!win->isVisible(), c.closes) << c.exported << " " << c.updated;
    }
}

// ------------------------------------------------------------------ user guide

TEST(UserGuideWindow, ShowsTheGuideFoundCaseBlind)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("doc")));
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("doc/SELECT.HTM")),
                                QByteArray("<html><head><meta charset=\"UTF-8\"></head><body><h1>")
                                    + QStringLiteral("使用說明").toUtf8() + "</h1></body></html>"));
    startdir = dir.path();
    Tusrgd guide;
    EXPECT_EQ(usrgd, &guide);
    EXPECT_EQ(guide.clientSize(), QSize(426, 282));
    guide.navigate(startpath(QStringLiteral("DOC\\select.htm")));
    EXPECT_FALSE(guide.shownFile().isEmpty());
    EXPECT_TRUE(guide.wb->toPlainText().contains(QStringLiteral("使用說明")));
}

TEST(UserGuideWindow, MissingGuideShowsANoteNotAnEmptyWindow)
{
    QTemporaryDir dir;
    startdir = dir.path();
    Tusrgd guide;
    guide.navigate(startpath(QStringLiteral("DOC\\select.htm")));
    EXPECT_TRUE(guide.shownFile().isEmpty());
    EXPECT_TRUE(guide.wb->toPlainText().contains(QStringLiteral("找不到使用說明檔案")));
}

// The files supplied with the program, in the source tree.
static QString suppliedDataDir()
{
    QString source = qEnvironmentVariable("R56_SOURCE_DIR");
    if (source.isEmpty())
        source = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../..");
    return source + QStringLiteral("/data");
}

TEST(UserGuideWindow, SuppliedGuideIsReadAsUtf8)
{
    startdir = suppliedDataDir();
    Tusrgd guide;
    guide.navigate(startpath(QStringLiteral("DOC\\select.htm")));
    ASSERT_FALSE(guide.shownFile().isEmpty());
    const QString text = guide.wb->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("開啟檔案")));
    EXPECT_TRUE(text.contains(QStringLiteral("Abrir Ficheiro")));
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
}

TEST(UserGuideWindow, TheScrollBarIsInSightWithinTheWindow)
{
    startdir = suppliedDataDir();
    Tusrgd guide;
    guide.show();
    // The page comes after the window is up, as the help button does it.
    guide.navigate(startpath(QStringLiteral("DOC\\select.htm")));
    QApplication::processEvents();
    QScrollBar *bar = guide.wb->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0); // the guide is taller than the window
    EXPECT_TRUE(bar->isVisible());
    const QRect inWindow(bar->mapTo(&guide, QPoint(0, 0)), bar->size());
    EXPECT_TRUE(guide.rect().contains(inWindow));
    EXPECT_GT(bar->width(), 0);
}
