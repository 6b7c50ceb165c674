// Annex A on paper: a small annex written to PDF on blank A4 and for the
// pre-printed form, read back as laid-out text (against a golden text) and
// as word boxes; pictures embedded once however many pages carry them.
#include "msgrecorder.h"
#include "pdfcheck.h"
#include "previewcheck.h"
#include "printfixture.h"
#include "printing/pr56job.h"
#include "printing/repadtl.h"
#include "printing/reportkinds.h"
#include "shared/big5.h"
#include "shared/printjob.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace r56;
using r56::test::b5;

namespace {

class AnnexPdf : public ::testing::Test
{
public:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath("annex.pdf");
        qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
        qputenv("R56_CLOCK", "2004-01-15 09:30:12");
        employer.block.setCompid("1234567");
        employer.block.setEano(2003);
        employer.block.setCompchnm(b5("東灣貿易有限公司"));
        employer.block.setCompname("Companhia de Comercio Leste");
        Tdm56 dm;
        worker(dm, 32, "10000001", b5("陳　大文"), "CHAN TAI MAN", "7654321");
        worker(dm, 32, "20000002", "", "ALVES JOAO");
        worker(dm, 36, "30000003", b5("李小明"), "LEI SIO MENG");
        for (int i = 1; i <= 13; ++i) // a continuation row
            item(dm, "10000001", QByteArray::number(100 + i), Currency::fromHundredths(100000 + i * 1111));
        item(dm, "20000002", "101  ", Currency::fromHundredths(123456789)); // as imported
        item(dm, "20000002", "105", Currency::fromHundredths(0));            // an amount of 0
        item(dm, "30000003", "107", Currency::fromHundredths(99999999999));  // 999,999,999.99
        job.rows.dtaname = dir.filePath("E.dta");
        job.rows.axaname = dir.filePath("E.axa");
        ASSERT_TRUE(dm.savestaff(job.rows.dtaname, true));
        ASSERT_TRUE(dm.savesub(job.rows.axaname, true));
        job.rows.modeall = true;
        job.blank = true;
    }
    void TearDown() override
    {
        qunsetenv("R56_PRINT_PDF");
        qunsetenv("R56_CLOCK");
        if (qEnvironmentVariableIsSet("R56_KEEP_PDF"))
            QFile::copy(pdf, qEnvironmentVariable("R56_KEEP_PDF") + u'/'
                                 + QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name())
                                 + ".pdf");
    }
    static void worker(Tdm56 &dm, int art, const char *cntb, const QByteArray &nmc, const char *nmp,
                       const char *oldcntb = "")
    {
        MemTable &t = dm.staff;
        t.append();
        t.setInteger(staffcol::art, art);
        t.setString(staffcol::cntb, cntb);
        t.setString(staffcol::nmc, nmc);
        t.setString(staffcol::nmp, nmp);
        t.setString(staffcol::oldcntb, oldcntb);
        t.post();
    }
    static void item(Tdm56 &dm, const char *cntb, const QByteArray &code, Currency v)
    {
        dm.sub.appendRecord({MemValue(cntb), MemValue(code), MemValue(v), MemValue(0)});
    }
    print::Outcome run()
    {
        Tdm56 dm;
        return repadtl::printannexa(dm, job, employer);
    }

    QTemporaryDir dir;
    QString pdf;
    TCmpFile employer;
    repadtl::AnnexPrintJob job;
};

