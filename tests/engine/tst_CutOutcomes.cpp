// Cuts of the sources whose timing fools a naive output check, a recording whose only key frame
// is its first picture, a name taken while the cut runs, and an output folder that cannot be
// written: the good cut is kept under a free name, nothing broken takes a name, and the user is
// told what went wrong.
#include "engine/CVideoConv.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using TestSupport::MessageRecorder;

namespace {

// Only the cut and the input may be in the folder: no work folder, nothing else.
QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

} // namespace

class tst_CutOutcomes : public QObject {
    Q_OBJECT

    QTemporaryDir sources_;
    QString Source(const QString& name) const { return sources_.filePath(name); }

    // A source of `rate` pictures a second made with x264's defaults (B-frames), or, with
    // `variable`, one whose pictures come at uneven times as a phone writes them.
    bool MakeTimed(const QString& name, int rate, bool bFrames, bool variable) {
        QStringList arguments{"-f", "lavfi", "-i",
                              QStringLiteral("testsrc=size=322x182:rate=%1:duration=12").arg(rate)};
        arguments += {"-f", "lavfi", "-i", "sine=frequency=300:duration=12"};
        if (variable) {
            // Every second and third picture of 30 dropped in turn: gaps of 1, 2 and 3 frames.
            arguments += {"-vf", "select='not(eq(mod(n\\,7)\\,2))*not(eq(mod(n\\,5)\\,3))'",
                          "-fps_mode", "vfr"};
        }
        arguments += {"-c:v", "libx264", "-c:a", "aac"};
        if (!bFrames) {
            arguments += {"-bf", "0"};
        }
        arguments += {"-shortest", Source(name)};
        return TestSupport::RunFfmpeg(arguments);
    }

private slots:
    void initTestCase() {
        QVERIFY(sources_.isValid());
        QVERIFY(MakeTimed("1fps.mp4", 1, true, false));
        QVERIFY(MakeTimed("1fps-nob.mp4", 1, false, false));
        QVERIFY(MakeTimed("2fps.mkv", 2, true, false));
        QVERIFY(MakeTimed("vfr.mp4", 30, true, true));
        // A transport stream recording whose only key frame is its first picture, with time
        // that does not start at 0.
        QVERIFY(TestSupport::MakeClip(Source("onekey.ts"), 12, QStringLiteral("320x240"),
                                      {"-c:v", "libx264", "-g", "100000", "-sc_threshold", "0",
                                       "-c:a", "aac", "-output_ts_offset", "11.38"}));
        // A recording with a key frame every 2 s, as broadcasts and cameras write them.
        QVERIFY(TestSupport::MakeClip(
            Source("recording.ts"), 12, QStringLiteral("320x240"),
            {"-c:v", "libx264", "-g", "50", "-c:a", "aac", "-output_ts_offset", "11.38"}));
    }

