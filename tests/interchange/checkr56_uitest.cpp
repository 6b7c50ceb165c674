// The checker window driven offscreen: a file named, the check clicked, the
// report shown with its marks; the entry point with a preset file; and the
// report printed to a PDF file.
#include "interchange/checkr56.h"

#include "components/kitctrls.h"
#include "components/tooledit.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"
#include "shared/anexocat.h"

#include "../printing/pdfcheck.h"
#include "envvar.h"
#include "msgrecorder.h"
#include "tempdir.h"
#include "whenmodal.h"

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
    test::whenModal([] { return static_cast<QWidget *>(fcheckr56); }, [&] {
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
    test::whenModal([] { return static_cast<QWidget *>(fcheckr56); }, [&] {
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

namespace {

QByteArray digits(std::int64_t v, int n) { return QByteArray::number(v).rightJustified(n, '0'); }

// A taxpayer number of article 36: second digit 9 and its check digit.
QByteArray number36(int seq)
{
    const QByteArray c = "59" + digits(seq, 5);
    int sum = 0;
    const int weights[7] = {7, 3, 1, 7, 3, 1, 7};
    for (int i = 0; i < 7; ++i)
        sum += weights[i] * (c[i] - '0');
    return c + char('0' + (11 - sum % 11) % 10);
}

} // namespace

TEST(CheckWindow, TheTotalsOfALargeFilePrintExactlyAndWhole)
{
    // 10,000 workers of each article at the largest amounts the fields hold
    // (the tax and the non-taxable income, from one annex item, a hundredth
    // below the earnings, as the rules want): every total passes what a
    // Currency holds (some 9,223 such workers), and the report shows and
    // prints each whole and exact, in its column, on the page.
    MessageRecorder rec;
    QTemporaryDir tmp;
    QList<QByteArray> list, annex;
    for (int art : {32, 36}) {
        for (int i = 0; i < 10000; ++i) {
            const QByteArray cntb = art == 32 ? digits(10000000 + i, 8) : number36(i);
            list << "5012345A2024" + QByteArray::number(art) + cntb + big5::pad(big5::encode(QStringLiteral("陳大文")), 40)
                        + big5::pad("CHAN TAI MAN", 40) + "9999999999999" + "X" + "9999999999998" + "9999999999998"
                        + "00000000" + "0112" + QByteArray(20, ' ');
            annex << "5012345A2024" + cntb + "101  " + "9999999999998" + QByteArray(20, ' ');
        }
    }
    ASSERT_EQ(list.first().size(), 174);
    ASSERT_EQ(annex.first().size(), 58);
    const auto write = [&](const QString &name, const QList<QByteArray> &lines) {
        QByteArray b;
        for (const QByteArray &l : lines)
            b += l + "\r\n";
        QFile f(tmp.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(b), b.size());
    };
    write(QStringLiteral("R56_0112.TXT"), list);
    write(QStringLiteral("R56A0112.TXT"), annex);
    Tfcheckr56 f;
    f.checkOptions().itemcodes = codes();
    f.edchk->setText(tmp.filePath(QStringLiteral("R56_0112.TXT")));
    f.btcheckClick();

    struct Total { const char *label; const char *all, *art32, *art36; };
    const Total totals[] = {
        {"僱員記錄數量", "20,000", "10,000", "10,000"},
        {"申報收益總額", "1,999,999,999,999,800.00", "999,999,999,999,900.00", "999,999,999,999,900.00"},
        {"不屬課稅收益總額", "1,999,999,999,999,600.00", "999,999,999,999,800.00", "999,999,999,999,800.00"},
        {"已繳稅款總額", "1,999,999,999,999,600.00", "999,999,999,999,800.00", "999,999,999,999,800.00"},
    };
    // In the window: each total line with its three figures, nothing else
    // refused.
    const QString shown = f.msg->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("資料檢查完畢")));
    EXPECT_FALSE(shown.contains(QStringLiteral("Line:")));
    const QStringList lines = shown.split(QLatin1Char('\n'));
    for (const Total &t : totals) {
        SCOPED_TRACE(t.label);
        const auto at = std::find_if(lines.begin(), lines.end(),
                                     [&](const QString &l) { return l.startsWith(QString::fromUtf8(t.label)); });
        ASSERT_NE(at, lines.end());
        EXPECT_EQ(at->section(QLatin1Char(':'), 1).simplified(),
                  QStringLiteral("%1 %2 %3").arg(QLatin1String(t.all), QLatin1String(t.art32), QLatin1String(t.art36)));
    }

    // On paper: each figure one whole word, in the order of the columns,
    // every word of the line on the page between its margins.
    const QString pdf = test::pdfPath(tmp.path(), QStringLiteral("largecheck.pdf"));
    qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
    f.btprint->click();
    qunsetenv("R56_PRINT_PDF");
    const QList<test::PdfWord> words = test::pdfWords(pdf);
    ASSERT_FALSE(words.isEmpty());
    for (const Total &t : totals) {
        SCOPED_TRACE(t.label);
        const test::PdfWord *label = nullptr;
        for (const test::PdfWord &w : words)
            if (w.text.startsWith(QString::fromUtf8(t.label)))
                label = &w;
        ASSERT_TRUE(label);
        QList<test::PdfWord> line;
        for (const test::PdfWord &w : words)
            if (w.page == label->page && std::abs(w.yMin - label->yMin) < 1.0)
                line.append(w);
        std::sort(line.begin(), line.end(), [](const auto &a, const auto &b) { return a.xMin < b.xMin; });
        QStringList text;
        for (const test::PdfWord &w : line)
            text << w.text;
        // The label's colon may lead the first figure: the words after it.
        EXPECT_EQ(text.join(u' ').section(u':', 1).split(u' ', Qt::SkipEmptyParts),
                  (QStringList{QLatin1String(t.all), QLatin1String(t.art32), QLatin1String(t.art36)}));
        for (const test::PdfWord &w : line) {
            EXPECT_GE(w.xMin, 12.0 - 0.5) << w.text.toStdString();
            EXPECT_LE(w.xMax, 210.0 - 12.0 + 0.5) << w.text.toStdString();
        }
        for (qsizetype i = 1; i < line.size(); ++i)
            EXPECT_LT(line[i - 1].xMax, line[i].xMin);
    }
}
