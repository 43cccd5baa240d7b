#include "engine/CommandLine.h"
#include "engine/DOSOutputs.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <sys/wait.h>

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

} // namespace

class tst_DOSOutputs : public QObject {
    Q_OBJECT

private slots:
    void init() { QVERIFY(NoChildLeft()); }

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
};

QTEST_GUILESS_MAIN(tst_DOSOutputs)
#include "tst_DOSOutputs.moc"
