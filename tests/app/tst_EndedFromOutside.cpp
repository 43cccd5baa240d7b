// The program ended from outside in the middle of a cut: asked to end (SIGTERM at a logout,
// SIGHUP when its terminal goes) it stops the cut, removes every piece, saves the settings and
// ends at once; killed (SIGKILL) it cannot, but nothing broken carries the output's name, and
// what it left goes at the next start.
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

bool Gone(pid_t pid) {
    return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class tst_EndedFromOutside : public QObject {
    Q_OBJECT

    QTemporaryDir sources_;
    QString clip_;

    static QProcessEnvironment Environment(const QString& store) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QUENLET_NO_POWEROFF"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QUENLET_STORE_DIR"), store);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }

private slots:
    void initTestCase() {
        QVERIFY(sources_.isValid());
        clip_ = sources_.filePath(QStringLiteral("film.mkv"));
        // Long enough that the first-start preset (H.264 720p) is still at it when the signal
        // comes.
        QVERIFY(TestSupport::MakeClip(clip_, 30, QStringLiteral("640x360"),
                                      {"-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac"}));
    }

    void endedMidCut_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGKILL") << int(SIGKILL);
    }
    void endedMidCut() {
        QFETCH(int, signalNumber);
        QTemporaryDir store;
        QTemporaryDir outputs;
        QProcess host;
        host.setProcessEnvironment(Environment(store.path()));
        host.start(QStringLiteral(QUENLET_TASK_HOST),
                   {clip_, outputs.path(), QStringLiteral("29")});
        QVERIFY(host.waitForStarted());
        QString said;
        QElapsedTimer waiting;
        waiting.start();
        while (!said.contains(QLatin1String("encoding ")) && waiting.elapsed() < 60000 &&
               host.state() == QProcess::Running) {
            host.waitForReadyRead(200);
            said += QString::fromUtf8(host.readAllStandardOutput());
        }
        const qsizetype at = said.indexOf(QLatin1String("encoding "));
        QVERIFY2(at >= 0, qPrintable(said));
        const pid_t encoder = said.mid(at + 9).section(u'\n', 0, 0).toInt();
        QVERIFY(encoder > 0);
        QTest::qWait(300); // the encoder has begun writing

        QElapsedTimer ending;
        ending.start();
        QVERIFY(::kill(static_cast<pid_t>(host.processId()), signalNumber) == 0);
        qint64 took = -1;
        while (host.state() == QProcess::Running && ending.elapsed() < 10000) {
            host.waitForReadyRead(50);
            said += QString::fromUtf8(host.readAllStandardOutput());
            if (took < 0 && said.contains(QLatin1String("\nended\n"))) {
                took = ending.elapsed();
            }
        }
        QVERIFY(host.state() == QProcess::NotRunning || host.waitForFinished(10000));
        said += QString::fromUtf8(host.readAllStandardOutput());
        for (int i = 0; i < 50 && !Gone(encoder); ++i) {
            QTest::qWait(100);
        }
        QVERIFY2(Gone(encoder), "the encoder outlived the program");
        QVERIFY2(!said.contains(QLatin1String("message:")), qPrintable(said));
        QVERIFY(!QFileInfo::exists(outputs.filePath(QStringLiteral("film.mp4"))));

        if (signalNumber != SIGKILL) {
            QVERIFY2(took >= 0 && took < 2000, qPrintable(QString::number(took)));
            QCOMPARE(host.exitStatus(), QProcess::NormalExit);
            QCOMPARE(Entries(outputs.path()), QStringList{});
            QVERIFY(QFileInfo::exists(store.filePath(QStringLiteral("HKEY_LOCAL_MACHINE.ini"))));
            return;
        }
        // Killed: the work folder stays, hidden, until the next start removes it.
        const QStringList left = Entries(outputs.path());
        QCOMPARE(left.size(), 1);
        QVERIFY(left.first().startsWith(QLatin1String(".quenlet-work-")));
        QProcess next;
        next.setProcessEnvironment(Environment(store.path()));
        next.start(QStringLiteral(QUENLET_TASK_HOST), QStringList{});
        QVERIFY(next.waitForFinished(30000));
        QCOMPARE(Entries(outputs.path()), QStringList{});
    }
};

QTEST_GUILESS_MAIN(tst_EndedFromOutside)
#include "tst_EndedFromOutside.moc"
