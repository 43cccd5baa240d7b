// Exact copies of the files people have: the range's pictures, the same in number and time as
// a re-encoded cut gets, the source's own from the first key frame in the range on, the few
// others encoded again at a quality that cannot be told from the source, and every sound track
// in step from the first picture.
#include "engine/CVideoConv.h"
#include "engine/CutPoints.h"
#include "tests/support/PlanDriver.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

constexpr double Mark = 3.0;
constexpr double Length = 7.0;

QString ExactText(double start, double length) {
    return QStringLiteral("-c copy -quenlet-exact-copy -ss %1 -t %2 -y").arg(start).arg(length);
}

// The decoded pictures of a file, or of a source's range as a cut seeking in the input gets
// them (a file without an index is decoded from its start: a seek in it lands near the mark,
// not on the key frame before it): each picture's time (seconds from the first) and an MD5 of
// its data.
struct Pictures {
    QList<double> times;
    QStringList hashes;
};

Pictures Decoded(const QString& path, double start = -1, double length = 0) {
    const QStringList range{QStringLiteral("-ss"), QString::number(start), QStringLiteral("-t"),
                            QString::number(length)};
    const bool indexless = path.endsWith(QLatin1String(".ts"));
    QStringList arguments{QStringLiteral("-v"), QStringLiteral("error")};
    arguments << (start >= 0 && !indexless ? range : QStringList{})
              << QStringLiteral("-noautorotate") << QStringLiteral("-i") << path
              << (start >= 0 && indexless ? range : QStringList{});
    arguments << QStringLiteral("-map") << QStringLiteral("0:v:0") << QStringLiteral("-fps_mode")
              << QStringLiteral("passthrough") << QStringLiteral("-f") << QStringLiteral("framemd5")
              << QStringLiteral("-");
    QByteArray output;
    TestSupport::RunProgram(QStringLiteral("ffmpeg"), arguments, &output);
    Pictures pictures;
    double base = 0;
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith("#tb 0:")) {
            const QList<QByteArray> ratio = line.mid(6).trimmed().split('/');
            base = ratio.value(0).toDouble() / std::max(1.0, ratio.value(1).toDouble());
        } else if (!line.startsWith('#') && line.count(',') >= 5) {
            const QList<QByteArray> fields = line.split(',');
            pictures.times.append(fields.at(2).trimmed().toDouble() * base);
            pictures.hashes.append(QString::fromLatin1(fields.at(5).trimmed()));
        }
    }
    if (!pictures.times.isEmpty()) {
        const double first = pictures.times.first();
        for (double& time : pictures.times) {
            time -= first;
        }
    }
    return pictures;
}

// The MD5 of each video packet's coded pictures (its slices), in one byte form whatever the
// container: without the parameter sets, supplemental information and access unit delimiters
// that the containers place differently.
QSet<QString> PacketHashes(const QString& path, bool hevc) {
    QByteArray output;
    TestSupport::RunProgram(
        QStringLiteral("ffmpeg"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
         QStringLiteral("-map"), QStringLiteral("0:v:0"), QStringLiteral("-c"),
         QStringLiteral("copy"), QStringLiteral("-bsf:v"),
         hevc ? QStringLiteral("hevc_mp4toannexb,filter_units=remove_types=32-35|39|40")
              : QStringLiteral("h264_mp4toannexb,filter_units=remove_types=6-9"),
         QStringLiteral("-f"), QStringLiteral("framemd5"), QStringLiteral("-")},
        &output);
    QSet<QString> hashes;
    for (const QByteArray& line : output.split('\n')) {
        if (!line.startsWith('#') && line.count(',') >= 5) {
            // "stream, dts, pts, duration, size, hash" and perhaps the side data's sizes.
            hashes.insert(QString::fromLatin1(line.split(',').at(5).trimmed()));
        }
    }
    return hashes;
}

