// The rules of the worker record dialog: the confirmation's checks and their
// order, the character filters, and the reading of "iddesc.sys".
#include "workbench/modtaxerflow.h"

#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace r56;
using namespace r56::modtaxer;

namespace {

// The first number of the authority's range that passes the check digit:
// valid for article 36 only.
QByteArray art36Number()
{
    for (int n = 49000000; n < 49001000; ++n) {
        const QByteArray s = QByteArray::number(n);
        if (chktaxno(s, 36) == 0)
            return s;
    }
    return {};
}

struct Staff {
    MemTable t{staffFields()};
    void add(const char *cntb, int art = 32)
    {
        t.append();
        t.setInteger(staffcol::art, art);
        t.setString(staffcol::cntb, cntb);
        t.setInteger(staffcol::level, 4);
        t.post();
    }
};

} // namespace

TEST(ModtaxerChecks, FirstFailingCheckWinsInTheDesignsOrder)
{
    Staff s;
    s.add("12345678");
    s.add("********"); // the placeholder being registered
    const QByteArray n36 = art36Number();
    ASSERT_FALSE(n36.isEmpty());

    struct Case { const char *art; QByteArray number; const char *ptname; bool editable; int error; };
    const Case cases[] = {
        {"", "1234567", "", true, errArticle},          // article first, even with a bad number
        {"32", "1234567", "SILVA", true, errNumber},     // seven digits
        {"32", "", "SILVA", true, errNumber},            // empty number refused on confirmation
        {"32", n36, "SILVA", true, errNumber},           // authority range is not article 32's
        {"36", "23456789", "SILVA", true, errNumber},
        {"32", "23456789", "   ", true, errPtName},      // blanks only
        {"32", "12345678", "", true, errPtName},         // the name comes before the duplicate
        {"32", "12345678", "SILVA", true, errDuplicate},
        {"32", " 12345678 ", "SILVA", true, errDuplicate},
        {"32", "12345678", "SILVA", false, errNone},     // modify mode: no duplicate check
        {"32", "23456789", "SILVA", true, errNone},
        {"36", n36, "A B", true, errNone},
    };
    for (const Case &c : cases) {
        Entry e;
        e.article = QString::fromLatin1(c.art);
        e.number = c.number;
        e.ptname = c.ptname;
        e.numberEditable = c.editable;
        EXPECT_EQ(checkEntry(s.t, e), c.error) << c.art << " '" << c.number.constData() << "'";
    }
}

TEST(ModtaxerChecks, TheSearchLeavesAPendingRecordAlone)
{
    Staff s;
    s.add("12345678");
    s.add("********");
    s.t.last();
    ASSERT_TRUE(s.t.edit());
    s.t.setString(staffcol::nmp, "PENDING");
    Entry e{QStringLiteral("32"), "12345678", "X", true};
    EXPECT_EQ(checkEntry(s.t, e), errDuplicate);
    EXPECT_EQ(s.t.state(), MemTable::State::Edit) << "not posted by the duplicate search";
    EXPECT_EQ(s.t.asString(staffcol::nmp), QByteArray("PENDING"));
    EXPECT_EQ(s.t.recNo(), 2);
}

TEST(ModtaxerChecks, NumberExitAndFilters)
{
    EXPECT_TRUE(numberRefusedOnExit("1234567", QStringLiteral("32")));
    EXPECT_FALSE(numberRefusedOnExit("", QStringLiteral("32"))) << "empty passes the exit";
    EXPECT_FALSE(numberRefusedOnExit("  ", QStringLiteral("36")));
    EXPECT_FALSE(numberRefusedOnExit("12345678", QStringLiteral("32")));
    EXPECT_TRUE(numberRefusedOnExit("12345678", QStringLiteral("36")));

    for (QChar c : QStringLiteral("0123456789"))
        EXPECT_TRUE(numberCharAllowed(c));
    for (QChar c : QStringLiteral("a -.\u4e2d"))
        EXPECT_FALSE(numberCharAllowed(c)) << int(c.unicode());

    for (QChar c : QStringLiteral("AZaz '(),./:;"))
        EXPECT_TRUE(ptnameCharAllowed(c)) << int(c.unicode());
    for (QChar c : QStringLiteral("09-\"!?&_\u4e2d\u00e7"))
        EXPECT_FALSE(ptnameCharAllowed(c)) << int(c.unicode());
    EXPECT_EQ(filterPtName(QStringLiteral("da silva 2, jo\u00e3o (\u9673)")),
              QStringLiteral("DA SILVA , JOO ()"));
}

TEST(ModtaxerTexts, CaptionTitlesAndMessages)
{
    EXPECT_EQ(dialogCaption(), QStringLiteral("更新R5/R6資料 ( Alteracao dos Dados do R5/R6 )"));
    EXPECT_EQ(modeTitle(0), QStringLiteral("登記僱員個人資料\r\nRegisto dos Dados Pessoais do Empregado"));
    EXPECT_EQ(modeCaption(1), QStringLiteral("修改僱員個人資料 (Alteracao dos Dados Pessoais do Empregado)"));
    EXPECT_EQ(errorText(errArticle), QStringLiteral("未輸入條款編號\r\nE preciso de introduzir o Artigo"));
    EXPECT_EQ(errorText(errPtName),
              QStringLiteral("未輸入葡文姓名或葡文姓名不正確\r\nE preciso de introduzir o nome em "
                             "Portugues,\r\nou e nome em Portugues nao esta correcto"));
    EXPECT_EQ(errorText(errDuplicate), QStringLiteral("稅務編號重覆\r\nO No. Contribuinte e duplicado"));
    EXPECT_TRUE(errorText(errNone).isEmpty());
}

TEST(ModtaxerIdDesc, EveryLineInFileOrder)
{
    QTemporaryDir dir;
    const QString p = dir.filePath(QStringLiteral("iddesc.sys"));
    struct Case { QByteArray bytes; QStringList lines; };
    const Case cases[] = {
        {"a\r\nb\r\nc\r\n", {"a", "b", "c"}},
        {"a\r\n\r\nc", {"a", "", "c"}},        // an empty line is an item too
        {"a\nb\rc", {"a", "b", "c"}},
        {"", {}},
        {"\r\n", {""}},
        {test::b5("01 護照 (Passaporte)\r\n"), {QStringLiteral("01 護照 (Passaporte)")}},
    };
    for (const Case &c : cases) {
        ASSERT_TRUE(test::writeFile(p, c.bytes));
        QStringList lines{QStringLiteral("stale")};
        EXPECT_TRUE(readIdDesc(p, lines));
        EXPECT_EQ(lines, c.lines) << c.bytes.constData();
    }
    QStringList lines;
    EXPECT_FALSE(readIdDesc(dir.filePath(QStringLiteral("none.sys")), lines));
    EXPECT_TRUE(lines.isEmpty());

    // The file of the installation.
    const QString src = qEnvironmentVariable("R56_SOURCE_DIR", QStringLiteral("/work/main"));
    ASSERT_TRUE(readIdDesc(QDir(src).filePath(QStringLiteral("data/iddesc.sys")), lines));
    EXPECT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines.first().startsWith(QStringLiteral("01 ")));

    // Found in the start directory without regard to case.
    const QString saved = startdir;
    startdir = dir.path();
    ASSERT_TRUE(test::writeFile(dir.filePath(QStringLiteral("IDDESC.SYS")), "x\r\n"));
    QFile::remove(p);
    EXPECT_TRUE(readIdDesc(idDescPath(), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("x")});
    startdir = saved;
}
