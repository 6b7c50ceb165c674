// The import window driven through its controls, offscreen.
#include "interchange/import.h"

#include "components/kitctrls.h"
#include "components/tooledit.h"
#include "envvar.h"
#include "filedialog.h"
#include "msgrecorder.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"
#include "whenmodal.h"
#include "shared/anexocat.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

using namespace r56;

namespace {

class ImportWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        src = qEnvironmentVariable("R56_SOURCE_DIR");
        // CTest's environment list of the widget tests may not carry it.
        if (src.isEmpty())
            src = QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../.."));
        ASSERT_TRUE(QFileInfo(src + "/data/sample/R56_0112.txt").isFile());
        for (const char *n : {"CADA0112.txt", "R56_0112.txt", "R56A0112.txt"})
            ASSERT_TRUE(QFile::copy(src + "/data/sample/" + n, dir.filePath(n)));
        codes = anexocat::load(src + "/data/r56axa2.inf").codes();
        savedStart = startdir;
        startdir = dir.path();
        cmpfile = TCmpFile{};
        Tfimport::setSaveDialogHook([this](Tfimport &, QString &name) {
            proposed = name;
            if (chosen.isEmpty())
                return false;
            name = chosen;
            return true;
        });
    }
    void TearDown() override
    {
        Tfimport::setSaveDialogHook({});
        startdir = savedStart;
        dm56.staff.emptyTable();
        dm56.sub.emptyTable();
        cmpfile = TCmpFile{};
    }

    QTemporaryDir dir;
    QString src;
    QList<QByteArray> codes;
    QString savedStart;
    QString proposed;
    QString chosen;
    test::MessageRecorder msgs;
};

} // namespace

TEST_F(ImportWindow, StartsWithOnlyReadAndExit)
{
    Tfimport f;
    EXPECT_EQ(f.caption(), QStringLiteral("匯入資料 ( Importacao de Dados )"));
    EXPECT_EQ(f.edtxt->text(), QStringLiteral("A:\\R56_0000.TXT"));
    EXPECT_EQ(f.edusrfile->text(), QStringLiteral("R56_0112.TXT"));
    EXPECT_TRUE(f.btread->isEnabled());
    EXPECT_TRUE(f.btexit->isEnabled());
    EXPECT_FALSE(f.btsave->isEnabled());
    EXPECT_FALSE(f.btclear->isEnabled());
    EXPECT_FALSE(f.edusrfile->isEnabled());
    EXPECT_FALSE(f.lb_usr_data_c->isEnabled());

    // The box (or a click on its label) switches the own-file edit.
    emit f.lbusrfile->clicked();
    EXPECT_TRUE(f.ck_usr_data->isChecked());
    EXPECT_TRUE(f.edusrfile->isEnabled());
    EXPECT_TRUE(f.lb_usr_data_p->isEnabled());
    f.ck_usr_data->click();
    EXPECT_FALSE(f.edusrfile->isEnabled());
}

// The file button opens where the edit's name points: on drive A, which is
// the removable disk (here R56_DRIVE_A), as the window starts; in a folder
// typed into the edit; in the start directory when the drive holds no disk.
TEST_F(ImportWindow, TheFileButtonOpensOnDriveA)
{
    const QString disk = dir.filePath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(disk));
    const QString typed = dir.filePath(QStringLiteral("mine"));
    ASSERT_TRUE(QDir().mkpath(typed));
    QString openedIn, openedOn;
    const auto old = TFilenameEdit::setDialogHook([&](TFilenameEdit &e, QString &name) {
        openedIn = QDir::cleanPath(e.initialDir());
        openedOn = QDir::cleanPath(name);
        return false;
    });
    struct Case { const char *drive; QString text; QString folder; QString name; };
    const Case cases[] = {
        {"disk", QStringLiteral("A:\\R56_0000.TXT"), disk, disk + QStringLiteral("/R56_0000.TXT")},
        {"disk", typed + QStringLiteral("/R56_0112.TXT"), typed, typed + QStringLiteral("/R56_0112.TXT")},
        {"", QStringLiteral("A:\\R56_0000.TXT"), dir.path(), QString()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        qputenv("R56_DRIVE_A", c.drive[0] ? disk.toLocal8Bit() : QByteArray());
        Tfimport f;
        f.edtxt->setText(c.text);
        openedIn.clear();
        f.edtxt->button()->click();
        EXPECT_EQ(openedIn.toStdString(), QDir::cleanPath(c.folder).toStdString());
        if (!c.name.isEmpty()) {
            EXPECT_EQ(openedOn.toStdString(), c.name.toStdString());
        }
        EXPECT_EQ(f.edtxt->text(), c.text) << "no file chosen: the edit keeps its text";
    }
    qunsetenv("R56_DRIVE_A");
    TFilenameEdit::setDialogHook(old);
}

