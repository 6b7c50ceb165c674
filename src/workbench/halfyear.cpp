#include "workbench/halfyear.h"

#include "platform/fileset.h"
#include "workbench/declock.h"

#include "shared/big5.h"
#include "shared/r5r6data.h"
#include "shared/showmsg.h"

#include <QFileInfo>

namespace r56 {

HalfTableNames halftablenames(const QString &cmppath, bool firsthalf)
{
    const TableNames n = tableNames(cmppath, 2003, firsthalf);
    return {n.dta, n.axa, n.axc};
}

QString halfname(bool firsthalf)
{
    return firsthalf ? QStringLiteral("上") : QStringLiteral("下");
}

bool halfempty(const TCmpFile &rec, bool firsthalf)
{
    const QByteArray p = rec.block.periodpair();
    return str2int64(big5::copy(p, firsthalf ? 1 : 5, 4)) == 0;
}

QString copycaption()
{
    return QStringLiteral("開啟檔案");
}

QString copyquestion(const TCmpFile &rec, bool firsthalf)
{
    const QString h = halfname(firsthalf);
    const QString o = halfname(!firsthalf);
    return QStringLiteral("按照稅務當局資料顯示,\r\n檔案編號為") + big5::decode(rec.block.compid())
        + QStringLiteral("的商號無需遞交\r\n2003年") + h + QStringLiteral("半年度的R5R6資料,\r\n如用戶想從現存的")
        + o + QStringLiteral("半年度的資料中\r\n複製僱員資料成") + h + QStringLiteral("半年度的R5R6檔案時\r\n")
        + QStringLiteral("可以於以下回答\"是\"\r\n\n是否需要複製") + h + QStringLiteral("半年度的R5R6檔案?");
}

QByteArray joinedperiod(QByteArrayView periodpair, bool firsthalf)
{
    auto num = [&](int start) {
        return static_cast<int>(str2int64(big5::copy(periodpair, start, 2)));
    };
    int from1 = num(1), to1 = num(3), from2 = num(5), to2 = num(7);
    if (firsthalf) {
        from1 = 1;
        to1 = from2 - 1;
        // A second range that gives no border (none, or one starting in
        // January) would leave a month 0 or below: meet at June instead.
        if (to1 < 1 || to1 > 11)
            to1 = 6;
    } else {
        from2 = to1 + 1;
        to2 = 12;
        if (from2 < 2 || from2 > 12)
            from2 = 7;
    }
    auto two = [](int v) { return QByteArray::number(v).rightJustified(2, '0', true); };
    return two(from1) + two(to1) + two(from2) + two(to2);
}

bool copyhalf(bool firsthalf)
{
    const HalfTableNames self = halftablenames(cmppath(), firsthalf);
    const HalfTableNames other = halftablenames(cmppath(), !firsthalf);
    const declock::SaveLock lock(cmppath());
    if (!declock::mayWrite(lock, copycaption()))
        return false;
    // The source half's workers with their amounts cleared become the target
    // half's worker file; it and the period in the employer file go in
    // together (platform/fileset). The table routines show their own
    // messages.
    if (!dm56.loadstaff(other.dta) || !dm56.zeroamounts())
        return false;
    platform::FileSet set(cmpfolder(), QFileInfo(cmpname).completeBaseName());
    if (!dm56.stagetable(set, dm56.staff, self.dta, true))
        return false;
    TCmpFile next = cmpfile;
    next.block.setPeriodpair(joinedperiod(cmpfile.block.periodpair(), firsthalf));
    if (!stagecmp(set, next) || !set.commit()) {
        // Neither the workers nor the period are on the disk; the record
        // keeps matching the file.
        showmsgw(QStringLiteral("Data Error"),
                 QStringLiteral("儲存檔案資料失效\r\nNao foi possivel gravar o ficheiro.\r\n") + cmpname,
                 mkContinue);
        return false;
    }
    cmpfile = next;
    return true;
}

bool choosehalf(const HalfChooser &choose)
{
    const std::optional<bool> chosen = choose ? choose() : std::nullopt;
    if (!chosen) {
        cmpopened = false;
        cmpfile.block.setCompid(QByteArrayView());
        return false;
    }
    const bool first = *chosen;
    cmpfile.firsthalf = first ? 1 : 0;
    if (halfempty(cmpfile, first)
        && msgbox(copyquestion(cmpfile, first), copycaption(), mbYesNo) == idYes)
        copyhalf(first);
    const HalfTableNames names = halftablenames(cmppath(), first);
    dtaname = names.dta;
    axaname = names.axa;
    axcname = names.axc;
    return true;
}

} // namespace r56
