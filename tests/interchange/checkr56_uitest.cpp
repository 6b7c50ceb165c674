// The checker window driven offscreen: a file named, the check clicked, the
// report shown with its marks; the entry point with a preset file; and the
// report printed to a PDF file.
#include "interchange/checkr56.h"

#include "components/kitctrls.h"
#include "components/tooledit.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"
#include "shared/anexocat.h"

#include "envvar.h"
#include "msgrecorder.h"
#include "tempdir.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

// Readable failures.
static void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}

using namespace r56;
using r56::test::MessageRecorder;

namespace {

QString fixtureDir()
{
    return qEnvironmentVariable("R56_SOURCE_DIR", QStringLiteral("/work/main"))
        + QStringLiteral("/tests/interchange/fixtures/check");
}

QList<QByteArray> codes()
{
    return anexocat::load(fixtureDir() + QStringLiteral("/r56axa2.inf")).codes();
}

void copyFixture(const QString &to)
{
    for (const QString &n : QDir(fixtureDir()).entryList({QStringLiteral("*.TXT")}, QDir::Files))
        ASSERT_TRUE(QFile::copy(fixtureDir() + QLatin1Char('/') + n, to + QLatin1Char('/') + n));
}

// The text of the fragment of `block` that covers character `pos`, with its format.
QTextCharFormat formatAt(const QTextBlock &block, int pos)
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (pos >= f.position() - block.position()
            && pos < f.position() - block.position() + f.length())
            return f.charFormat();
    }
    return {};
}

// The window `f` after a check of the fixture's files copied into `tmp`:
// its report ready to print.
void checkFixture(Tfcheckr56 &f, const QTemporaryDir &tmp)
{
    copyFixture(tmp.path());
    f.checkOptions().itemcodes = codes();
    f.edchk->setText(tmp.path() + QStringLiteral("/R56_0112.TXT"));
    f.btcheckClick();
}

} // namespace

TEST(CheckWindow, CheckClickedShowsTheReportWithMarkedFields)
{
    MessageRecorder rec;
    QTemporaryDir tmp;
    copyFixture(tmp.path());
    Tfcheckr56 f;
    f.checkOptions().itemcodes = codes();
    EXPECT_EQ(f.caption(), QStringLiteral("檢查資料 VERIFICACAO DE DADOS"));
    EXPECT_EQ(f.edchk->text(), QStringLiteral("A:\\R56_0112.TXT"));
    EXPECT_FALSE(f.btprint->isEnabled());
    EXPECT_TRUE(f.msg->isHidden());
    f.show();

    f.edchk->setText(tmp.path() + QStringLiteral("/r56_0112.txt"));
    f.btcheck->click();
    EXPECT_FALSE(f.checking());
    EXPECT_TRUE(f.msg->isVisible());
    EXPECT_TRUE(f.btprint->isEnabled());
    EXPECT_EQ(f.STSB->toPlainText(), QStringLiteral("資料檢查完畢"));

    // One paragraph a report line; the text as the model holds it.
    QTextDocument *doc = f.msg->document();
    const checkflow::Report &r = f.report();
    ASSERT_EQ(doc->blockCount(), r.count());
    for (int i = 0; i < r.count(); ++i)
        ASSERT_EQ(doc->findBlockByNumber(i).text(), big5::decode(r.line(i).text)) << i;

    // The employer number of the other employer's record is red, bold and
    // underlined; the text around it navy and regular.
    const int head = r.plainLines().indexOf(
        QStringLiteral("Line:000005,E012:商號檔案編號(Cadastro No.)不正確 (6012345A)"));
    ASSERT_GE(head, 0);
    const QTextBlock rec5 = doc->findBlockByNumber(head + 1);
    const QTextCharFormat marked = formatAt(rec5, 0);
    EXPECT_EQ(marked.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(marked.fontWeight(), QFont::Bold);
    EXPECT_TRUE(marked.fontUnderline());
    const QTextCharFormat after = formatAt(rec5, 8);
    EXPECT_EQ(after.foreground().color(), QColor(0, 0, 128));
    EXPECT_FALSE(after.fontUnderline());
    // A mark after a Chinese name starts at the character its bytes begin.
    const int e061 = r.plainLines().indexOf(
        QStringLiteral("Line:000010,E061:納稅人葡文姓名不正確 (CHAN 2 MAN                              )"));
    ASSERT_GE(e061, 0);
    const QTextBlock rec10 = doc->findBlockByNumber(e061 + 1);
    const int at = rec10.text().indexOf(QStringLiteral("CHAN 2 MAN"));
    ASSERT_GT(at, 0);
    EXPECT_TRUE(formatAt(rec10, at).fontUnderline());
    EXPECT_FALSE(formatAt(rec10, at - 1).fontUnderline());
    EXPECT_TRUE(formatAt(rec10, at + 9).fontUnderline());
    EXPECT_FALSE(formatAt(rec10, at + 10).fontUnderline());

    // The file is left as it was.
    EXPECT_EQ(test::readFile(tmp.path() + QStringLiteral("/R56_0112.TXT")),
              test::readFile(fixtureDir() + QStringLiteral("/R56_0112.TXT")));

    // Hints follow the mouse.
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(f.btprint, &enter);
    EXPECT_EQ(f.STSB->toPlainText(), QStringLiteral("列印檢查結果"));
}

TEST(CheckWindow, MissingFileLeavesTheReportHidden)
{
    MessageRecorder rec;
    qputenv("R56_DRIVE_A", ""); // no disk in the drive
    Tfcheckr56 f;
    f.btcheck->click();
    EXPECT_TRUE(f.msg->isHidden());
    EXPECT_FALSE(f.btprint->isEnabled());
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_TRUE(rec.last().text.contains(QStringLiteral("找不到要檢查的檔案")));
    EXPECT_EQ(rec.last().caption, QStringLiteral("檢查資料 VERIFICACAO DE DADOS"));

    // Enter in the file edit is the default button's click.
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f.edchk, &enter);
    qunsetenv("R56_DRIVE_A");
    EXPECT_EQ(rec.messages.size(), 2);
}