// The worst picture's PSNR (dB) of the cut against the source's range, picture by picture.
double WorstPsnr(const QString& source, const QString& cut, double start, double length) {
    QByteArray output;
    TestSupport::RunProgram(QStringLiteral("ffmpeg"),
                            {QStringLiteral("-noautorotate"), QStringLiteral("-i"), source,
                             QStringLiteral("-noautorotate"), QStringLiteral("-i"), cut,
                             QStringLiteral("-lavfi"),
                             QStringLiteral("[0:v]trim=start=%1:duration=%2,setpts=N/(25*TB)[a];"
                                            "[1:v]setpts=N/(25*TB)[b];[a][b]psnr")
                                 .arg(start)
                                 .arg(length),
                             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
                            &output);
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("PSNR .* min:([0-9.inf]+)"))
            .match(QString::fromUtf8(output));
    return match.captured(1) == QLatin1String("inf") ? 1000 : match.captured(1).toDouble();
}

QString Entry(const QString& path, const QString& entries) {
    QByteArray output;
    TestSupport::RunProgram(QStringLiteral("ffprobe"),
                            {QStringLiteral("-v"), QStringLiteral("error"),
                             QStringLiteral("-show_entries"), entries, QStringLiteral("-of"),
                             QStringLiteral("csv=p=0"), path},
                            &output);
    return QString::fromUtf8(output).trimmed();
}

} // namespace

