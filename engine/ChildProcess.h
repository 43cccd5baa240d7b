#pragma once

#include <QStringList>

#include <sys/types.h>

// One child program in a process group of its own, which never outlives Quenlet.
//
// The program (the group's leader) is started with fork and exec from the calling thread, which
// must be the main thread: the parent-death signal set in the child (SIGKILL) fires when the
// thread that forked it ends. That signal covers the leader only, so a wrapper script's own
// children would run on as orphans; a guard covers them. The guard is a shell started as a
// second child, inside the leader's group, reading a pipe whose only writer is Quenlet: when
// Quenlet ends in any way (killed included) the kernel closes the writer, the read ends, and
// the guard kills its whole group, itself included. The guard ignores termination signals, so
// a termination signal to the group reaches the program and its children only. Being a member,
// the guard also keeps the group's id taken for as long as the group may hold anything.
//
// The leader is reaped only by Reap, so until then its id, and the group's, cannot be given to
// any other process: signals to the group never reach a stranger.
class ChildProcess {
public:
    // How the program ended, once reaped.
    struct Ending {
        enum class Kind { None, Exited, Signalled };
        Kind kind = Kind::None; // None: nothing was started or reaped
        int value = 0;          // the exit status, or the number of the signal that ended it
        bool ExitedWithZero() const { return kind == Kind::Exited && value == 0; }
    };

    ChildProcess() = default;
    // Kills and reaps what is still running (see Reap).
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts arguments[0] with the rest as its arguments: looked up on PATH unless it holds a
    // slash, with `output` as its standard output and error, /dev/null as its standard input,
    // the parent's environment and folder, default signal handling and no other descriptor of
    // ours. Returns false, with nothing left behind, when there is no argument, a child is
    // already running, or the program cannot be executed (missing, not executable).
    bool Start(const QStringList& arguments, int output);

    // The program's process id (also its group's id); 0 when none is running or unreaped.
    pid_t Id() const { return id_; }
    bool Running() const { return id_ > 0; }

    // Sends the signal to every process of the group; the guard ignores all but SIGKILL.
    void SignalGroup(int signal);
    // Whether the program has exited; it stays unreaped, so its id keeps naming the group.
    bool LeaderExited();
    // Kills whatever is left of the group (the guard included), reaps the program and the
    // guard, and says how the program ended. It blocks only as long as the killed processes
    // take to go. Returns Kind::None when nothing is running.
    Ending Reap();

private:
    void StartGuard(int lifelineReadEnd);

    pid_t id_ = 0;
    pid_t guardId_ = 0;
    int lifeline_ = -1; // the writer of the guard's pipe; only Quenlet holds it
    bool leaderExited_ = false;
};
