// The annex A item catalogue: what a good file gives, and that every kind of
// bad file is refused with a message (never a crash, never a half catalogue).
#include "shared/anexocat.h"

#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/pubvar.h"
#include "tempdir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace r56;
using namespace r56::anexocat;
using r56::test::b5;

namespace {

QByteArray lines(std::initializer_list<QByteArray> ls, const char *eol = "\r\n")
{
    QByteArray r;
    for (const QByteArray &l : ls)
        r += l + eol;
    return r;
}

// A catalogue of n items "C1".."Cn", one description line each.
QByteArray itemsFile(int n)
{
    QByteArray r;
    for (int i = 1; i <= n; ++i)
        r += "C" + QByteArray::number(i) + "\r\nDescription " + QByteArray::number(i) + "\r\n";
    return r;
}

QString sourceDir()
{
    const QByteArray env = qgetenv("R56_SOURCE_DIR");
    if (!env.isEmpty())
        return QString::fromLocal8Bit(env);
    // Run by hand: the tree holding this build folder.
    for (QDir d(QCoreApplication::applicationDirPath()); !d.isRoot(); d.cdUp())
        if (QFile::exists(d.filePath(QStringLiteral("data/r56axa2.inf"))))
            return d.path();
    return {};
}

} // namespace

TEST(AnexoCatalogue, CodesAndTheirDescriptionLines)
{
    const Catalogue c = parse(lines({"A1", "first line of A1", "second line of A1", "B22",
                                     "only line of B22"}));
    ASSERT_TRUE(c.ok()) << messageText(c).toStdString();
    ASSERT_EQ(c.entries.size(), 2);
    EXPECT_EQ(c.item(0).code, "A1");
    EXPECT_EQ(c.item(0).description,
              (QList<QByteArray>{"first line of A1", "second line of A1"}));
    EXPECT_EQ(c.item(0).rowHeight(), 36);
    EXPECT_EQ(c.item(1).code, "B22");
    EXPECT_EQ(c.item(1).rowHeight(), 18);
    EXPECT_TRUE(c.item(0).limit.isZero());
    EXPECT_EQ(c.inUse(), 2);
    EXPECT_EQ(c.codes(), (QList<QByteArray>{"A1", "B22"}));
    EXPECT_TRUE(messageText(c).isEmpty());
}

TEST(AnexoCatalogue, LengthsCountBig5Bytes)
{
    // Two Chinese characters are 4 bytes: a code line. Three are 6: description.
    const QByteArray two = b5("收益");
    const QByteArray three = b5("不課稅");
    ASSERT_EQ(two.size(), 4);
    const Catalogue c = parse(lines({"101", three, two, three}));
    ASSERT_TRUE(c.ok());
    ASSERT_EQ(c.entries.size(), 2);
    EXPECT_EQ(c.item(0).description, QList<QByteArray>{three});
    EXPECT_EQ(c.item(1).code, two);
    EXPECT_TRUE(c.isValidCode(two));
}

TEST(AnexoCatalogue, CodesTrimmedDescriptionsKeptAsTheyStand)
{
    const Catalogue c = parse(lines({" 7 ", "  indented text  "}));
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.item(0).code, "7");
    EXPECT_EQ(c.item(0).description.first(), "  indented text  ");
    // Codes are compared trimmed, exactly, with letter case.
    EXPECT_TRUE(c.isValidCode("7"));
    EXPECT_TRUE(c.isValidCode("7    "));
    EXPECT_FALSE(c.isValidCode("07"));
    const Catalogue letters = parse(lines({"ab", "description"}));
    EXPECT_TRUE(letters.isValidCode("ab"));
    EXPECT_FALSE(letters.isValidCode("AB"));
    EXPECT_FALSE(letters.isValidCode(""));
}

