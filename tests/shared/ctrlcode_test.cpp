// The control codes. Every expected value below is worked out by hand from
// the rules of the codes; the steps stand beside it so that a reader can
// check them. Notation: M = 994027, S = 320017171 (0x13131313, every byte
// 0x13), "mod" truncates (the remainder has the dividend's sign).
// Useful constants: S mod M = 934504 (S = 321 x M + 934504);
// 934504 mod 1369 = 846 = 22 x 37 + 32 -> "MW"; S mod 1369 = 1100 =
// 29 x 37 + 27 -> "TR". Digits: 0-9, A=10 ... Z=35, #=36.
#include "shared/ctrlcode.h"
#include "shared/r5r6data.h"
#include "msgrecorder.h"

#include <gtest/gtest.h>

#include <random>

#include <cmath>
#include <vector>

using namespace r56;
using namespace r56::ctrlcode;

namespace {

Currency raw(std::int64_t r) { return Currency::fromRaw(r); }

StaffRow worker(std::int32_t art, const char *cntb, std::int64_t rend, std::int64_t sub1,
                std::int64_t rimp, const char *leave)
{
    return {art, cntb, raw(rend), raw(sub1), raw(rimp), leave};
}

// W1: 12345678, income 1000.00, non-taxable 50.00, tax 123.45, left 15/06/2005.
const StaffRow W1 = worker(32, "12345678", 10000000, 500000, 1234500, "15/06/2005");
// W2: 87654321, income 2500.50, nothing else, no leave date.
const StaffRow W2 = worker(32, "87654321", 25005000, 0, 0, "00000000");

} // namespace

// ---------------------------------------------------------------- digits

TEST(ControlCodeDigits, Base37)
{
    const struct { std::int64_t v; char c; } cases[] = {
        {0, '0'}, {9, '9'}, {10, 'A'}, {27, 'R'}, {29, 'T'}, {35, 'Z'}, {36, '#'},
        {37, '?'}, {-1, '?'},
    };
    for (const auto &c : cases)
        EXPECT_EQ(digit37(c.v), c.c) << c.v;
}

TEST(ControlCodeDigits, RoundingIsHalfEvenAndSafeOutOfRange)
{
    EXPECT_EQ(roundExtended(2.5L), 2);
    EXPECT_EQ(roundExtended(3.5L), 4);
    EXPECT_EQ(roundExtended(-2.5L), -2);
    EXPECT_EQ(roundExtended(2.5000000001L), 3);
    // Beyond the 64-bit range (and NaN) the FPU stores 0x8000000000000000.
    constexpr std::int64_t indefinite = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(roundExtended(1e19L), indefinite);
    EXPECT_EQ(roundExtended(-1e19L), indefinite);
    EXPECT_EQ(roundExtended(std::nanl("")), indefinite);
    EXPECT_EQ(roundExtended(-9223372036854775808.0L), indefinite);
}

// ---------------------------------------------------------------- worker code

TEST(StaffCode, NoWorkersGivesTheStartingCode)
{
    // Every accumulator stays S; S mod 1369 = 1100 -> "TR" four times.
    const StaffCodeResult r = staffcode({}, 32);
    EXPECT_EQ(r.code, QByteArray("TRTRTRTR  "));
    EXPECT_EQ(r.rowcount, 0);
    EXPECT_EQ(r.firstindex, 0);

    // Workers of the other article and "-" rows leave it as it is.
    const std::vector<StaffRow> others = {
        worker(36, "11111111", 10000, 10000, 10000, "01/01/2000"),
        worker(32, "-", 990000, 0, 0, "01/01/2000"),
    };
    const StaffCodeResult o = staffcode(others, 32);
    EXPECT_EQ(o.code, QByteArray("TRTRTRTR  "));
    EXPECT_EQ(o.rowcount, 0);
    EXPECT_EQ(o.firstindex, 0);
}

