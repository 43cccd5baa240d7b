#include "engine/DOSOutputs.h"

#include "engine/CommandLine.h"
#include "engine/Platform.h"

#include <QAbstractEventDispatcher>
#include <QDeadlineTimer>
#include <QPointer>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr qsizetype PieceBytes = 512;
constexpr int EventRoundsPerPiece = 6;
// The longest single wait of a run before the user interface gets its turn again.
constexpr int WaitSliceMs = 10;
// How long a stopped child's group has to end after the termination signal before it is killed.
// Reading stops while this much is waiting to be handed out (the child then waits on the pipe).
constexpr qsizetype MaxPendingBytes = 16 * 1024 * 1024;
// Handed-out bytes are dropped from the buffer's front once there are this many.
constexpr qsizetype CompactBytes = 64 * 1024;
constexpr size_t ReadChunkBytes = 64 * 1024;

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

} // namespace

DOSOutputs::DOSOutputs(QObject* parent) : QObject(parent) {}

DOSOutputs::~DOSOutputs() {
    Release();
}

QString DOSOutputs::ExecuteCommand(const QString& DOSCommand) {
    if (busy_) {
        return {}; // one run at a time: a handler of this run must not start another
    }
    if (!DOSCommand.isEmpty()) {
        commandLine_ = DOSCommand;
    }
    const QPointer<DOSOutputs> self(this);
    busy_ = true;
    lastEnding_ = {};
    const auto idle = qScopeGuard([&] {
        if (self) {
            busy_ = false;
            stopConvert_ = false;
        }
    });
    if (stopConvert_) {
        // Stopped before it began: nothing is started.
        outputs_.clear();
        QString cancelled = QStringLiteral("Cancelled");
        emit ReceiveOutputs(cancelled);
        return {};
    }
    if (commandLine_.isEmpty()) {
        Platform::ShowMessage(QStringLiteral("Command Line is empty"),
                              Platform::MessageIcon::Error);
        return {};
    }
    if (!StartRun()) {
        return {};
    }
    outputs_.clear();
    try {
        return ReadUntilEnd();
    } catch (...) {
        if (self) {
            Release(); // a handler failed: the run still leaves no child and no descriptor behind
        }
        throw;
    }
}

bool DOSOutputs::StartRun() {
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        const int error = errno;
        Platform::ShowMessage(QStringLiteral("CreatePipe failed. Error: ") + QString::number(error),
                              Platform::MessageIcon::Error);
        return false;
    }
    if (!child_.Start(::CommandLine::SplitCommandLine(commandLine_), ends[1])) {
        CloseDescriptor(ends[0]);
        CloseDescriptor(ends[1]);
        Platform::ShowMessage(QStringLiteral("File or command not found"),
                              Platform::MessageIcon::Error);
        return false;
    }
    // From now on only the child holds the write end, so the read end reports the end of the
    // stream once the child (and whatever inherited the end from it) has closed it. Reads never
    // wait: what is there is taken, and the waiting happens in bounded polls.
    CloseDescriptor(ends[1]);
    readEnd_ = ends[0];
    ::fcntl(readEnd_, F_SETFL, ::fcntl(readEnd_, F_GETFL) | O_NONBLOCK);
    pending_.clear();
    pendingStart_ = 0;
    endOfOutput_ = false;
    if (QAbstractEventDispatcher::instance(QThread::currentThread()) != nullptr) {
        notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { DrainOutput(); });
    }
    return true;
}

QString DOSOutputs::ReadUntilEnd() {
    const QPointer<DOSOutputs> self(this);
    PieceDecoder decoder;
    for (;;) {
        while (child_.Running() && PendingSize() == 0 && !endOfOutput_ && !stopConvert_) {
            if (!WaitRound()) {
                return {};
            }
        }
        if (stopConvert_) {
            return StopRun();
        }
        if (!child_.Running()) {
            return outputs_; // a handler has ended the run
        }

        bool lastPiece = false;
        QString piece;
        if (PendingSize() > 0) {
            piece = decoder.decode(TakePiece());
        } else if (decoder.HoldsPartialCharacter()) {
            // The stream ended inside a character: deliver it as a replacement character of its
            // own, and let the next piece report the end.
            piece = QString(QChar::ReplacementCharacter);
            decoder.resetState();
        } else {
            lastPiece = true;
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
            return StopRun();
        }
        if (!child_.Running()) {
            return outputs_;
        }
        if (lastPiece) {
            if (!WaitForChildExit()) {
                return {};
            }
            if (stopConvert_) {
                return StopRun();
            }
            Release();
            return outputs_;
        }
    }
}

