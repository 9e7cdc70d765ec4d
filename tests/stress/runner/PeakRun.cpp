// Runs a program and writes its exit code and peak resident set (KB) to a file:
//   tessary_peak_run OUTFILE PROGRAM ARGS...
// A test cannot measure its own child directly: a forked child's peak includes the pages it
// shared with the (large) test process until exec. This small process forks the program
// instead, so the figure is the program's own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    pid_t pid = ::fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        ::execv(argv[2], argv + 2);
        ::_exit(127);
    }
    int status = 0;
    struct rusage ru {};
    if (::wait4(pid, &status, 0, &ru) != pid) return 2;
    FILE* out = std::fopen(argv[1], "w");
    if (!out) return 2;
    std::fprintf(out, "%d %ld\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1, ru.ru_maxrss);
    std::fclose(out);
    return 0;
}