TEST(AnexoCatalogue, LineEndsAndBlankLines)
{
    struct Case { const char *name; QByteArray bytes; };
    const Case cases[] = {
        {"CR LF", "101\r\nHousing\r\n102\r\nFamily\r\n"},
        {"LF", "101\nHousing\n102\nFamily\n"},
        {"CR", "101\rHousing\r102\rFamily\r"},
        {"no final line end", "101\r\nHousing\r\n102\r\nFamily"},
        // A blank line would otherwise be an item with an empty code.
        {"blank lines between", "101\r\nHousing\r\n\r\n   \r\n102\r\nFamily\r\n\r\n"},
    };
    for (const Case &k : cases) {
        const Catalogue c = parse(k.bytes);
        ASSERT_TRUE(c.ok()) << k.name;
        EXPECT_EQ(c.codes(), (QList<QByteArray>{"101", "102"})) << k.name;
        EXPECT_EQ(c.item(0).description, QList<QByteArray>{"Housing"}) << k.name;
        EXPECT_EQ(c.item(1).description, QList<QByteArray>{"Family"}) << k.name;
    }
}

TEST(AnexoCatalogue, ItemWithoutDescriptionStillHasARow)
{
    const Catalogue c = parse(lines({"101", "102", "Family"}));
    ASSERT_TRUE(c.ok());
    EXPECT_TRUE(c.item(0).description.isEmpty());
    EXPECT_EQ(c.item(0).rowHeight(), 18);
}

TEST(AnexoCatalogue, ThirtyFiveItemsInUseTheThirtySixthReported)
{
    const Catalogue full = parse(itemsFile(35));
    ASSERT_TRUE(full.ok());
    EXPECT_EQ(full.inUse(), 35);
    EXPECT_FALSE(full.hasUnusedEntry());
    EXPECT_TRUE(messageText(full).isEmpty());

    const Catalogue over = parse(itemsFile(36));
    ASSERT_TRUE(over.ok());
    EXPECT_EQ(over.entries.size(), 36); // read, not dropped
    EXPECT_EQ(over.inUse(), 35);
    EXPECT_TRUE(over.hasUnusedEntry());
    EXPECT_TRUE(over.isValidCode("C35"));
    EXPECT_FALSE(over.isValidCode("C36"));
    const QString text = messageText(over);
    EXPECT_TRUE(text.contains(QStringLiteral("C36")));
    EXPECT_TRUE(text.contains(QStringLiteral("nao sera usado")));

    test::MessageRecorder rec;
    EXPECT_TRUE(report(over));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("附件A(Anexo - A)"));
}

TEST(AnexoCatalogue, BadFilesRefusedWhole)
{
    QByteArray longLine(kMaxLineBytes + 1, 'x');
    struct Case { const char *name; QByteArray bytes; Status status; int line; };
    const Case cases[] = {
        {"nothing", "", Status::Empty, 0},
        {"only blank lines", "\r\n  \r\n\r\n", Status::Empty, 0},
        {"37 items", itemsFile(37), Status::TooManyItems, 73},
        {"duplicate code", lines({"101", "Housing", "102", "Family", "101", "Again"}),
         Status::DuplicateCode, 5},
        {"duplicate after trimming", lines({"101", "Housing", " 101", "Again"}),
         Status::DuplicateCode, 3},
        {"description first", lines({"Housing allowance", "101", "Housing"}),
         Status::NoLeadingCode, 1},
        {"overlong line", lines({"101", longLine}), Status::LineTooLong, 2},
        {"lead byte cut at the line end", lines({"101", QByteArray("Housing \xA4", 9)}),
         Status::NotText, 2},
        {"lead byte with a bad trail", lines({"101", QByteArray("Hous\xA4\x20ing", 9)}),
         Status::NotText, 2},
        {"lone 0xFF", lines({"101", QByteArray("Housing\xFF", 8)}), Status::NotText, 2},
        {"NUL byte (UTF-16 file)", QByteArray("1\0" "0\0" "1\0\r\0\n\0", 10), Status::NotText, 1},
        {"control byte", lines({"101", QByteArray("Hous\x01ing")}), Status::NotText, 2},
        {"too large", QByteArray(kMaxFileBytes + 1, 'x'), Status::TooLarge, 0},
    };
    for (const Case &k : cases) {
        const Catalogue c = parse(k.bytes);
        EXPECT_EQ(c.status, k.status) << k.name;
        EXPECT_EQ(c.line, k.line) << k.name;
        EXPECT_FALSE(c.ok()) << k.name;
        EXPECT_TRUE(c.entries.isEmpty()) << k.name;
        EXPECT_EQ(c.inUse(), 0) << k.name;
        EXPECT_FALSE(c.isValidCode("101")) << k.name;
        const QString text = messageText(c);
        // Chinese first, then Portuguese, and the advice to reinstall.
        EXPECT_TRUE(text.contains(QStringLiteral("系統錯誤,請從新安裝"))) << k.name;
        EXPECT_TRUE(text.contains(QStringLiteral("Erros no sistema"))) << k.name;
    }
    // The line and the code are named where there is one.
    const Catalogue dup = parse(lines({"101", "Housing", "101", "Again"}));
    EXPECT_EQ(dup.code, "101");
    EXPECT_TRUE(messageText(dup).contains(QStringLiteral("\"101\"")));
    EXPECT_TRUE(messageText(dup).contains(QStringLiteral("linha 3")));
}

