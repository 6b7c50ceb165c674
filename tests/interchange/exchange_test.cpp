// The exchange files: golden bytes of the writers, the readers over the odd
// files that arrive on diskettes, companion file names found case-blind, and
// the demo's sample authority files (which every rule must accept).
#include "interchange/exchange.h"

#include "interchange/uchkr5r6.h"
#include "shared/big5.h"

#include "msgrecorder.h"
#include "tempdir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace r56;
using r56::test::b5;
using r56::test::readFile;
using r56::test::writeFile;

namespace {

Currency h(std::int64_t hundredths) { return Currency::fromHundredths(hundredths); }

ListRecordData worker()
{
    ListRecordData d;
    d.compid = "1234567";
    d.year = 2002;
    d.art = 32;
    d.cntb = "12345678";
    d.nmc = b5("陳大文");
    d.nmp = "CHAN TAI MAN";
    d.rend = Currency::fromDouble(12345.67);
    d.rexp = "X";
    d.sub1 = h(150000);
    d.rimp = h(0);
    d.leavedate = "05/03/2002";
    d.period = "0112";
    return d;
}

QList<ExchangeLine> readAll(const QByteArray &bytes, RecordKind kind, ExchangeReader *out = nullptr)
{
    ExchangeReader r(kind);
    r.openBytes(bytes);
    QList<ExchangeLine> lines;
    ExchangeLine l;
    while (r.next(l))
        lines.append(l);
    if (out)
        *out = r;
    return lines;
}

} // namespace

// ------------------------------------------------------------------ writers

TEST(ListWriter, GoldenRecord)
{
    const auto line = makelistrecord(worker());
    ASSERT_TRUE(line);
    const QByteArray expected = QByteArray("1234567 ") + "2002" + "32" + "12345678"
        + b5("陳大文") + QByteArray(34, ' ') + "CHAN TAI MAN" + QByteArray(28, ' ')
        + "0000001234567" + "X" + "0000000150000" + "0000000000000" + "05032002" + "0112"
        + QByteArray(20, ' ');
    EXPECT_EQ(*line, expected);
    EXPECT_EQ(line->size(), 174);
}

TEST(ListWriter, NamesAreCutOnCharacterBoundariesAndTheRecordStays174)
{
    ListRecordData d = worker();
    // "A" and 20 Chinese characters: 41 bytes; the cut at 40 would split the
    // last character, so it goes whole and a blank pads.
    d.nmc = "A" + b5("一二三四五六七八九十一二三四五六七八九十");
    d.nmp = QByteArray(55, 'Z');
    const auto line = makelistrecord(d);
    ASSERT_TRUE(line);
    ASSERT_EQ(line->size(), 174);
    const QByteArray nmc = getfield(*line, 4);
    EXPECT_EQ(nmc, "A" + b5("一二三四五六七八九十一二三四五六七八九") + " ");
    EXPECT_EQ(getfield(*line, 5), QByteArray(40, 'Z'));
    EXPECT_EQ(getfield(*line, 6), QByteArray("0000001234567"));

    d.nmc.clear();
    d.nmp.clear();
    d.period.clear(); // never a 170-byte record that reads as the older layout
    const auto empty = makelistrecord(d);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), 174);
    EXPECT_EQ(getfield(*empty, 11), QByteArray("    "));
}

TEST(ListWriter, AmountsAndDates)
{
    const struct { std::int64_t raw; const char *field; } amounts[] = {
        {0, "0000000000000"},
        {123456700, "0000001234567"},
        {12345, "0000000000123"},       // 123.45 hundredths: to the even 123
        {12355, "0000000000124"},       // 123.55: to the even 124
        {12351, "0000000000124"},
        {99999999999990000LL / 100, "9999999999999"},
    };
    for (const auto &a : amounts) {
        const auto f = amountfield(Currency::fromRaw(a.raw));
        ASSERT_TRUE(f) << a.raw;
        EXPECT_EQ(*f, QByteArray(a.field)) << a.raw;
    }
    EXPECT_FALSE(amountfield(h(-1)));
    EXPECT_FALSE(amountfield(h(10000000000000LL)));
    ListRecordData d = worker();
    d.rimp = h(-100);
    EXPECT_FALSE(makelistrecord(d));

    EXPECT_EQ(*amountvalue("9999999999999"), h(9999999999999LL));
    EXPECT_FALSE(amountvalue("00000 0000001"));

    const struct { const char *in; const char *out; } dates[] = {
        {"05/03/2002", "05032002"}, {"", "00000000"},          {"00/00/0000", "00000000"},
        {"/  /", "00000000"},       {"5/3/2002", "05032002"},  {"31/02/2003", "31022003"},
        {"05032002", "00000000"},   {"xx/yy/zzzz", "00000000"},
    };
    for (const auto &c : dates)
        EXPECT_EQ(leavedatefield(c.in), QByteArray(c.out)) << c.in;
}

TEST(AnnexWriter, GoldenRecordAndJustification)
{
    AnnexRecordData a;
    a.compid = "1234567";
    a.year = 2002;
    a.cntb = "12345678";
    a.itemcod = "105";
    a.amount = Currency::fromDouble(12345.67);
    const auto line = makeannexrecord(a);
    ASSERT_TRUE(line);
    EXPECT_EQ(*line, QByteArray(" 1234567200212345678105  0000001234567") + QByteArray(20, ' '));
    EXPECT_EQ(line->size(), 58);
    // The list record of the same employer carries the number left-justified.
    EXPECT_EQ(getfield(*makelistrecord(worker()), 0), QByteArray("1234567 "));

    a.amount = h(-5);
    EXPECT_FALSE(makeannexrecord(a));
}

TEST(CompanyWriter, GoldenFileBothHalves)
{
    QTemporaryDir dir;
    TCmpFile rec;
    rec.block.clear();
    rec.block.setCompid("1234567A");
    rec.block.setEano(2003);
    rec.block.setPeriodpair("01060712");
    rec.block.setCompchnm(b5("大豐貿易有限公司"));
    rec.block.setCompname("TAI FONG COMERCIO LDA");
    rec.block.setCompaddr(0, b5("東灣新馬路1號"));
    rec.block.setCompaddr(1, "");
    rec.block.setCompaddr(2, "");
    rec.block.setCompaddr(3, "");
    rec.block.setComptele("28000000");

    rec.firsthalf = 1;
    const QString p1 = dir.filePath("CADA0106.txt");
    ASSERT_TRUE(writecompanyfile(p1, rec));
    EXPECT_EQ(readFile(p1), "1234567A\r\n2003&101060000\r\n" + b5("大豐貿易有限公司")
                                + "\r\nTAI FONG COMERCIO LDA\r\n" + b5("東灣新馬路1號")
                                + "\r\n\r\n\r\n\r\n28000000\r\n");

    rec.firsthalf = 0;
    const auto lines = companylines(rec);
    ASSERT_EQ(lines.size(), 9);
    EXPECT_EQ(lines[1], QByteArray("2003&200000712"));
}