TEST(StaffCode, OneWorker)
{
    // t = Round(12345678 / 367 = 33639.44) = 33639; acc0 = S + 33639 = 320050810.
    // acc1: h = 10000000 x 100 / 10000 = 100000; p = 100000 x 320050810
    //   = 32005081000000; S + p = 32005401017171 = 32197717 x M + 980812.
    // acc2: h = 5000; p = 1600254050000; S + p = 1600574067171
    //   = 1610191 x M + 738014.
    // acc3: h = 12345; p = 3951027249450; S + p = 3951347266621
    //   = 3975090 x M + 479191.
    // acc4: 15/06/2005 = 38353 (1/1/2005) + 165 = 38518; p = 38518 x 320050810
    //   = 12327717099580; S + p = 12328037116751 = 12402114 x M + 943673.
    // Characters: 980812 mod 1369 = 608 = 16 x 37 + 16 -> "GG";
    //   738014 mod 1369 = 123 = 3 x 37 + 12 -> "3C";
    //   479191 mod 1369 = 41 = 1 x 37 + 4 -> "14";
    //   943673 mod 1369 = 432 = 11 x 37 + 25 -> "BP".
    const StaffRow rows[] = {W1};
    const StaffCodeResult r = staffcode(rows, 32);
    EXPECT_EQ(r.acc, (std::array<std::int32_t, 5>{320050810, 980812, 738014, 479191, 943673}));
    EXPECT_EQ(r.code, QByteArray("GG3C14BP  "));
    EXPECT_EQ(r.rowcount, 1);
    EXPECT_EQ(r.firstindex, 0);
}

TEST(StaffCode, RowOrderChangesTheCode)
{
    // W1 then W2: after W1 as above. W2: t = Round(87654321 / 367 = 238840.11)
    //   = 238840; acc0 = 320050810 + 238840 = 320289650.
    //   acc1: h = 250050; p = 250050 x 320289650 = 80088426982500;
    //   980812 + p = 80088427963312 = 80569670 x M + 602222;
    //   acc2..acc4 take 0 and keep 738014, 479191, 943673.
    //   602222 mod 1369 = 1231 = 33 x 37 + 10 -> "XA"; then "3C14BP".
    const StaffRow w12[] = {W1, W2};
    const StaffCodeResult a = staffcode(w12, 32);
    EXPECT_EQ(a.acc, (std::array<std::int32_t, 5>{320289650, 602222, 738014, 479191, 943673}));
    EXPECT_EQ(a.code, QByteArray("XA3C14BP  "));

    // W2 then W1: acc0 = S + 238840 = 320256011;
    //   acc1 = (S + 250050 x 320256011 = 80080335567721) mod M = 580438
    //   (80561529 x M); acc2..acc4 = S mod M = 934504.
    // W1: acc0 = 320256011 + 33639 = 320289650 (the same sum as before);
    //   acc1 = 580438 + 32028965000000 = 32028965580438 -> 145990 (32221424 x M);
    //   acc2 = 934504 + 1601448250000 = 1601449184504 -> 117560 (1611072 x M);
    //   acc3 = 934504 + 3953975729250 = 3953976663754 -> 674909 (3977735 x M);
    //   acc4 = 934504 + 38518 x 320289650 = 12336917673204 -> 862908 (12411048 x M).
    // 145990 mod 1369 = 876 = 23 x 37 + 25 -> "NP"; 117560 mod 1369 = 1195
    //   = 32 x 37 + 11 -> "WB"; 674909 mod 1369 = 1361 = 36 x 37 + 29 -> "#T";
    //   862908 mod 1369 = 438 = 11 x 37 + 31 -> "BV".
    const StaffRow w21[] = {W2, W1};
    const StaffCodeResult b = staffcode(w21, 32);
    EXPECT_EQ(b.acc, (std::array<std::int32_t, 5>{320289650, 145990, 117560, 674909, 862908}));
    EXPECT_EQ(b.code, QByteArray("NPWB#TBV  "));
}

