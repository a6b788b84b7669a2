#include "tools/rkzip/task_pool.h"

#include <thread>

namespace rk::tools {

void TaskPool::Add(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    changed_.notify_one();
}

std::size_t TaskPool::waiting() {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

void TaskPool::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !tasks_.empty() || running_ == 0; });
        if (tasks_.empty())
            break; // nothing waits and nothing runs that could add more
        std::function<void()> task = std::move(tasks_.back());
        tasks_.pop_back();
        ++running_;
        lock.unlock();
        task();
        lock.lock();
        --running_;
        if (running_ == 0 && tasks_.empty())
            changed_.notify_all();
    }
}

void TaskPool::Run() {
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads_; ++i)
        helpers.emplace_back([this] { Work(); });
    Work();
    for (auto& helper : helpers)
        helper.join();
}

} // namespace rk::tools
