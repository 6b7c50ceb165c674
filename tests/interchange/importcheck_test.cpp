// The import and the checker are two faces of one set of rules: a file the
// checker passes, the import takes; a file the import refuses, the checker
// lists with its line and field. One table of files goes through both.
#include "interchange/checkflow.h"
#include "interchange/exchange.h"
#include "interchange/importflow.h"
#include "msgrecorder.h"
#include "shared/big5.h"
#include "shared/r5r6data.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace r56;
using r56::test::b5;
using r56::test::writeFile;

namespace {

const QList<QByteArray> kCodes = {"101", "102", "103", "105"};

QByteArray lines(const QList<QByteArray> &l)
{
    QByteArray out;
    for (const QByteArray &x : l)
        out += x + "\r\n";
    return out;
}

QByteArray company(const QByteArray &id = "5012345A")
{
    return lines({id, "2024&101120000", b5("大豐貿易有限公司"), "TAI FONG COMERCIO LIMITADA",
                  b5("東灣新馬路123號"), "", "", "", "28123456"});
}

QByteArray listRecord(const QByteArray &cntb, qint64 sub1 = 0, const QByteArray &compid = "5012345A",
                      const QByteArray &nmc = b5("陳大文"), const QByteArray &leave = {})
{
    ListRecordData d;
    d.compid = compid;
    d.year = 2024;
    d.art = 32;
    d.cntb = cntb;
    d.nmc = nmc;
    d.nmp = "CHAN TAI MAN";
    d.rend = Currency::fromHundredths(2400000);
    d.rexp = " ";
    d.sub1 = Currency::fromHundredths(sub1);
    d.leavedate = leave;
    d.period = "0112";
    return *makelistrecord(d);
}

QByteArray annexRecord(const QByteArray &cntb, const QByteArray &code, qint64 h,
                       const QByteArray &compid = "5012345A")
{
    AnnexRecordData d;
    d.compid = compid;
    d.year = 2024;
    d.cntb = cntb;
    d.itemcod = code;
    d.amount = Currency::fromHundredths(h);
    return *makeannexrecord(d);
}

// A list record whose Chinese name holds `byte` at `at` (0-based in the
// name field): a lead byte alone at the field's end is an authority's name
// cut at byte 40 inside a double-byte character.
QByteArray withNameByte(const QByteArray &cntb, int at, char byte, const QByteArray &compid = "5012345A")
{
    QByteArray l = listRecord(cntb, 0, compid);
    l[22 + at] = byte;
    return l;
}
QByteArray cutName(const QByteArray &cntb = "12345678", const QByteArray &compid = "5012345A")
{
    return withNameByte(cntb, 39, char(0xB0), compid);
}

struct Side
{
    test::MessageRecorder msgs;
    Tdm56 dm;
    TCmpFile rec;
};

} // namespace