TEST(StaffCode, SkippedRowsAndPositions)
{
    // The "-" row and the article-36 row change nothing; positions count
    // every row fed, so the first worker of 32 stands at position 2.
    const std::vector<StaffRow> rows = {
        worker(36, "11111111", 0, 0, 0, "00000000"),
        worker(32, "-", 123400, 5600, 700, "01/01/2001"),
        W1,
        worker(32, " - ", 1, 1, 1, ""),
        W2,
    };
    const StaffCodeResult r = staffcode(rows, 32);
    EXPECT_EQ(r.code, QByteArray("XA3C14BP  ")); // as W1, W2 alone
    EXPECT_EQ(r.rowcount, 2);
    EXPECT_EQ(r.firstindex, 2);

    // Article 36 alone: t = Round(11111111 / 367 = 30275.51) = 30276; the
    // amounts are 0, so acc1..acc4 = S mod M = 934504 -> "MW" four times.
    const StaffCodeResult r36 = staffcode(rows, 36);
    EXPECT_EQ(r36.code, QByteArray("MWMWMWMW  "));
    EXPECT_EQ(r36.acc[0], 320047447);
    EXPECT_EQ(r36.rowcount, 1);
    EXPECT_EQ(r36.firstindex, 0);
}

TEST(StaffCode, AmountsRoundToHundredthsTiesToEven)
{
    // 0.025, 0.015, 0.035 (raw 250, 150, 350): raw x 100 / 10000 = 2.5, 1.5,
    // 3.5 -> 2, 2, 4, the same as 0.02, 0.02, 0.04. Truncation would give
    // 2, 1, 3; rounding half away 3, 2, 4.
    const StaffRow ties[] = {worker(32, "12345678", 250, 150, 350, "")};
    const StaffRow even[] = {worker(32, "12345678", 200, 200, 400, "")};
    const StaffRow trunc[] = {worker(32, "12345678", 200, 100, 300, "")};
    const StaffRow away[] = {worker(32, "12345678", 300, 200, 400, "")};
    EXPECT_EQ(staffcode(ties, 32).acc, staffcode(even, 32).acc);
    EXPECT_NE(staffcode(ties, 32).code, staffcode(trunc, 32).code);
    EXPECT_NE(staffcode(ties, 32).code, staffcode(away, 32).code);
}

TEST(StaffCode, LeaveDatesThatAreNotDatesCountAsZero)
{
    // With d = 0, acc4 = (S + 0) mod M = 934504 -> "MW" as its last pair; a
    // date (01/01/2000 = 36526) gives something else.
    const char *none[] = {"00000000", "", "00/00/0000", "31/02/2005", "15062005", "xx/yy/zzzz",
                          "/  /"};
    for (const char *d : none) {
        const StaffRow rows[] = {worker(32, "12345678", 10000, 0, 0, d)};
        EXPECT_EQ(staffcode(rows, 32).acc[4], 934504) << d;
    }
    // 01/01/2000 = 36526: acc0 = S + 33639 = 320050810; p = 36526 x 320050810
    //   = 11690175886060; S + p = 11690495903231 = 11760742 x M + 815197;
    //   815197 mod 1369 = 642 = 17 x 37 + 13 -> "HD".
    // acc1: h = 100; S + 32005081000 = 32325098171 -> 334158; mod 1369 = 122
    //   = 3 x 37 + 11 -> "3B".
    const StaffRow dated[] = {worker(32, "12345678", 10000, 0, 0, "01/01/2000")};
    EXPECT_EQ(staffcode(dated, 32).acc[4], 815197);
    EXPECT_EQ(staffcode(dated, 32).code, QByteArray("3BMWMWHD  "));
}

TEST(StaffCode, TaxpayerNumberThatIsNotANumberCountsAsZero)
{
    // "1234567A": the number reads as 0, t = 0, acc0 stays S; the worker still
    // counts. acc1 = (S + 100 x S = 32321734271) mod M: 32321734271
    // = 32515 x M + 946366; 946366 mod 1369 = 387 = 10 x 37 + 17 -> "AH"; the rest "MW".
    const StaffRow rows[] = {worker(32, "1234567A", 10000, 0, 0, "")};
    const StaffCodeResult r = staffcode(rows, 32);
    EXPECT_EQ(r.acc[0], 320017171);
    EXPECT_EQ(r.acc[1], 946366);
    EXPECT_EQ(r.code, QByteArray("AHMWMWMW  "));
    EXPECT_EQ(r.rowcount, 1);
}

