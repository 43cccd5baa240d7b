#include "engine/DOSOutputs.h"

#include "engine/CommandLine.h"
#include "engine/Platform.h"

#include <QByteArray>
#include <QPointer>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

constexpr int PieceBytes = 512;
constexpr int EventRoundsPerPiece = 6;

// The locale's decoder, which also tells whether it still holds the first bytes of a character
// whose remaining bytes have not arrived yet.
class PieceDecoder : public QStringDecoder {
public:
    PieceDecoder() : QStringDecoder(QStringConverter::System) {}
    bool HoldsPartialCharacter() const { return state.remainingChars > 0; }
};

void CloseDescriptor(int fd) {
    if (fd >= 0) {
        ::close(fd); // not retried on EINTR: on Linux the descriptor is released regardless
    }
}

// Resets the child's signal handling to the defaults and unblocks everything, whatever the
// parent ignores or blocks (a parent that ignores SIGPIPE would otherwise pass that on).
bool PrepareAttributes(posix_spawnattr_t* attributes) {
    if (posix_spawnattr_init(attributes) != 0) {
        return false;
    }
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) {
        sigaddset(&defaults, signal);
    }
    posix_spawnattr_setsigmask(attributes, &none);
    posix_spawnattr_setsigdefault(attributes, &defaults);
    posix_spawnattr_setflags(attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    return true;
}

} // namespace

DOSOutputs::DOSOutputs(QObject* parent) : QObject(parent) {}

DOSOutputs::~DOSOutputs() {
    CleanUp();
}

QString DOSOutputs::ExecuteCommand(const QString& DOSCommand) {
    if (readEnd_ >= 0) {
        return {}; // one run at a time: a handler of this run must not start another
    }
    stopConvert_ = false;
    if (!DOSCommand.isEmpty()) {
        commandLine_ = DOSCommand;
    }
    if (commandLine_.isEmpty()) {
        Platform::ShowMessage(QStringLiteral("Command Line is empty"),
                              Platform::MessageIcon::Error);
        return {};
    }

    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        const int error = errno;
        Platform::ShowMessage(QStringLiteral("CreatePipe failed. Error: ") + QString::number(error),
                              Platform::MessageIcon::Error);
        return {};
    }
    readEnd_ = ends[0];
    if (!StartChild(ends[1])) {
        CloseDescriptor(ends[1]);
        CloseDescriptor(readEnd_);
        readEnd_ = -1;
        Platform::ShowMessage(QStringLiteral("File or command not found"),
                              Platform::MessageIcon::Error);
        return {};
    }
    // From now on only the child holds the write end, so the read end reports the end of the
    // stream once the child (and whatever inherited the end from it) has closed it.
    CloseDescriptor(ends[1]);
    outputs_.clear();

    const QPointer<DOSOutputs> self(this);
    try {
        return ReadUntilEnd();
    } catch (...) {
        if (self) {
            CleanUp(); // a handler failed: the run still leaves no child and no descriptor behind
        }
        throw;
    }
}

bool DOSOutputs::StartChild(int writeEnd) {
    const QStringList arguments = ::CommandLine::SplitCommandLine(commandLine_);
    if (arguments.isEmpty()) {
        return false;
    }
    QStringEncoder encoder(QStringConverter::System);
    std::vector<QByteArray> storage;
    storage.reserve(static_cast<size_t>(arguments.size()));
    for (const QString& argument : arguments) {
        storage.push_back(encoder.encode(argument));
    }
    std::vector<char*> argv;
    argv.reserve(storage.size() + 1);
    for (QByteArray& argument : storage) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return false;
    }
    // The write end first becomes standard output and error, and only then does /dev/null become
    // standard input, so a write end that happens to be descriptor 0 is not lost. dup2 clears
    // close-on-exec on the copies; every other descriptor of ours closes at exec.
    posix_spawn_file_actions_adddup2(&actions, writeEnd, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, writeEnd, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    posix_spawnattr_t attributes;
    const bool haveAttributes = PrepareAttributes(&attributes);

    pid_t pid = 0;
    // glibc reports a program that cannot be executed (missing, not executable) as the result of
    // posix_spawnp itself. Without a slash in the program name, PATH is searched.
    const int result = posix_spawnp(&pid, argv[0], &actions, haveAttributes ? &attributes : nullptr,
                                    argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (haveAttributes) {
        posix_spawnattr_destroy(&attributes);
    }
    if (result != 0) {
        return false;
    }
    processId_ = pid;
    return true;
}

QString DOSOutputs::ReadUntilEnd() {
    const QPointer<DOSOutputs> self(this);
    PieceDecoder decoder;
    char buffer[PieceBytes];
    for (;;) {
        ssize_t count = 0;
        do {
            count = ::read(readEnd_, buffer, sizeof buffer);
        } while (count < 0 && errno == EINTR);

        bool readSucceeded = count > 0;
        QString piece;
        if (readSucceeded) {
            piece = decoder.decode(QByteArrayView(buffer, count));
        } else if (decoder.HoldsPartialCharacter()) {
            // The stream ended inside a character: deliver it as a replacement character of its
            // own, and let the next read report the end.
            piece = QString(QChar::ReplacementCharacter);
            decoder.resetState();
            readSucceeded = true;
        }
        outputs_.append(piece);

        for (int round = 0; round < EventRoundsPerPiece && self; ++round) {
            Platform::ProcessEvents();
        }
        if (!self) {
            return {};
        }
        emit ReceiveOutputs(piece);
        if (!self) {
            return {};
        }

        if (stopConvert_) {
            CleanUp();
            QString cancelled = QStringLiteral("Cancelled");
            emit ReceiveOutputs(cancelled);
            return {};
        }
        if (!readSucceeded || readEnd_ < 0) {
            CleanUp();
            return outputs_;
        }
    }
}

void DOSOutputs::CleanUp() {
    if (readEnd_ < 0) {
        return;
    }
    // The object is idle before anything else happens, so a nested call does nothing.
    const int readEnd = std::exchange(readEnd_, -1);
    const pid_t pid = std::exchange(processId_, 0);
    if (pid > 0) {
        // The child is ours and not yet reaped, so the id cannot belong to anybody else. On a
        // normal end it has already exited and the signal changes nothing.
        ::kill(pid, SIGKILL);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseDescriptor(readEnd);
}
