// A cut that must fit in a size is one task of two encoder passes: a cut that cannot fit is
// refused before anything is encoded, the progress runs from 0 to 100 % once, and Stop in either
// pass leaves nothing anywhere.
#include "engine/CVideoConv.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using TestSupport::MessageRecorder;

namespace {

const QString H264 =
    QStringLiteral("-c:v libx264 -preset medium -pix_fmt yuv420p -c:a aac -movflags +faststart");

QString CutText(const QString& format, const QString& size, double length) {
    return QStringLiteral("%1 -quenlet-target-size %2 -ss 2 -t %3 -y")
        .arg(format, size)
        .arg(length);
}

// Every file and folder below `folder`, hidden ones too.
QStringList Everything(const QString& folder) {
    QStringList found;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        found << QDir(folder).relativeFilePath(it.next());
    }
    return found;
}

// The command line of a running encoder, one word each.
QStringList CommandOf(pid_t pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return QString::fromLocal8Bit(file.readAll()).split(QChar(0));
}

} // namespace

class tst_FitToSizeTask : public QObject {
    Q_OBJECT

    QTemporaryDir sources_;
    // 10 min 5 s of a small moving picture under noise, 3 pictures a second, with AAC sound.
    QString source_;

private slots:
    void initTestCase() {
        QVERIFY(sources_.isValid());
        source_ = sources_.filePath(QStringLiteral("motion.mp4"));
        QString errors;
        QVERIFY2(TestSupport::RunFfmpeg(
                     {"-f", "lavfi", "-i",
                      "testsrc2=size=256x144:rate=3:duration=605,noise=alls=20:allf=t", "-f",
                      "lavfi", "-i", "sine=frequency=440:duration=605", "-c:v", "libx264",
                      "-preset", "veryfast", "-c:a", "aac", "-shortest", source_},
                     &errors),
                 qPrintable(errors));
    }

    // A cut of an hour cannot fit in 10 MB at a watchable quality: the task says so before
    // anything is encoded, and writes nothing.
    void aCutThatCannotFitIsRefused() {
        QTemporaryDir folder;
        MessageRecorder messages;
        CVideoConv converter;
        converter.SetInputFile(source_);
        const QString output = folder.filePath(QStringLiteral("hour.mp4"));
        converter.SetOutputFile(output);
        converter.SetParametrs(CutText(H264, QStringLiteral("10MB"), 3600));
        converter.SetFileTimeLength(3600);
        int encoderRuns = 0;
        TestSupport::ProcessEventsHook hook([&] {
            for (const pid_t pid : TestSupport::Encoders()) {
                encoderRuns += CommandOf(pid).first().endsWith(QStringLiteral("ffmpeg")) ? 1 : 0;
            }
        });
        converter.StartConversion();
        QVERIFY(!converter.Completed());
        QCOMPARE(encoderRuns, 0);
        QCOMPARE(messages.texts().size(), 1);
        const QString text = messages.texts().first();
        QVERIFY2(text.contains(QStringLiteral(
                     "A cut of 60 min cannot fit in 10 MB at a watchable quality: it needs at "
                     "least ")),
                 qPrintable(text));
        QVERIFY2(
            text.endsWith(QStringLiteral(" MB. Mark a shorter range or choose a larger size.")),
            qPrintable(text));
        QCOMPARE(Everything(folder.path()), QStringList{});
    }

    void runsAsOneTask_data() {
        QTest::addColumn<int>("stopInPass");
        QTest::newRow("to its end") << 0;
        QTest::newRow("stopped in the first pass") << 1;
        QTest::newRow("stopped in the second pass") << 2;
    }

    // The two passes are one task: its progress rises from 0 to 100 % once; Stop in either pass
    // ends it as a stop (no message) and leaves nothing anywhere: no output, no work folder, no
    // pass log, in the output folder or where the program runs.
    void runsAsOneTask() {
        QFETCH(int, stopInPass);
        QTemporaryDir folder;
        const QStringList here = Everything(QDir::currentPath());
        MessageRecorder messages;
        CVideoConv converter;
        QList<qint16> progress;
        connect(&converter, &CVideoConv::Progress, &converter,
                [&progress](qint16& value) { progress.append(value); });
        const QString output = folder.filePath(QStringLiteral("cut.mp4"));
        converter.SetInputFile(source_);
        converter.SetOutputFile(output);
        // A long cut for the stops, which end it early; a shorter one runs to its end.
        const double length = stopInPass == 0 ? 60 : 600;
        converter.SetParametrs(CutText(
            H264, stopInPass == 0 ? QStringLiteral("2MB") : QStringLiteral("10MB"), length));
        converter.SetFileTimeLength(static_cast<float>(length));
        bool stopped = false;
        const QString pass = QString::number(stopInPass);
        TestSupport::ProcessEventsHook hook([&] {
            if (stopped || stopInPass == 0) {
                return;
            }
            for (const pid_t pid : TestSupport::Encoders()) {
                const QStringList command = CommandOf(pid);
                const qsizetype at = command.indexOf(QStringLiteral("-pass"));
                // Once the pass has begun writing: the first its log, the second the cut.
                const QStringList written = Everything(folder.path());
                const bool writing = stopInPass == 1
                                         ? !written.filter(QStringLiteral("/pass-0.log")).isEmpty()
                                         : !written.filter(QStringLiteral("/cut.mp4")).isEmpty();
                if (at >= 0 && command.value(at + 1) == pass && writing) {
                    stopped = true;
                    converter.StopConversion();
                }
            }
        });
        converter.StartConversion();
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'\n')));
        QVERIFY(std::is_sorted(progress.cbegin(), progress.cend()));
        if (stopInPass == 0) {
            QVERIFY(converter.Completed());
            // Both passes move the bar: the first up to 40 %, the second on to 100 %.
            QVERIFY(std::any_of(progress.cbegin(), progress.cend(),
                                [](qint16 value) { return value > 0 && value < 40; }));
            QVERIFY(std::any_of(progress.cbegin(), progress.cend(),
                                [](qint16 value) { return value > 40 && value < 100; }));
            QCOMPARE(progress.last(), 100);
            QCOMPARE(Everything(folder.path()), QStringList{QStringLiteral("cut.mp4")});
        } else {
            QVERIFY(stopped);
            QVERIFY(!converter.Completed());
            // The bar stopped inside the pass that was stopped.
            const qint16 reached = progress.isEmpty() ? 0 : progress.last();
            QVERIFY2(stopInPass == 1 ? reached < 40 : reached >= 40 && reached < 100,
                     qPrintable(QString::number(reached)));
            QCOMPARE(Everything(folder.path()), QStringList{});
        }
        QCOMPARE(Everything(QDir::currentPath()), here);
    }
};

QTEST_GUILESS_MAIN(tst_FitToSizeTask)
#include "tst_FitToSizeTask.moc"