TEST(CheckWindow, EntryPointChecksThePresetFileBeforeShowing)
{
    MessageRecorder rec;
    QTemporaryDir tmp;
    copyFixture(tmp.path());
    const QString list = tmp.path() + QStringLiteral("/R56_0112.TXT");
    bool seen = false;
    // Runs once the window is up: it must already hold the report.
    QTimer::singleShot(0, [&] {
        ASSERT_NE(fcheckr56, nullptr);
        seen = true;
        EXPECT_TRUE(fcheckr56->btadd->isHidden());
        EXPECT_EQ(fcheckr56->edchk->text(), list);
        EXPECT_TRUE(fcheckr56->msg->isVisible());
        EXPECT_GT(fcheckr56->report().count(), 10);
        fcheckr56->btexit->click();
    });
    runcheck(nullptr, list);
    EXPECT_TRUE(seen);
    EXPECT_EQ(fcheckr56, nullptr);
    // The check leaves the employer record filled; the caller clears it.
    EXPECT_EQ(cmpfile.block.compid(), QByteArray("5012345A"));
    cmpfile.block.clear();
}

// The name typed into the file edit is found on this machine once on its way
// to the read (drive A, the name in another case), the companion files once
// beside it; the report names the file as it was typed. A list file handed
// over as found (after a refused import) is not looked up again.
TEST(CheckWindow, TheTypedNameIsFoundOnce)
{
    using platform::LocalPath;
    MessageRecorder rec;
    QTemporaryDir tmp;
    copyFixture(tmp.path());
    test::EnvVar drive("R56_DRIVE_A", tmp.path().toLocal8Bit());
    Tfcheckr56 f;
    f.checkOptions().itemcodes = codes();
    f.edchk->setText(QStringLiteral("a:\\r56_0112.txt"));
    int resolved = LocalPath::resolutions();
    int looked = LocalPath::lookups();
    f.btcheckClick();
    EXPECT_EQ(f.outcome().end, checkflow::End::Completed);
    EXPECT_EQ(LocalPath::resolutions() - resolved, 1);
    EXPECT_EQ(LocalPath::lookups() - looked, 3); // company, annex A, annex C
    EXPECT_EQ(f.report().plainLines().value(0), QStringLiteral("檢查檔案:a:\\r56_0112.txt"));
    EXPECT_EQ(cmpfile.block.compid(), QByteArray("5012345A"));
    cmpfile.block.clear();

    const LocalPath handed(QStringLiteral("A:\\R56_0112.TXT"));
    resolved = LocalPath::resolutions();
    looked = LocalPath::lookups();
    QTimer::singleShot(0, [&] {
        ASSERT_NE(fcheckr56, nullptr);
        EXPECT_EQ(fcheckr56->edchk->text(), QStringLiteral("A:\\R56_0112.TXT"));
        EXPECT_EQ(fcheckr56->outcome().end, checkflow::End::Completed);
        fcheckr56->btexit->click();
    });
    runcheck(nullptr, handed);
    EXPECT_EQ(LocalPath::resolutions(), resolved);
    EXPECT_EQ(LocalPath::lookups() - looked, 3);
    cmpfile.block.clear();
}