TEST(FileWriter, CrLfReplaceCaseBlindAndRefuseLineBreaks)
{
    QTemporaryDir dir;
    const QString lower = dir.filePath("r56_0112.txt");
    ASSERT_TRUE(writeFile(lower, "old\r\n"));
    ASSERT_TRUE(writerecordfile(dir.filePath("R56_0112.TXT"), {"a", "b"}));
    // The existing file, whatever its case, is the one replaced.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"r56_0112.txt"});
    EXPECT_EQ(readFile(lower), QByteArray("a\r\nb\r\n"));

    QString error;
    EXPECT_FALSE(writerecordfile(lower, {"x", "y\nz"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(readFile(lower), QByteArray("a\r\nb\r\n")); // left as it was

    error.clear();
    EXPECT_FALSE(writerecordfile(dir.filePath("no/such/dir/R56_0112.txt"), {"a"}, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("未能建立新檔案")));
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files) == QStringList{"r56_0112.txt"});

    // A company name holding a line break does not shift the later lines.
    TCmpFile rec;
    rec.block.clear();
    rec.block.setCompname("A\r\nB");
    EXPECT_EQ(companylines(rec)[3], QByteArray("A  B"));
}

// ------------------------------------------------------------------ readers

TEST(Reader, LineEnds)
{
    const struct { const char *name; QByteArray bytes; QList<QByteArray> lines; bool final; } cases[] = {
        {"CR LF", "ab\r\ncd\r\n", {"ab", "cd"}, true},
        {"LF only", "ab\ncd\n", {"ab", "cd"}, true},
        {"mixed", "ab\r\ncd\nef\r\n", {"ab", "cd", "ef"}, true},
        {"no final line end", "ab\r\ncd", {"ab", "cd"}, false},
        {"CR LF cut short", "ab\r\ncd\r", {"ab", "cd"}, true},
        {"empty line mid-file", "ab\r\n\r\ncd\r\n", {"ab", "", "cd"}, true},
        {"blank lines at the end", "ab\r\n\r\n", {"ab", ""}, true},
        {"empty file", "", {}, true},
        {"only a line end", "\r\n", {""}, true},
        {"end-of-file mark", "ab\r\ncd\r\n\x1A", {"ab", "cd"}, true},
        {"end-of-file mark after the last line", "ab\x1A\x1A", {"ab"}, false},
        {"Ctrl-Z inside a line stays", "a\x1A" "b\r\n", {"a\x1A" "b"}, true},
        {"CR inside a line stays", "a\rb\r\n", {"a\rb"}, true},
    };
    for (const auto &c : cases) {
        ExchangeReader r;
        const auto lines = readAll(c.bytes, RecordKind::Text, &r);
        QList<QByteArray> got;
        for (const auto &l : lines)
            got << l.bytes;
        EXPECT_EQ(got, c.lines) << c.name;
        EXPECT_EQ(r.finallineend(), c.final) << c.name;
        for (int i = 0; i < lines.size(); ++i)
            EXPECT_EQ(lines[i].lineno, i + 1) << c.name;
    }
}

TEST(Reader, LengthsAndBytesReportedPerLine)
{
    const QByteArray rec174 = *makelistrecord(worker());
    QByteArray file;
    file += rec174 + "\r\n";                                  // 1 good
    file += rec174.left(150) + QByteArray(20, ' ') + "\r\n";  // 2 older layout, good
    file += rec174.left(173) + "\r\n";                        // 3
    file += rec174 + " \r\n";                                 // 4: 175
    file += rec174 + "\r\r\n";                                // 5: CR CR LF
    QByteArray bad = rec174;
    bad[30] = '\x80';
    file += bad + "\n";                                       // 6
    bad = rec174;
    bad[24] = '\xA4';
    bad[25] = ' ';                                            // lead without trail
    file += bad + "\n";                                       // 7
    bad = rec174;
    bad[26] = '\xA3';
    bad[27] = '\xC0';                                         // pair the code page lacks
    file += bad + "\n";                                       // 8
    file += rec174.left(173) + '\xA4';                        // 9: lead at the end, no line end

    const auto lines = readAll(file, RecordKind::List);
    ASSERT_EQ(lines.size(), 9);
    const struct { bool badlength; qsizetype badbyte; } want[] = {
        {false, -1}, {false, -1}, {true, -1}, {true, -1}, {true, 174},
        {false, 30}, {false, 24}, {false, 26}, {false, 173},
    };
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(lines[i].badlength, want[i].badlength) << "line " << i + 1;
        EXPECT_EQ(lines[i].badbyte, want[i].badbyte) << "line " << i + 1;
        EXPECT_EQ(lines[i].ok(), !want[i].badlength && want[i].badbyte < 0);
    }
    EXPECT_EQ(lines[2].bytes.size(), 173);

    const QString p = lineproblem(lines[2], RecordKind::List);
    EXPECT_TRUE(p.contains(QStringLiteral("第3行記錄長度為173,正確之記錄長度為174"))) << p.toStdString();
    EXPECT_TRUE(p.contains(QStringLiteral("Linha 3"))) << p.toStdString();
    EXPECT_TRUE(lineproblem(lines[5], RecordKind::List).contains(QStringLiteral("第6行第31個位元組")));
    EXPECT_TRUE(lineproblem(lines[0], RecordKind::List).isEmpty());

    const auto annex = readAll(QByteArray(58, '1') + "\n" + QByteArray(57, '1') + "\n", RecordKind::Annex);
    ASSERT_EQ(annex.size(), 2);
    EXPECT_FALSE(annex[0].badlength);
    EXPECT_TRUE(annex[1].badlength);
    EXPECT_TRUE(lineproblem(annex[1], RecordKind::Annex).contains(QStringLiteral("正確之記錄長度為58")));
}

