// The export window and the overwrite dialog driven offscreen through their
// controls.
#include "interchange/export.h"
#include "interchange/ovrexp.h"

#include "components/kitctrls.h"
#include "components/kitgrdcpt.h"
#include "components/tooledit.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"

#include "envvar.h"
#include "msgrecorder.h"
#include "tempdir.h"
#include "whenmodal.h"

#include <QApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

using namespace r56;
using r56::test::b5;
using r56::test::EnvVar;
using r56::test::readFile;
using r56::test::writeFile;

namespace {

class ExportWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        savedStart = startdir;
        savedCmpname = cmpname;
        savedRec = cmpfile;
        start = root.filePath(QStringLiteral("start"));
        disk = root.filePath(QStringLiteral("disk"));
        ASSERT_TRUE(QDir().mkpath(start));
        ASSERT_TRUE(QDir().mkpath(disk));
        startdir = start;
        cmpname = start + QStringLiteral("/emp.cmp");
        drive.emplace("R56_DRIVE_A", disk.toLocal8Bit());

        cmpfile = TCmpFile{};
        cmpfile.firsthalf = 1;
        CmpBlock &b = cmpfile.block;
        b.setCompid("1234567 ");
        b.setEano(2010);
        b.setPeriodpair("01120000");
        b.setCompchnm(b5("東灣公司"));
        b.setCompname("Companhia de Leste");
        b.setCompaddr(0, b5("東灣大馬路1號"));
        ASSERT_TRUE(writecmp(cmpfile));

        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        MemTable &t = dm56.staff;
        t.append();
        t.setInteger(staffcol::art, 32);
        t.setString(staffcol::cntb, "10000001");
        t.setString(staffcol::nmc, b5("陳大文"));
        t.setString(staffcol::nmp, "CHAN TAI MAN");
        t.setCurrency(staffcol::rend, Currency::fromUnits(1000));
        t.setCurrency(staffcol::sub1, Currency::fromUnits(100));
        t.post();
        dm56.sub.appendRecord({MemValue("10000001"), MemValue("101"),
                               MemValue(Currency::fromUnits(100)), MemValue(32)});
    }
    void TearDown() override
    {
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        startdir = savedStart;
        cmpname = savedCmpname;
        cmpfile = savedRec;
    }
    QString dst(const char *n) const { return disk + QLatin1Char('/') + QLatin1String(n); }
    QStringList files() const { return QDir(disk).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    QTemporaryDir root;
    QString start, disk, savedStart, savedCmpname;
    TCmpFile savedRec;
    std::optional<EnvVar> drive;
    test::MessageRecorder msgs;
};

TEST_F(ExportWindow, PreparedWindowShowsTheEmployerAndTheDiskette)
{
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    EXPECT_EQ(fexport, f.get());
    EXPECT_EQ(f->caption(), QStringLiteral("匯出資料 ( Dados de Exportacao )"));
    EXPECT_EQ(f->export_to->text(), QStringLiteral("A:\\"));
    EXPECT_EQ(f->export_to->buttonHint(), QStringLiteral("選擇匯出位置"));
    EXPECT_EQ(f->btexport->text(), QStringLiteral("執行匯出資料(&Exportar)"));
    EXPECT_EQ(f->BTEXIT->text(), QStringLiteral("   退出(&Sair)   "));
    EXPECT_FALSE(f->systemMenu());
    f->show();
    QApplication::processEvents();
    const QStringList memo = f->Memo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_GE(memo.size(), 3);
    EXPECT_TRUE(memo[0].contains(QStringLiteral("1234567")));
    EXPECT_TRUE(memo.contains(QStringLiteral("東灣公司")));
    EXPECT_TRUE(f->Memo1->isReadOnly());
}

TEST_F(ExportWindow, TheHalfOf2003IsTheMemosSecondLine)
{
    cmpfile.block.setEano(2003);
    cmpfile.block.setPeriodpair("01060712");
    cmpfile.firsthalf = 0;
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    f->setperiod(halfmonths(cmpfile));
    EXPECT_EQ(f->period(), QByteArray("0712"));
    f->show();
    QApplication::processEvents();
    const QStringList memo = f->Memo1->toPlainText().split(QLatin1Char('\n'));
    ASSERT_GE(memo.size(), 2);
    EXPECT_EQ(memo[1], QStringLiteral("下半年度(07月至12月)"));
    EXPECT_TRUE(QFileInfo(start + QStringLiteral("/R56_0712.txt")).isFile());
}

