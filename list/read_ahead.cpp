#include "read_ahead.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <system_error>

void (*ReadAhead::beforeOpening)(NativeView name) = nullptr;

namespace {

// A quick drive's next job, or its next folder done, comes within
// microseconds: a sleep and a wake would cost more. (The large tree, on 2
// cores: 0.26 s and 25,000 context switches, then 0.20 s and 7,500.)
template <typename Ready>
void Spin(Ready ready) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(50);
    while (!ready() && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
}

}  // namespace

// The readers, with their room for raw entries, are made here, on the walk's
// thread, where running out of memory is the click's error; the threads then
// allocate nothing outside a job.
std::size_t ReadAhead::Start(std::size_t threads, std::size_t mostJobs) {
    assert(threads_.empty());
    done_.reserve(mostJobs);
    readers_.reserve(threads);
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        readers_.push_back(std::make_unique<FolderReader>());
    }
    try {
        for (const std::unique_ptr<FolderReader>& reader : readers_) {
            threads_.emplace_back([this, &reader] { Work(*reader); });
        }
    } catch (const std::system_error&) {
        // A limit on threads refuses every further try alike.
    }
    return threads_.size();
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    submitted_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void ReadAhead::Submit(ReadJob& job, Order before) {
    assert(!threads_.empty() && pending_ < done_.capacity());
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queued_.insert(std::upper_bound(queued_.begin(), queued_.end(), &job, before), &job);
        queuedCount_.store(queued_.size(), std::memory_order_relaxed);
        wake = queued_.size() > busy_ && busy_ < active_;
    }
    ++pending_;
    // A thread at work takes the next job when done: one more is woken only
    // for jobs beyond those.
    if (wake) {
        submitted_.notify_one();
    }
}

ReadJob* ReadAhead::WithdrawFirst() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (queued_.empty()) {
        return nullptr;
    }
    ReadJob* job = queued_.front();
    queued_.pop_front();
    queuedCount_.store(queued_.size(), std::memory_order_relaxed);
    --pending_;
    return job;
}

bool ReadAhead::Withdraw(ReadJob& job) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto queued = std::find(queued_.begin(), queued_.end(), &job);
    if (queued == queued_.end()) {
        return false;
    }
    queued_.erase(queued);
    queuedCount_.store(queued_.size(), std::memory_order_relaxed);
    --pending_;
    return true;
}

void ReadAhead::Allow(std::size_t threads) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        active_ = threads;
    }
    submitted_.notify_all();
}

std::size_t ReadAhead::Queued() {
    std::lock_guard<std::mutex> lock(mutex_);
    return queued_.size();
}

void ReadAhead::TakeFinished(std::vector<ReadJob*>& finished, bool wait) {
    finished.clear();
    if (wait) {
        Spin([this] { return doneCount_.load(std::memory_order_relaxed) != 0; });
    }
    std::unique_lock<std::mutex> lock(mutex_);
    if (wait && done_.empty()) {
        assert(pending_ > 0);
        walkWaits_ = true;
        finished_.wait(lock, [this] { return !done_.empty(); });
        walkWaits_ = false;
    }
    // Both keep their room: the walk's holds as many jobs as this one.
    finished.swap(done_);
    doneCount_.store(0, std::memory_order_relaxed);
    pending_ -= finished.size();
}

void ReadAhead::Do(FolderReader& reader, ReadJob& job) {
    try {
        const NativeView name = job.from->folders.At(job.index);
        if (beforeOpening != nullptr) {
            beforeOpening(name);
        }
        reader.OpenSubFolder(*job.from, job.index, job.path, job.listing);
    } catch (...) {
        job.failure = std::current_exception();
    }
}

void ReadAhead::Work(FolderReader& reader) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (queued_.empty() && !stopping_) {
            lock.unlock();
            Spin([this] { return queuedCount_.load(std::memory_order_relaxed) != 0; });
            lock.lock();
        }
        submitted_.wait(lock,
                        [this] { return stopping_ || (!queued_.empty() && busy_ < active_); });
        if (stopping_) {
            return;
        }
        ReadJob& job = *queued_.front();
        queued_.pop_front();
        queuedCount_.store(queued_.size(), std::memory_order_relaxed);
        ++busy_;
        lock.unlock();
        Do(reader, job);
        lock.lock();
        --busy_;
        // Never past the room Start made: no job is pending twice.
        assert(done_.size() < done_.capacity());
        done_.push_back(&job);
        doneCount_.store(done_.size(), std::memory_order_relaxed);
        if (walkWaits_) {
            finished_.notify_one();
        }
    }
}
