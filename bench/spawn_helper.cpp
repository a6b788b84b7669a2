// rk_bench_spawn RESULT PROGRAM [ARGS...]: runs PROGRAM with the arguments,
// waits for it and writes "EXIT SECONDS PEAK_KB" to the file RESULT. The
// benchmark starts every measured tool through it: a child's peak memory as
// wait4 gives it counts the memory of the process that started it, and this
// one stays small.

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fputs("usage: rk_bench_spawn RESULT PROGRAM [ARGS...]\n", stderr);
        return 125;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[2], nullptr, nullptr, argv + 2, environ);
    if (rc != 0) {
        std::fprintf(stderr, "rk_bench_spawn: cannot start %s\n", argv[2]);
        return 126;
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double seconds = static_cast<double>(end.tv_sec - start.tv_sec) +
                           static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
    const int exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    std::FILE* result = std::fopen(argv[1], "w");
    if (result == nullptr)
        return 125;
    std::fprintf(result, "%d %.6f %ld\n", exitCode, seconds, usage.ru_maxrss);
    return std::fclose(result) == 0 ? 0 : 125;
}
