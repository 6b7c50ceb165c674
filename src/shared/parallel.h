#pragma once
// Work over many independent items (the lines of a large exchange file, the
// rows of a large table, the table files of a save) spread over the
// cores this process may use, on a pool of threads started once. Small
// amounts of work run on the calling thread alone: handing them out would
// cost more than a few thousand lines take.
//
// The work functions must not touch the windows or show messages; they run
// while the calling (window) thread waits for them.
#include <algorithm>
#include <cstddef>
#include <functional>
#include <vector>

namespace r56 {

// How many threads share `count` items of at least `grain` each: one a core
// at most, 1 when the work is too small to share.
std::size_t rangesfor(std::size_t count, std::size_t grain);

// Calls fn(begin, end) over [0, count) cut into contiguous ranges of (nearly)
// equal size and at least `grain` items, a few for each thread that
// rangesfor(count, grain) gives, and returns when all have run. Work for one
// thread is a single call on the calling thread.
void parallelranges(std::size_t count, std::size_t grain,
                    const std::function<void(std::size_t, std::size_t)> &fn);

// Runs task(0) .. task(count - 1) on the calling thread and the threads of a
// pool kept for the whole run, and returns when all have run. Tasks may
// themselves call these functions.
void paralleltasks(const std::function<void(std::size_t)> &task, std::size_t count);

// std::stable_sort on all cores: the range is cut into parts, each sorted on
// a thread, and neighbouring parts are merged pairwise until one is left. A
// merge takes the left part's element first among equals, so the result is
// that of std::stable_sort.
template<typename It, typename Less>
void parallelstablesort(It first, It last, Less less, std::size_t grain = 16384)
{
    const std::size_t n = std::size_t(last - first);
    const std::size_t parts = rangesfor(n, grain);
    if (parts < 2) {
        std::stable_sort(first, last, less);
        return;
    }
    std::vector<std::size_t> bounds;
    for (std::size_t i = 0; i <= parts; ++i)
        bounds.push_back(n * i / parts);
    paralleltasks([&](std::size_t i) { std::stable_sort(first + bounds[i], first + bounds[i + 1], less); },
                  parts);
    while (bounds.size() > 2) {
        // Parts 2k and 2k + 1 become one; an odd last part waits a round.
        const std::size_t pairs = (bounds.size() - 1) / 2;
        paralleltasks(
            [&](std::size_t k) {
                std::inplace_merge(first + bounds[2 * k], first + bounds[2 * k + 1],
                                   first + bounds[2 * k + 2], less);
            },
            pairs);
        std::vector<std::size_t> merged;
        for (std::size_t i = 0; i < bounds.size(); i += 2)
            merged.push_back(bounds[i]);
        if (merged.back() != n)
            merged.push_back(n);
        bounds.swap(merged);
    }
}

} // namespace r56