TEST(ImportAndCheck, AgreeOverATableOfFiles)
{
    struct Case
    {
        const char *name;
        QByteArray company;
        QList<QByteArray> list;
        QList<QByteArray> annex;
        bool taken;
    } cases[] = {
        {"clean", company(), {listRecord("12345678", 50000)}, {annexRecord("12345678", "101", 50000)}, true},
        {"a name cut inside a double-byte character", company(), {cutName()}, {}, true},
        {"a byte that is not Big5 text", company(), {withNameByte("12345678", 1, char(0x80))}, {}, true},
        {"an item of a taxpayer not in the list", company(),
         {listRecord("12345678", 50000)},
         {annexRecord("12345678", "101", 50000), annexRecord("13572468", "102", 100)}, true},
        {"a seven-digit employer number", company("5012345"),
         {listRecord("12345678", 0, "5012345 ")}, {}, true},
        {"an item code not in the catalogue", company(), {listRecord("12345678", 50000)},
         {annexRecord("12345678", "999", 50000)}, false},
        {"a taxpayer number that is not one", company(), {listRecord("12345678"), listRecord("9234567A")},
         {}, false},
        {"another employer's line", company(), {listRecord("12345678"), listRecord("13572468", 0, "6012345A")},
         {}, false},
        {"a line of 173 bytes", company(), {listRecord("12345678"), listRecord("13572468").left(173)}, {},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir tmp;
        const QString in = tmp.path();
        writeFile(in + "/CADA0112.TXT", c.company);
        writeFile(in + "/R56_0112.TXT", lines(c.list));
        if (!c.annex.isEmpty())
            writeFile(in + "/R56A0112.TXT", lines(c.annex));

        bool old = false;
        Side imp;
        importflow::ImportFlow flow(imp.dm, imp.rec);
        flow.setItemCodes(kCodes);
        flow.setOldLayoutFlag(&old);
        const auto result = flow.read(in + "/R56_0112.TXT");

        Side chk;
        checkflow::Checker checker(chk.dm, chk.rec);
        checker.options().itemcodes = kCodes;
        checker.options().today = encodeDate(2025, 3, 1);
        checker.options().namebox = false;
        const checkflow::Outcome out = checker.check(in + "/R56_0112.TXT");
        QStringList listed;
        for (const QString &l : checker.report().plainLines())
            if (l.startsWith(QLatin1String("Line:")))
                listed << l;

        if (c.taken) {
            EXPECT_EQ(result, importflow::ImportFlow::ReadResult::Imported)
                << (imp.msgs.empty() ? std::string() : imp.msgs.last().text.toStdString());
            EXPECT_TRUE(listed.isEmpty()) << listed.join('\n').toStdString();
            EXPECT_EQ(out.end, checkflow::End::Completed);
        } else {
            EXPECT_EQ(result, importflow::ImportFlow::ReadResult::Refused);
            EXPECT_FALSE(listed.isEmpty());
        }
    }
}

TEST(ImportAndCheck, WhatTheImportTakesItKeepsAsTheFileHasIt)
{
    QTemporaryDir tmp;
    const QString in = tmp.path();
    writeFile(in + "/CADA0112.TXT", company("5012345"));
    const QByteArray cut = withNameByte("20481357", 1, char(0x80), "5012345 ");
    writeFile(in + "/R56_0112.TXT", lines({listRecord("12345678", 50000, "5012345 "), cut}));
    writeFile(in + "/R56A0112.TXT",
              lines({annexRecord("12345678", "101", 50000, "5012345 "),
                     annexRecord("13572468", "102", 100, "5012345 ")}));
    bool old = false;
    Side imp;
    importflow::ImportFlow flow(imp.dm, imp.rec);
    flow.setItemCodes(kCodes);
    flow.setOldLayoutFlag(&old);
    ASSERT_EQ(flow.read(in + "/R56_0112.TXT"), importflow::ImportFlow::ReadResult::Imported);
    EXPECT_EQ(imp.dm.staff.recordCount(), 2);

    // The name's bytes, the half character included.
    imp.dm.staff.setIndexFieldNames("cntb");
    ASSERT_TRUE(imp.dm.staff.findKey({MemValue("20481357")}));
    EXPECT_EQ(imp.dm.staff.asString(staffcol::nmc).left(40), cut.mid(22, 40));

    // The item of the unlisted taxpayer is kept, under the article of the
    // worker before it; codes stay as the file carries them.
    ASSERT_EQ(imp.dm.sub.recordCount(), 2);
    imp.dm.sub.setIndexFieldNames("cntb");
    ASSERT_TRUE(imp.dm.sub.findKey({MemValue("13572468")}));
    EXPECT_EQ(imp.dm.sub.asInteger(subcol::art), 32);
    EXPECT_EQ(imp.dm.sub.asString(subcol::itemcod), QByteArray("102  "));
    EXPECT_TRUE(imp.dm.findsub("12345678", "101"));
}

// "A:\..." means the removable disk (R56_DRIVE_A here) for the import as for
// the check and the export: a diskette in the drive is read, not asked for.
TEST(ImportAndCheck, ReadFromDriveA)
{
    QTemporaryDir disk;
    const QByteArray oldVar = qgetenv("R56_DRIVE_A");
    const bool hadVar = qEnvironmentVariableIsSet("R56_DRIVE_A");
    qputenv("R56_DRIVE_A", disk.path().toLocal8Bit());
    writeFile(disk.path() + "/CADA0112.TXT", company());
    writeFile(disk.path() + "/r56_0112.txt", lines({listRecord("12345678", 50000)}));
    writeFile(disk.path() + "/R56A0112.TXT", lines({annexRecord("12345678", "101", 50000)}));

    bool old = false;
    Side imp;
    importflow::ImportFlow flow(imp.dm, imp.rec);
    flow.setItemCodes(kCodes);
    flow.setOldLayoutFlag(&old);
    EXPECT_EQ(flow.read(QStringLiteral("A:\\R56_0112.TXT")), importflow::ImportFlow::ReadResult::Imported);
    EXPECT_EQ(imp.dm.staff.recordCount(), 1);
    EXPECT_EQ(imp.dm.sub.recordCount(), 1);
    for (const auto &m : imp.msgs.messages)
        EXPECT_FALSE(m.text.contains(QStringLiteral("請於A:磁碟機放入"))) << m.text.toStdString();

    if (hadVar)
        qputenv("R56_DRIVE_A", oldVar);
    else
        qunsetenv("R56_DRIVE_A");
}

// The checker's totals keep a blank between their columns however large
// the amounts grow.
TEST(ImportAndCheck, LargeTotalsStayInTheirColumns)
{
    QTemporaryDir tmp;
    const QString in = tmp.path();
    writeFile(in + "/CADA0112.TXT", company());
    QList<QByteArray> list;
    for (const char *cntb : {"12345678", "13572468", "20481357"}) {
        QByteArray l = listRecord(cntb);
        const FieldPos &f = linefields[6];
        l.replace(f.start - 1, f.length, "9999999999999"); // 99,999,999,999.99
        list << l;
    }
    writeFile(in + "/R56_0112.TXT", lines(list));
    Side chk;
    checkflow::Checker checker(chk.dm, chk.rec);
    checker.options().itemcodes = kCodes;
    checker.options().today = encodeDate(2025, 3, 1);
    checker.check(in + "/R56_0112.TXT");
    bool seen = false;
    for (const QString &l : checker.report().plainLines()) {
        if (!l.startsWith(QStringLiteral("申報收益總額")))
            continue;
        seen = true;
        const QStringList cols = l.mid(l.indexOf(QLatin1Char(':')) + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        EXPECT_EQ(cols, QStringList({QStringLiteral("299,999,999,999.97"), QStringLiteral("299,999,999,999.97"),
                                     QStringLiteral("0.00")}))
            << l.toStdString();
    }
    EXPECT_TRUE(seen);
}