TEST(CheckWindow, TheOfferedFileNameCanBeWritten)
{
    MessageRecorder rec;
    QTemporaryDir tmp;
    Tfcheckr56 f;
    checkFixture(f, tmp);

    // The print dialog's file name is the document name in the folder it
    // starts in: it has to be a name, not a path into a missing folder.
    QString pdf;
    f.setPrinterSetup([&](QPrinter &p, QWidget *) {
        EXPECT_FALSE(p.docName().contains(QLatin1Char('/')));
        EXPECT_FALSE(p.docName().contains(QLatin1Char('\\')));
        pdf = QDir(tmp.path()).filePath(p.docName() + QStringLiteral(".pdf"));
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    });
    f.btprint->click();
    EXPECT_TRUE(test::readFile(pdf).startsWith("%PDF"));
    EXPECT_EQ(rec.last().text,
              QStringLiteral("檢查結果已輸出到印表機\r\nO resultado da verificacao e imprimido."));
}

TEST(CheckWindow, ReportGoesToThePdfFileOfTheEnvironmentWithoutADialog)
{
    MessageRecorder rec;
    QTemporaryDir tmp;
    Tfcheckr56 f;
    checkFixture(f, tmp);

    bool asked = false;
    f.setPrinterSetup([&](QPrinter &, QWidget *) {
        asked = true;
        return false;
    });
    struct Case
    {
        const char *name;
        QString pdf;
        bool printed;
    };
    const Case cases[] = {
        {"a file that can be written", tmp.filePath(QStringLiteral("env.pdf")), true},
        {"a folder that is not there", tmp.filePath(QStringLiteral("no/such/folder/env.pdf")), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        qputenv("R56_PRINT_PDF", c.pdf.toLocal8Bit());
        rec.messages.clear();
        f.btprint->click();
        qunsetenv("R56_PRINT_PDF");
        EXPECT_FALSE(asked);
        EXPECT_EQ(test::readFile(c.pdf).startsWith("%PDF"), c.printed);
        ASSERT_EQ(rec.messages.size(), 1);
        EXPECT_EQ(rec.last().text,
                  c.printed ? QStringLiteral("檢查結果已輸出到印表機\r\nO resultado da verificacao e imprimido.")
                            : QStringLiteral("印表機未能使用\r\nA impressora nao pode ser utilizada."));
    }
}

TEST(CheckWindow, ReportPrintsToPdf)
{
    MessageRecorder rec;
    QTemporaryDir tmp;
    Tfcheckr56 f;
    checkFixture(f, tmp);

    const QString pdf = tmp.path() + QStringLiteral("/check.pdf");
    f.setPrinterSetup([&](QPrinter &p, QWidget *) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdf);
        return true;
    });
    rec.messages.clear();
    f.btprint->click();
    const QByteArray bytes = test::readFile(pdf);
    ASSERT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 5000);
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().text,
              QStringLiteral("檢查結果已輸出到印表機\r\nO resultado da verificacao e imprimido."));

    // A cancelled print dialog prints nothing and says nothing.
    rec.messages.clear();
    f.setPrinterSetup([](QPrinter &, QWidget *) { return false; });
    f.btprint->click();
    EXPECT_TRUE(rec.empty());
}
