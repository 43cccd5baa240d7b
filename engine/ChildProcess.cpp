#include "engine/ChildProcess.h"

#include <QByteArray>
#include <QStringEncoder>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

// The signals whose handling the children get back at their defaults whatever Quenlet does
// with them (a parent that ignores SIGPIPE would otherwise pass that on).
constexpr std::array<int, 6> DefaultSignals{SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD};

// The guard's whole work: wait for the end of its standard input (nothing ever writes a line),
// then kill its process group. Termination signals are ignored; they are meant for the program.
constexpr const char* GuardScript = "trap '' TERM INT HUP QUIT\nread -r line || kill -s KILL 0\n";

void CloseDescriptor(int fd) {
    if (fd >= 0) {
        ::close(fd); // not retried on EINTR: on Linux the descriptor is released regardless
    }
}

// The paths to try for a program, in order, as execvp would try them: the name itself when it
// holds a slash, else each folder of PATH (an empty entry is the current folder).
std::vector<QByteArray> ProgramPaths(const QByteArray& name) {
    if (name.contains('/')) {
        return {name};
    }
    const char* path = std::getenv("PATH");
    const QByteArray folders = path != nullptr ? QByteArray(path) : QByteArray("/bin:/usr/bin");
    std::vector<QByteArray> paths;
    for (const QByteArray& folder : folders.split(':')) {
        paths.push_back(folder.isEmpty() ? name : folder + '/' + name);
    }
    return paths;
}

// Everything the child needs, made before the fork.
struct ChildPlan {
    pid_t parent = 0;
    int output = -1;
    int input = -1;  // /dev/null
    int report = -1; // where an exec failure is written; closes by itself when exec succeeds
    char* const* argv = nullptr;
    const char* const* paths = nullptr;
    char* const* environment = nullptr;
};

// Runs in the child between fork and exec. Quenlet has other threads, so only async-signal-safe
// calls are allowed here: nothing is allocated, nothing locked.
[[noreturn]] void RunChild(const ChildPlan& plan) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != plan.parent) {
        ::_exit(127); // Quenlet ended before the signal was set
    }
    // Copies above the standard descriptors first, so that neither source is overwritten while
    // the standard ones are set (dup2 clears close-on-exec on its targets only).
    const int output = ::fcntl(plan.output, F_DUPFD_CLOEXEC, 3);
    const int input = ::fcntl(plan.input, F_DUPFD_CLOEXEC, 3);
    if (output < 0 || input < 0 || ::dup2(output, STDOUT_FILENO) < 0 ||
        ::dup2(output, STDERR_FILENO) < 0 || ::dup2(input, STDIN_FILENO) < 0) {
        const int error = errno;
        [[maybe_unused]] const ssize_t written = ::write(plan.report, &error, sizeof error);
        ::_exit(127);
    }
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    sigemptyset(&defaults.sa_mask);
    for (const int signal : DefaultSignals) {
        ::sigaction(signal, &defaults, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    int error = ENOENT;
    bool denied = false;
    for (const char* const* path = plan.paths; *path != nullptr; ++path) {
        ::execve(*path, plan.argv, plan.environment);
        error = errno;
        if (error == EACCES) {
            denied = true;
        } else if (error != ENOENT && error != ENOTDIR && error != ESTALE && error != ENODEV &&
                   error != ETIMEDOUT) {
            break;
        }
    }
    if (denied && (error == ENOENT || error == ENOTDIR)) {
        error = EACCES;
    }
    [[maybe_unused]] const ssize_t written = ::write(plan.report, &error, sizeof error);
    ::_exit(127);
}

// Reaps one child; false when it cannot be waited for.
bool WaitFor(pid_t pid, int* status) {
    pid_t result = 0;
    do {
        result = ::waitpid(pid, status, 0);
    } while (result < 0 && errno == EINTR);
    return result == pid;
}

} // namespace

ChildProcess::~ChildProcess() {
    Reap();
}