TEST(StaffCode, MultiplierWrapsAt32Bits)
{
    // cntb 99999999: t = Round(99999999 / 367 = 272479.56) = 272480 per worker.
    // acc0 after n workers = S + 272480 n; 2147483647 - S = 1827466476, and
    // 1827466476 / 272480 = 6706.8, so the 6707th worker makes it wrap:
    //   after 6706: S + 1827250880 = 2147268051 (still positive);
    //   after 6707: S + 1827523360 = 2147540531 - 2^32 = -2147426765.
    // (An 8-digit number adds at most 272480, so a wrap needs 6707 workers.)
    std::vector<StaffRow> rows(6706, worker(32, "99999999", 0, 0, 0, "00000000"));
    EXPECT_EQ(staffcode(rows, 32).acc[0], 2147268051);

    // The 6707th worker carries income 1.00 and leaves on 01/01/2000 (36526).
    // Earlier rows added 0, so acc1..acc4 = 934504 before it.
    // acc1: h = 100; p = 100 x -2147426765 = -214742676500;
    //   934504 + p = -214741741996 = -(216032 x M) - 101132 -> -101132;
    //   |-101132| mod 1369 = 1195 = 32 x 37 + 11 -> "WB".
    // acc2, acc3: 934504 -> "MW".
    // acc4: p = 36526 x -2147426765 = -78436910018390; 934504 + p =
    //   -78436909083886 = -(78908227 x M) - 923757 -> -923757;
    //   923757 mod 1369 = 1051 = 28 x 37 + 15 -> "SF".
    rows.push_back(worker(32, "99999999", 10000, 0, 0, "01/01/2000"));
    const StaffCodeResult r = staffcode(rows, 32);
    EXPECT_EQ(r.acc, (std::array<std::int32_t, 5>{-2147426765, -101132, 934504, 934504, -923757}));
    EXPECT_EQ(r.code, QByteArray("WBMWMWSF  "));
    EXPECT_EQ(r.rowcount, 6707);
}

// ---------------------------------------------------------------- strhash

TEST(StrHash, ExtendedStepsRoundedToDouble)
{
    // "01": x = 5; sqrt -> 2.2360679774997898; + 48 - 29 -> 21.23606797749979;
    //   sqrt -> 4.6082608408704243; + 49 - 29 -> 24.608260840870425.
    EXPECT_EQ(strhash("01"), 0x1.89bb6fb82f9d7p+4);
    EXPECT_EQ(strhash(""), 5.0);
    // "0": 48 + 2.2360679774997898 - 29 kept at extended and rounded once
    // gives 21.23606797749979 (...e95); in doubles, 50.236... would lose its
    // last bit first.
    EXPECT_EQ(strhash("0"), 0x1.53c6ef372fe95p+4);
    EXPECT_NE(strhash("0"), (48.0 + std::sqrt(5.0)) - 29.0);
    // "5GV0": after "5GV", x = 63.86455501663081; its root 7.99153020495016...
    // rounded at extended and then to double is 0x1.ff753b1ad074ep+2, one bit
    // above the direct double root (...074dp+2); + 48 - 29 keeps the bit:
    // 0x1.afdd4ec6b41d4p+4 (a direct double root would end in ...d3).
    EXPECT_EQ(strhash("5GV0"), 0x1.afdd4ec6b41d4p+4);
}

TEST(StrHash, BracketsAreIgnoredWherever)
{
    const double plain = strhash("01");
    for (const char *c : {"(01)", "0(1", "()01", "01()", "(0)(1)"})
        EXPECT_EQ(strhash(c), plain) << c;
    EXPECT_EQ(strhash("A(B)C"), strhash("ABC"));
    EXPECT_NE(strhash("10"), plain);
}

