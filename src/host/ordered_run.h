// Work on several threads whose results are taken in list order: items are
// handed out in order, done in any order, and each is taken on the calling
// thread once it and every item before it are done. So what the caller
// reports (messages, counts, the first failure) reads as from one thread,
// and the items taken are always the first ones, whatever stopped the run.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tarnwick {

struct OrderedRunOptions_T {
    unsigned jobs = 1;  // threads; more than kMostJobs only wait on the disk
    // How far past the next item to take the threads may go: what items
    // hold until taken stays bounded. 0: no bound.
    std::size_t ahead = 0;
    std::chrono::milliseconds pollEvery{50};
};
inline constexpr unsigned kMostJobs = 64;

// Runs work(i, state) for i from 0 to count - 1 on up to options.jobs
// threads, each with a state of its own from makeState (nothing: no more
// threads; with none at all the calling thread works with fallback).
// take(i) runs on the calling thread in list order; poll() runs there at
// the start and every pollEvery, false from it hands out no more items.
// work giving false hands out no more items either: the items in hand are
// finished and taken. Gives how many items were taken.
template <class State>
std::size_t RunInOrder(std::size_t count, const OrderedRunOptions_T& options,
                       const std::function<std::unique_ptr<State>()>& makeState, State& fallback,
                       const std::function<bool(std::size_t, State&)>& work,
                       const std::function<void(std::size_t)>& take, const std::function<bool()>& poll)
{
    // Claimed past every item: no thread takes another.
    constexpr std::size_t kNoMore = std::numeric_limits<std::size_t>::max() / 2;
    const auto done = std::make_unique<std::atomic<bool>[]>(count);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> taken{0};
    std::mutex mutex;
    std::condition_variable changed;  // an item done, a thread gone, an item taken
    unsigned working = 0;             // under mutex
    const std::size_t ahead = options.ahead;
    auto run = [&](State& state) {
        for (;;) {
            std::size_t i = next.load();
            // Beyond the bound, wait for the taking to catch up.
            if (ahead != 0 && i < count) {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] { i = next.load(); return i >= count || i < taken.load() + ahead; });
            }
            i = next++;
            if (i >= count)
                break;
            const bool goOn = work(i, state);
            done[i].store(true, std::memory_order_release);
            if (!goOn)
                next = kNoMore;
            // The taking looks from time to time; it is woken only where a
            // bound holds threads back, for the item it waits for.
            if ((ahead != 0 && i == taken.load()) || !goOn) {
                const std::lock_guard<std::mutex> lock(mutex);
                changed.notify_all();
            }
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --working;
        changed.notify_all();
    };

    const unsigned jobs = std::clamp(options.jobs, 1u, kMostJobs);
    std::vector<std::unique_ptr<State>> states;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < jobs && t < count; ++t) {
        try {
            std::unique_ptr<State> state = makeState();
            if (!state)
                break;
            states.push_back(std::move(state));
            const std::lock_guard<std::mutex> lock(mutex);
            threads.emplace_back(run, std::ref(*states.back()));
            ++working;
        } catch (const std::exception&) {
            break;  // the threads running do the rest
        }
    }
    std::size_t k = 0;
    auto takeDone = [&] {
        const std::size_t before = k;
        for (; k < count && done[k].load(std::memory_order_acquire); ++k) {
            take(k);
            taken = k + 1;
        }
        // Threads held back by the bound go on.
        if (ahead != 0 && k != before) {
            const std::lock_guard<std::mutex> lock(mutex);
            changed.notify_all();
        }
    };
    bool stopped = false;
    if (threads.empty() && count != 0) {
        // Not even one thread: this one does it all, taking as it goes.
        for (std::size_t i = next++; i < count && !stopped; i = next++) {
            stopped = !poll() || !work(i, fallback);
            done[i].store(true, std::memory_order_release);
            takeDone();
        }
        return k;
    }
    for (;;) {
        if (!stopped && !poll()) {
            stopped = true;
            next = kNoMore;
        }
        std::unique_lock<std::mutex> lock(mutex);
        const bool gone = changed.wait_for(lock, options.pollEvery, [&] {
            return working == 0 || (ahead != 0 && k < count && done[k].load(std::memory_order_acquire));
        });
        lock.unlock();
        takeDone();
        if (gone && working == 0)
            break;
    }
    next = kNoMore;
    for (std::thread& thread : threads)
        thread.join();
    takeDone();
    return k;
}

}  // namespace tarnwick
