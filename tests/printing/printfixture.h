#pragma once
// A small declaration on disk for the print program's tests: an employer
// file and its worker file in a temporary folder, and a job file beside a
// program path in the same folder.
#include "shared/money.h"
#include "shared/pubvar.h"
#include "shared/r5r6data.h"
#include "msgrecorder.h"
#include "tempdir.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace r56::test {

struct Worker
{
    int art;
    const char *cntb;
    const char *nmc;   // UTF-8
    const char *nmp;
    Currency rend;
    const char *rexp;
    Currency sub1;
    Currency rimp;
    const char *leavedate;
};

// Appends the workers to `t` (the worker table's columns).
inline void appendWorkers(MemTable &t, const QList<Worker> &rows)
{
    for (const Worker &w : rows)
        t.appendRecord({w.art, " ", w.cntb, b5(w.nmc), w.nmp, MemValue(), MemValue(), w.rend,
                        w.rexp, w.sub1, MemValue(), w.rimp, std::int64_t(0), w.leavedate, 4,
                        MemValue()});
}

// The largest amount an exchange file holds (13 digits of hundredths).
inline const Currency kLargestAmount = Currency::fromHundredths(9999999999999);

// `n` workers of article `art` at the largest amounts (cash earnings,
// non-taxable income and tax withheld), with income in kind and a leave
// date, numbered from `first`: a declaration whose totals pass what a
// Currency holds once it has some 9,223 of them.
inline void appendLargestWorkers(MemTable &t, int art, int n, int first)
{
    for (int i = 0; i < n; ++i) {
        const QByteArray cntb = QByteArray::number(first + i);
        t.appendRecord({art, " ", cntb, b5("陳大文"), "CHAN TAI MAN " + cntb, MemValue(), MemValue(), kLargestAmount,
                        "X", kLargestAmount, MemValue(), kLargestAmount, std::int64_t(0), "31/12/2023", 4,
                        MemValue()});
    }
}

// The employer's texts as long as their fields hold (80 bytes): a Chinese
// name of 40 characters, Portuguese texts in capitals, one of the widest
// capital only, a telephone of several numbers.
struct LongestEmployer
{
    QByteArray chinese = b5("東灣國際貿易投資發展集團控股有限公司東灣國際貿易投資發展集團控股有限公司總部辦事");
    QByteArray address = b5("東灣新馬路一百二十三號大豐商業中心二十八樓全層東灣新馬路一百二十三號大豐商業中心");
    QByteArray latin = "AVENIDA DE ALMEIDA RIBEIRO NUMERO 123 EDIFICIO COMERCIAL TAI FUNG 28 ANDAR TODOS";
    QByteArray wide = QByteArray(80, 'W');
    QByteArray phone = "28123456 / 28765432 / 66123456 / 66654321 / 28999999 EXT 1234 / FAX 28111111 ABC";

    // Both names, the four address lines (address, latin, wide, address)
    // and the telephone.
    void fill(CmpBlock &b) const
    {
        b.setCompchnm(chinese);
        b.setCompname(latin);
        b.setCompaddr(0, address);
        b.setCompaddr(1, latin);
        b.setCompaddr(2, wide);
        b.setCompaddr(3, address);
        b.setComptele(phone);
    }
    bool whole() const
    {
        for (const QByteArray *f : {&chinese, &address, &latin, &wide, &phone})
            if (f->size() != 80)
                return false;
        return true;
    }
};

// The offsets warning of a print: given exactly when a part of the page
// was to leave the sheet (`part`, the name the warning gives it; null for
// none), and whenever one did (`off`).
inline void expectOffsetsSaid(const MessageRecorder &m, bool off, const char *part)
{
    const bool said = m.anyTextContains(QStringLiteral("Atencao"));
    EXPECT_EQ(said, part != nullptr);
    if (off) {
        EXPECT_TRUE(said) << "a part of the page left the sheet unsaid";
    }
    if (part) {
        EXPECT_TRUE(m.anyTextContains(QString::fromUtf8(part))) << part;
    }
}

class Declaration
{
public:
    Declaration()
    {
        base = dir.filePath(QStringLiteral("decl"));
        cmp = base + QStringLiteral(".cmp");
    }

    // The employer file (through the program's own writer).
    bool writeEmployer(int year = 2023)
    {
        TCmpFile rec;
        rec.block.clear();
        rec.block.setCompid("5012345A");
        rec.block.setEano(year);
        rec.block.setPeriodpair("01120000");
        rec.block.setCompchnm(b5("大豐貿易有限公司"));
        rec.block.setCompname("TAI FUNG COMERCIO LIMITADA");
        rec.block.setCompaddr(0, b5("東灣新馬路12號"));
        rec.block.setCompaddr(1, "RUA DE ALMEIDA RIBEIRO 12");
        rec.block.setCompaddr(2, "");
        rec.block.setCompaddr(3, "MACAU");
        rec.block.setComptele("28123456");
        const QString saved = cmpname;
        cmpname = cmp;
        const bool ok = writecmp(rec);
        cmpname = saved;
        return ok;
    }
    // A worker file of `ext` beside the employer file.
    bool writeWorkers(const QList<Worker> &rows, const QString &ext = QStringLiteral("dta"))
    {
        Tdm56 dm;
        appendWorkers(dm.staff, rows);
        return dm.savestaff(base + QLatin1Char('.') + ext, false);
    }
    QString path(const QString &name) const { return dir.filePath(name); }
    // The declaration made the program's open one (the start directory its
    // folder), with a copy of the print program `built` in its folder
    // "bin": that folder, empty when the copy or the reading failed.
    QString openWithPrintProgram(const QString &built)
    {
        const QString bin = path(QStringLiteral("bin"));
        if (!QDir().mkpath(bin) || !QFile::copy(built, bin + QStringLiteral("/printr5r6")))
            return {};
        startdir = dir.path();
        cmpname = cmp;
        cmpfile = TCmpFile{};
        return readcmp(cmpfile) ? bin : QString();
    }

    QTemporaryDir dir;
    QString base;
    QString cmp;
};

} // namespace r56::test