    // A seek in a file without an index lands near the mark, often on a picture that needs
    // the ones before it: the cut still starts with the marked picture (a re-encode, here
    // without loss so that the picture compares) or the key frame before it (a copy).
    void aRecordingStartsAtTheMark_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("first"); // the source's picture the cut starts with
        QTest::newRow("re-encoded") << "-c:v libx264 -qp 0 -preset ultrafast -c:a aac" << 75;
        QTest::newRow("copied") << "-map 0:v:0 -map 0:a -c copy" << 50;
        // Lossy, in two passes: the first picture compares by its likeness (below).
        QTest::newRow("fitted to a size")
            << "-c:v libx264 -preset ultrafast -c:a aac -quenlet-target-size 2MB" << 75;
    }
    void aRecordingStartsAtTheMark() {
        QFETCH(QString, arguments);
        QFETCH(int, first);
        QTemporaryDir folder;
        MessageRecorder messages;
        CVideoConv converter;
        converter.SetInputFile(Source("recording.ts"));
        const QString cut = folder.filePath(QStringLiteral("cut.mkv"));
        converter.SetOutputFile(cut);
        converter.SetParametrs(arguments + QStringLiteral(" -ss 3 -t 5 -y"));
        converter.SetFileTimeLength(5);
        converter.StartConversion();
        QVERIFY(converter.Completed());
        const QList<TestSupport::DecodedFile> decoded =
            TestSupport::Decode({cut, Source("recording.ts")});
        const QStringList got = decoded.first().First(QStringLiteral("video")).hashes;
        const QStringList source = decoded.last().First(QStringLiteral("video")).hashes;
        QVERIFY(!got.isEmpty());
        if (!arguments.contains(QStringLiteral("-quenlet-target-size"))) {
            QCOMPARE(source.indexOf(got.first()), first);
            return;
        }
        // The first picture is far more like the source's picture `first` than the one a
        // second later.
        const auto likeness = [&](int picture) {
            QByteArray output;
            TestSupport::RunProgram(
                QStringLiteral("ffmpeg"),
                {QStringLiteral("-i"), Source("recording.ts"), QStringLiteral("-i"), cut,
                 QStringLiteral("-lavfi"),
                 QStringLiteral("[0:v]trim=start_frame=%1:end_frame=%2,setpts=PTS-STARTPTS[a];"
                                "[1:v]trim=end_frame=1,setpts=PTS-STARTPTS[b];[a][b]psnr")
                     .arg(picture)
                     .arg(picture + 1),
                 QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
                &output);
            return QRegularExpression(QStringLiteral("average:([0-9.]+)"))
                .match(QString::fromUtf8(output))
                .captured(1)
                .toDouble();
        };
        QVERIFY2(likeness(first) > likeness(first + 25) + 6,
                 qPrintable(QStringLiteral("%1 dB against %2 dB")
                                .arg(likeness(first))
                                .arg(likeness(first + 25))));
    }

    // Every cut holds the marked range and is kept: its length counts its last picture whole,
    // whatever the rate and however its pictures are spread.
    void goodCutsAreKept_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<int>("pictures"); // at least this many; -1: not counted
        const QString copy = QStringLiteral("-map 0:v:0? -map 0:a? -c copy");
        const QString encode = QStringLiteral("-c:v libx264 -preset ultrafast -c:a aac");
        QTest::newRow("1 fps, B-frames, copied") << "1fps.mp4"
                                                 << "mp4" << copy << 5;
        QTest::newRow("1 fps, B-frames, re-encoded") << "1fps.mp4"
                                                     << "mp4" << encode << 5;
        QTest::newRow("1 fps, re-encoded to mkv") << "1fps-nob.mp4"
                                                  << "mkv" << encode << 5;
        QTest::newRow("2 fps, copied") << "2fps.mkv"
                                       << "mkv" << copy << 10;
        QTest::newRow("2 fps, re-encoded") << "2fps.mkv"
                                           << "mp4" << encode << 10;
        QTest::newRow("variable rate, copied") << "vfr.mp4"
                                               << "mkv" << copy << -1;
        QTest::newRow("variable rate, re-encoded") << "vfr.mp4"
                                                   << "mp4" << encode << -1;
        // Seeking in the input finds no key frame near the mark: the cut is made again seeking
        // on the output side.
        QTest::newRow("one key frame, re-encoded")
            << "onekey.ts"
            << "mp4" << QStringLiteral("-c:v libx264 -preset ultrafast -an") << 125;
        QTest::newRow("one key frame, fitted to a size")
            << "onekey.ts"
            << "mp4"
            << QStringLiteral("-c:v libx264 -preset ultrafast -an -quenlet-target-size 2MB") << 125;
    }
    void goodCutsAreKept() {
        QFETCH(QString, source);
        QFETCH(QString, output);
        QFETCH(QString, arguments);
        QFETCH(int, pictures);
        QTemporaryDir folder;
        MessageRecorder messages;
        CVideoConv converter;
        converter.SetInputFile(Source(source));
        const QString cut = folder.filePath(QStringLiteral("cut.") + output);
        converter.SetOutputFile(cut);
        converter.SetParametrs(arguments + QStringLiteral(" -ss 3 -t 5 -y"));
        converter.SetFileTimeLength(5);
        converter.StartConversion();
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'\n')));
        QVERIFY(converter.Completed());
        QCOMPARE(Entries(folder.path()), QStringList{QStringLiteral("cut.") + output});
        const TestSupport::DecodedStream video =
            TestSupport::Decode({cut}).first().First(QStringLiteral("video"));
        if (pictures > 0) {
            QVERIFY2(video.hashes.size() >= pictures,
                     qPrintable(QString::number(video.hashes.size())));
        }
        QVERIFY2(video.Seconds() >= 4.5, qPrintable(QString::number(video.Seconds())));
    }

    // A name free when the cut began and taken when it ends is never overwritten: the cut gets
    // the next free name, and the converter says which. What a killed program left in the
    // folder goes with this cut; what a running one (this test) or anyone else has there stays.
    void aNameTakenMeanwhileIsKept() {
        QTemporaryDir folder;
        const QString input = folder.filePath(QStringLiteral("clip.mkv"));
        QVERIFY(QFile::copy(Source("2fps.mkv"), input));
        const QString stat = [] {
            QFile file(QStringLiteral("/proc/self/stat"));
            return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
        }();
        const QString started = stat.mid(stat.lastIndexOf(u')') + 2).split(u' ').value(19);
        const QString running = QStringLiteral(".quenlet-work-%1-%2-aaaaaa")
                                    .arg(QCoreApplication::applicationPid())
                                    .arg(started);
        for (const QString& name : {QStringLiteral(".quenlet-work-999999999-12-bbbbbb"), running,
                                    QStringLiteral(".quenlet-work-notours")}) {
            QVERIFY(QDir(folder.path()).mkpath(name + QStringLiteral("/inner")));
        }
        const QString planned = folder.filePath(QStringLiteral("clip.mp4"));
        MessageRecorder messages;
        CVideoConv converter;
        bool squatted = false;
        TestSupport::ProcessEventsHook hook([&] {
            if (!squatted && !TestSupport::Encoders().isEmpty()) {
                QFile other(planned);
                squatted = other.open(QIODevice::WriteOnly) && other.write("someone else's") > 0;
            }
        });
        converter.SetInputFile(input);
        converter.SetOutputFile(planned);
        converter.SetParametrs(QStringLiteral("-c:v libx264 -preset ultrafast -ss 1 -t 3 -y"));
        converter.SetFileTimeLength(3);
        converter.StartConversion();
        QVERIFY(squatted);
        QVERIFY(converter.Completed());
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(converter.OutputFile(), folder.filePath(QStringLiteral("clip_Converted.mp4")));
        QFile other(planned);
        QVERIFY(other.open(QIODevice::ReadOnly));
        QCOMPARE(other.readAll(), QByteArray("someone else's"));
        QVERIFY(TestSupport::Probe(converter.OutputFile()).duration > 2.5);
        QCOMPARE(Entries(folder.path()),
                 (QStringList{running, QStringLiteral(".quenlet-work-notours"),
                              QStringLiteral("clip.mkv"), QStringLiteral("clip.mp4"),
                              QStringLiteral("clip_Converted.mp4")}));
    }

    // A folder that cannot be written (read-only): the user learns it, and nothing is left.
    void anUnwritableFolderIsTold() {
        QTemporaryDir parent;
        const QString folder = parent.filePath(QStringLiteral("read-only"));
        QVERIFY(QDir().mkdir(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        bool immutable = false;
        QFile probe(folder + QStringLiteral("/probe"));
        if (probe.open(QIODevice::WriteOnly)) { // the super-user writes anywhere
            probe.close();
            probe.remove();
            immutable = QProcess::execute(QStringLiteral("chattr"), {"+i", folder}) == 0;
            if (!immutable) {
                QSKIP("No way to make a folder read-only here");
            }
        }
        MessageRecorder messages;
        CVideoConv converter;
        converter.SetInputFile(Source("2fps.mkv"));
        converter.SetOutputFile(folder + QStringLiteral("/cut.mp4"));
        converter.SetParametrs(QStringLiteral("-c copy -ss 1 -t 3 -y"));
        converter.SetFileTimeLength(3);
        converter.StartConversion();
        const QStringList left = Entries(folder);
        if (immutable) {
            QProcess::execute(QStringLiteral("chattr"), {"-i", folder});
        }
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
        QVERIFY(!converter.Completed());
        QCOMPARE(messages.texts().size(), 1);
        QVERIFY2(messages.texts().first().startsWith(
                     QStringLiteral("Error converting file: 2fps.mkv\r\nThe output folder ") +
                     folder + QStringLiteral(" cannot be written: ")),
                 qPrintable(messages.texts().first()));
        QVERIFY(left.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_CutOutcomes)
#include "tst_CutOutcomes.moc"
