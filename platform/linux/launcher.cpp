#include "platform/launcher.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace platform {
namespace {

// Everything the child does runs between fork and exec in a possibly multi-threaded
// process, so it sticks to async-signal-safe calls.
[[noreturn]] void ExecGrandchild(const char* path, char* const argv[], int reportFd) {
    // Handlers do not survive exec, but ignored signals and the blocked mask would.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        sigaction(sig, &dfl, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // No descriptor of the installer (locks, sockets, files) leaks into the client.
    syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
    execve(path, argv, environ);
    const int error = errno;
    ssize_t ignored = write(reportFd, &error, sizeof error);
    (void)ignored;
    _exit(127);
}

}  // namespace

bool StartDetached(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    // The exec result comes back through a pipe that closes itself on a successful exec.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    char* const argv[] = {const_cast<char*>(path.c_str()), nullptr};
    const pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // The middle process makes a new session and exits, so the program is adopted by
        // init (or the nearest subreaper) and outlives the installer.
        close(report[0]);
        setsid();
        const pid_t grandchild = fork();
        if (grandchild == 0) {
            ExecGrandchild(argv[0], argv, report[1]);
        }
        if (grandchild < 0) {
            const int error = errno;
            ssize_t ignored = write(report[1], &error, sizeof error);
            (void)ignored;
        }
        _exit(0);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t n = 0;
    do {
        n = read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    close(report[0]);
    return n == 0;  // end of file: the exec succeeded and closed the pipe
}

}  // namespace platform