TEST(Reader, GoodBig5AndUserDefinedCharactersPass)
{
    EXPECT_EQ(firstbadbig5(b5("陳大文 CHAN (A/B), 東灣")), -1);
    EXPECT_EQ(firstbadbig5(QByteArray("\xFA\x40", 2)), -1); // user-defined area
    EXPECT_EQ(firstbadbig5(QByteArray("ab\tc")), 2);
    EXPECT_EQ(firstbadbig5(QByteArray("ab\x7F")), 2);
    EXPECT_EQ(firstbadbig5(QByteArray("ab\xFF")), 2);
}

// The check passes over runs of plain ASCII a word at a time: it must still
// stop on exactly the byte a walk over every byte stops on, wherever in a
// word (or in the short end of a line) that byte falls.
TEST(Reader, Big5CheckStopsWhereAByteByByteWalkStops)
{
    QStringDecoder d("windows-950");
    const auto definedPair = [&](unsigned char lead, unsigned char trail) {
        const char pair[2] = {char(lead), char(trail)};
        d.resetState();
        const QString s = d.decode(QByteArrayView(pair, 2));
        const bool one = s.size() == 1 || (s.size() == 2 && s[0].isHighSurrogate());
        return one && s[0] != QChar(0xFFFD) && s[0] != QChar(0x1A);
    };
    const auto walk = [&](const QByteArray &b) -> qsizetype {
        for (qsizetype i = 0; i < b.size();) {
            const auto c = static_cast<unsigned char>(b[i]);
            if (c < 0x20 || c == 0x7F)
                return i;
            if (c < 0x80) {
                ++i;
                continue;
            }
            if (c == 0x80 || c == 0xFF || i + 1 >= b.size())
                return i;
            if (!definedPair(c, static_cast<unsigned char>(b[i + 1])))
                return i;
            i += 2;
        }
        return -1;
    };

    // One odd byte (or a character) at every offset of printable runs.
    const QByteArray odd[] = {"\x1F", "\x7F", "\x80", "\xFF", "\x00", "\x1A", "\xA4",
                              b5("陳"), "\xA4\x30", "\xFA\x40", "\xF9\xFE"};
    for (const QByteArray &o : odd) {
        for (int len = 0; len <= 24; ++len) {
            for (int at = 0; at <= len; ++at) {
                QByteArray b(len, 'A');
                b.insert(at, o);
                EXPECT_EQ(firstbadbig5(b), walk(b)) << b.toHex().constData();
            }
        }
    }
    // Random mixes weighted towards what records hold.
    QRandomGenerator rng(950);
    for (int k = 0; k < 20000; ++k) {
        QByteArray b;
        const int len = int(rng.bounded(40));
        for (int i = 0; i < len; ++i) {
            const quint32 r = rng.bounded(100);
            b += r < 80 ? char(0x20 + rng.bounded(0x5F)) : char(rng.bounded(256));
        }
        ASSERT_EQ(firstbadbig5(b), walk(b)) << b.toHex().constData();
    }
}

TEST(Reader, NoiseNeverBreaksTheReader)
{
    QRandomGenerator gen(56);
    QByteArray noise(4 * 1024 * 1024, Qt::Uninitialized);
    for (char &c : noise)
        c = static_cast<char>(gen.bounded(256));
    for (const RecordKind kind : {RecordKind::Text, RecordKind::List, RecordKind::Annex}) {
        ExchangeReader r(kind);
        r.openBytes(noise);
        ExchangeLine l;
        qsizetype bytes = 0;
        int n = 0;
        while (r.next(l)) {
            ++n;
            bytes += l.bytes.size();
            EXPECT_EQ(l.lineno, n);
            if (!l.bytes.isEmpty())
                (void)lineproblem(l, kind);
        }
        EXPECT_EQ(r.position(), r.size() - (noise.endsWith('\x1A') ? 1 : 0));
        EXPECT_GT(n, 10000);
        EXPECT_LE(bytes, noise.size());
    }
    // One huge line without any line end.
    QByteArray big(3 * 1024 * 1024, '7');
    const auto lines = readAll(big, RecordKind::List);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].badlength);
    EXPECT_EQ(lines[0].bytes.size(), big.size());
}

TEST(Reader, WholeFileStopsAtTheEmptyLineAndFindsTheFileCaseBlind)
{
    QTemporaryDir dir;
    const QByteArray rec = *makelistrecord(worker());
    ASSERT_TRUE(writeFile(dir.filePath("r56_0112.txt"), rec + "\n" + rec + "\n\n" + rec + "\n"));
    const ExchangeFile f = readexchangefile(dir.filePath("R56_0112.TXT"), RecordKind::List);
    EXPECT_EQ(f.status, ReadStatus::Ok);
    EXPECT_EQ(f.path, dir.filePath("r56_0112.txt"));
    ASSERT_EQ(f.records.size(), 2);
    EXPECT_EQ(f.records[1].lineno, 2);
    EXPECT_EQ(f.emptyline, 3);
    EXPECT_TRUE(f.problems().isEmpty());

    const ExchangeFile missing = readexchangefile(dir.filePath("R56_0106.TXT"), RecordKind::List);
    EXPECT_EQ(missing.status, ReadStatus::Missing);
    EXPECT_TRUE(missing.error.contains(QStringLiteral("O ficheiro nao existe")));
    EXPECT_TRUE(missing.records.isEmpty());

    const ExchangeFile folder = readexchangefile(dir.path(), RecordKind::List);
    EXPECT_EQ(folder.status, ReadStatus::Missing);
}

// ------------------------------------------------------------------ lines at once

