#include "engine/CommandLine.h"
#include "engine/DOSOutputs.h"
#include "tests/support/TestSupport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using TestSupport::MessageRecorder;
using TestSupport::OpenDescriptorCount;
using TestSupport::ProcessEventsHook;

namespace {

QString Helper() {
    return QStringLiteral(QUENLET_CHILD_HELPER);
}

QString HelperCommand(const QString& mode, const QStringList& arguments = {}) {
    QString command = CommandLine::QuoteArgumentIfNeeded(Helper()) + QLatin1Char(' ') + mode;
    for (const QString& argument : arguments) {
        command += QLatin1Char(' ') + argument;
    }
    return command;
}

// A command line that makes the helper write exactly these bytes in one go.
QString BytesCommand(const QByteArray& bytes) {
    return HelperCommand(QStringLiteral("bytes"), {QString::fromLatin1(bytes.toHex())});
}

// Records every piece a runner delivers.
struct Pieces {
    explicit Pieces(DOSOutputs& runner) {
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner,
                         [this](QString& piece) { list.append(piece); });
    }
    QStringList list;
};

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) == -1 && errno == ESRCH &&
           !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// No child of this process exists any more, running or unreaped.
bool NoChildLeft() {
    int status = 0;
    return ::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD;
}

// The process's state letter from /proc, or 0 when there is no such process.
char ProcessState(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')'); // the name may hold blanks and parentheses
    return close > 0 && close + 2 < text.size() ? text.at(close + 2) : char(0);
}

// Running, as opposed to gone or ended and not yet reaped.
bool Running(pid_t pid) {
    const char state = ProcessState(pid);
    return state != 0 && state != 'Z' && state != 'X';
}

bool AnyRunning(const QList<pid_t>& pids) {
    return std::any_of(pids.cbegin(), pids.cend(), Running);
}

// The process ids the helper's "family" mode writes, once the file is there.
QList<pid_t> FamilyIds(const QString& path) {
    QList<pid_t> ids;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& id : file.readAll().trimmed().split(' ')) {
            ids.append(static_cast<pid_t>(id.toInt()));
        }
    }
    return ids;
}

// A wrapper script in place of the program: a shell that runs the helper as its own child.
QString MakeWrapper(const QTemporaryDir& folder) {
    const QString path = folder.filePath(QStringLiteral("wrapper"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write("#!/bin/sh\n\"" + Helper().toLocal8Bit() + "\" \"$@\"\n");
    file.close();
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}

// Counts the ticks of a 20 ms timer from construction on.
struct Ticker {
    Ticker() {
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { ++ticks; });
        timer.start(20);
        clock.start();
    }
    // Whether at least 80 % of the ticks due by now have arrived.
    bool KeptTicking() const { return ticks >= clock.elapsed() / 20 * 8 / 10; }
    QString Report() const {
        return QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(clock.elapsed());
    }
    QTimer timer;
    QElapsedTimer clock;
    qint64 ticks = 0;
};

} // namespace

