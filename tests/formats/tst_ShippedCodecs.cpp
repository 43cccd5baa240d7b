#include "formats/CodecCatalog.h"

#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>

// The codecs.xml that ships beside the program: its first-start choice and which of its codecs
// give a file that ffmpeg reads back in each container of the custom format list.
namespace {

const QStringList containers{"WMV", "ASF", "AVI", "MOV", "FLV", "MPG", "MPEG", "MP4", "RM", "yuv"};

// Which codecs give a readable file in each container, a video codec with the container's
// default audio and an audio codec with the container's default video (the README's table).
// "yuv" is raw pictures only: every audio choice is dropped.
const QStringList windowsMediaVideo{"libx264", "mpeg4", "libxvid", "mpeg1video", "mpeg2video",
                                    "msmpeg4", "wmv1",  "wmv2",    "flv",        "libvpx",
                                    "libvpx-vp9", "libtheora", "mjpeg", "ffv1", "huffyuv",
                                    "rawvideo"};
const QStringList windowsMediaAudio{"aac",   "libmp3lame", "mp2",  "ac3",       "wmav2",
                                    "wmav1", "libvorbis",  "flac", "pcm_s16le", "pcm_u8"};
const QStringList mpegVideo{"libx264", "mpeg4", "libx265", "libxvid", "mpeg1video", "mpeg2video"};
const QHash<QString, QStringList> workingVideo{
    {"WMV", windowsMediaVideo},
    {"ASF", windowsMediaVideo},
    {"AVI", windowsMediaVideo + QStringList{"prores_ks"}},
    {"MOV", {"libx264", "mpeg4", "libx265", "libxvid", "mpeg1video", "mpeg2video", "msmpeg4",
             "wmv1", "wmv2", "flv", "libtheora", "mjpeg", "ffv1", "huffyuv", "prores_ks"}},
    {"FLV", {"libx264", "flv"}},
    {"MPG", mpegVideo},
    {"MPEG", mpegVideo},
    {"MP4", mpegVideo + QStringList{"libvpx-vp9", "mjpeg"}},
    {"RM", {"rv10", "rv20"}},
    {"yuv", {"rawvideo"}},
};
const QStringList mpegAudio{"libmp3lame", "mp2", "ac3", "pcm_s16be"};
const QHash<QString, QStringList> workingAudio{
    {"WMV", windowsMediaAudio},
    {"ASF", windowsMediaAudio},
    {"AVI", windowsMediaAudio},
    {"MOV", {"aac", "libmp3lame", "mp2", "ac3", "libvorbis", "alac", "pcm_s16le", "pcm_s16be",
             "pcm_u8"}},
    {"FLV", {"aac", "libmp3lame", "pcm_s16le", "pcm_u8"}},
    {"MPG", mpegAudio},
    {"MPEG", mpegAudio},
    {"MP4", {"aac", "libmp3lame", "mp2", "ac3", "libvorbis", "libopus", "alac"}},
    {"RM", {"aac", "ac3"}},
};

// How ffprobe names what each encoder wrote (a few containers report a kindred name).
const QHash<QString, QStringList> probedNames{
    {"libx264", {"h264"}},         {"libx265", {"hevc"}},
    {"libxvid", {"mpeg4"}},        {"msmpeg4", {"msmpeg4v3"}},
    {"flv", {"flv1"}},             {"libvpx", {"vp8"}},
    {"libvpx-vp9", {"vp9"}},       {"libtheora", {"theora"}},
    {"prores_ks", {"prores"}},     {"libmp3lame", {"mp3"}},
    {"mp2", {"mp2", "mp3"}},       {"libvorbis", {"vorbis"}},
    {"libopus", {"opus"}},         {"pcm_s16be", {"pcm_s16be", "pcm_dvd"}},
};

bool ProbedAs(const QString& encoder, const QStringList& codecNames) {
    for (const QString& name : probedNames.value(encoder, {encoder})) {
        if (codecNames.contains(name)) {
            return true;
        }
    }
    return false;
}

// The custom format's encoder arguments in the program's order, with the cut from 1 s to 3 s.
QStringList CustomArguments(int sampleRate, int audioKbps, const QString& audioCodec,
                            int channels, const QString& videoCodec, int videoKbps, int fps) {
    QStringList arguments{"-ar", QString::number(sampleRate), "-ab",
                          QString::number(audioKbps * 1000)};
    if (!audioCodec.isEmpty()) {
        arguments += {"-acodec", audioCodec};
    }
    arguments += {"-ac", QString::number(channels)};
    if (!videoCodec.isEmpty()) {
        arguments += {"-vcodec", videoCodec};
    }
    arguments += {"-b", QString::number(videoKbps * 1000), "-r", QString::number(fps)};
    arguments += {"-ss", "1", "-t", "2", "-y"};
    return arguments;
}

} // namespace