// remaininglines() hands the import every line of a file at once, its Big5
// check spread over the cores for large files; the import then treats line i
// as next() would have given it. Whatever the file holds, the two must agree
// line for line: a line cut differently, a number off by one or a bad byte
// found in the wrong line would refuse (or let through) a different line.
namespace {

// Compares the lines `remaininglines` gives after `skip` lines taken by
// next() with the lines a second reader's next() gives from there on.
void expectRemainingAsNext(const QByteArray &bytes, RecordKind kind, int skip)
{
    ExchangeReader batch(kind), single(kind);
    batch.openBytes(bytes);
    single.openBytes(bytes);
    ExchangeLine l;
    for (int i = 0; i < skip; ++i) {
        batch.next(l);
        single.next(l);
    }
    const int taken = single.lineno();
    QList<ExchangeLine> want;
    QList<qint64> wantPosition; // position() once next() has returned the line
    while (single.next(l)) {
        want.append(l);
        wantPosition.append(single.position());
    }

    const ExchangeLines got = batch.remaininglines();
    EXPECT_EQ(got.kind, kind);
    EXPECT_EQ(got.firstlineno, taken + 1);
    ASSERT_EQ(got.bytes.size(), std::size_t(want.size()));
    ASSERT_EQ(got.badbyte.size(), got.bytes.size());
    int mismatches = 0;
    for (std::size_t i = 0; i < got.bytes.size() && mismatches < 5; ++i) {
        const ExchangeLine &w = want[qsizetype(i)];
        const ExchangeLine g = got.line(i);
        const bool same = g.lineno == w.lineno && g.bytes == w.bytes && g.badbyte == w.badbyte
            && g.badlength == w.badlength && QByteArrayView(w.bytes) == got.bytes[i];
        if (!same) {
            ++mismatches;
            ADD_FAILURE() << "line " << w.lineno << ": got lineno " << g.lineno << " bad byte "
                          << g.badbyte << " bad length " << g.badlength << " bytes "
                          << g.bytes.toHex().constData() << "; next() gave bad byte " << w.badbyte
                          << " bad length " << w.badlength << " bytes "
                          << w.bytes.toHex().constData();
        }
        // The progress of a line is the position past it and its line end,
        // as the line-by-line reader stands after it: a file read whole
        // reaches its end (100%) with its last line.
        EXPECT_EQ(batch.positionafter(got.bytes[i]), wantPosition[qsizetype(i)])
            << "line " << w.lineno;
    }
    // The reader is at the end, as after the last next().
    EXPECT_TRUE(batch.atEnd());
    EXPECT_EQ(batch.lineno(), single.lineno());
    EXPECT_EQ(batch.finallineend(), single.finallineend());
    EXPECT_FALSE(batch.next(l));
    EXPECT_TRUE(batch.remaininglines().bytes.empty());
}

// A large file of every kind of line: good list and annex records, short,
// long and empty lines, bytes that are not Big5 at many offsets (in ASCII
// runs, after a Chinese character, as a lead byte at the end), LF and CR LF
// line ends mixed.
QByteArray largeMixedFile(int count)
{
    const QByteArray rec174 = *makelistrecord(worker());
    const QByteArray rec170 = rec174.left(150) + QByteArray(20, ' ');
    AnnexRecordData a{"1234567", 2002, "12345678", "101", h(500)};
    const QByteArray rec58 = *makeannexrecord(a);
    const char bad[] = {'\x80', '\xFF', '\x7F', '\x01', '\x1A', '\xA4', '\r'};
    QRandomGenerator rng(4096);
    QByteArray file;
    file.reserve(qsizetype(count) * 180);
    for (int i = 0; i < count; ++i) {
        QByteArray line;
        switch (rng.bounded(12)) {
        case 0: line = rec170; break;
        case 1: line = rec58; break;
        case 2: line = rec174.left(int(rng.bounded(174))); break;
        case 3: line = rec174 + QByteArray(int(rng.bounded(1, 300)), 'Z'); break;
        case 4: line = QByteArray(); break;
        default: line = rec174; break;
        }
        if (!line.isEmpty() && rng.bounded(5) == 0) {
            const int at = int(rng.bounded(line.size()));
            line[at] = bad[rng.bounded(int(sizeof bad))];
        }
        file += line + (rng.bounded(3) == 0 ? "\n" : "\r\n");
    }
    return file;
}

} // namespace

TEST(ReaderLinesAtOnce, OddFilesGiveWhatNextGives)
{
    const QByteArray rec174 = *makelistrecord(worker());
    const QByteArray rec170 = rec174.left(150) + QByteArray(20, ' ');
    QByteArray nonBig5At = rec174;
    nonBig5At[0] = '\x80';
    QByteArray nonBig5Late = rec174;
    nonBig5Late[173] = '\xA4'; // a lead byte with no trail at the line's end
    QByteArray pairLacking = rec174;
    pairLacking[26] = '\xA3';
    pairLacking[27] = '\xC0';
    const struct
    {
        const char *name;
        QByteArray bytes;
    } cases[] = {
        {"CR LF", rec174 + "\r\n" + rec170 + "\r\n"},
        {"LF only", rec174 + "\n" + rec170 + "\n" + rec174 + "\n"},
        {"final line without line end", rec174 + "\r\n" + rec174},
        {"lone CR at the end", rec174 + "\r\n" + rec174 + "\r"},
        {"lone CR after a line end", rec174 + "\r\n\r"},
        {"CR inside a line", "ab\rcd\r\n" + rec174 + "\r\n"},
        {"Ctrl-Z end mark", rec174 + "\r\n\x1A"},
        {"Ctrl-Z marks and line ends", rec174 + "\r\n\x1A\r\n\x1A\x1A\r\n"},
        {"Ctrl-Z right after the last line", rec174 + "\x1A"},
        {"Ctrl-Z in mid-line", rec174.left(80) + "\x1A" + rec174.mid(81) + "\r\n" + rec174 + "\r\n"},
        {"Ctrl-Z before data", rec174 + "\r\n\x1A" + rec174 + "\r\n"},
        {"empty lines in the middle", rec174 + "\r\n\r\n\n" + rec174 + "\r\n"},
        {"empty lines at the end", rec174 + "\r\n\r\n\r\n"},
        {"only line ends", "\r\n\n\r\n"},
        {"empty file", ""},
        {"not Big5 at the first byte", nonBig5At + "\r\n" + rec174 + "\r\n"},
        {"not Big5 at the last byte", rec174 + "\r\n" + nonBig5Late + "\r\n"},
        {"pair the code page lacks", pairLacking + "\n"},
        {"lead byte at the end of the data", rec174.left(100) + '\xA4'},
        {"short and overlong lines", rec174.left(57) + "\r\n" + rec174 + rec174 + "\r\n"
                                         + rec174.left(171) + "\r\n"},
        {"annex records", QByteArray(58, '1') + "\r\n" + QByteArray(59, '1') + "\r\n"},
    };
    for (const auto &c : cases) {
        for (const RecordKind kind : {RecordKind::Text, RecordKind::List, RecordKind::Annex}) {
            for (const int skip : {0, 1, 2, 10}) {
                SCOPED_TRACE(testing::Message() << c.name << ", kind " << int(kind) << ", after "
                                                << skip << " lines");
                expectRemainingAsNext(c.bytes, kind, skip);
            }
        }
    }
}