TEST_F(ImportWindow, ReadThenSaveClosesWithOk)
{
    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.btread->click();
    ASSERT_TRUE(msgs.empty()) << msgs.last().text.toStdString();
    EXPECT_TRUE(f.btsave->isEnabled());
    EXPECT_TRUE(f.btclear->isEnabled());
    EXPECT_FALSE(f.btread->isEnabled());
    EXPECT_FALSE(f.btexit->isEnabled());
    EXPECT_FALSE(f.ck_usr_data->isEnabled());
    EXPECT_TRUE(f.mo->toPlainText().contains(QStringLiteral("5012345A")));
    EXPECT_TRUE(f.mo->toPlainText().contains(QStringLiteral("-- 總人數25")));
    EXPECT_EQ(f.pb->value(), 100);

    // Cancelling the dialog keeps the window as it is.
    f.btsave->click();
    EXPECT_EQ(proposed, QStringLiteral("5012345A"));
    EXPECT_EQ(f.modalResult(), platform::mrNone);
    EXPECT_TRUE(f.btsave->isEnabled());

    chosen = dir.filePath("decl.cmp");
    f.btsave->click();
    EXPECT_EQ(f.modalResult(), platform::mrOk);
    EXPECT_TRUE(f.flow().accepted());
    EXPECT_TRUE(QFileInfo(dir.filePath("decl.dta")).isFile());
    EXPECT_TRUE(QFileInfo(dir.filePath("decl.axa")).isFile());
    EXPECT_TRUE(msgs.last().text.contains(QStringLiteral("年度的資料已儲存!")));
}

// The save dialog itself, as its user meets it in the start folder: a
// folder's name typed as the file's opens that folder; the same name typed
// there is the employer file's, and gets the dialog's extension.
TEST_F(ImportWindow, TheSaveDialogOpensAFolderTypedAsTheNameAndGivesTheNameItsExtension)
{
    Tfimport::setSaveDialogHook({});
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("big")));
    const QString cwd = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path())); // the program runs in its start folder
    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.btread->click();
    ASSERT_TRUE(f.btsave->isEnabled());
    QStringList shown;
    test::typeIntoNextFileDialog(QStringLiteral("big"), 2, &shown);
    f.btsave->click();
    QDir::setCurrent(cwd);
    EXPECT_EQ(shown, QStringList{dir.filePath("big")});
    EXPECT_EQ(f.modalResult(), platform::mrOk);
    EXPECT_TRUE(QFileInfo(dir.filePath("big/big.cmp")).isFile());
    EXPECT_TRUE(QFileInfo(dir.filePath("big/big.dta")).isFile());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("big/big")));
    EXPECT_EQ(cmpname, dir.filePath("big/big.cmp"));
}

// The names typed into the file edits are found on this machine once each
// on their way to the reads (drive A, names in another case), the companion
// files once beside them; the list file is handed back as found, named as
// typed.
TEST_F(ImportWindow, TheTypedNamesAreFoundOnce)
{
    using platform::LocalPath;
    const QString mine = dir.filePath(QStringLiteral("own"));
    ASSERT_TRUE(QDir().mkpath(mine));
    for (const char *n : {"R56_0112.txt", "R56A0112.txt"})
        ASSERT_TRUE(QFile::copy(dir.filePath(n), mine + QLatin1Char('/') + QLatin1String(n)));
    test::EnvVar drive("R56_DRIVE_A", dir.path().toLocal8Bit());
    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(QStringLiteral("a:\\R56_0112.TXT"));
    int resolved = LocalPath::resolutions();
    int looked = LocalPath::lookups();
    f.btread->click();
    ASSERT_TRUE(f.btsave->isEnabled()) << (msgs.empty() ? std::string() : msgs.last().text.toStdString());
    EXPECT_EQ(LocalPath::resolutions() - resolved, 1);
    EXPECT_EQ(LocalPath::lookups() - looked, 3); // company, annex A, annex C
    EXPECT_EQ(f.flow().listfile().given(), QStringLiteral("a:\\R56_0112.TXT"));
    EXPECT_EQ(f.flow().listfile().path(), dir.filePath("R56_0112.txt"));

    f.btclearClick(false);
    f.ck_usr_data->setChecked(true);
    f.edusrfile->setText(mine + QStringLiteral("/r56_0112.TXT"));
    resolved = LocalPath::resolutions();
    looked = LocalPath::lookups();
    f.btread->click();
    ASSERT_TRUE(f.btsave->isEnabled()) << (msgs.empty() ? std::string() : msgs.last().text.toStdString());
    EXPECT_EQ(LocalPath::resolutions() - resolved, 2);
    EXPECT_EQ(LocalPath::lookups() - looked, 3 + 1); // and the own annex A file
    EXPECT_EQ(f.flow().listfile().path(), mine + QStringLiteral("/R56_0112.txt"));
}

