// The record rules over arbitrary lines: no crash, no read outside the line,
// and the answer always agrees with the failure set. The first byte picks the
// context (old layout, both halves, half, empty employer block).
#include "interchange/uchkr5r6.h"

#include <cstdint>
#include <cstdlib>

using namespace r56;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t mode = data[0];
    const QByteArray line(reinterpret_cast<const char *>(data + 1),
                          static_cast<qsizetype>(size - 1));

    TCmpFile emp;
    emp.block.clear();
    if (!(mode & 8)) {
        emp.block.setCompid("5012345A");
        emp.block.setEano(2024);
        emp.block.setPeriodpair("01060712");
    }
    emp.firsthalf = (mode & 4) ? 0 : 1;
    bool old = (mode & 1) != 0;
    RuleContext ctx;
    ctx.employer = &emp;
    ctx.oldlayout = &old;
    ctx.bothhalves = (mode & 2) != 0;
    ctx.namebox = false;
    ctx.itemcodes = {"101", "102", "105", "110"};

    const bool wasOld = old;
    std::uint32_t set = 0;
    const bool ok = checklistrecord(line, set, ctx);
    if (ok != (set == 0))
        std::abort();
    if (set >> kErrRecCount)
        std::abort();
    if (wasOld && !old)
        std::abort(); // the rule never clears the flag
    const bool lengthOk = line.size() == kListRecordLength
        || (line.size() == kOldListRecordLength && old);
    if (!lengthOk && set != errmask(errbit::E001))
        std::abort();
    for (int b = 0; b < kErrRecCount; ++b) {
        if (set & errmask(b))
            (void)errecfield(line, b);
    }

    for (const char kind : {'A', 'C'}) {
        std::uint32_t aset = 0;
        const bool aok = checkannexrecord(line, aset, kind, ctx);
        if (aok != (aset == 0) || (aset >> kErrRecCount))
            std::abort();
        if (line.size() != kAnnexRecordLength && aset != errmask(errbit::E001))
            std::abort();
    }
    return 0;
}