TEST(AnexoCatalogue, LineOfExactlyTheLimitIsAccepted)
{
    const Catalogue c = parse(lines({"101", QByteArray(kMaxLineBytes, 'x')}));
    EXPECT_TRUE(c.ok());
}

TEST(AnexoCatalogue, LoadFromFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    test::MessageRecorder rec;

    const Catalogue missing = load(dir.filePath(QStringLiteral("r56axa2.inf")));
    EXPECT_EQ(missing.status, Status::Missing);
    EXPECT_FALSE(report(missing));
    ASSERT_EQ(rec.messages.size(), 1);
    EXPECT_EQ(rec.last().caption, QStringLiteral("附件A(Anexo - A)"));
    EXPECT_EQ(rec.last().text, QStringLiteral("\r\n系統錯誤,請從新安裝\r\n"
                                              "Erros no sistema. Por favor de instala-lo de novo"));
    EXPECT_EQ(rec.last().kind, mkContinue);

    // A folder of that name is not a catalogue.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    EXPECT_EQ(load(dir.filePath(QStringLiteral("sub"))).status, Status::Missing);

    // Found case-blind, as on the installation's file system.
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("R56AXA2.INF")),
                                lines({"105", "Severance pay"})));
    const Catalogue c = load(dir.filePath(QStringLiteral("r56axa2.inf")));
    ASSERT_TRUE(c.ok());
    EXPECT_TRUE(c.isValidCode("105"));

    // Several MB of noise are refused without being read whole.
    const QString big = dir.filePath(QStringLiteral("big.inf"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(4 * 1024 * 1024));
    }
    const Catalogue noise = load(big);
    EXPECT_EQ(noise.status, Status::TooLarge);
    EXPECT_TRUE(messageText(noise).contains(big));
}

TEST(AnexoCatalogue, StartDirectoryCatalogue)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString saved = startdir;
    startdir = dir.path();
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("r56axa2.inf")),
                                lines({"101", "Housing"})));
    const Catalogue c = loadDefault();
    startdir = saved;
    ASSERT_TRUE(c.ok());
    EXPECT_EQ(c.codes(), QList<QByteArray>{"101"});
}

TEST(AnexoCatalogue, ShippedCatalogue)
{
    const QString path = QDir(sourceDir()).filePath(QStringLiteral("data/r56axa2.inf"));
    const Catalogue c = load(path);
    ASSERT_TRUE(c.ok()) << messageText(c).toStdString();
    EXPECT_FALSE(c.hasUnusedEntry());
    EXPECT_LE(c.entries.size(), kMaxRows);
    // The severance item that the export and the checker test, and the codes
    // the demo's sample files use.
    for (int code = 101; code <= 110; ++code)
        EXPECT_TRUE(c.isValidCode(QByteArray::number(code))) << code;
    // Every item is described in Chinese, then in Portuguese.
    for (const Item &it : c.entries) {
        ASSERT_GE(it.description.size(), 2) << it.code.constData();
        const QString first = big5::decode(it.description.first());
        EXPECT_TRUE(first.at(0).unicode() >= 0x4E00) << it.code.constData();
        const QString last = big5::decode(it.description.last());
        EXPECT_TRUE(last.at(0).unicode() < 0x80) << it.code.constData();
        EXPECT_EQ(big5::encode(big5::decode(it.description.first())), it.description.first());
    }
    const int sev = c.indexOf("105");
    ASSERT_GE(sev, 0);
    EXPECT_TRUE(big5::decode(c.item(sev).description.first()).contains(QStringLiteral("賠償")));
}