// ---------------------------------------------------------------- annex code

namespace {
AnnexRow item(std::int32_t art, const char *cntb, const char *code, std::int64_t r)
{
    return {art, cntb, code, raw(r)};
}
} // namespace

TEST(AnnexCode, NoItemsGivesEmpty)
{
    const AnnexRow rows[] = {item(36, "87654321", "02", 500000)};
    EXPECT_TRUE(collectItems(rows, "32").isEmpty());
    EXPECT_EQ(annexcode(rows, "32", collectItems(rows, "32")), QByteArray());
    EXPECT_EQ(annexcode({}, "36", {}), QByteArray());
}

TEST(AnnexCode, OneItemCode)
{
    // Seeds a_i = ord x 37: Q 2997, W 3219, P 2960, Z 3330, M 2849, R 3034,
    //   T 3108, N 2886, V 3182, B 2442, Y 3293, C 2479.
    // One row of "01", 100.00 (raw 1000000), slot 1:
    //   q = 1000000 x 2997 x 100 = 299700000000; h = strhash("01") = 24.608260840870425
    //   (h x q + 2997 x 10000) / 10000 = 24.608260840870425 x 29970000 + 2997
    //   = 737509577.40088... + 2997 = 737512574.40088 -> 737512574
    //   = 741 x M (736574007) + 938567 -> a1 = 938567.
    // Pair 1: x = 938567 + 2479 = 941046; 941046 / 37 = 25433.68 -> 25434;
    //   25434 mod 37 = 15 -> "F" (the truncated 25433 would give "E");
    //   941046 mod 37 = 25 -> "P".
    // Pairs 2..6 hold seeds only, x = 37 (o_i + o_13-i), so x mod 37 = 0 and
    //   the first character is (o_i + o_13-i) mod 37:
    //   W+Y = 176 -> 28 "S"; P+B = 146 -> 35 "Z"; Z+V = 176 -> 28 "S";
    //   M+N = 155 -> 7 "7"; R+T = 166 -> 18 "I".
    const AnnexRow rows[] = {
        item(32, "12345678", "01", 1000000),
        item(36, "87654321", "02", 500000), // other article: skipped
    };
    const QList<QByteArray> items = collectItems(rows, "32");
    ASSERT_EQ(items, QList<QByteArray>{"01"});
    const auto a = annexSlots(rows, "32", items);
    EXPECT_EQ(a, (std::array<std::int64_t, 12>{938567, 3219, 2960, 3330, 2849, 3034, 3108, 2886,
                                               3182, 2442, 3293, 2479}));
    EXPECT_EQ(annexcode(rows, "32", items), QByteArray("FPS0Z0S070I0"));
}

TEST(AnnexCode, CodesNotInTheListAreSkipped)
{
    const AnnexRow withStray[] = {
        item(32, "12345678", "01", 1000000),
        item(32, "12345678", "99", 777700),
    };
    EXPECT_EQ(annexcode(withStray, "32", {"01"}), QByteArray("FPS0Z0S070I0"));
}