// The employer information at its longest (the half of 2003, both names,
// four address lines, every date) shows whole, without scrolling, the
// controls below it still inside the window.
TEST_F(ExportWindow, TheMemoShowsTheWholeEmployerInformation)
{
    CmpBlock &b = cmpfile.block;
    b.setEano(2003);
    b.setPeriodpair("01060712");
    for (int i = 1; i < 4; ++i)
        b.setCompaddr(i, b5("東灣大馬路") + QByteArray::number(i + 1) + b5("號"));
    cmpfile.dtimport = 45000.5;
    cmpfile.dtupdate = 45001.5;
    cmpfile.dtexport = 45002.5;
    cmpfile.dtprint1 = 45003.5;
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    f->show();
    QApplication::processEvents();
    EXPECT_EQ(f->Memo1->toPlainText().split(QLatin1Char('\n')).size(), 13);
    EXPECT_EQ(f->Memo1->verticalScrollBar()->maximum(), 0) << "the memo scrolls";
    for (QWidget *w : {static_cast<QWidget *>(f->export_to), static_cast<QWidget *>(f->btexport),
                       static_cast<QWidget *>(f->BTEXIT)}) {
        EXPECT_GE(w->y(), f->Memo1->geometry().bottom()) << w->objectName().toStdString();
        EXPECT_LE(w->geometry().bottom(), f->client()->height()) << w->objectName().toStdString();
    }
}

TEST_F(ExportWindow, ARefusedPreparationGivesNoWindow)
{
    cmpfile.block.setEano(1969);
    EXPECT_FALSE(prepareexport(nullptr));
    ASSERT_EQ(msgs.messages.size(), 1);
    EXPECT_TRUE(msgs.last().text.startsWith(QStringLiteral("err:14-")));
}

TEST_F(ExportWindow, ExportButtonCopiesAndCloses)
{
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    f->show();
    QApplication::processEvents();
    f->btexport->click();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->modalResult(), platform::mrOk);
    EXPECT_EQ(files(), QStringList({QStringLiteral("CADA0112.txt"), QStringLiteral("R56A0112.txt"),
                                    QStringLiteral("R56_0112.txt")}));
    EXPECT_NE(cmpfile.dtexport, 0);
}

TEST_F(ExportWindow, OverwriteDialogAnswersThroughItsButtons)
{
    ASSERT_TRUE(writeFile(dst("R56_0112.txt"), "old list\r\n"));
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    f->show();
    QApplication::processEvents();

    // 3: end the export; the window stays open, the disk as it was.
    bool seen = false;
    test::whenModal([] { return static_cast<QWidget *>(fovrexp); }, [&] {
        ASSERT_TRUE(fovrexp);
        seen = true;
        EXPECT_EQ(fovrexp->targets().list, dst("R56_0112.txt"));
        fovrexp->grab().save(QStringLiteral("/tmp/ovrexp.png"));
        fovrexp->btn3->click();
    });
    f->btexport->click();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(readFile(dst("R56_0112.txt")), QByteArray("old list\r\n"));
    EXPECT_EQ(fovrexp, nullptr);

    // 2: replace; the window closes with the new files on the disk.
    test::whenModal([] { return static_cast<QWidget *>(fovrexp); }, [] { fovrexp->btn2->click(); });
    f->btexport->click();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(readFile(dst("R56_0112.txt")), readFile(start + QStringLiteral("/R56_0112.txt")));
    EXPECT_EQ(files().size(), 3);
}

TEST_F(ExportWindow, ExitButtonCancels)
{
    auto f = prepareexport(nullptr);
    ASSERT_TRUE(f);
    f->show();
    QApplication::processEvents();
    f->BTEXIT->click();
    EXPECT_FALSE(f->isVisible());
    EXPECT_EQ(f->modalResult(), platform::mrCancel);
    EXPECT_TRUE(files().isEmpty());
}

TEST(OverwriteDialog, TextsAndChoices)
{
    QTemporaryDir disk;
    const QString list = disk.filePath(QStringLiteral("R56_0112.txt"));
    ASSERT_TRUE(writeFile(list, "old\r\n"));
    test::MessageRecorder msgs;
    Tfovrexp d;
    EXPECT_EQ(d.caption(), QStringLiteral("覆蓋舊資料檔案(Substituir os dados do Ficheiro)?"));
    EXPECT_EQ(d.btn1->text(), QStringLiteral("&1 . 更換磁碟") + QString(35, QLatin1Char(' '))
                                  + QStringLiteral("\r\n    Mudar a disquete"));
    EXPECT_EQ(d.btn3->text(), QStringLiteral("&3 . 結束匯出資料操作\u3000") + QString(25, QLatin1Char(' '))
                                  + QStringLiteral("\r\n    Cancelar a exportacao dos dados"));
    EXPECT_EQ(d.btn2->alignment(), Qt::AlignLeft);
    EXPECT_TRUE(d.Label1->text().startsWith(QStringLiteral("請注意: ")));
    ExportTargets t;
    t.list = list;
    d.settargets(t);
    d.show();
    QApplication::processEvents();

    // Change the diskette, 確定, the file still there: the dialog waits.
    msgs.answer(1);
    d.btn1->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.modalResult(), platform::mrNone);
    // The replace choice deletes nothing by itself.
    d.btn2->click();
    EXPECT_EQ(d.modalResult(), platform::mrNo);
    EXPECT_TRUE(QFileInfo(list).isFile());
}

} // namespace