bool ChildProcess::Start(const QStringList& arguments, int output) {
    if (id_ > 0 || arguments.isEmpty()) {
        return false;
    }
    QStringEncoder encoder(QStringConverter::System);
    std::vector<QByteArray> argumentBytes;
    argumentBytes.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments) {
        argumentBytes.push_back(encoder.encode(argument));
    }
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    const std::vector<QByteArray> pathBytes = ProgramPaths(argumentBytes.front());
    std::vector<const char*> paths;
    for (const QByteArray& path : pathBytes) {
        paths.push_back(path.constData());
    }
    paths.push_back(nullptr);

    int report[2] = {-1, -1};
    int lifeline[2] = {-1, -1};
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (input < 0 || ::pipe2(report, O_CLOEXEC) != 0 || ::pipe2(lifeline, O_CLOEXEC) != 0) {
        for (const int fd : {input, report[0], report[1], lifeline[0], lifeline[1]}) {
            CloseDescriptor(fd);
        }
        return false;
    }
    ChildPlan plan;
    plan.parent = ::getpid();
    plan.output = output;
    plan.input = input;
    plan.report = report[1];
    plan.argv = argv.data();
    plan.paths = paths.data();
    plan.environment = environ;

    // No handler of ours may run in the child before exec: every signal is blocked across the
    // fork, and the child sets its own mask before it executes the program.
    sigset_t all;
    sigset_t previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    const pid_t pid = ::fork();
    if (pid == 0) {
        RunChild(plan);
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    CloseDescriptor(report[1]);
    CloseDescriptor(input);
    if (pid > 0) {
        // The child does the same; whichever comes first makes the group exist before the
        // guard joins it. A failure means the child has already done it, or has exec'd.
        ::setpgid(pid, pid);
    }

    // The report pipe stays empty and closes when exec succeeds.
    int error = 0;
    ssize_t got = -1;
    if (pid > 0) {
        do {
            got = ::read(report[0], &error, sizeof error);
        } while (got < 0 && errno == EINTR);
    }
    CloseDescriptor(report[0]);
    if (pid < 0 || got != 0) {
        if (pid > 0) {
            int status = 0;
            WaitFor(pid, &status);
        }
        CloseDescriptor(lifeline[0]);
        CloseDescriptor(lifeline[1]);
        return false;
    }
    id_ = pid;
    leaderExited_ = false;
    lifeline_ = lifeline[1];
    StartGuard(lifeline[0]);
    CloseDescriptor(lifeline[0]);
    return true;
}

void ChildProcess::StartGuard(int lifelineReadEnd) {
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return;
    }
    posix_spawn_file_actions_adddup2(&actions, lifelineReadEnd, STDIN_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);

    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return;
    }
    // Termination signals stay blocked from the start, before the script ignores them too.
    sigset_t blocked;
    sigemptyset(&blocked);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        sigaddset(&blocked, signal);
    }
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    posix_spawnattr_setsigmask(&attributes, &blocked);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, id_);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);

    char shell[] = "sh";
    char option[] = "-c";
    QByteArray script(GuardScript);
    char* argv[] = {shell, option, script.data(), nullptr};
    pid_t pid = 0;
    // Without a guard (no shell) the program still ends with Quenlet; a wrapper's children may
    // not.
    if (posix_spawn(&pid, "/bin/sh", &actions, &attributes, argv, environ) == 0) {
        guardId_ = pid;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
}

void ChildProcess::SignalGroup(int signal) {
    if (id_ > 0) {
        ::kill(-id_, signal);
    }
}

bool ChildProcess::LeaderExited() {
    if (id_ <= 0 || leaderExited_) {
        return true;
    }
    siginfo_t info{};
    int result = 0;
    do {
        result = ::waitid(P_PID, static_cast<id_t>(id_), &info, WEXITED | WNOHANG | WNOWAIT);
    } while (result < 0 && errno == EINTR);
    // A failure means there is nothing left to wait for.
    leaderExited_ = result < 0 || info.si_pid == id_;
    return leaderExited_;
}

ChildProcess::Ending ChildProcess::Reap() {
    Ending ending;
    if (id_ <= 0) {
        return ending;
    }
    const pid_t pid = std::exchange(id_, 0);
    ::kill(-pid, SIGKILL); // whatever is left: a wrapper's children, the guard
    int status = 0;
    if (WaitFor(pid, &status)) {
        if (WIFEXITED(status)) {
            ending = {Ending::Kind::Exited, WEXITSTATUS(status)};
        } else if (WIFSIGNALED(status)) {
            ending = {Ending::Kind::Signalled, WTERMSIG(status)};
        }
    }
    if (const pid_t guard = std::exchange(guardId_, 0); guard > 0) {
        ::kill(guard, SIGKILL); // unreaped, so still ours even if it never joined the group
        int guardStatus = 0;
        WaitFor(guard, &guardStatus);
    }
    CloseDescriptor(std::exchange(lifeline_, -1));
    leaderExited_ = false;
    return ending;
}