TEST(AnnexCode, ThirteenthCodeSharesSlotOne)
{
    // Codes "01".."13", one worker, code k worth k.00 (raw 10000 k), walked
    // in code order. strhash of "0k" is 24.608260840870425 + (k - 1) for
    // k = 1..9 (the last step adds the digit's code); "10".."13" start from
    // 23.715513543348145 (strhash("10")).
    //   k=1  slot 1: q = 10000 x 2997 x 100 = 2997000000; v = h q / 10000 + 2997
    //        = 7375095.774 + 2997 = 7378092.774 -> 7378093; 7378093 - 7 x M
    //        (6958189) = 419904 -> a1 = 419904.
    //   k=2..12 fill slots 2..12 once each from their seeds:
    //        585385, 768475, 992561, 210, 224454, 988658, 416068, 942208,
    //        262160, 67868, 954937.
    //   k=13 slot 1 again, from 419904: q = 130000 x 419904 x 100
    //        = 5458752000000; h = 26.715513543348145;
    //        v = h q / 10000 + 419904 = 14583756202.578 -> 14583756203
    //        = 14671 x M (14583370117) + 386086 -> a1 = 386086.
    // Pairs: 1: 386086 + 954937 = 1341023; / 37 = 36243.86 -> 36244 mod 37 = 21
    //   "L"; 1341023 mod 37 = 32 "W".  2: 585385 + 67868 = 653253 -> 17655.49
    //   -> 17655 mod 37 = 6 "6"; mod 37 = 18 "I".  3: 768475 + 262160 = 1030635
    //   -> 27855.0 -> 27855 mod 37 = 31 "V"; mod 37 = 0 "0".  4: 992561 +
    //   942208 = 1934769 -> 52291.05 -> 52291 mod 37 = 10 "A"; mod 37 = 2 "2".  5: 210 + 416068 = 416278 ->
    //   11250.76 -> 11251 mod 37 = 3 "3"; mod 37 = 28 "S".  6: 224454 + 988658
    //   = 1213112 -> 32786.81 -> 32787 mod 37 = 5 "5"; mod 37 = 30 "U".
    std::vector<AnnexRow> rows;
    for (int k = 1; k <= 13; ++k)
        rows.push_back({32, "12345678", QByteArray::number(k).rightJustified(2, '0'),
                        raw(10000LL * k)});
    const QList<QByteArray> items = collectItems(rows, "32");
    ASSERT_EQ(items.size(), 13);
    const auto a = annexSlots(rows, "32", items);
    EXPECT_EQ(a, (std::array<std::int64_t, 12>{386086, 585385, 768475, 992561, 210, 224454,
                                               988658, 416068, 942208, 262160, 67868, 954937}));
    EXPECT_EQ(annexcode(rows, "32", items), QByteArray("LW6IV0A23S5U"));

    // Without the 13th item, slot 1 keeps the value of code 1 alone.
    rows.pop_back();
    EXPECT_EQ(annexSlots(rows, "32", items)[0], 419904);
}

TEST(AnnexCode, ItemListStopsAt36Codes)
{
    std::vector<AnnexRow> rows;
    for (int k = 1; k <= 37; ++k)
        rows.push_back(item(32, "12345678", QByteArray::number(100 + k).constData(), 10000));
    const QList<QByteArray> items = collectItems(rows, "32");
    ASSERT_EQ(items.size(), 36);
    EXPECT_EQ(items.last(), QByteArray("136"));
    // The 37th code is not in the list, so its row takes no part.
    std::vector<AnnexRow> first36(rows.begin(), rows.end() - 1);
    EXPECT_EQ(annexcode(rows, "32", items), annexcode(first36, "32", items));
}

// ---------------------------------------------------------------- over the tables

namespace {
void addWorker(Tdm56 &dm, const StaffRow &w, const char *nmp)
{
    dm.staff.appendRecord({w.art, QByteArray(" "), w.cntb, QByteArray(), QByteArray(nmp),
                           QByteArray(), QByteArray(), w.rend, QByteArray(), w.sub1, Currency(),
                           w.rimp, std::int64_t(0), w.leavedate, 4, QByteArray()});
}
} // namespace