TEST_F(ImportWindow, RefusedFileClosesWithNoAndNamesTheFile)
{
    QFile::remove(dir.filePath("R56A0112.txt")); // workers have annex income: refused
    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.btread->click();
    EXPECT_EQ(f.modalResult(), platform::mrNo);
    EXPECT_EQ(QFileInfo(f.flow().listfile().path()).fileName(), QStringLiteral("R56_0112.txt"));
    EXPECT_FALSE(f.btsave->isEnabled());
    EXPECT_TRUE(msgs.anyTextContains(QStringLiteral("(Error Code:I10)")));
    EXPECT_EQ(dm56.staff.recordCount(), 0);
}

TEST_F(ImportWindow, DecliningUnequalSumsClosesWithNo)
{
    // One item fewer than the list says.
    QFile a(dir.filePath("R56A0112.txt"));
    ASSERT_TRUE(a.open(QIODevice::ReadOnly));
    QByteArray bytes = a.readAll();
    a.close();
    bytes = bytes.left(bytes.lastIndexOf("\r\n", bytes.size() - 3) + 2);
    test::writeFile(dir.filePath("R56A0112.txt"), bytes);

    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.btread->click();
    ASSERT_TRUE(f.btsave->isEnabled());
    msgs.answer(3);
    f.btsave->click();
    EXPECT_EQ(f.modalResult(), platform::mrNo);
    EXPECT_FALSE(f.flow().accepted());
    EXPECT_TRUE(proposed.isEmpty()); // no dialog
}

TEST_F(ImportWindow, ClearAsksAndStartsAgain)
{
    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.btread->click();
    msgs.answer(3);
    f.btclear->click();
    EXPECT_TRUE(f.btsave->isEnabled()); // cancelled
    f.btclear->click();
    EXPECT_EQ(msgs.last().kind, int(mkConfirmCancel));
    EXPECT_FALSE(f.btsave->isEnabled());
    EXPECT_TRUE(f.btread->isEnabled());
    EXPECT_TRUE(f.ck_usr_data->isEnabled());
    EXPECT_TRUE(f.mo->toPlainText().isEmpty());
    EXPECT_EQ(f.pb->value(), 0);
    EXPECT_EQ(dm56.staff.recordCount(), 0);
}

TEST_F(ImportWindow, RunimportGivesBackTheOutcome)
{
    cmpfile.block.setEano(2024);
    test::whenModal([] { return static_cast<QWidget *>(fimport); }, [] {
        ASSERT_NE(fimport, nullptr);
        fimport->btexit->click();
    });
    ImportOutcome out;
    EXPECT_EQ(runimport(nullptr, &out), platform::mrCancel);
    EXPECT_EQ(out.modalResult, platform::mrCancel);
    EXPECT_TRUE(out.accepted);
    EXPECT_TRUE(cmpfile.block.compid().isEmpty());
    EXPECT_EQ(cmpfile.block.eano(), 0);
    EXPECT_EQ(fimport, nullptr);
}

TEST_F(ImportWindow, ProgressRepaintsAtMostEvery50Milliseconds)
{
    // A large diskette: the read takes long enough for many percents.
    QByteArray list, annex;
    for (int i = 0; i < 20000; ++i) {
        const QByteArray cntb = QByteArray::number(10000000 + i * 7);
        list += "5012345A202432" + cntb + QByteArray(40, ' ') + QByteArray("CHAN TAI MAN").leftJustified(40, ' ')
            + "0000024000000 " + "0000000010100" + "0000000960000" + "00000000" + "0112" + QByteArray(20, ' ')
            + "\r\n";
        annex += "5012345A2024" + cntb + "101  0000000010100" + QByteArray(20, ' ') + "\r\n";
    }
    ASSERT_TRUE(test::writeFile(dir.filePath("R56_0112.txt"), list));
    ASSERT_TRUE(test::writeFile(dir.filePath("R56A0112.txt"), annex));

    Tfimport f;
    f.flow().setItemCodes(codes);
    f.edtxt->setText(dir.filePath("R56_0112.txt"));
    f.show();
    QApplication::processEvents();
    // The bar's paints and values while the read runs.
    struct Watch : QObject
    {
        int paints = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            paints += e->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } watch;
    f.pb->installEventFilter(&watch);
    QList<int> values;
    QObject::connect(f.pb, &QProgressBar::valueChanged, [&](int v) { values << v; });
    QElapsedTimer clock;
    clock.start();
    f.btread->click();
    const qint64 took = clock.elapsed();
    f.pb->removeEventFilter(&watch);

    ASSERT_TRUE(msgs.empty()) << msgs.last().text.toStdString();
    EXPECT_TRUE(f.mo->toPlainText().contains(QStringLiteral("-- 總人數20000")));
    // The read's last value shows when it is over.
    EXPECT_EQ(f.pb->value(), 100);
    // At most one repaint for every 50 ms the read took (and the first).
    EXPECT_LE(values.size(), took / 50 + 2) << took << " ms";
    EXPECT_LE(watch.paints, took / 50 + 2) << took << " ms";
}
