#include "shared/parallel.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace r56 {

namespace {

// The cores this process may run on (a container or `taskset` may allow
// fewer than the machine has).
std::size_t cores()
{
    static const std::size_t n = [] {
#ifdef __linux__
        cpu_set_t set;
        if (sched_getaffinity(0, sizeof set, &set) == 0)
            return std::max<std::size_t>(1, std::size_t(CPU_COUNT(&set)));
#endif
        return std::max<std::size_t>(1, std::thread::hardware_concurrency());
    }();
    return n;
}

// One call of paralleltasks: its tasks are handed out by number to whoever
// asks, the calling thread included.
struct Job
{
    const std::function<void(std::size_t)> *task = nullptr;
    std::size_t count = 0;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::mutex m;
    std::condition_variable finished;

    // Runs tasks until none is left to start.
    void work()
    {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            (*task)(i);
            if (done.fetch_add(1) + 1 == count) {
                std::lock_guard lock(m);
                finished.notify_all();
            }
        }
    }
    bool exhausted() const { return next.load() >= count; }
    bool complete() const { return done.load() == count; }
};

// Threads kept for the whole run: starting threads for every call would cost
// more than the smaller jobs take. A caller never waits for a pool thread to
// start one of its tasks: it runs every task nobody has taken, so calls made
// from within a task (or with all pool threads busy) still finish.
class Pool
{
public:
    Pool()
    {
        for (std::size_t i = 1; i < cores(); ++i)
            m_threads.emplace_back([this] { loop(); });
    }
    ~Pool()
    {
        {
            std::lock_guard lock(m_m);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread &t : m_threads)
            t.join();
    }

    // Offers the tasks to the pool threads; `task` must live until finish().
    std::shared_ptr<Job> submit(const std::function<void(std::size_t)> &task, std::size_t count)
    {
        auto job = std::make_shared<Job>();
        job->task = &task;
        job->count = count;
        {
            std::lock_guard lock(m_m);
            m_jobs.push_back(job);
        }
        m_wake.notify_all();
        return job;
    }
    // Runs the tasks nobody has taken yet, then waits for the others.
    static void finish(Job &job)
    {
        job.work();
        std::unique_lock lock(job.m);
        job.finished.wait(lock, [&] { return job.complete(); });
    }

private:
    // The oldest job with tasks left to start; null when none. Under m_m.
    std::shared_ptr<Job> front()
    {
        while (!m_jobs.empty() && m_jobs.front()->exhausted())
            m_jobs.pop_front();
        return m_jobs.empty() ? nullptr : m_jobs.front();
    }

    void loop()
    {
        for (;;) {
            std::shared_ptr<Job> job;
            {
                std::unique_lock lock(m_m);
                // The job found is the one taken: another thread may start
                // its last task at any moment, and the queue drops it then.
                m_wake.wait(lock, [&] { return m_stop || (job = front()); });
                if (m_stop)
                    return;
            }
            job->work();
        }
    }

    std::mutex m_m;
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Job>> m_jobs;
    std::vector<std::thread> m_threads;
    bool m_stop = false;
};

Pool &pool()
{
    static Pool p;
    return p;
}

} // namespace

std::size_t rangesfor(std::size_t count, std::size_t grain)
{
    return std::max<std::size_t>(1, std::min(cores(), count / std::max<std::size_t>(1, grain)));
}

void parallelranges(std::size_t count, std::size_t grain,
                    const std::function<void(std::size_t, std::size_t)> &fn)
{
    if (count == 0)
        return;
    // A few ranges a core: the threads take them as they come free, so a
    // thread the system holds back for a moment does not hold up the rest.
    constexpr std::size_t kRangesPerCore = 4;
    const std::size_t parts = rangesfor(count, grain) == 1
        ? 1
        : std::min(cores() * kRangesPerCore, count / std::max<std::size_t>(1, grain));
    paralleltasks([&](std::size_t i) { fn(count * i / parts, count * (i + 1) / parts); }, parts);
}

void paralleltasks(const std::function<void(std::size_t)> &task, std::size_t count)
{
    if (count == 0)
        return;
    if (count == 1) {
        task(0);
        return;
    }
    Pool::finish(*pool().submit(task, count));
}

} // namespace r56
