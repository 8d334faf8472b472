/* Runs a command as a whole process and reports what it cost, on standard error:
 *   measure: WALL_SECONDS CPU_SECONDS PEAK_KB
 * CPU is user plus system time of the process (what a quiet machine would show as its elapsed
 * time for a single-threaded program); PEAK_KB is its largest resident set.
 *   measure COMMAND [ARG...] */
#include <stdio.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double Seconds(struct timeval t) { return (double)t.tv_sec + (double)t.tv_usec / 1e6; }

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s COMMAND [ARG...]\n", argv[0]);
        return 2;
    }
    struct timespec start, end;
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t pid = fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        execvp(argv[1], argv + 1);
        perror(argv[1]);
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    if (wait4(pid, &status, 0, &usage) != pid) return 2;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const double wall = (double)(end.tv_sec - start.tv_sec) + (double)(end.tv_nsec - start.tv_nsec) / 1e9;
    fprintf(stderr, "measure: %.6f %.6f %ld\n", wall, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
            usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
