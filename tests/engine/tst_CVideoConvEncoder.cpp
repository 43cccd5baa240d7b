// The video converter against the real encoder, on small clips made here.
#include "engine/CVideoConv.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using TestSupport::MessageRecorder;

namespace {

struct Events {
    explicit Events(CVideoConv& converter) {
        QObject::connect(&converter, &CVideoConv::Progress, &converter,
                         [this](qint16& progress) { progress_.append(progress); });
        QObject::connect(&converter, &CVideoConv::CurrentStatus, &converter,
                         [this](QString& status) { statuses.append(status); });
    }
    QList<qint16> progress_;
    QStringList statuses;
};

bool ProcessGone(pid_t pid) {
    return ::kill(pid, 0) == -1 && errno == ESRCH &&
           !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid));
}

// The encoder running as a child of this process, or 0 when there is none.
pid_t EncoderChild() {
    const QList<pid_t> encoders = TestSupport::Encoders();
    return encoders.isEmpty() ? 0 : encoders.first();
}

} // namespace

class tst_CVideoConvEncoder : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString clip_; // 6 s, 640x360

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        clip_ = folder_.filePath(QStringLiteral("clip.mp4"));
        QVERIFY(TestSupport::MakeClip(clip_, 6, QStringLiteral("640x360")));
    }

    // The encoder is run with names no shell or naive quoting would survive; the cut lands
    // where asked, with rising progress and no message.
    void cutSucceedsWithAnyFileName() {
        const QString input = folder_.filePath(QStringLiteral("in \"q\" \u00e9t\u00e9\\"));
        QVERIFY(QFile::copy(clip_, input));
        const QString output =
            folder_.filePath(QStringLiteral("out 'x' \\\"r\u00e9sum\u00e9\".mp4"));
        MessageRecorder messages;
        CVideoConv converter;
        Events events(converter);
        converter.SetInputFile(input);
        converter.SetOutputFile(output);
        converter.SetParametrs(QStringLiteral("-ss 1 -t 4 -y"));
        converter.SetFileTimeLength(4);
        converter.StartConversion();

        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(QLatin1Char('\n'))));
        QCOMPARE(events.statuses, QStringList{QStringLiteral("Starting...")});
        QVERIFY(!events.progress_.isEmpty());
        for (qsizetype i = 1; i < events.progress_.size(); ++i) {
            QVERIFY(events.progress_.at(i) >= events.progress_.at(i - 1));
        }
        QVERIFY(events.progress_.last() >= 95 && events.progress_.last() <= 105);
        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        QVERIFY(qAbs(probe.duration - 4.0) < 0.3);
        QCOMPARE(probe.streamTypes, (QStringList{"video", "audio"}));
    }

    void unreadableFileIsRefusedWithTheEncodersOwnWords() {
        const QString bad = folder_.filePath(QStringLiteral("bad.avi"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("this is no video at all\n").repeated(40));
        file.close();

        MessageRecorder messages;
        CVideoConv converter;
        Events events(converter);
        QVERIFY(converter.IsFileSupported(clip_));
        QVERIFY(!converter.IsFileSupported(bad));
        QVERIFY(events.statuses.contains(QStringLiteral("Unknown format")));
        QCOMPARE(events.progress_, QList<qint16>{-1});
        QVERIFY(messages.messages.isEmpty());

        converter.SetInputFile(bad);
        converter.SetOutputFile(folder_.filePath(QStringLiteral("never.mp4")));
        converter.SetParametrs(QStringLiteral("-y"));
        converter.StartConversion();
        QCOMPARE(events.statuses.last(), QStringLiteral("Error"));
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);
        const QString text = messages.texts().first();
        const QString head = QStringLiteral("Error converting file: bad.avi\r\n\n");
        QVERIFY2(text.startsWith(head), qPrintable(text));
        // What follows the banner: the encoder's complaint, not its configuration.
        QVERIFY(text.contains(QStringLiteral("Invalid data found when processing input")));
        QVERIFY2(!text.contains(QStringLiteral("configuration:")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("libavutil")));
        QVERIFY(!QFileInfo::exists(folder_.filePath(QStringLiteral("never.mp4"))));
    }

    // Only the encoder's own error line about the input says no: the words in a playable
    // file's name or tags do not, and an unreadable file is refused whatever its name.
    void probeReadsTheEncoderNotTheFile() {
        const QString named = folder_.filePath(QStringLiteral("unknown format: Invalid data "
                                                              "found when processing input.mp4"));
        QVERIFY(QFile::copy(clip_, named));
        const QString tagged = folder_.filePath(QStringLiteral("tagged.mkv"));
        QVERIFY(TestSupport::RunFfmpeg(
            {QStringLiteral("-i"), clip_, QStringLiteral("-c"), QStringLiteral("copy"),
             QStringLiteral("-metadata"), QStringLiteral("title=%1: Unknown format").arg(tagged),
             QStringLiteral("-metadata"),
             QStringLiteral("comment=Invalid data found when processing input"), tagged}));
        const QString bad = folder_.filePath(QStringLiteral("unknown format.mp4"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("unknown format\n").repeated(100));
        file.close();

        MessageRecorder messages;
        CVideoConv converter;
        Events events(converter);
        QVERIFY(converter.IsFileSupported(named));
        QVERIFY(converter.RunOutputs().contains(QStringLiteral("from '") + named));
        QVERIFY(converter.IsFileSupported(tagged));
        QVERIFY(converter.RunOutputs().contains(QStringLiteral("title           : ") + tagged +
                                                QStringLiteral(": Unknown format")));
        QVERIFY(events.statuses.isEmpty());
        QVERIFY(!converter.IsFileSupported(bad));
        QCOMPARE(events.statuses, QStringList{QStringLiteral("Unknown format")});
        QVERIFY(messages.messages.isEmpty());

        // A cut of the tagged file runs to its end without an "Unknown format" on the way.
        converter.SetInputFile(tagged);
        converter.SetOutputFile(folder_.filePath(QStringLiteral("tagged cut.mkv")));
        converter.SetParametrs(QStringLiteral("-c copy -y"));
        converter.SetFileTimeLength(6);
        events.statuses.clear();
        events.progress_.clear();
        converter.StartConversion();
        QCOMPARE(events.statuses, QStringList{QStringLiteral("Starting...")});
        QVERIFY(!events.progress_.isEmpty());
        QVERIFY(!events.progress_.contains(-1));
        QVERIFY(messages.messages.isEmpty());
    }

    void missingEncoderIsReported() {
        QTemporaryDir empty;
        QVERIFY(empty.isValid());
        TestSupport::ApplicationFolderOverride app(empty.path());
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", empty.path().toLocal8Bit());
        MessageRecorder messages;
        CVideoConv converter;
        Events events(converter);
        converter.SetInputFile(clip_);
        converter.SetOutputFile(folder_.filePath(QStringLiteral("none.mp4")));
        converter.StartConversion();
        const bool supported = converter.IsFileSupported(clip_);
        qputenv("PATH", path);

        QCOMPARE(events.statuses, (QStringList{"Starting...", "Error"}));
        QCOMPARE(messages.texts(),
                 (QStringList{"File or command not found", "Error converting file: clip.mp4\r\n",
                              "File or command not found"}));
        QVERIFY(supported); // the encoder could not say no
    }

    // Stop while the encoder runs: it is killed and reaped, "Cancelled" is the runner's last
    // piece, and the stopped run is no error: no message, nothing left in the output folder.
    void stopEndsTheEncoder() {
        const int descriptors = TestSupport::OpenDescriptorCount();
        MessageRecorder messages;
        CVideoConv converter;
        Events events(converter);
        pid_t pid = 0;
        TestSupport::ProcessEventsHook hook([&] {
            if (pid == 0) {
                pid = EncoderChild();
                if (pid > 0) {
                    converter.StopConversion();
                }
            }
        });
        converter.SetInputFile(clip_);
        converter.SetOutputFile(folder_.filePath(QStringLiteral("stopped.mp4")));
        converter.SetParametrs(QStringLiteral("-y"));
        converter.SetFileTimeLength(6);
        converter.StartConversion();

        QVERIFY(pid > 0);
        QVERIFY(ProcessGone(pid));
        QVERIFY(converter.RunOutputs().startsWith(QStringLiteral("ffmpeg version")));
        QCOMPARE(events.statuses, (QStringList{"Starting...", "Cancelled"}));
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(!converter.Completed());
        QVERIFY(QDir(folder_.path())
                    .entryList({QStringLiteral(".quenlet-*")}, QDir::AllEntries | QDir::Hidden)
                    .isEmpty());
        QVERIFY(!QFileInfo::exists(folder_.filePath(QStringLiteral("stopped.mp4"))));
        QCOMPARE(TestSupport::OpenDescriptorCount(), descriptors);
        int status = 0;
        QVERIFY(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
    }
};

QTEST_GUILESS_MAIN(tst_CVideoConvEncoder)
#include "tst_CVideoConvEncoder.moc"