// Layout text with trailing blanks and form feeds made plain, for a stable
// comparison.
QString normalised(QString s)
{
    s.replace(QLatin1Char('\f'), QLatin1String("\n<page>\n"));
    QStringList lines = s.split(QLatin1Char('\n'));
    for (QString &l : lines)
        while (l.endsWith(QLatin1Char(' ')))
            l.chop(1);
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace

TEST_F(AnnexPdf, BlankA4MatchesTheGoldenText)
{
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    EXPECT_TRUE(rec.empty());
    ASSERT_EQ(r56::test::pdfPages(pdf), 2); // article 32, then article 36
    const QString text = normalised(r56::test::pdfLayoutText(pdf));
    const QString golden = QString::fromUtf8(
        r56::test::readFile(qEnvironmentVariable("R56_SOURCE_DIR") + "/tests/printing/fixtures/annexa_blank.txt"));
    if (qEnvironmentVariableIsSet("R56_WRITE_GOLDEN"))
        r56::test::writeFile(qEnvironmentVariable("R56_WRITE_GOLDEN"), text.toUtf8());
    EXPECT_EQ(text, golden);
}

TEST_F(AnnexPdf, APreviewPageIsThePagePrintedAcrossBothArticles)
{
    // Article 32's page, then 36's: the preview goes from one to the other
    // and back, and each page is the printed one.
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    ASSERT_EQ(r56::test::pdfPages(pdf), 2);
    qunsetenv("R56_PRINT_PDF");
    job.preview = true;
    int shown = 0;
    print::Outcome r = print::Outcome::Failed;
    const QMap<int, QString> texts =
        r56::test::previewPageTexts([&] { r = run(); }, {2, 1, 2, 1}, dir.path(), &shown);
    EXPECT_EQ(r, print::Outcome::PreviewClosed);
    EXPECT_EQ(shown, 2);
    ASSERT_EQ(texts.size(), 2);
    for (int k : {1, 2})
        EXPECT_EQ(texts[k].toStdString(), r56::test::pdfPageText(pdf, k).toStdString()) << "page " << k;
    EXPECT_TRUE(texts[1].contains(QStringLiteral("CHAN TAI MAN")));
    EXPECT_TRUE(texts[2].contains(QStringLiteral("LEI SIO MENG")));
    EXPECT_TRUE(rec.empty());
}

TEST_F(AnnexPdf, TheTitlePictureHoldsTheWholeTitle)
{
    // The Portuguese title is a picture 2000 pixels wide; a title set wider
    // than that loses its first and last letters at the picture's edges, so
    // the edges must be paper.
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    const QString prefix = dir.filePath("img");
    r56::test::runTool(QStringLiteral("pdfimages"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"),
                                                     QStringLiteral("1"), QStringLiteral("-png"), pdf, prefix});
    QImage title;
    for (const QFileInfo &f : QDir(dir.path()).entryInfoList({QStringLiteral("img-*.png")})) {
        const QImage img(f.filePath());
        if (img.width() == 2000)
            title = img.convertToFormat(QImage::Format_Grayscale8);
    }
    ASSERT_FALSE(title.isNull()) << "the title picture is on the page";
    int inkAtTheEdges = 0;
    for (int y = 0; y < title.height(); ++y)
        for (const int x : {0, 1, 2, title.width() - 3, title.width() - 2, title.width() - 1})
            inkAtTheEdges += qGray(title.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_EQ(inkAtTheEdges, 0);
}

TEST_F(AnnexPdf, ValuesWhereTheFormWantsThem)
{
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    const auto words = r56::test::pdfWords(pdf);
    // The page area starts 10 mm in and 5 mm down on the landscape sheet.
    const auto near = [&](const QString &w, int page, double x, double y) {
        const r56::test::PdfWord *f = r56::test::findWord(words, w, page);
        ASSERT_NE(f, nullptr) << w.toStdString();
        EXPECT_NEAR(f->xMin, 10.0 + x, 0.8) << w.toStdString();
        EXPECT_NEAR(f->yMin, 5.0 + y, 1.6) << w.toStdString();
    };
    near("10000001", 1, 2.1, 52.3875 + 11.6417 + 4.0); // second row: Alves sorts first
    near("(101)", 1, 28.0, 52.3875 + 5.0);
    near("(113)", 1, 28.0, 52.3875 + 2 * 11.6417 + 5.0); // continuation row, column 1
    near("Total", 2, 2.1, 52.3875 + 11.6417 + 4.0);
    near("KBV/RFM/NIP/20040115093012", 1, 2.1, 52.3875 + 116.417 + 27.0);
    // The amount of 0 prints empty; the old number never prints.
    EXPECT_EQ(r56::test::findWord(words, "0.00"), nullptr);
    EXPECT_EQ(r56::test::findWord(words, "(7654321)"), nullptr);
    EXPECT_NE(r56::test::findWord(words, "999,999,999.99", 2), nullptr);
    // Nine pictures on two pages: each embedded once.
    EXPECT_EQ(r56::test::pdfImageCount(r56::test::readFile(pdf)), 9);
}

TEST_F(AnnexPdf, PrePrintedFormTakesTheDataAlone)
{
    r56::test::MessageRecorder rec;
    job.blank = false;
    job.top = 3;
    job.left = -2;
    ASSERT_TRUE(print::succeeded(run()));
    const auto words = r56::test::pdfWords(pdf);
    EXPECT_EQ(r56::test::findWord(words, "稅務編號"), nullptr);
    EXPECT_EQ(r56::test::findWord(words, "Soma"), nullptr);
    EXPECT_EQ(r56::test::pdfImageCount(r56::test::readFile(pdf)), 0);
    const r56::test::PdfWord *w = r56::test::findWord(words, "10000001", 1);
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->xMin, 10.0 - 2 + 2.1, 0.8);
    EXPECT_NEAR(w->yMin, 5.0 + 3 + 52.3875 + 11.6417 + 4.0, 1.6);
}

TEST_F(AnnexPdf, RangeAndCopies)
{
    r56::test::MessageRecorder rec;
    job.rows.modeall = false;
    job.rows.art32 = true;
    job.copies = 2;
    ASSERT_TRUE(print::succeeded(run()));
    EXPECT_EQ(r56::test::pdfPages(pdf), 2); // one page, twice
    job.rows.first = job.rows.last = 2;
    EXPECT_EQ(run(), print::Outcome::Refused);
    EXPECT_EQ(rec.last().text, annexa::emptyRangeText());
}

TEST_F(AnnexPdf, HeaderFieldsStartAtTheirLeftEdges)
{
    // Year, employer number, version line, page number and total pages each
    // start at the left edge of its field, moved by the offsets; the version
    // line touches nothing of the page boxes beside it.
    for (const int off : {0, 5}) {
        SCOPED_TRACE(testing::Message() << "offsets " << off);
        r56::test::MessageRecorder rec;
        job.top = job.left = off;
        ASSERT_TRUE(print::succeeded(run()));
        const auto words = r56::test::pdfWords(pdf);
        const double x = 10.0 + off, y = 5.0 + off;
        const auto at = [&](double left, double top) -> const r56::test::PdfWord * {
            for (const r56::test::PdfWord &w : words)
                if (w.page == 1 && std::abs(w.yMin - (y + top)) < 0.6 && std::abs(w.xMin - (x + left)) < 0.5)
                    return &w;
            return nullptr;
        };
        struct Field
        {
            const char *name;
            double left, top;
            QString text;
        };
        const Field fields[] = {
            {"p_exeano", 6.3, 25.4, "2003"},    {"p_cadno", 33.9, 25.4, "1234567"},
            {"p_versno", 231.8, 16.1, "Ver."},  {"P_PGNO", 262.5, 15.9, "1"},
            {"p_ttlpage", 259.3, 20.9, "1"},    {"p_ch_nmcad", 57.1, 20.9, "東灣貿易有限公司"},
            {"P_artno", 57.1, 28.0, "條例編號"},
        };
        for (const Field &f : fields) {
            const r56::test::PdfWord *w = at(f.left, f.top);
            ASSERT_NE(w, nullptr) << f.name;
            EXPECT_EQ(w->text, f.text) << f.name;
        }
        QList<r56::test::PdfWord> version;
        for (const r56::test::PdfWord &w : words)
            if (w.page == 1 && std::abs(w.yMin - (y + 16.1)) < 0.6 && w.xMin >= x + 231.8 - 0.5
                && w.xMin < x + 256.0)
                version.append(w);
        ASSERT_EQ(version.size(), 2);
        EXPECT_TRUE(version[1].text.startsWith("3.2("));
        for (const r56::test::PdfWord &v : version)
            for (const r56::test::PdfWord &w : words)
                if (w.page == 1 && &w != &v && w.text != v.text) {
                    EXPECT_FALSE(r56::test::overlaps(v, w)) << v.text.toStdString() << " / " << w.text.toStdString();
                }
    }
}

TEST_F(AnnexPdf, EmployerNamesAtTheirLongestEndBeforeTheBoxsCaption)
{
    // Names as long as their fields hold (80 bytes): whole, on their lines,
    // ending left of the caption "僱 主 名 稱" / "Nome da Entidade Patronal"
    // at the box's right, which they never touch.
    const r56::test::LongestEmployer longest;
    ASSERT_TRUE(longest.whole());
    longest.fill(employer.block);
    employer.block.setCompname(longest.wide);
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    const auto words = r56::test::pdfWords(pdf);
    const double x = 10.0, y = 5.0;
    const auto line = [&](double top) {
        QString got;
        for (const r56::test::PdfWord &w : r56::test::wordsWithin(words, x + 57.0, y + top - 0.3, x + 207.1, y + top + 4.0))
            got += w.text;
        return got.toStdString();
    };
    EXPECT_EQ(line(20.9), big5::decode(longest.chinese).toStdString());
    EXPECT_EQ(line(24.3), longest.wide.toStdString());
    const r56::test::PdfWord *caption = r56::test::findWord(words, QStringLiteral("Nome"), 1);
    ASSERT_TRUE(caption);
    for (const r56::test::PdfWord &w : words)
        if (w.page == 1 && w.yMin > y + 20.0 && w.yMax < y + 31.6 && w.xMin > x + 57.0 && w.xMin < caption->xMin) {
            EXPECT_LT(w.xMax, caption->xMin - 0.5) << w.text.toStdString();
        }
}

TEST_F(AnnexPdf, ImportedNamesKeepTheirPaddingAndTheirSize)
{
    // The annex prints the Chinese name as the import stores it, padded with
    // blanks to 40 bytes. Even the widest such name (one character, 38
    // blanks, " - " and 40 wide capitals) stays at its size within its cell:
    // the padding widens the gap before " - ", never shrinks the name.
    Tdm56 dm;
    const QByteArray nmp(40, 'W');
    worker(dm, 32, "10000001", b5("陳") + QByteArray(38, ' '), nmp.constData());
    worker(dm, 32, "10000002", b5("陳"), nmp.constData());
    item(dm, "10000001", "101", Currency::fromUnits(1));
    item(dm, "10000002", "101", Currency::fromUnits(1));
    ASSERT_TRUE(dm.savestaff(job.rows.dtaname, true));
    ASSERT_TRUE(dm.savesub(job.rows.axaname, true));
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    QList<r56::test::PdfWord> names;
    for (const r56::test::PdfWord &w : r56::test::pdfWords(pdf))
        if (w.page == 1 && w.text == QString::fromLatin1(nmp))
            names.append(w);
    ASSERT_EQ(names.size(), 2);
    std::sort(names.begin(), names.end(), [](const auto &a, const auto &b) { return a.yMin < b.yMin; });
    const r56::test::PdfWord &padded = names[0], &plain = names[1];
    EXPECT_NEAR(padded.yMax - padded.yMin, plain.yMax - plain.yMin, 0.05); // the same size
    EXPECT_NEAR(padded.xMax - padded.xMin, plain.xMax - plain.xMin, 0.05);
    EXPECT_GT(padded.xMin, plain.xMin + 25.0); // the blanks' room before it
    EXPECT_LT(padded.xMax, 10.0 + 245.5 - 0.4); // inside the cell, off the total column
}

TEST_F(AnnexPdf, LongestAmountsFitTheirCells)
{
    // Items of 13 digits (the most the annex file carries) in all twelve
    // columns and a continuation row, the workers' totals and the Total row:
    // each amount whole, inside its cell, none touching another.
    Tdm56 dm;
    const QByteArray nmc = b5("歐陽陳大文司徒黃小明李大華張三李四王五");
    worker(dm, 32, "10000001", nmc, "WWWWWWWWWW MMMMMMMMMM WWWWWWWWW MMMMMMMM");
    worker(dm, 32, "10000002", nmc, "WWWWWWWWWW MMMMMMMMMM WWWWWWWWW MMMMMMMN");
    const Currency most = Currency::fromHundredths(9999999999999);
    for (int i = 1; i <= 13; ++i)
        item(dm, "10000001", QByteArray::number(100 + i), most);
    for (int i = 1; i <= 12; ++i)
        item(dm, "10000002", QByteArray::number(100 + i), most);
    ASSERT_TRUE(dm.savestaff(job.rows.dtaname, true));
    ASSERT_TRUE(dm.savesub(job.rows.axaname, true));
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    const auto words = r56::test::pdfWords(pdf);
    // Column lines of the items (the total column from 245.5 to 277).
    const double lines[] = {28.0, 46.0, 64.0, 82.0, 100.0, 118.0, 136.0, 154.3, 172.5, 190.8, 209.0, 227.3, 245.5, 277.0};
    const QString item = QStringLiteral("99,999,999,999.99");
    struct Row
    {
        int slot;
        QStringList amounts; // from the left, the total last
    };
    const QStringList twelve(12, item);
    // The Total row: each of codes 101 to 112 twice, then 113 with the sum
    // of the 25 items in its continuation row.
    const QList<Row> rows{
        {0, QStringList(twelve)},
        {1, QStringList{item, QStringLiteral("1,299,999,999,999.87")}},
        {2, QStringList(twelve) << QStringLiteral("1,199,999,999,999.88")},
        {3, QStringList(12, QStringLiteral("199,999,999,999.98"))},
        {4, QStringList{item, QStringLiteral("2,499,999,999,999.75")}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "row " << r.slot);
        const double top = 5.0 + 52.3875 + r.slot * 11.6417;
        QList<r56::test::PdfWord> amounts;
        for (const r56::test::PdfWord &w : words)
            if (w.page == 1 && w.yMin >= top + 7.0 && w.yMax <= top + 11.6417)
                amounts.append(w);
        std::sort(amounts.begin(), amounts.end(), [](const auto &a, const auto &b) { return a.xMin < b.xMin; });
        QStringList got;
        for (const r56::test::PdfWord &w : amounts)
            got << w.text;
        EXPECT_EQ(got, r.amounts);
        for (const r56::test::PdfWord &w : amounts) {
            // In the cell between two column lines, off both lines.
            bool inCell = false;
            for (std::size_t c = 0; c + 1 < std::size(lines); ++c)
                inCell = inCell || (w.xMin > 10.0 + lines[c] + 0.1 && w.xMax < 10.0 + lines[c + 1] - 0.1);
            EXPECT_TRUE(inCell) << w.text.toStdString() << " " << w.xMin << "-" << w.xMax;
        }
        for (qsizetype i = 1; i < amounts.size(); ++i)
            EXPECT_LT(amounts[i - 1].xMax, amounts[i].xMin);
    }
    // The item codes inside their cells, off the line on either side.
    int codes = 0;
    for (const r56::test::PdfWord &w : words) {
        if (w.page != 1 || !w.text.startsWith(u'('))
            continue;
        ++codes;
        bool inCell = false;
        for (std::size_t c = 0; c + 1 < std::size(lines); ++c)
            inCell = inCell || (w.xMin > 10.0 + lines[c] + 0.2 && w.xMax < 10.0 + lines[c + 1] - 0.2);
        EXPECT_TRUE(inCell) << w.text.toStdString() << " " << w.xMin << "-" << w.xMax;
    }
    EXPECT_EQ(codes, 13 + 12 + 13); // two workers and the Total row
    // The control code of these items is of wide capitals: the version line
    // still ends before the line of the page boxes (256.5 mm).
    const r56::test::PdfWord *version = nullptr;
    for (const r56::test::PdfWord &w : words)
        if (w.page == 1 && w.text.startsWith(QStringLiteral("3.2(")))
            version = &w;
    ASSERT_TRUE(version);
    EXPECT_LT(version->xMax, 10.0 + 256.5 - 0.1) << version->text.toStdString();
    // The names fit the row above the item columns.
    for (const int slot : {0, 2}) {
        const double top = 5.0 + 52.3875 + slot * 11.6417;
        for (const r56::test::PdfWord &w : r56::test::wordsWithin(words, 10.0 + 28.0, top, 10.0 + 245.5, top + 4.6))
            EXPECT_LT(w.xMax, 10.0 + 245.5 - 0.1) << w.text.toStdString();
    }
}

TEST_F(AnnexPdf, TheTotalRowOfALargeAnnexPrintsExactlyInItsCells)
{
    // 10,000 workers with thirteen items each at the largest amount: each
    // code's total passes what a Currency holds (some 9,223 such items), and
    // the Total row and its continuation print every sum whole, exactly,
    // inside its cell and at a size that can be read.
    Tdm56 dm;
    r56::test::appendLargestWorkers(dm.staff, 32, 10000, 10000000);
    for (int w = 0; w < 10000; ++w)
        for (int i = 1; i <= 13; ++i)
            dm.sub.appendRecord({MemValue(QByteArray::number(10000000 + w)), MemValue(QByteArray::number(100 + i)),
                                 MemValue(r56::test::kLargestAmount), MemValue(0)});
    ASSERT_TRUE(dm.savestaff(job.rows.dtaname, true));
    ASSERT_TRUE(dm.savesub(job.rows.axaname, true));
    // Two rows a worker, the Total row and its continuation: 20,002 rows,
    // the last of 2,001 pages.
    job.rows.modeall = false;
    job.rows.art32 = true;
    job.rows.first = job.rows.last = 2001;
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    const auto words = r56::test::pdfWords(pdf);
    const double lines[] = {28.0, 46.0, 64.0, 82.0, 100.0, 118.0, 136.0, 154.3, 172.5, 190.8, 209.0, 227.3, 245.5, 277.0};
    const QString itemTotal = QStringLiteral("999,999,999,999,900.00");
    // An amount's cell: between its column's lines, under the line of the
    // item codes (the total column has none).
    const auto cell = [&](int slot, std::size_t c) {
        const double top = 5.0 + 52.3875 + slot * 11.6417;
        return QRectF(QPointF(10.0 + lines[c], top + (c < 12 ? 7.8 : 7.0)),
                      QPointF(10.0 + lines[c + 1], top + 11.6417));
    };
    ASSERT_TRUE(r56::test::findWord(words, QStringLiteral("Total")));
    for (std::size_t c = 0; c < 12; ++c)
        r56::test::expectFigureInCell(words, cell(0, c), itemTotal);
    r56::test::expectFigureInCell(words, cell(1, 0), itemTotal);
    r56::test::expectFigureInCell(words, cell(1, 12), QStringLiteral("12,999,999,999,998,700.00"), 1, 7.0);
}

TEST_F(AnnexPdf, OffsetsOffTheSheetAreSaidButKept)
{
    // Whatever leaves the sheet is said, naming the part, and the annex
    // prints all the same: the header at a top offset below -5, the foot
    // above 6, the total column above a left offset of 10.
    struct Case
    {
        int top, left;
        const char *part; // named in the warning; null: no warning
    };
    const Case cases[] = {
        {0, 0, nullptr}, {5, 5, nullptr}, {-5, -10, nullptr}, {-10, -10, "頁首"},
        {20, 0, "頁底"},  {0, 20, "右邊的欄位"}, {20, 20, "頁底"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "offsets " << c.top << "/" << c.left);
        r56::test::MessageRecorder rec;
        job.top = c.top;
        job.left = c.left;
        ASSERT_TRUE(print::succeeded(run()));
        EXPECT_EQ(r56::test::pdfPages(pdf), 2);
        r56::test::expectOffsetsSaid(rec, r56::test::offTheSheet(r56::test::pdfWords(pdf), {297.0, 210.0}), c.part);
        if (c.part && c.top < 0) { // a header off the top is no foot off the bottom
            EXPECT_FALSE(rec.anyTextContains(QStringLiteral("頁底")));
        }
    }
}

TEST_F(AnnexPdf, TheDocumentNameIsAFileName)
{
    r56::test::MessageRecorder rec;
    ASSERT_TRUE(print::succeeded(run()));
    EXPECT_EQ(r56::test::pdfTitle(pdf), QStringLiteral("R5R6 附件 A"));
}

TEST(AnnexPrintProgram, ReportKindTwoPrintsTheAnnexOfTheJob)
{
    r56::test::MessageRecorder rec;
    r56::test::Declaration d;
    ASSERT_TRUE(d.writeEmployer(2003));
    ASSERT_TRUE(d.writeWorkers({{32, "10000001", "陳大文", "CHAN TAI MAN", Currency::fromUnits(9000), " ",
                                 Currency::fromUnits(150), Currency(), "00000000"},
                                {36, "20000002", "李小明", "LEI SIO MENG", Currency::fromUnits(9000), " ",
                                 Currency::fromUnits(70), Currency(), "00000000"}}));
    Tdm56 dm;
    dm.sub.appendRecord({"10000001", "101  ", Currency::fromUnits(100), 32});
    dm.sub.appendRecord({"10000001", "102", Currency::fromUnits(50), 32});
    dm.sub.appendRecord({"20000002", "103", Currency::fromUnits(70), 36});
    ASSERT_TRUE(dm.savesub(d.base + ".axa", false));
    const QString pdf = d.path("out.pdf");
    qputenv("R56_PRINT_PDF", pdf.toLocal8Bit());
    ASSERT_TRUE(r56::test::writeFile(
        d.path("printr5r6.ini"),
        printjob::buildline('2', true, false, 1, 9999, true, 0, 0, false, false, d.cmp.toLocal8Bit()) + "\r\n"));
    ASSERT_TRUE(pr56::setupjob(d.path("printr5r6"), {}));
    const pr56::ReportRoutine run = pr56::reportfor('2');
    ASSERT_NE(run, nullptr);
    EXPECT_TRUE(print::succeeded(run(nullptr)));
    qunsetenv("R56_PRINT_PDF");
    EXPECT_EQ(r56::test::pdfPages(pdf), 1);
    const QString text = r56::test::pdfLayoutText(pdf);
    EXPECT_TRUE(text.contains("條例編號 N.ARTIGO :32"));
    EXPECT_TRUE(text.contains("(101)"));
    EXPECT_FALSE(text.contains("20000002")); // article 36 was not asked for
    EXPECT_TRUE(text.contains("TAI FUNG COMERCIO LIMITADA"));
}
