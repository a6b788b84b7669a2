// The pool that walks folders on every core: every task runs once, also
// those added by running tasks, and Run() returns only when all have.

#include "tools/rkzip/task_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace rk::tools {
namespace {

TEST(TaskPool, TasksAddedByTasksAllRunOnceBeforeRunReturns) {
    for (const unsigned threads : {1u, 2u, 4u}) {
        TaskPool pool(threads);
        // A tree of tasks: each of the first levels adds three below it.
        std::vector<std::atomic<int>> runs(1 + 3 + 9 + 27 + 81);
        std::function<void(std::size_t, int)> visit = [&](std::size_t node, int depth) {
            ++runs[node];
            if (depth == 4)
                return;
            for (std::size_t child = 1; child <= 3; ++child)
                pool.Add([&visit, node, child, depth] { visit(node * 3 + child, depth + 1); });
        };
        pool.Add([&visit] { visit(0, 0); });
        pool.Run();
        for (std::size_t node = 0; node < runs.size(); ++node)
            EXPECT_EQ(runs[node].load(), 1) << threads << " threads, task " << node;
        EXPECT_EQ(pool.waiting(), 0u);
    }
}

} // namespace
} // namespace rk::tools