TEST(ReaderLinesAtOnce, LargeFileWithBadBytesGivesWhatNextGives)
{
    // More than twice 8192 lines even after the first few are taken: the
    // Big5 check runs on several threads.
    const QByteArray file = largeMixedFile(30000);
    for (const RecordKind kind : {RecordKind::Text, RecordKind::List, RecordKind::Annex}) {
        for (const int skip : {0, 3, 4097}) {
            SCOPED_TRACE(testing::Message() << "kind " << int(kind) << ", after " << skip << " lines");
            expectRemainingAsNext(file, kind, skip);
        }
    }
    // Without a final line end, with a CR LF cut short, with an end mark.
    expectRemainingAsNext(file + "tail", RecordKind::List, 0);
    expectRemainingAsNext(file + "tail\r", RecordKind::List, 0);
    expectRemainingAsNext(file + "\x1A", RecordKind::List, 0);
    // Large files are cut into stretches that end after a line feed: a file
    // of megabytes without one, or with its only ones near the start, is
    // still one line after them.
    expectRemainingAsNext(QByteArray(3 << 20, 'A'), RecordKind::Text, 0);
    expectRemainingAsNext("a\r\nb\n" + QByteArray(3 << 20, 'A') + "\r", RecordKind::Text, 0);
}

TEST(ReaderLinesAtOnce, FileReadFromDiskAndAFailedOpen)
{
    QTemporaryDir dir;
    const QByteArray file = largeMixedFile(9000);
    ASSERT_TRUE(writeFile(dir.filePath("r56_0112.txt"), file));
    ExchangeReader disk(RecordKind::List), memory(RecordKind::List);
    ASSERT_TRUE(disk.open(dir.filePath("R56_0112.TXT")));
    memory.openBytes(file);
    const ExchangeLines a = disk.remaininglines();
    const ExchangeLines b = memory.remaininglines();
    ASSERT_EQ(a.bytes.size(), b.bytes.size());
    EXPECT_GT(a.bytes.size(), 8192u);
    for (std::size_t i = 0; i < a.bytes.size(); ++i) {
        ASSERT_EQ(a.bytes[i], b.bytes[i]) << i;
        ASSERT_EQ(a.badbyte[i], b.badbyte[i]) << i;
    }

    ExchangeReader missing(RecordKind::List);
    EXPECT_FALSE(missing.open(dir.filePath("R56_0106.TXT")));
    const ExchangeLines none = missing.remaininglines();
    EXPECT_TRUE(none.bytes.empty());
    EXPECT_TRUE(none.badbyte.empty());
}

// ------------------------------------------------------------------ company file

TEST(CompanyReader, SecondLineForms)
{
    const struct {
        const char *line2;
        bool yearok;
        int year;
        const char *pair;
        char half;
        bool both;
    } cases[] = {
        {"2003&200000712", true, 2003, "00000712", '2', false},
        {"2003&101060000", true, 2003, "01060000", '1', false},
        {"2003#01060712", true, 2003, "01060712", ' ', true},
        {"2003&1#0106071", true, 2003, "1#010607", ' ', true}, // "#" anywhere wins
        {"2003", true, 2003, "00000000", ' ', false},
        {"2003&", true, 2003, "", ' ', false},
        {"20a3&101120000", false, 0, "01120000", '1', false},
        {"", false, 0, "00000000", ' ', false},
    };
    for (const auto &c : cases) {
        const CompanyFile r = parsecompanylines({"1234567A", c.line2, b5("大豐"), "TAI FONG"});
        EXPECT_EQ(r.yearok, c.yearok) << c.line2;
        EXPECT_EQ(r.block.eano(), c.year) << c.line2;
        EXPECT_EQ(r.block.periodpair(), QByteArray(c.pair)) << c.line2;
        EXPECT_EQ(r.halfmark, c.half) << c.line2;
        EXPECT_EQ(r.bothhalves, c.both) << c.line2;
        EXPECT_EQ(r.block.compid(), QByteArray("1234567A")) << c.line2;
        // A refused year leaves the names unread.
        EXPECT_EQ(r.block.compchnm(), c.yearok ? b5("大豐") : QByteArray()) << c.line2;
    }
}

TEST(CompanyReader, FieldsCutAndMissingLinesEmpty)
{
    const QByteArray longname = "X" + b5(QString(50, QChar(0x6731)).toUtf8().constData()); // 101 bytes
    const CompanyFile r = parsecompanylines({"1234567A99", "2024&101120000", longname, "P"});
    EXPECT_EQ(r.block.compid(), QByteArray("1234567A"));
    EXPECT_EQ(r.block.compchnm().size(), 79); // 80 would split a character
    EXPECT_EQ(r.block.compname(), QByteArray("P"));
    EXPECT_TRUE(r.block.compaddr(0).isEmpty());
    EXPECT_TRUE(r.block.comptele().isEmpty());

    QTemporaryDir dir;
    TCmpFile rec;
    rec.block.clear();
    rec.block.setCompid("1234567A");
    rec.block.setEano(2024);
    rec.block.setPeriodpair("01120000");
    rec.block.setCompname("TAI FONG");
    rec.block.setCompaddr(3, "ADDR 4");
    rec.block.setComptele("28000000");
    rec.firsthalf = 1;
    ASSERT_TRUE(writecompanyfile(dir.filePath("CADA0112.TXT"), rec));
    const CompanyFile back = readcompanyfile(dir.filePath("cada0112.txt"));
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.halfmark, '1');
    EXPECT_EQ(back.block.compaddr(3), QByteArray("ADDR 4"));
    EXPECT_TRUE(back.block.comptele().isEmpty()); // the telephone is not read
    EXPECT_EQ(back.block.compid(), rec.block.compid());
    EXPECT_EQ(back.block.eano(), 2024);
    EXPECT_EQ(back.block.periodpair(), QByteArray("01120000"));
    EXPECT_EQ(back.block.compname(), QByteArray("TAI FONG"));
    EXPECT_TRUE(back.block.compchnm().isEmpty());

    const CompanyFile none = readcompanyfile(dir.filePath("CADA0106.TXT"));
    EXPECT_EQ(none.status, ReadStatus::Missing);
    EXPECT_FALSE(none.ok());
}

// ------------------------------------------------------------------ names