class tst_DOSOutputs : public QObject {
    Q_OBJECT

private slots:
    // Processes orphaned by a runner's death come to this process, so that the tests can see
    // them end and reap them.
    void initTestCase() { QCOMPARE(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0); }
    void init() { QVERIFY(NoChildLeft()); }
    // Ends and reaps what a failed test left behind (the children of this process only).
    void cleanup() {
        QDeadlineTimer deadline(2000);
        int status = 0;
        while (::waitpid(-1, &status, WNOHANG) >= 0 && !deadline.hasExpired()) {
            QTest::qSleep(10);
        }
        for (const QString& entry :
             QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!stat.open(QIODevice::ReadOnly)) {
                continue;
            }
            const QByteArray text = stat.readAll();
            const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
            if (fields.size() > 1 && fields.at(1).toInt() == ::getpid()) {
                ::kill(static_cast<pid_t>(entry.toInt()), SIGKILL);
                ::waitpid(static_cast<pid_t>(entry.toInt()), &status, 0);
            }
        }
    }

    // Pieces are cut every 512 bytes, inside lines and inside characters; a character whose
    // bytes a boundary splits arrives whole at the start of the next piece.
    void piecesCrossBoundariesMidLineAndMidCharacter() {
        const QByteArray e = QStringLiteral("\u00e9").toUtf8();         // 2 bytes, at 511..512
        const QByteArray smile = QStringLiteral("\U0001F600").toUtf8(); // 4 bytes, at 1022..1025
        QByteArray bytes = QByteArray(511, 'a') + e + QByteArray(509, 'b') + smile;
        QCOMPARE(bytes.size(), 1026);
        bytes += "\nline end\n";
        MessageRecorder messages;
        DOSOutputs runner;
        Pieces pieces(runner);
        const QString result = runner.ExecuteCommand(BytesCommand(bytes));

        const QStringList expected{QString(511, QLatin1Char('a')),
                                   QStringLiteral("\u00e9") + QString(509, QLatin1Char('b')),
                                   QStringLiteral("\U0001F600\nline end\n"), QString()};
        QCOMPARE(pieces.list, expected);
        QCOMPARE(result, QString::fromUtf8(bytes));
        QCOMPARE(runner.Outputs(), result);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(runner.ProcessId(), pid_t(0));
    }

    // A stream that ends inside a character still delivers something for its bytes.
    void truncatedCharacterAtTheEndIsNotLost() {
        DOSOutputs runner;
        Pieces pieces(runner);
        const QString result = runner.ExecuteCommand(BytesCommand(QByteArray("abc\xe2\x82")));
        QCOMPARE(pieces.list, (QStringList{QStringLiteral("abc"), QStringLiteral("\ufffd"), {}}));
        QCOMPARE(result, QStringLiteral("abc\ufffd"));
    }

    void silentChildGivesOneEmptyEventAndEmptyResult() {
        DOSOutputs runner;
        Pieces pieces(runner);
        const QString result = runner.ExecuteCommand(HelperCommand(QStringLiteral("silent")));
        QCOMPARE(pieces.list, QStringList{QString()});
        QVERIFY(result.isEmpty());
        QVERIFY(runner.Outputs().isEmpty());
    }

    void childFindsNoStandardInput() {
        DOSOutputs runner;
        QCOMPARE(runner.ExecuteCommand(HelperCommand(QStringLiteral("stdin"))),
                 QStringLiteral("stdin bytes: 0\n"));
    }

    // Six rounds of event processing before every piece, the piece, and an empty last piece;
    // a stop delivers the current piece, then "Cancelled", and the result is empty.
    void eventOrderOfNormalAndStoppedRuns() {
        QStringList log;
        ProcessEventsHook hook([&log] { log.append(QStringLiteral("P")); });
        DOSOutputs runner;
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner,
                         [&log](QString& piece) { log.append(QStringLiteral("R:") + piece); });

        runner.ExecuteCommand(BytesCommand(QByteArray(600, 'x')));
        const QStringList six(6, QStringLiteral("P"));
        QStringList expected = six;
        expected << QStringLiteral("R:") + QString(512, QLatin1Char('x'));
        expected += six;
        expected << QStringLiteral("R:") + QString(88, QLatin1Char('x'));
        expected += six;
        expected << QStringLiteral("R:");
        QCOMPARE(log, expected);
        QCOMPARE(hook.calls, 18);

        log.clear();
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner,
                         [&runner](QString&) { runner.SetStopConvert(true); });
        const QString result = runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks")));
        QVERIFY(result.isEmpty());
        QCOMPARE(log.size(), 8);
        QCOMPARE(log.mid(0, 6), six);
        QVERIFY(log.at(6).startsWith(QStringLiteral("R:tick 0\n")));
        QCOMPARE(log.at(7), QStringLiteral("R:Cancelled"));
        QCOMPARE(runner.Outputs(), log.at(6).mid(2)); // what was read before the stop
    }

    // Stop pressed while events are processed: the child is killed and reaped, nothing is left.
    void stopDuringEventProcessingEndsAndReapsTheChild() {
        DOSOutputs runner;
        pid_t pid = 0;
        int rounds = 0;
        ProcessEventsHook hook([&] {
            pid = runner.ProcessId();
            if (++rounds == 20) { // during the fourth piece
                runner.SetStopConvert(true);
            }
        });
        Pieces pieces(runner);
        const int descriptors = OpenDescriptorCount();
        QVERIFY(runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks"))).isEmpty());
        QCOMPARE(pieces.list.size(), 5);
        QCOMPARE(pieces.list.last(), QStringLiteral("Cancelled"));
        QVERIFY(pieces.list.at(3).contains(QStringLiteral("tick")));
        QVERIFY(pid > 0);
        QVERIFY(ProcessGone(pid));
        QVERIFY(NoChildLeft());
        QCOMPARE(runner.ProcessId(), pid_t(0));
        QCOMPARE(OpenDescriptorCount(), descriptors);

        // The flag is cleared by the next run.
        rounds = 1000;
        QCOMPARE(runner.ExecuteCommand(HelperCommand(QStringLiteral("stdin"))),
                 QStringLiteral("stdin bytes: 0\n"));
    }

    void startFailuresAreReportedAndLeaveNothingOpen() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString notExecutable = folder.filePath(QStringLiteral("plain.txt"));
        {
            QFile file(notExecutable);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\necho hi\n");
        }
        const int descriptors = OpenDescriptorCount();
        MessageRecorder messages;
        DOSOutputs runner;
        Pieces pieces(runner);

        QVERIFY(runner.ExecuteCommand(QString()).isEmpty());
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("Command Line is empty")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);

        const QStringList failing{
            CommandLine::QuoteArgument(folder.filePath(QStringLiteral("missing"))),
            CommandLine::QuoteArgument(notExecutable), CommandLine::QuoteArgument(folder.path()),
            QStringLiteral("   "), QStringLiteral("no-such-program-on-path")};
        for (const QString& command : failing) {
            messages.clear();
            QVERIFY(runner.ExecuteCommand(command).isEmpty());
            QCOMPARE(messages.texts(), QStringList{QStringLiteral("File or command not found")});
            QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);
        }
        QVERIFY(pieces.list.isEmpty());
        QCOMPARE(OpenDescriptorCount(), descriptors);

        // An empty argument runs the stored command line; a bare name is looked up on PATH.
        messages.clear();
        runner.SetCommandLine(QStringLiteral("sh -c \"printf 'a b'\""));
        QCOMPARE(runner.ExecuteCommand(QString()), QStringLiteral("a b"));
        QCOMPARE(runner.CommandLine(), QStringLiteral("sh -c \"printf 'a b'\""));
        QVERIFY(messages.messages.isEmpty());
    }

    void noDescriptorOrChildOutlivesManyRuns() {
        const int descriptors = OpenDescriptorCount();
        MessageRecorder messages;
        DOSOutputs runner;
        for (int i = 0; i < 40; ++i) {
            runner.ExecuteCommand(BytesCommand(QByteArray(700, 'z')));
        }
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner,
                         [&runner](QString&) { runner.SetStopConvert(true); });
        for (int i = 0; i < 15; ++i) {
            QVERIFY(runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks"))).isEmpty());
            runner.ExecuteCommand(QStringLiteral("/nonexistent/program"));
        }
        QCOMPARE(OpenDescriptorCount(), descriptors);
        QVERIFY(NoChildLeft());
        QCOMPARE(messages.messages.size(), 15);
    }

    // Paths quoted for the command line reach the child byte for byte, the program's own
    // path included.
    void quotedArgumentsReachTheChildUnchanged() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString copy = folder.filePath(QStringLiteral("dir with \"blank\"/h\u00e9lper"));
        QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
        QVERIFY(QFile::copy(Helper(), copy));

        const QStringList nasty{QStringLiteral("plain"),
                                QStringLiteral("with blank"),
                                QStringLiteral("quote\"inside"),
                                QStringLiteral("trailing\\"),
                                QStringLiteral("C:\\dir with blank\\"),
                                QStringLiteral("back\\\\\"slashes\\\"quote"),
                                QStringLiteral("caf\u00e9 \u65e5\u672c"),
                                QString(),
                                QStringLiteral("\ttab")};
        QString command = CommandLine::QuoteArgumentIfNeeded(copy) + QStringLiteral(" args");
        QByteArray expected;
        for (const QString& argument : nasty) {
            command += QLatin1Char(' ') + CommandLine::QuoteArgument(argument);
            expected += argument.toUtf8().toHex() + '\n';
        }
        DOSOutputs runner;
        QCOMPARE(runner.ExecuteCommand(command), QString::fromLatin1(expected));
    }

    // Handlers may end the run, try to start another one, or even destroy the runner.
    void handlersThatReenterTheRunner() {
        {
            DOSOutputs runner;
            QString nested = QStringLiteral("not run");
            pid_t pid = 0;
            QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner, [&](QString& piece) {
                if (piece.startsWith(QStringLiteral("tick 0"))) {
                    pid = runner.ProcessId();
                    nested = runner.ExecuteCommand(HelperCommand(QStringLiteral("stdin")));
                    runner.CleanUp();
                    runner.CleanUp();
                }
            });
            const QString result = runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks")));
            QVERIFY(result.startsWith(QStringLiteral("tick 0\n")));
            QVERIFY(nested.isEmpty());
            QVERIFY(ProcessGone(pid));
        }
        {
            auto* runner = new DOSOutputs;
            pid_t pid = 0;
            QObject::connect(runner, &DOSOutputs::ReceiveOutputs, runner, [&](QString&) {
                pid = runner->ProcessId();
                delete runner;
            });
            QVERIFY(runner->ExecuteCommand(HelperCommand(QStringLiteral("ticks"))).isEmpty());
            QVERIFY(pid > 0);
            QVERIFY(ProcessGone(pid));
        }
        {
            const int descriptors = OpenDescriptorCount();
            DOSOutputs runner;
            QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner,
                             [](QString&) { throw std::runtime_error("handler failed"); });
            QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                                     runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks"))));
            QCOMPARE(runner.ProcessId(), pid_t(0));
            QCOMPARE(OpenDescriptorCount(), descriptors);
        }
        QVERIFY(NoChildLeft());
    }

    // A child that prints nothing for 3 s: the user interface keeps running all along.
    void silentChildLeavesEventsFlowing() {
        DOSOutputs runner;
        Pieces pieces(runner);
        Ticker ticker;
        QCOMPARE(runner.ExecuteCommand(HelperCommand(QStringLiteral("quiet"), {"3"})), QString());
        QVERIFY2(ticker.clock.elapsed() >= 2900, qPrintable(ticker.Report()));
        QVERIFY2(ticker.KeptTicking(), qPrintable(ticker.Report()));
        QCOMPARE(pieces.list, QStringList{QString()});
        QCOMPARE(runner.LastChildEnding().kind, ChildProcess::Ending::Kind::Exited);
        QVERIFY(runner.LastChildEnding().ExitedWithZero());
    }

    // A stop while a silent child (and a child of its own, or a wrapper script's child) waits is
    // acted on at once: the termination signal ends them all, and the run returns.
    void stopEndsASilentChildAndItsChildrenAtOnce_data() {
        QTest::addColumn<bool>("wrapped");
        QTest::newRow("program") << false;
        QTest::newRow("wrapper script") << true;
    }
    void stopEndsASilentChildAndItsChildrenAtOnce() {
        QFETCH(bool, wrapped);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString idFile = folder.filePath(QStringLiteral("ids"));
        const QStringList arguments{QStringLiteral("family"), CommandLine::QuoteArgument(idFile),
                                    QStringLiteral("30")};
        const QString command = wrapped ? CommandLine::QuoteArgument(MakeWrapper(folder)) +
                                              QLatin1Char(' ') + arguments.join(QLatin1Char(' '))
                                        : HelperCommand(arguments.first(), arguments.mid(1));
        const int descriptors = OpenDescriptorCount();
        DOSOutputs runner;
        Pieces pieces(runner);
        QElapsedTimer sinceStart;
        sinceStart.start();
        QElapsedTimer sinceStop;
        pid_t leader = 0;
        QTimer stop; // at 1 s, once the child has told its child's id
        QObject::connect(&stop, &QTimer::timeout, &runner, [&] {
            if (!sinceStop.isValid() && sinceStart.elapsed() >= 1000 && QFileInfo::exists(idFile)) {
                leader = runner.ProcessId();
                sinceStop.start();
                runner.SetStopConvert(true);
            }
        });
        stop.start(10);
        QVERIFY(runner.ExecuteCommand(command).isEmpty());
        QVERIFY2(sinceStop.elapsed() < 500, qPrintable(QString::number(sinceStop.elapsed())));
        QCOMPARE(pieces.list, QStringList{QStringLiteral("Cancelled")});

        // Processes that are not this one's children may take a moment more to go.
        const QList<pid_t> family = FamilyIds(idFile);
        QCOMPARE(family.size(), 2);
        while (AnyRunning(family) && sinceStop.elapsed() < 500) {
            QTest::qSleep(5);
        }
        QVERIFY2(!AnyRunning(family), qPrintable(QString::number(sinceStop.elapsed())));
        QVERIFY(leader > 0);
        QVERIFY(ProcessGone(leader));
        QCOMPARE(runner.ProcessId(), pid_t(0));
        QCOMPARE(runner.LastChildEnding().kind, ChildProcess::Ending::Kind::Signalled);
        QCOMPARE(runner.LastChildEnding().value, SIGTERM);
        QCOMPARE(OpenDescriptorCount(), descriptors);
    }

    // A child that ignores the termination signal is killed 3 s later; the user interface keeps
    // running meanwhile.
    void childIgnoringTerminationIsKilledAfterThreeSeconds() {
        DOSOutputs runner;
        Ticker ticker;
        QElapsedTimer sinceStop;
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner, [&](QString& piece) {
            if (!sinceStop.isValid() && piece.startsWith(QStringLiteral("ignoring"))) {
                sinceStop.start();
                runner.SetStopConvert(true);
            }
        });
        QVERIFY(runner.ExecuteCommand(HelperCommand(QStringLiteral("stubborn"), {"30"})).isEmpty());
        QVERIFY2(sinceStop.elapsed() >= 2900 && sinceStop.elapsed() < 4500,
                 qPrintable(QString::number(sinceStop.elapsed())));
        QVERIFY2(ticker.KeptTicking(), qPrintable(ticker.Report()));
        QCOMPARE(runner.LastChildEnding().kind, ChildProcess::Ending::Kind::Signalled);
        QCOMPARE(runner.LastChildEnding().value, SIGKILL);
    }

    // A modal loop (a message box's) opened during a run whose child writes far more than a
    // pipe holds: the output is still taken in, so the child writes on to its end, and every
    // byte is delivered, in order, once the loop is over.
    void outputIsTakenInWhileAModalLoopRuns() {
        constexpr int total = 1024 * 1024;
        DOSOutputs runner;
        bool looped = false;
        bool childFinishedDuringLoop = false;
        int piecesAfterLoop = 0;
        QObject::connect(&runner, &DOSOutputs::ReceiveOutputs, &runner, [&](QString&) {
            if (looped) {
                ++piecesAfterLoop;
                return;
            }
            looped = true;
            const pid_t child = runner.ProcessId();
            QEventLoop box;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, &box, [&] {
                if (ProcessState(child) == 'Z') { // written everything and ended, not reaped
                    childFinishedDuringLoop = true;
                    box.quit();
                }
            });
            watch.start(20);
            QTimer::singleShot(15000, &box, &QEventLoop::quit);
            box.exec();
        });
        const QString result =
            runner.ExecuteCommand(HelperCommand(QStringLiteral("flood"), {QString::number(total)}));
        QVERIFY(childFinishedDuringLoop);
        QCOMPARE(result.size(), total);
        QCOMPARE(result,
                 QString(QString(63, QLatin1Char('x')) + QLatin1Char('\n')).repeated(total / 64));
        QVERIFY(piecesAfterLoop >= total / 512); // still handed out 512 bytes at a time
        QVERIFY(runner.LastChildEnding().ExitedWithZero());
    }

    // When the program that runs the child is killed, the child ends within a second, and so
    // does a child of the child, also behind a wrapper script.
    void childrenEndWithTheirRunner_data() {
        QTest::addColumn<bool>("wrapped");
        QTest::newRow("program") << false;
        QTest::newRow("wrapper script") << true;
    }
    void childrenEndWithTheirRunner() {
        QFETCH(bool, wrapped);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString idFile = folder.filePath(QStringLiteral("ids"));
        const QString program = wrapped ? MakeWrapper(folder) : Helper();
        const QByteArray command =
            (CommandLine::QuoteArgument(program) + QStringLiteral(" family ") +
             CommandLine::QuoteArgument(idFile) + QStringLiteral(" 60"))
                .toLocal8Bit();
        QByteArray host(QUENLET_RUNNER_HOST);
        char* argv[] = {host.data(), const_cast<char*>(command.constData()), nullptr};
        pid_t hostId = 0;
        QCOMPARE(posix_spawn(&hostId, argv[0], nullptr, nullptr, argv, environ), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(idFile), 10000);
        const QList<pid_t> family = FamilyIds(idFile);
        QCOMPARE(family.size(), 2);
        QVERIFY(Running(hostId));

        ::kill(hostId, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(hostId, &status, 0), hostId);
        QElapsedTimer clock;
        clock.start();
        while (AnyRunning(family) && clock.elapsed() < 1000) {
            QTest::qSleep(10);
        }
        QVERIFY2(!AnyRunning(family), qPrintable(QString::number(clock.elapsed())));
    }

    // How the child ended is kept after the run; a stop asked for between runs stops the next
    // run before it starts anything.
    void childEndingAndStopBetweenRuns() {
        using Kind = ChildProcess::Ending::Kind;
        DOSOutputs runner;
        QCOMPARE(runner.LastChildEnding().kind, Kind::None);
        runner.ExecuteCommand(BytesCommand("ok"));
        QVERIFY(runner.LastChildEnding().ExitedWithZero());
        runner.ExecuteCommand(HelperCommand(QStringLiteral("no-such-mode")));
        QCOMPARE(runner.LastChildEnding().kind, Kind::Exited);
        QCOMPARE(runner.LastChildEnding().value, 2);
        {
            MessageRecorder messages;
            runner.ExecuteCommand(QStringLiteral("/nonexistent/program"));
            QCOMPARE(runner.LastChildEnding().kind, Kind::None);
        }

        Pieces pieces(runner);
        runner.ExecuteCommand(BytesCommand("ok"));
        pieces.list.clear();
        runner.SetStopConvert(true);
        QVERIFY(runner.ExecuteCommand(HelperCommand(QStringLiteral("ticks"))).isEmpty());
        QCOMPARE(pieces.list, QStringList{QStringLiteral("Cancelled")});
        QCOMPARE(runner.LastChildEnding().kind, Kind::None);
        QVERIFY(runner.Outputs().isEmpty());
        QVERIFY(NoChildLeft());
        pieces.list.clear();
        QCOMPARE(runner.ExecuteCommand(BytesCommand("again")), QStringLiteral("again"));
        QCOMPARE(pieces.list, (QStringList{QStringLiteral("again"), QString()}));
    }
};

QTEST_GUILESS_MAIN(tst_DOSOutputs)
#include "tst_DOSOutputs.moc"