class tst_ExactCopy : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString Path(const QString& name) const { return folder_.filePath(name); }

    // 12 s of moving pictures with two AAC tracks ("eng", "ger"), made as `video` says.
    bool Make(const QString& name, const QString& rate, const QStringList& video,
              const QStringList& extra = {}) {
        QStringList arguments{
            "-f",   "lavfi",
            "-i",   QStringLiteral("testsrc2=size=322x182:rate=%1:duration=12").arg(rate),
            "-f",   "lavfi",
            "-i",   "sine=frequency=300:sample_rate=48000:duration=12",
            "-f",   "lavfi",
            "-i",   "sine=frequency=500:sample_rate=48000:duration=12",
            "-map", "0",
            "-map", "1",
            "-map", "2"};
        arguments += video;
        arguments +=
            {"-c:a", "aac", "-metadata:s:a:0", "language=eng", "-metadata:s:a:1", "language=ger"};
        arguments += extra;
        arguments << Path(name);
        return TestSupport::RunFfmpeg(arguments);
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        folder_.setAutoRemove(qEnvironmentVariableIsEmpty("KEEP"));
        qInfo() << folder_.path();
        const QStringList x264{"-c:v", "libx264", "-pix_fmt", "yuv420p"};
        const QStringList x265{"-c:v", "libx265", "-x265-params", "log-level=error"};
        // Every second and third picture of 30 dropped in turn, as a phone's timing goes.
        const QStringList uneven{"-vf", "select='not(eq(mod(n\\,7)\\,2))*not(eq(mod(n\\,5)\\,3))'",
                                 "-fps_mode", "vfr"};
        QList<std::function<bool()>> makers{
            [&] { return Make("high25.mp4", "25", x264); },
            [&] { return Make("high30.mkv", "30000/1001", x264); },
            [&] {
                return Make("baseline.mp4", "30",
                            x264 + QStringList{"-profile:v", "baseline", "-g", "30"} + uneven);
            },
            [&] {
                return Make("main.mov", "30", x264 + QStringList{"-profile:v", "main", "-g", "60"});
            },
            [&] { return Make("hevc.mp4", "30", x265); },
            [&] {
                return Make("hevc10.mkv", "25",
                            x265 + QStringList{"-pix_fmt", "yuv420p10le", "-g", "50"});
            },
            [&] {
                return Make("recording.ts", "25", x264 + QStringList{"-g", "50"},
                            {"-output_ts_offset", "11.38"});
            },
            [&] {
                return Make("interlaced.mkv", "25",
                            x264 + QStringList{"-flags", "+ildct+ilme", "-x264-params", "tff=1",
                                               "-vf", "scale=322:184,setfield=tff"});
            },
            [&] {
                return Make("vp9.webm", "25", {"-c:v", "libvpx-vp9", "-deadline", "realtime"},
                            {"-c:a", "libopus"});
            }};
        // Two at a time, as the machine has cores for.
        std::atomic<int> next{0};
        std::atomic<bool> failed{false};
        std::vector<std::thread> workers;
        for (int k = 0; k < 2; ++k) {
            workers.emplace_back([&] {
                for (int i = next++; i < makers.size(); i = next++) {
                    if (!makers.at(i)()) {
                        failed = true;
                    }
                }
            });
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        QVERIFY(!failed);
    }

    // The pieces of a range from the packets in decode order: x264's B-frames after a key
    // frame, an open group's leading pictures, and an end inside a group.
    void piecesAreFound_data() {
        QTest::addColumn<QString>("packets");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<QList<int>>("pieces"); // head, middle, tail
        QTest::addColumn<double>("keyFrame");
        QTest::addColumn<double>("tailStart");
        // Pictures at 0..9 s; key frames at 0 and 4; decode order I P B B per group.
        const QString closed = "0,0,K_\n3,1,__\n1,2,__\n2,3,__\n"
                               "4,4,K_\n7,5,__\n5,6,__\n6,7,__\n8,8,__\n9,9,__\n";
        QTest::newRow("head, copy to a whole group")
            << closed << 1.5 << 8.0 << QList<int>{2, 4, 0} << 4.0 << 8.0;
        QTest::newRow("end inside reordered pictures")
            << closed << 1.0 << 6.5 << QList<int>{3, 1, 2} << 4.0 << 5.0;
        QTest::newRow("start on the key frame")
            << closed << 4.0 << 10.0 << QList<int>{0, 6, 0} << 4.0 << 10.0;
        QTest::newRow("no key frame in the range")
            << closed << 1.0 << 3.5 << QList<int>{3, 0, 0} << 3.5 << 3.5;
        // An open group: the key frame at 4 is followed by leading pictures 2 and 3.
        const QString open = "0,0,K_\n1,1,__\n4,2,K_\n2,3,__\n3,4,__\n6,5,__\n5,6,__\n7,7,__\n";
        QTest::newRow("leading pictures stay out")
            << open << 2.0 << 8.0 << QList<int>{2, 4, 0} << 4.0 << 8.0;
    }
    void piecesAreFound() {
        QFETCH(QString, packets);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(QList<int>, pieces);
        const CutPoints points = CutPoints::Find(CutPoints::ParsePackets(packets, 0), start, end);
        QVERIFY(points.valid);
        QCOMPARE((QList<int>{points.headPictures, points.middlePictures, points.tailPictures}),
                 pieces);
        QTEST(points.keyFrame, "keyFrame");
        QTEST(points.tailStart, "tailStart");
    }

    // The cuts hold what a re-encoded cut holds, picture for picture.
    void cutsHoldTheRange_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<double>("start");
        QTest::addColumn<QString>("tag"); // the sample entry in MP4 and MOV
        QTest::newRow("x264 High 25 fps to mp4") << "high25.mp4"
                                                 << "mp4" << Mark << "avc3";
        QTest::newRow("x264 High 29.97 fps mkv to mkv") << "high30.mkv"
                                                        << "mkv" << Mark << "";
        QTest::newRow("phone Baseline, uneven timing, to mov") << "baseline.mp4"
                                                               << "mov" << 2.5 << "avc3";
        QTest::newRow("Main mov to mp4") << "main.mov"
                                         << "mp4" << Mark << "avc3";
        QTest::newRow("x265 open groups to mp4") << "hevc.mp4"
                                                 << "mp4" << 2.0 << "hev1";
        QTest::newRow("x265 Main 10 to mkv") << "hevc10.mkv"
                                             << "mkv" << Mark << "";
        QTest::newRow("TS from 11.38 s to mp4") << "recording.ts"
                                                << "mp4" << Mark << "avc3";
        QTest::newRow("start on a key frame") << "high25.mp4"
                                              << "mkv" << 10.0 << "";
    }
    void cutsHoldTheRange() {
        QFETCH(QString, source);
        QFETCH(QString, extension);
        QFETCH(double, start);
        QFETCH(QString, tag);
        const double length = std::min(Length, 12 - start - 0.5);
        const QString input = Path(source);
        const QString output =
            Path(QStringLiteral("%1-%2.%3").arg(source).arg(start).arg(extension));
        const PlanDriver::Outcome cut =
            PlanDriver::Cut(input, ExactText(start, length), output, length);
        QVERIFY2(cut.done, qPrintable(cut.problem + u'\n' + cut.runs.join(u'\n')));

        // The same pictures at the same times as the range decoded from the source; those
        // from the first key frame on are the source's own.
        const Pictures wanted = Decoded(input, start, length);
        const Pictures got = Decoded(output);
        QCOMPARE(got.hashes.size(), wanted.hashes.size());
        for (qsizetype i = 0; i < got.times.size(); ++i) {
            QVERIFY2(std::abs(got.times.at(i) - wanted.times.at(i)) < 0.002,
                     qPrintable(QStringLiteral("picture %1 at %2 s instead of %3 s")
                                    .arg(i)
                                    .arg(got.times.at(i))
                                    .arg(wanted.times.at(i))));
        }
        // The pictures before the first key frame in the range are encoded again (none equals
        // the source's), those from it on are the source's.
        qsizetype firstOwn = 0;
        while (firstOwn < got.hashes.size() &&
               got.hashes.at(firstOwn) != wanted.hashes.at(firstOwn)) {
            ++firstOwn;
        }
        const QList<double> keys = TestSupport::KeyFrameTimes(input);
        const double zero = TestSupport::Probe(input).startTimes.value(0);
        const bool onKey = std::any_of(keys.cbegin(), keys.cend(), [&](double key) {
            return std::abs(key - zero - start) < 0.002;
        });
        QCOMPARE(firstOwn == 0, onKey);
        qsizetype own = 0;
        for (qsizetype i = firstOwn; i < got.hashes.size(); ++i) {
            own += got.hashes.at(i) == wanted.hashes.at(i) ? 1 : 0;
        }
        // All but the few at the end whose references lie past it; and their packets are the
        // source's, byte for byte.
        QVERIFY2(own >= got.hashes.size() - firstOwn - 4,
                 qPrintable(QStringLiteral("%1 of %2").arg(own).arg(got.hashes.size() - firstOwn)));
        const bool hevc = source.startsWith(QLatin1String("hevc"));
        const QSet<QString> sourcePackets = PacketHashes(input, hevc);
        const QSet<QString> cutPackets = PacketHashes(output, hevc);
        QCOMPARE(cutPackets.size(), got.hashes.size());
        QCOMPARE(qsizetype((cutPackets & sourcePackets).size()), own);
        const double psnr = WorstPsnr(input, output, start, length);
        qInfo("worst picture against the source: %.1f dB", psnr);
        QVERIFY(psnr >= 45);
        const bool encoded = cut.runs.join(u'\n').contains(QStringLiteral("lib"));
        QCOMPARE(encoded, firstOwn > 0 || own < got.hashes.size() - firstOwn);

        // Both sound tracks, from the first picture on.
        const TestSupport::ProbeResult probed = TestSupport::Probe(output);
        QCOMPARE(probed.streamTypes, (QStringList{"video", "audio", "audio"}));
        QVERIFY2(std::abs(probed.startTimes.value(1) - probed.startTimes.value(0)) <=
                     1024.0 / 48000,
                 qPrintable(QStringLiteral("sound starts at %1 s, the picture at %2 s")
                                .arg(probed.startTimes.value(1))
                                .arg(probed.startTimes.value(0))));
        if (!tag.isEmpty()) {
            QCOMPARE(Entry(output, "stream=codec_tag_string").section(u'\n', 0, 0), tag);
        }
        QVERIFY(QDir(folder_.path())
                    .entryList(QStringList{".quenlet-work*"}, QDir::Hidden | QDir::Dirs)
                    .isEmpty());
    }

    // Stop during any of the runs ends it and leaves nothing: no process, no piece, no output.
    void stopEndsEveryRun_data() {
        QTest::addColumn<QString>("run"); // a word of the run's arguments
        QTest::newRow("encoding the head") << "head.ts";
        QTest::newRow("copying the middle") << "middle.ts";
        QTest::newRow("encoding the tail") << "tail.ts";
        QTest::newRow("joining") << "pieces.txt";
        QTest::newRow("decoding the product") << "null";
    }
    void stopEndsEveryRun() {
        QFETCH(QString, run);
        // An end that leaves a tail to encode: the pictures before it refer to a later one.
        const QString input = Path("hevc.mp4");
        QByteArray packets;
        TestSupport::RunProgram("ffprobe",
                                {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                 "packet=pts_time,dts_time,size,flags", "-of", "csv=p=0", input},
                                &packets);
        const QList<CutPoints::Packet> all =
            CutPoints::ParsePackets(QString::fromLatin1(packets), 0);
        double end = 9;
        while (end < 11.5 && CutPoints::Find(all, 2, end).tailPictures == 0) {
            end += 0.1;
        }
        QVERIFY(CutPoints::Find(all, 2, end).tailPictures > 0);

        QTemporaryDir outputs;
        TestSupport::MessageRecorder messages;
        CVideoConv converter;
        bool stopped = false;
        TestSupport::ProcessEventsHook hook([&] {
            for (const pid_t pid : TestSupport::Encoders()) {
                QFile line(QStringLiteral("/proc/%1/cmdline").arg(pid));
                if (!stopped && line.open(QIODevice::ReadOnly) &&
                    line.readAll().contains(run.toUtf8())) {
                    stopped = true;
                    converter.StopConversion();
                }
            }
        });
        converter.SetInputFile(input);
        converter.SetOutputFile(outputs.filePath("cut.mp4"));
        converter.SetParametrs(ExactText(2, end - 2));
        converter.SetFileTimeLength(float(end - 2));
        converter.StartConversion();
        QVERIFY(stopped);
        QVERIFY(!converter.Completed());
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(
            QDir(outputs.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{});
        QTRY_VERIFY(TestSupport::Encoders().isEmpty());
    }

    // A video an exact copy cannot write as the source does is refused before anything is
    // written, with a sentence that says what to choose instead.
    void sourcesItCannotCopyAreTold() {
        const QString output = Path("vp9.mp4");
        const PlanDriver::Outcome cut =
            PlanDriver::Cut(Path("vp9.webm"), ExactText(Mark, Length), output, Length);
        QVERIFY(!cut.done);
        QVERIFY2(cut.problem.contains(QStringLiteral("VP9")), qPrintable(cut.problem));
        QVERIFY(!QFile::exists(output));

        // Interlaced pictures are encoded again over the whole range, and the user is told.
        const QString fields = Path("interlaced-cut.mkv");
        const PlanDriver::Outcome whole =
            PlanDriver::Cut(Path("interlaced.mkv"), ExactText(Mark, Length), fields, Length);
        QVERIFY2(whole.done, qPrintable(whole.problem));
        QVERIFY2(whole.notice.contains(QStringLiteral("interlaced")), qPrintable(whole.notice));
        QCOMPARE(Decoded(fields).hashes.size(),
                 Decoded(Path("interlaced.mkv"), Mark, Length).hashes.size());
    }
};

QTEST_GUILESS_MAIN(tst_ExactCopy)
#include "tst_ExactCopy.moc"