TEST(Names, Derivation)
{
    EXPECT_EQ(exchangename("R56_", "0112"), QStringLiteral("R56_0112.txt"));

    EXPECT_EQ(periodfromname("A:\\R56_0106.TXT"), QByteArray("0106"));
    EXPECT_EQ(periodfromname("/m/r56_0712.text"), QByteArray("0712"));
    EXPECT_EQ(periodfromname("/m/R56.t"), QByteArray("t"));

    EXPECT_TRUE(isolderlistname("A:\\r56_.txt"));
    EXPECT_FALSE(isolderlistname("A:\\R56_0112.TXT"));

    // No cut of long paths, names with long extensions keep them.
    using platform::LocalPath;
    const QString deep = "/" + QString(150, QLatin1Char('d')) + "/my_files";
    EXPECT_EQ(ownannexfile(LocalPath::found(deep + "/own_list.data")).path(), deep + "/ownAlist.data");
    EXPECT_EQ(ownannexfile(LocalPath::found("/x_y/R56_0112.TXT")).path(), QStringLiteral("/x_y/R56A0112.TXT"));
    EXPECT_TRUE(ownannexfile(LocalPath::found("/x_y/mylist.txt")).isEmpty());

    const ExchangeSet c = checkerset(LocalPath::found(deep + "/disk_r56_0112.backup"));
    EXPECT_EQ(c.company.path(), deep + "/disk_CADA0112.backup");
    EXPECT_EQ(c.annexa.path(), deep + "/disk_R56A0112.backup");
    EXPECT_EQ(c.annexc.path(), deep + "/disk_R56C0112.backup");
    const ExchangeSet old = checkerset(LocalPath::found("A:\\R56_.TXT"));
    EXPECT_EQ(old.company.path(), QStringLiteral("A:/CADA.TXT"));
    const ExchangeSet none = checkerset(LocalPath::found("/m/list0112.txt"));
    EXPECT_TRUE(none.company.isEmpty() && none.annexa.isEmpty() && none.annexc.isEmpty());
}

TEST(Names, CompanionsFoundWhateverTheirCase)
{
    QTemporaryDir dir;
    for (const char *n : {"r56_0106.txt", "CADA0106.TXT", "R56a0106.Txt", "CADA0112.TXT"})
        ASSERT_TRUE(writeFile(dir.filePath(n), "x\r\n"));

    const platform::LocalPath list = platform::LocalPath::found(dir.filePath("r56_0106.txt"));
    const ExchangeSet imp = importset(list);
    EXPECT_EQ(imp.company.path(), dir.filePath("CADA0106.TXT"));
    EXPECT_EQ(imp.annexa.path(), dir.filePath("R56a0106.Txt"));
    EXPECT_EQ(imp.annexc.path(), dir.filePath("r56c0106.txt")); // not there: the name looked for

    const ExchangeSet chk = checkerset(list);
    EXPECT_EQ(chk.company.path(), dir.filePath("CADA0106.TXT"));
    EXPECT_EQ(chk.annexa.path(), dir.filePath("R56a0106.Txt"));
    EXPECT_FALSE(QFile::exists(chk.annexc.path()));
}

// ------------------------------------------------------------------ sample files

