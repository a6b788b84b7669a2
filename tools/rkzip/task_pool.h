#pragma once
// Runs tasks on every core until none is left; a running task may add more.
// The thread that calls Run() works too. Tasks added last are taken first,
// so that a walk of folders goes deep before it goes wide.

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <vector>

namespace rk::tools {

class TaskPool {
  public:
    explicit TaskPool(unsigned threads) : threads_(threads == 0 ? 1 : threads) {}

    // May be called from any task.
    void Add(std::function<void()> task);
    // How many tasks wait to be taken.
    std::size_t waiting();
    // Returns once every task, including those added meanwhile, has run.
    void Run();

  private:
    void Work();

    unsigned threads_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::function<void()>> tasks_;
    std::size_t running_ = 0;
};

} // namespace rk::tools