class tst_ShippedCodecs : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    CodecCatalog catalog_;
    QStringList video_; // codec names in the order of the video list
    QStringList audio_;

    QString clip() const { return QDir(folder_.path()).filePath(QStringLiteral("clip.mp4")); }

    // Cuts the clip with the given codecs (empty: the container's default) and tells whether
    // ffmpeg reads back a 2 s file with both codecs where they were asked for.
    bool MakesReadableFile(const QString& container, const QString& videoCodec,
                           const QString& audioCodec, int sampleRate, QString& why) {
        const QString output = QDir(folder_.path()).filePath(QStringLiteral("cut.") + container);
        QFile::remove(output);
        QStringList arguments{QStringLiteral("-i"), clip()};
        arguments += CustomArguments(sampleRate, 64, audioCodec, 2, videoCodec, 320, 25);
        arguments += output;
        if (!TestSupport::RunFfmpeg(arguments, &why)) {
            return false;
        }
        if (container == u"yuv") {
            // Raw 4:2:0 pictures: 50 frames of 320x240.
            const qint64 size = QFileInfo(output).size();
            why = QStringLiteral("raw size %1").arg(size);
            return size == 50LL * 320 * 240 * 3 / 2;
        }
        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        why = QStringLiteral("duration %1, codecs %2")
                  .arg(probe.duration)
                  .arg(probe.codecNames.join(u','));
        return qAbs(probe.duration - 2.0) <= 0.3 &&
               probe.streamTypes.contains(QStringLiteral("video")) &&
               probe.streamTypes.contains(QStringLiteral("audio")) &&
               (videoCodec.isEmpty() || ProbedAs(videoCodec, probe.codecNames)) &&
               (audioCodec.isEmpty() || ProbedAs(audioCodec, probe.codecNames));
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        const TestSupport::ApplicationFolderOverride override(TestSupport::BuildFolder());
        TestSupport::MessageRecorder messages;
        QComboBox videoList;
        QComboBox audioList;
        catalog_.LoadCodecs(&videoList, &audioList);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join('|')));
        for (int i = 0; i < videoList.count(); ++i) {
            video_.append(catalog_.GetCodecName(videoList.itemText(i)));
        }
        for (int i = 0; i < audioList.count(); ++i) {
            audio_.append(catalog_.GetCodecName(audioList.itemText(i)));
        }
        QVERIFY(TestSupport::MakeClip(clip(), 4, QStringLiteral("320x240"),
                                      {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac"}));
    }

    void namesAreEncodersOfThisFfmpeg() {
        QString encoders;
        QVERIFY(TestSupport::RunFfmpeg({QStringLiteral("-encoders")}, &encoders));
        for (const QString& name : video_ + audio_) {
            if (!name.isEmpty()) {
                QVERIFY2(encoders.contains(u' ' + name + u' '), qPrintable(name));
            }
        }
    }

    // The custom format of a first start: AVI, the second video and the second audio codec,
    // 22.05 KHz, 64 kbps, 2 channels, 320 kbps video, 25 fps.
    void firstStartCustomFormatMakesAReadableAvi() {
        QVERIFY(video_.size() >= 2 && audio_.size() >= 2);
        QCOMPARE(video_[1], QStringLiteral("mpeg4"));
        QCOMPARE(audio_[1], QStringLiteral("libmp3lame"));
        QString why;
        QVERIFY2(MakesReadableFile(QStringLiteral("AVI"), video_[1], audio_[1], 22050, why),
                 qPrintable(why));
    }

    void containerTableHolds_data() {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("videoCodec");
        QTest::addColumn<QString>("audioCodec");
        QTest::addColumn<bool>("works");
        for (const QString& container : containers) {
            for (const QString& name : video_) {
                if (!name.isEmpty()) {
                    QTest::addRow("%s video %s", qPrintable(container), qPrintable(name))
                        << container << name << QString()
                        << workingVideo.value(container).contains(name);
                }
            }
            for (const QString& name : audio_) {
                if (!name.isEmpty()) {
                    QTest::addRow("%s audio %s", qPrintable(container), qPrintable(name))
                        << container << QString() << name
                        << (container == u"yuv" || workingAudio.value(container).contains(name));
                }
            }
            // The general entry (no codec option: the container's own choice) and one pair.
            QTest::addRow("%s defaults", qPrintable(container))
                << container << QString() << QString() << true;
            if (container != u"yuv") {
                const QString videoCodec = workingVideo.value(container).first();
                const QString audioCodec = workingAudio.value(container).first();
                QTest::addRow("%s pair %s %s", qPrintable(container), qPrintable(videoCodec),
                              qPrintable(audioCodec))
                    << container << videoCodec << audioCodec << true;
            }
        }
    }
    void containerTableHolds() {
        QFETCH(QString, container);
        QFETCH(QString, videoCodec);
        QFETCH(QString, audioCodec);
        QFETCH(bool, works);
        // Opus takes only 8, 12, 16, 24 and 48 KHz.
        const int sampleRate = audioCodec == u"libopus" ? 48000 : 44100;
        QString why;
        const bool readable = MakesReadableFile(container, videoCodec, audioCodec, sampleRate, why);
        QVERIFY2(readable == works, qPrintable(why));
    }
};

QTEST_MAIN(tst_ShippedCodecs)
#include "tst_ShippedCodecs.moc"