namespace {

struct SampleWorker
{
    int art;
    const char *cntb; // seven digits for article 36: the check digit is added
    const char *nmc;
    const char *nmp;
    std::int64_t rend; // hundredths
    bool inkind;
    std::int64_t rimp;
    const char *leave;
    QList<QPair<const char *, std::int64_t>> items;
};

QString sourceDir()
{
    // CTest names the tree; run by hand, the tree is where this file is.
    const QString env = qEnvironmentVariable("R56_SOURCE_DIR");
    if (!env.isEmpty())
        return env;
    return QDir::cleanPath(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../..");
}

// The demo employer of 2024, whole year, and its 25 workers.
void buildSample(TCmpFile &emp, QList<QByteArray> &list, QList<QByteArray> &annex)
{
    emp.block.clear();
    emp.block.setCompid("5012345A");
    emp.block.setEano(2024);
    emp.block.setPeriodpair("01120000");
    emp.block.setCompchnm(b5("大豐貿易有限公司"));
    emp.block.setCompname("TAI FONG COMERCIO LIMITADA");
    emp.block.setCompaddr(0, b5("東灣新馬路123號"));
    emp.block.setCompaddr(1, b5("大豐商業大廈10樓A座"));
    emp.block.setCompaddr(2, "AVENIDA DE ALMEIDA RIBEIRO 123");
    emp.block.setCompaddr(3, "EDF. COMERCIAL TAI FONG 10 A");
    emp.block.setComptele("28123456");
    emp.firsthalf = 1;

    const QList<SampleWorker> workers = {
        {32, "12345678", "陳大文", "CHAN TAI MAN", 24000000, false, 960000, "", {}},
        {32, "13572468", "李美玲", "LEI MEI LENG", 18600000, false, 0, "", {{"101", 500000}}},
        {32, "20481357", "黃志強", "WONG CHI KEONG", 31200000, true, 1850000, "", {}},
        {32, "21436587", "張家輝", "CHEONG KA FAI", 9600000, false, 0, "30/06/2024",
         {{"105", 2400000}, {"102", 180000}}},
        {32, "30219876", "梁小芬", "LEONG SIO FAN", 15000000, false, 0, "", {}},
        {32, "31122334", "何國華", "HO KUOK WA", 42000000, true, 3120000, "",
         {{"103", 1200000}, {"104", 360000}}},
        {32, "40112233", "林雅婷", "LAM NGA TENG", 12500050, false, 0, "", {}},
        {32, "52340987", "吳俊傑", "NG CHON KIT", 27600000, false, 1200000, "15/09/2024", {}},
        {32, "70012345", "鄭惠敏", "CHENG WAI MAN", 21000000, false, 480000, "",
         {{"106", 250000}}},
        {32, "71234560", "劉德明", "LAU TAK MENG", 36000000, false, 2400000, "", {}},
        {32, "12000457", "周淑儀", "CHAO SOK I", 16800000, false, 0, "",
         {{"101", 300000}, {"107", 120000}, {"108", 80050}}},
        {32, "23009871", "馬建國", "MA KIN KUOK", 19800000, false, 240000, "", {}},
        {32, "33445566", "蔡文娟", "CHOI MAN KUAN", 14400000, false, 0, "31/03/2024",
         {{"105", 1500000}}},
        {32, "54321098", "", "SILVA, JOAO MANUEL", 55000000, true, 5200000, "",
         {{"109", 2000000}, {"110", 600000}}},
        {32, "72468135", "", "D'ALMEIDA, ANA MARIA", 48000000, false, 4100000, "", {}},
        {36, "4910001", "許志豪", "HOI CHI HOU", 3600000, false, 0, "", {}},
        {36, "4910002", "郭麗華", "KUOK LAI WA", 2400000, false, 0, "", {{"101", 100000}}},
        {36, "4910003", "謝明輝", "TSE MENG FAI", 5800000, false, 120000, "", {}},
        {36, "4910004", "羅嘉欣", "LO KA IAN", 1250000, false, 0, "", {}},
        {36, "5920001", "葉永康", "IP WENG HONG", 8000000, false, 340000, "",
         {{"103", 200000}}},
        {36, "5920002", "潘美儀", "POON MEI I", 950000, false, 0, "", {}},
        {36, "4930017", "區家樂", "AU KA LOK", 4400000, false, 0, "", {}},
        {36, "5940023", "歐陽志偉", "AU IEONG CHI WAI", 6600000, false, 210000, "",
         {{"104", 150000}, {"102", 50000}}},
        {36, "4950031", "司徒婉儀", "SZETO UN I", 3150000, false, 0, "", {}},
        {36, "5960045", "譚國強", "TAM KUOK KEONG", 7200000, false, 260000, "", {}},
    };
    list.clear();
    annex.clear();
    for (const SampleWorker &w : workers) {
        QByteArray cntb = w.cntb;
        if (w.art == 36)
            cntb += static_cast<char>(checkdigit(cntb));
        ListRecordData d;
        d.compid = emp.block.compid();
        d.year = emp.block.eano();
        d.art = w.art;
        d.cntb = cntb;
        d.nmc = b5(w.nmc);
        d.nmp = w.nmp;
        d.rend = h(w.rend);
        d.rexp = w.inkind ? "X" : " ";
        std::int64_t sub1 = 0;
        for (const auto &it : w.items) {
            sub1 += it.second;
            AnnexRecordData a;
            a.compid = emp.block.compid();
            a.year = emp.block.eano();
            a.cntb = cntb;
            a.itemcod = it.first;
            a.amount = h(it.second);
            annex << *makeannexrecord(a);
        }
        d.sub1 = h(sub1);
        d.rimp = h(w.rimp);
        d.leavedate = w.leave;
        d.period = "0112";
        list << *makelistrecord(d);
    }
}

} // namespace

// Writes the demo's files into data/sample/ when R56_WRITE_SAMPLE is set; the
// test below keeps them honest.
TEST(SampleFiles, Generate)
{
    if (qEnvironmentVariableIsEmpty("R56_WRITE_SAMPLE"))
        GTEST_SKIP() << "set R56_WRITE_SAMPLE=1 to rewrite data/sample/";
    TCmpFile emp;
    QList<QByteArray> list, annex;
    buildSample(emp, list, annex);
    const QString dir = sourceDir() + "/data/sample";
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(writecompanyfile(dir + "/CADA0112.txt", emp));
    ASSERT_TRUE(writerecordfile(dir + "/R56_0112.txt", list));
    ASSERT_TRUE(writerecordfile(dir + "/R56A0112.txt", annex));
}

TEST(SampleFiles, EveryLinePassesTheRulesAndAnnexSumsMatch)
{
    const QString dir = sourceDir() + "/data/sample";
    const CompanyFile company = readcompanyfile(dir + "/CADA0112.txt");
    ASSERT_TRUE(company.ok()) << dir.toStdString();
    EXPECT_EQ(company.halfmark, '1');

    TCmpFile emp;
    emp.block = company.block;
    emp.firsthalf = 1;
    bool old = false;
    RuleContext ctx;
    ctx.employer = &emp;
    ctx.oldlayout = &old;
    for (int c = 101; c <= 110; ++c)
        ctx.itemcodes << QByteArray::number(c);
    test::MessageRecorder rec;

    const ExchangeFile list = readexchangefile(dir + "/R56_0112.txt", RecordKind::List);
    ASSERT_EQ(list.status, ReadStatus::Ok);
    EXPECT_EQ(list.emptyline, 0);
    EXPECT_EQ(list.records.size(), 25);
    QMap<QByteArray, Currency> sub1;
    QSet<QByteArray> leavers;
    int art32 = 0, art36 = 0;
    for (const ExchangeLine &l : list.records) {
        EXPECT_TRUE(l.ok()) << l.lineno;
        std::uint32_t set = 0;
        EXPECT_TRUE(checklistrecord(l.bytes, set, ctx)) << l.lineno << " set " << set;
        const QByteArray cntb = getfield(l.bytes, 3);
        const int art = static_cast<int>(str2int64(getfield(l.bytes, 2)));
        (art == 32 ? art32 : art36)++;
        EXPECT_EQ(chktaxno(cntb, art), 0) << cntb.constData();
        EXPECT_FALSE(sub1.contains(cntb)) << "repeated " << cntb.constData();
        sub1[cntb] = *amountvalue(getfield(l.bytes, 8));
        const Currency rend = *amountvalue(getfield(l.bytes, 6));
        const Currency rimp = *amountvalue(getfield(l.bytes, 9));
        EXPECT_GE(rend, sub1[cntb]);
        EXPECT_TRUE(rimp.isZero() || rend > rimp);
        if (str2date(getfield(l.bytes, 10)) != 0)
            leavers << cntb;
    }
    EXPECT_GT(art32, 5);
    EXPECT_GT(art36, 5);
    EXPECT_GE(leavers.size(), 3);
    EXPECT_TRUE(rec.empty());

    const ExchangeFile annex = readexchangefile(dir + "/R56A0112.txt", RecordKind::Annex);
    ASSERT_EQ(annex.status, ReadStatus::Ok);
    QMap<QByteArray, Currency> sums;
    QSet<QByteArray> pairs;
    for (const ExchangeLine &l : annex.records) {
        std::uint32_t set = 0;
        EXPECT_TRUE(checkannexrecord(l.bytes, set, 'A', ctx)) << l.lineno << " set " << set;
        const QByteArray cntb = big5::copy(l.bytes, 13, 8);
        const QByteArray code = big5::trim(big5::copy(l.bytes, 21, 5));
        EXPECT_TRUE(sub1.contains(cntb)) << cntb.constData();
        EXPECT_FALSE(pairs.contains(cntb + code)) << "repeated item";
        pairs << cntb + code;
        if (code == "105") {
            EXPECT_TRUE(leavers.contains(cntb)) << "severance without leave date";
        }
        sums[cntb] += *amountvalue(big5::copy(l.bytes, 26, 13));
    }
    for (auto it = sub1.cbegin(); it != sub1.cend(); ++it)
        EXPECT_EQ(sums.value(it.key()), it.value()) << it.key().constData();

    // The files are what the generator writes.
    TCmpFile gen;
    QList<QByteArray> glist, gannex;
    buildSample(gen, glist, gannex);
    QByteArray want;
    for (const auto &l : glist)
        want += l + "\r\n";
    EXPECT_EQ(readFile(dir + "/R56_0112.txt"), want);
}

// ------------------------------------------------------------------ broken set

namespace {

// A small set of authority files for the first half of 2003 with one fault a
// line, in upper-case names as they come on a diskette.
void buildBroken(TCmpFile &emp, QByteArray &list, QByteArray &annex)
{
    emp.block.clear();
    emp.block.setCompid("5012345A");
    emp.block.setEano(2003);
    emp.block.setPeriodpair("01060000");
    emp.block.setCompchnm(b5("大豐貿易有限公司"));
    emp.block.setCompname("TAI FONG COMERCIO LIMITADA");
    emp.firsthalf = 1;

    auto rec = [&](int art, const char *cntb, const char *nmp, const char *leave,
                   const char *period) {
        ListRecordData d;
        d.compid = "5012345A";
        d.year = 2003;
        d.art = art;
        d.cntb = cntb;
        d.nmc = b5("陳大文");
        d.nmp = nmp;
        d.rend = h(12000000);
        d.rexp = " ";
        d.sub1 = h(art == 32 ? 50000 : 0);
        d.rimp = h(300000);
        d.leavedate = leave;
        d.period = period;
        return *makelistrecord(d);
    };
    QByteArray nonbig5 = rec(32, "13572468", "LEI MEI LENG", "", "0106");
    nonbig5[24] = '\x80';
    const QList<QByteArray> lines = {
        rec(32, "12345678", "CHAN TAI MAN", "", "0106"),               // 1 good
        rec(36, "49123453", "HOI CHI HOU", "", "0106"),                // 2 good
        rec(32, "20481357", "WONG CHI KEONG", "", "0106").left(173),   // 3 E001
        rec(36, "49123454", "KUOK LAI WA", "", "0106"),                // 4 E051 check digit
        rec(32, "21436587", "CHEONG KA FAI 2", "", "0106"),            // 5 E061
        nonbig5,                                                       // 6 byte 0x80
        rec(32, "30219876", "LEONG SIO FAN", "", "0712"),              // 7 E171
        rec(32, "31122334", "HO KUOK WA", "31/02/2003", "0106"),       // 8 E151
        QByteArray(),                                                  // 9 empty line
        rec(32, "12345678", "CHAN TAI MAN", "", "0106"),               // 10 repeated number
    };
    list = lines.join("\r\n"); // and no final line end

    AnnexRecordData a;
    a.compid = "5012345A";
    a.year = 2003;
    a.cntb = "12345678";
    a.itemcod = "101";
    a.amount = h(50000);
    annex = *makeannexrecord(a) + "\r\n";
    a.itemcod = "999";
    annex += *makeannexrecord(a) + "\r\n";                             // E204
    annex += makeannexrecord(a)->left(57) + "\r\n";                    // E001
}

} // namespace

TEST(BrokenFixtures, Generate)
{
    if (qEnvironmentVariableIsEmpty("R56_WRITE_SAMPLE"))
        GTEST_SKIP() << "set R56_WRITE_SAMPLE=1 to rewrite tests/interchange/fixtures/";
    TCmpFile emp;
    QByteArray list, annex;
    buildBroken(emp, list, annex);
    const QString dir = sourceDir() + "/tests/interchange/fixtures";
    ASSERT_TRUE(QDir().mkpath(dir));
    ASSERT_TRUE(writecompanyfile(dir + "/CADA0106.TXT", emp));
    ASSERT_TRUE(writeFile(dir + "/R56_0106.TXT", list));
    ASSERT_TRUE(writeFile(dir + "/R56A0106.TXT", annex));
}

TEST(BrokenFixtures, EachLineFailsAsItSays)
{
    const QString dir = sourceDir() + "/tests/interchange/fixtures";
    const ExchangeSet c = importset(platform::LocalPath::found(dir + "/r56_0106.txt"));
    const CompanyFile company = readcompanyfile(c.company);
    ASSERT_TRUE(company.ok());
    TCmpFile emp;
    emp.block = company.block;
    emp.firsthalf = company.halfmark == '1' ? 1 : 0;
    bool old = false;
    RuleContext ctx;
    ctx.employer = &emp;
    ctx.oldlayout = &old;
    ctx.namebox = false;
    ctx.itemcodes = {"101", "105"};

    const ExchangeFile list = readexchangefile(dir + "/R56_0106.TXT", RecordKind::List);
    ASSERT_EQ(list.records.size(), 8);
    EXPECT_EQ(list.emptyline, 9);
    const std::uint32_t want[8] = {0, 0, errmask(errbit::E001), errmask(errbit::E051),
                                   errmask(errbit::E061), 0, errmask(errbit::E171),
                                   errmask(errbit::E151)};
    for (int i = 0; i < 8; ++i) {
        std::uint32_t set = 0;
        checklistrecord(list.records[i].bytes, set, ctx);
        EXPECT_EQ(set, want[i]) << "line " << i + 1;
    }
    const auto problems = list.problems();
    ASSERT_EQ(problems.size(), 2);
    EXPECT_EQ(problems[0].lineno, 3);
    EXPECT_TRUE(problems[0].badlength);
    EXPECT_EQ(problems[1].lineno, 6);
    EXPECT_EQ(problems[1].badbyte, 24);

    const ExchangeFile annex = readexchangefile(c.annexa, RecordKind::Annex);
    ASSERT_EQ(annex.records.size(), 3);
    const std::uint32_t awant[3] = {0, errmask(errbit::E204), errmask(errbit::E001)};
    for (int i = 0; i < 3; ++i) {
        std::uint32_t set = 0;
        checkannexrecord(annex.records[i].bytes, set, 'A', ctx);
        EXPECT_EQ(set, awant[i]) << "annex line " << i + 1;
    }
}