TEST(ControlCodesOverTables, StaffCodeFollowsTheCurrentOrder)
{
    Tdm56 dm;
    addWorker(dm, W1, "ZHANG");
    addWorker(dm, W2, "AU");
    addWorker(dm, worker(36, "11111111", 0, 0, 0, "00000000"), "LEE");
    addWorker(dm, worker(32, "-", 123400, 0, 0, "01/01/2001"), "BB");

    // "art;cntb": "-" (pos 0), W1 (1), W2 (2), the 36 worker (3).
    dm.staff.setIndexFieldNames(QStringLiteral("art;cntb"));
    dm.staff.setRecNo(3);
    std::int32_t rowcount = -1, firstindex = -1;
    EXPECT_EQ(staffcode(dm, 32, &rowcount, &firstindex), QByteArray("XA3C14BP  "));
    EXPECT_EQ(rowcount, 2);
    EXPECT_EQ(firstindex, 1);
    EXPECT_EQ(dm.staff.recNo(), 3);
    EXPECT_EQ(dm.staff.indexFieldNames(), QStringLiteral("art;cntb"));

    EXPECT_EQ(staffcode(dm, 36, &rowcount, &firstindex), QByteArray("MWMWMWMW  "));
    EXPECT_EQ(rowcount, 1);
    EXPECT_EQ(firstindex, 3);

    // "art;nmp": AU (W2), BB ("-"), ZHANG (W1): the code of W2 then W1.
    dm.staff.setIndexFieldNames(QStringLiteral("art;nmp"));
    EXPECT_EQ(staffcode(dm, 32, &rowcount, &firstindex), QByteArray("NPWB#TBV  "));
    EXPECT_EQ(firstindex, 0);

    Tdm56 empty;
    EXPECT_EQ(staffcode(empty, 32, &rowcount, &firstindex), QByteArray("TRTRTRTR  "));
    EXPECT_EQ(rowcount, 0);
    EXPECT_EQ(firstindex, 0);
}

TEST(ControlCodesOverTables, AnnexCodeSortsItsItems)
{
    test::MessageRecorder msgs;
    Tdm56 dm;
    // The 13 items of the slot test, appended backwards, plus another article.
    dm.sub.appendRecord({QByteArray("87654321"), QByteArray("02"), raw(500000), 36});
    for (int k = 13; k >= 1; --k)
        dm.sub.appendRecord({QByteArray("12345678"), QByteArray::number(k).rightJustified(2, '0'),
                             raw(10000LL * k), 32});
    QByteArray text = "unchanged";
    EXPECT_EQ(annexcode(dm, u"32", &text), QByteArray("LW6IV0A23S5U"));
    EXPECT_EQ(text, QByteArray("LW6IV0A23S5U"));
    EXPECT_EQ(dm.sub.indexFieldNames(), QStringLiteral("art;cntb;itemcod"));
    EXPECT_EQ(dm.itemcount(), 13);

    // An article without items: empty, and the last code text stays.
    Tdm56 other;
    other.sub.appendRecord({QByteArray("12345678"), QByteArray("01"), raw(1000000), 32});
    text = "LW6IV0A23S5U";
    EXPECT_EQ(annexcode(other, u"36", &text), QByteArray());
    EXPECT_EQ(text, QByteArray("LW6IV0A23S5U"));
    EXPECT_EQ(annexcode(other, u"32", &text), QByteArray("FPS0Z0S070I0"));
    EXPECT_TRUE(msgs.empty());
}

TEST(AnnexCode, ManyItemsAtOnceAsOneByOne)
{
    // addAll feeds each slot its own items apart (on all cores for many):
    // the accumulators are those of feeding every item in turn, codes not
    // in the list and indexes past it skipped alike.
    std::mt19937 gen(2511);
    QList<QByteArray> list;
    for (int k = 0; k < 30; ++k)
        list << QByteArray::number(101 + k);
    for (const std::size_t n : {std::size_t(7), std::size_t(20000)}) {
        std::vector<AnnexCoder::Item> many;
        for (std::size_t i = 0; i < n; ++i)
            many.push_back({qsizetype(gen() % 34) - 2, Currency::fromRaw(std::int64_t(gen() % 50000000))});
        AnnexCoder oneByOne(list), atOnce(list);
        for (const AnnexCoder::Item &it : many)
            oneByOne.add(it.index, it.itemval);
        atOnce.addAll(many);
        EXPECT_EQ(atOnce.accumulators(), oneByOne.accumulators()) << n;
        EXPECT_EQ(atOnce.code(), oneByOne.code()) << n;
    }
    EXPECT_EQ(AnnexCoder({}).code(), QByteArray());
}