QString DOSOutputs::StopRun() {
    const QPointer<DOSOutputs> self(this);
    TerminateChild();
    if (!self) {
        return {};
    }
    QString cancelled = QStringLiteral("Cancelled");
    emit ReceiveOutputs(cancelled);
    return {};
}

void DOSOutputs::CleanUp() {
    TerminateChild();
}

// One bounded wait for output (or only for time to pass, when no output can come), then one
// round of event processing. False when this object was destroyed meanwhile.
bool DOSOutputs::WaitRound() {
    const QPointer<DOSOutputs> self(this);
    if (readEnd_ >= 0 && !endOfOutput_ && PendingSize() < MaxPendingBytes) {
        pollfd watched{readEnd_, POLLIN, 0};
        if (::poll(&watched, 1, WaitSliceMs) > 0) {
            DrainOutput();
        }
    } else {
        ::poll(nullptr, 0, WaitSliceMs);
    }
    Platform::ProcessEventsWhileWaiting();
    return !self.isNull();
}

// After the end of the output: waits until the child has exited, a stop is asked for, or a
// handler has ended the run. False when this object was destroyed meanwhile.
bool DOSOutputs::WaitForChildExit() {
    while (child_.Running() && !child_.LeaderExited() && !stopConvert_) {
        if (!WaitRound()) {
            return false;
        }
    }
    return true;
}

// The termination signal to the group, up to 3 s for the child to exit and its output to end
// (both mean the group is done: the processes that wrote to us are gone), then Release kills
// whatever is left. Events are processed meanwhile; calls nested in them do nothing.
void DOSOutputs::TerminateChild() {
    if (!child_.Running() || ending_) {
        return;
    }
    const QPointer<DOSOutputs> self(this);
    ending_ = true;
    // What has not been handed out is never delivered now; dropping it keeps the pipe read to
    // its end however much was waiting.
    pending_.clear();
    pendingStart_ = 0;
    UpdateNotifier();
    child_.SignalGroup(SIGTERM);
    const QDeadlineTimer deadline(stopGraceMs_);
    while (child_.Running() && !(child_.LeaderExited() && endOfOutput_) && !deadline.hasExpired()) {
        if (!WaitRound()) {
            return; // destroyed: the destructor has killed and reaped the child
        }
    }
    Release();
}

// Kills whatever the run still holds, reaps it and closes the pipe, at once.
void DOSOutputs::Release() {
    notifier_.reset();
    if (child_.Running()) {
        lastEnding_ = child_.Reap();
    }
    CloseDescriptor(std::exchange(readEnd_, -1));
    pending_.clear();
    pendingStart_ = 0;
    endOfOutput_ = false;
    ending_ = false;
}

// Moves everything the pipe holds into the buffer, without waiting.
void DOSOutputs::DrainOutput() {
    if (readEnd_ < 0 || endOfOutput_) {
        return;
    }
    char chunk[ReadChunkBytes];
    while (PendingSize() < MaxPendingBytes) {
        const ssize_t count = ::read(readEnd_, chunk, sizeof chunk);
        if (count > 0) {
            pending_.append(chunk, count);
        } else if (count < 0 && errno == EINTR) {
            continue;
        } else {
            // Nothing more for now, or the end: every writer has closed the pipe (a read error
            // ends the stream as well).
            endOfOutput_ = count == 0 || errno != EAGAIN;
            break;
        }
    }
    UpdateNotifier();
}

QByteArray DOSOutputs::TakePiece() {
    const qsizetype size = std::min(PendingSize(), PieceBytes);
    QByteArray piece = pending_.sliced(pendingStart_, size);
    pendingStart_ += size;
    if (pendingStart_ == pending_.size()) {
        pending_.resize(0);
        pendingStart_ = 0;
    } else if (pendingStart_ >= CompactBytes) {
        pending_.remove(0, pendingStart_);
        pendingStart_ = 0;
    }
    UpdateNotifier();
    return piece;
}

void DOSOutputs::UpdateNotifier() {
    if (notifier_) {
        notifier_->setEnabled(!endOfOutput_ && PendingSize() < MaxPendingBytes);
    }
}
