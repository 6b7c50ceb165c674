// Work spread over the cores: the ranges handed out, tasks run from within
// tasks and from several threads at once, the pool under a long run of small
// jobs, and the stable sort that must give std::stable_sort's sequence.
#include "shared/parallel.h"

#include <gtest/gtest.h>

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <numeric>
#include <random>
#include <thread>
#include <utility>
#include <vector>

using namespace r56;

namespace {

struct Range
{
    std::size_t begin, end;
    bool operator<(const Range &o) const { return begin < o.begin; }
};

// Every call parallelranges makes, and how often each item was handed out.
struct Coverage
{
    std::mutex m;
    std::vector<Range> ranges;
    std::unique_ptr<std::atomic<int>[]> hits;
    std::vector<std::thread::id> threads;

    explicit Coverage(std::size_t count) : hits(new std::atomic<int>[count ? count : 1])
    {
        for (std::size_t i = 0; i < count; ++i)
            hits[i] = 0;
    }
    void record(std::size_t b, std::size_t e)
    {
        for (std::size_t i = b; i < e; ++i)
            hits[i].fetch_add(1);
        std::lock_guard lock(m);
        ranges.push_back({b, e});
        threads.push_back(std::this_thread::get_id());
    }
};

// The cores this process may run on, counted as the system counts them for
// it: under `taskset` or a container's limit fewer than the machine has.
std::size_t cores()
{
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max<std::size_t>(1, std::size_t(CPU_COUNT(&set)));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

} // namespace

TEST(Parallel, RangesCoverEveryItemOnceInContiguousPieces)
{
    struct Case { std::size_t count, grain; };
    const Case cases[] = {
        {0, 16},       {1, 16},      {15, 16},    {16, 16},   {31, 16}, {32, 16},
        {33, 16},      {1000, 1},    {1000, 0},   {4097, 64}, {100000, 7},
        {100000, 256}, {100000, 100000}, {100001, 50000}, {99999, 50000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "count " << c.count << " grain " << c.grain);
        Coverage cov(c.count);
        parallelranges(c.count, c.grain, [&](std::size_t b, std::size_t e) { cov.record(b, e); });

        if (c.count == 0) {
            EXPECT_TRUE(cov.ranges.empty()) << "nothing to do, no call";
            continue;
        }
        for (std::size_t i = 0; i < c.count; ++i)
            ASSERT_EQ(cov.hits[i].load(), 1) << "item " << i;

        std::vector<Range> rs = cov.ranges;
        std::sort(rs.begin(), rs.end());
        ASSERT_EQ(rs.front().begin, 0u);
        ASSERT_EQ(rs.back().end, c.count);
        for (std::size_t k = 0; k < rs.size(); ++k) {
            EXPECT_LT(rs[k].begin, rs[k].end) << "an empty range";
            if (k > 0) {
                EXPECT_EQ(rs[k].begin, rs[k - 1].end) << "ranges must join";
            }
            if (rs.size() > 1) {
                EXPECT_GE(rs[k].end - rs[k].begin, std::max<std::size_t>(1, c.grain))
                    << "a shared piece below the grain";
            }
        }

        // Too little to share: one call, made on the calling thread.
        if (rangesfor(c.count, c.grain) == 1) {
            ASSERT_EQ(cov.ranges.size(), 1u);
            EXPECT_EQ(cov.threads.front(), std::this_thread::get_id());
        }
    }
}

TEST(Parallel, RangesForStaysWithinOneAndTheCores)
{
    struct Case { std::size_t count, grain, want; };
    const Case cases[] = {
        {0, 16, 1},  {1, 16, 1},         {15, 16, 1}, {31, 16, 1},
        {5, 0, std::min<std::size_t>(cores(), 5)}, {32, 16, std::min<std::size_t>(cores(), 2)},
        {1u << 30, 1, cores()},
    };
    for (const Case &c : cases)
        EXPECT_EQ(rangesfor(c.count, c.grain), c.want) << c.count << " / " << c.grain;
}

TEST(Parallel, EveryTaskRunsOnce)
{
    for (const std::size_t count : {0u, 1u, 2u, 7u, 64u, 5000u}) {
        SCOPED_TRACE(count);
        std::vector<std::atomic<int>> runs(count);
        paralleltasks([&](std::size_t i) { runs[i].fetch_add(1); }, count);
        for (std::size_t i = 0; i < count; ++i)
            ASSERT_EQ(runs[i].load(), 1) << "task " << i;
    }
    // A single task runs on the calling thread.
    std::thread::id ran;
    paralleltasks([&](std::size_t) { ran = std::this_thread::get_id(); }, 1);
    EXPECT_EQ(ran, std::this_thread::get_id());
}

// Tasks that start work of their own, three levels deep and with more tasks
// than there are pool threads, so that every thread ends up waiting inside
// a task: they must still all finish (the waiting threads run what nobody
// has taken) and with the right sums.
TEST(Parallel, WorkStartedFromWithinTasksFinishes)
{
    const std::size_t outer = 4 * cores() + 3;
    constexpr std::size_t kItems = 3000;
    std::vector<std::uint64_t> sums(outer);
    std::vector<std::atomic<int>> innerRuns(outer * 5);
    paralleltasks(
        [&](std::size_t o) {
            std::atomic<std::uint64_t> sum{0};
            parallelranges(kItems, 64, [&](std::size_t b, std::size_t e) {
                std::uint64_t s = 0;
                for (std::size_t i = b; i < e; ++i)
                    s += i * (o + 1);
                sum += s;
            });
            paralleltasks(
                [&](std::size_t k) {
                    std::atomic<int> leaves{0};
                    paralleltasks([&](std::size_t) { leaves.fetch_add(1); }, 3);
                    if (leaves.load() == 3)
                        innerRuns[o * 5 + k].fetch_add(1);
                },
                5);
            sums[o] = sum.load();
        },
        outer);
    for (std::size_t o = 0; o < outer; ++o) {
        EXPECT_EQ(sums[o], std::uint64_t(kItems) * (kItems - 1) / 2 * (o + 1)) << "task " << o;
        for (std::size_t k = 0; k < 5; ++k)
            EXPECT_EQ(innerRuns[o * 5 + k].load(), 1) << "task " << o << "." << k;
    }
}

// Callers on threads of their own (a loader and the window thread, say)
// share the one pool.
TEST(Parallel, SeveralCallersShareThePool)
{
    constexpr int kCallers = 3;
    constexpr int kRounds = 300;
    std::vector<int> wrong(kCallers, 0);
    std::vector<std::thread> callers;
    for (int t = 0; t < kCallers; ++t) {
        callers.emplace_back([&, t] {
            for (int r = 0; r < kRounds; ++r) {
                const std::size_t n = 1000 + std::size_t(r % 7) * 311 + std::size_t(t);
                std::atomic<std::uint64_t> sum{0};
                if (r % 2) {
                    parallelranges(n, 32, [&](std::size_t b, std::size_t e) {
                        std::uint64_t s = 0;
                        for (std::size_t i = b; i < e; ++i)
                            s += i;
                        sum += s;
                    });
                } else {
                    paralleltasks([&](std::size_t i) { sum += i; }, n);
                }
                if (sum.load() != std::uint64_t(n) * (n - 1) / 2)
                    ++wrong[std::size_t(t)];
            }
        });
    }
    for (std::thread &c : callers)
        c.join();
    for (int t = 0; t < kCallers; ++t)
        EXPECT_EQ(wrong[std::size_t(t)], 0) << "caller " << t;
}

// Many small jobs back to back: a pool thread that picks up a job just as
// its caller finishes it (and returns, ending the task it pointed to) must
// neither run a task of it nor lose track of the next job.
TEST(Parallel, ManySmallJobsInARow)
{
    constexpr std::size_t kItems = 20000;
    constexpr std::uint64_t kWant = std::uint64_t(kItems) * (kItems - 1) / 2;
    int wrong = 0;
    for (int round = 0; round < 3000; ++round) {
        std::atomic<std::uint64_t> sum{0};
        parallelranges(kItems, 256, [&](std::size_t b, std::size_t e) {
            std::uint64_t s = 0;
            for (std::size_t i = b; i < e; ++i)
                s += i;
            sum += s;
        });
        if (sum.load() != kWant)
            ++wrong;
    }
    EXPECT_EQ(wrong, 0);
}

// The sort cut into 1, 2, 3, 5 and 8 parts (and whatever the cores give
// beyond), on keys with many equals: the payload shows whether equal keys
// kept their order across the part boundaries and the merges.
TEST(Parallel, StableSortGivesTheStableSortSequence)
{
    using Item = std::pair<int, int>; // key, original position
    const auto byKey = [](const Item &a, const Item &b) { return a.first < b.first; };
    constexpr std::size_t kGrain = 16;
    std::vector<std::size_t> sizes;
    for (const std::size_t parts : {1u, 2u, 3u, 5u, 8u})
        for (const std::size_t extra : {0u, 1u, 7u, 15u})
            sizes.push_back(parts * kGrain + extra);
    sizes.insert(sizes.end(), {0u, 1u, 2u, 15u, 1000u, 4099u, 100000u});

    enum Shape { Random, FewKeys, Sorted, Reversed, AllEqual, SortedButLast };
    std::mt19937 rnd(5);
    for (const std::size_t n : sizes) {
        for (const Shape shape : {Random, FewKeys, Sorted, Reversed, AllEqual, SortedButLast}) {
            SCOPED_TRACE(testing::Message() << "size " << n << " shape " << int(shape) << " parts "
                                            << rangesfor(n, kGrain));
            std::vector<Item> v(n);
            for (std::size_t i = 0; i < n; ++i) {
                int key = 0;
                switch (shape) {
                case Random: key = int(rnd() % 1000); break;
                case FewKeys: key = int(rnd() % 3); break;
                case Sorted: key = int(i / 4); break;
                case Reversed: key = int((n - i) / 4); break;
                case AllEqual: key = 7; break;
                case SortedButLast: key = i + 1 == n ? -1 : int(i / 3); break;
                }
                v[i] = {key, int(i)};
            }
            std::vector<Item> want = v;
            std::stable_sort(want.begin(), want.end(), byKey);
            parallelstablesort(v.begin(), v.end(), byKey, kGrain);
            ASSERT_EQ(v, want);
        }
    }
}

// With the default grain the small cases take the plain path; a sort over a
// sub-range leaves what is outside it alone.
TEST(Parallel, StableSortOfASubRange)
{
    std::vector<std::pair<int, int>> v(3000);
    for (int i = 0; i < 3000; ++i)
        v[std::size_t(i)] = {(i * 7919) % 13, i};
    std::vector<std::pair<int, int>> want = v;
    const auto byKey = [](const auto &a, const auto &b) { return a.first < b.first; };
    std::stable_sort(want.begin() + 100, want.end() - 100, byKey);
    parallelstablesort(v.begin() + 100, v.end() - 100, byKey, 16);
    EXPECT_EQ(v, want);
    std::vector<std::pair<int, int>> w = v;
    parallelstablesort(w.begin(), w.end(), byKey);
    std::stable_sort(v.begin(), v.end(), byKey);
    EXPECT_EQ(w, v);
}
