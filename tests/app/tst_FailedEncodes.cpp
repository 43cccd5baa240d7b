#include "TaskTestSupport.h"
#include "engine/CVideoConv.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using TaskTest::TaskWindow;

// A conversion that fails, with the real encoder where this machine can make it fail and a
// stand-in encoder where it cannot (a full disk, an encoder killed from outside): the user is
// told, in the encoder's words or in a sentence about the output, and the broken or empty file
// does not keep the clean name. The bar does not read full.
class tst_FailedEncodes : public QObject {
    Q_OBJECT

    QTemporaryDir sources_;
    QString path(const QString& name) const { return sources_.filePath(name); }

    // A stand-in encoder beside the catalogs: it announces its streams as ffmpeg does, begins
    // encoding, writes a little of the output (its last argument), then runs `ending`.
    QString StandIn(const QString& name, const QString& ending) const {
        const QString folder = path(name);
        QDir().mkpath(folder);
        for (const char* data : {"presets.xml", "codecs.xml"}) {
            QFile::copy(TestSupport::BuildFolder() + u'/' + QLatin1String(data),
                        folder + u'/' + QLatin1String(data));
        }
        QFile script(folder + QStringLiteral("/ffmpeg"));
        if (!script.open(QIODevice::WriteOnly)) {
            return {};
        }
        script.write("#!/bin/sh\n"
                     "for last; do :; done\n"
                     "echo \"Stream mapping:\"\n"
                     "echo \"  Stream #0:0 -> #0:0 (h264 (native) -> mpeg4 (native))\"\n"
                     "echo \"Press [q] to stop, [?] for help\"\n"
                     "echo \"Output #0, avi, to '$last':\"\n"
                     "echo \"  Stream #0:0: Video: mpeg4\"\n"
                     "printf 'RIFF....AVI LIST' > \"$last\"\n"
                     "printf 'frame=   10 fps=0.0 q=2.0 size=  1kB time=00:00:00.40 "
                     "bitrate=   1kbits/s speed=1x\\r'\n");
        script.write(ending.toUtf8());
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
        return folder;
    }

private slots:
    void initTestCase() {
        QVERIFY(sources_.isValid());
        QVERIFY(TestSupport::MakeClip(path("clip.mkv"), 10, QStringLiteral("320x240"),
                                      {"-c:v", "libx264", "-c:a", "aac"}));
        QVERIFY(TestSupport::MakeClip(path("short.mkv"), 3, QStringLiteral("320x240"),
                                      {"-c:v", "libx264", "-c:a", "aac"}));
        QVERIFY(TestSupport::MakeClip(
            path("clip.webm"), 10, QStringLiteral("320x240"),
            {"-c:v", "libvpx-vp9", "-deadline", "realtime", "-c:a", "libopus", "-ar", "48000"}));
        // Truncated: the clip's first 40 % (about 4 s of it), as a copy that stopped early.
        QFile whole(path("clip.mkv"));
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QFile truncated(path("truncated.mkv"));
        QVERIFY(truncated.open(QIODevice::WriteOnly));
        truncated.write(whole.read(whole.size() * 4 / 10));
    }

    void failureIsToldAndLeavesNoFile_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("encoder"); // a stand-in's ending; empty: the real encoder
        QTest::addColumn<QString>("told");    // the detail after the file name, as a pattern
        // The first-start custom format with AC-3 audio, whose encoder refuses 22.05 kHz.
        QTest::newRow("sample rate refused")
            << "clip.mkv"
            << "AVI"
            << "-ar 22050 -ab 64000 -acodec ac3 -ac 2 -vcodec mpeg4 -b 320000 -r 25"
            << ""
            << "Specified sample rate 22050 is not supported";
        QTest::newRow("codec the container cannot hold")
            << "clip.mkv"
            << "MP4"
            << "-ab 64000 -acodec wmav2 -vcodec libx264"
            << ""
            << "Could not find tag for codec wmav2";
        // Copied VP9 in a transport stream: the encoder reports success, the file has sound only.
        QTest::newRow("no picture") << "clip.webm"
                                    << "ts"
                                    << "-map 0:v:0? -map 0:a? -c copy -avoid_negative_ts make_zero"
                                    << ""
                                    << "^The output has no picture\\.$";
        QTest::newRow("input ends early")
            << "truncated.mkv"
            << "AVI"
            << "-vcodec mpeg4 -acodec libmp3lame"
            << ""
            << "^The output is [0-9.]+ s long instead of 5 s: the input ends early or is "
               "damaged\\.$";
        QTest::newRow("input replaced by a shorter one")
            << "short.mkv"
            << "AVI"
            << "-vcodec mpeg4 -acodec libmp3lame"
            << ""
            << "^The output is 1(\\.\\d)? s long instead of 5 s: the input ends early or is "
               "damaged\\.$";
        QTest::newRow("disk full") << "clip.mkv"
                                   << "AVI"
                                   << "-vcodec mpeg4"
                                   << "echo 'av_interleaved_write_frame(): No "
                                      "space left on device'\n"
                                      "echo 'Conversion failed!'\nexit 1\n"
                                   << "^av_interleaved_write_frame\\(\\): No space left on device$";
        // Killed after x264 reported its work: its banner and options are no error text.
        QTest::newRow("encoder killed from outside")
            << "clip.mkv"
            << "AVI"
            << "-vcodec mpeg4"
            << "echo '[libx264 @ 0x55d0c8a1e2c0] using cpu capabilities: MMX2 SSE2Fast SSSE3 "
               "LZCNT SSE4.2 AVX FMA3 BMI2 AVX2'\n"
               "echo '[libx264 @ 0x55d0c8a1e2c0] profile High, level 1.3, 4:2:0, 8-bit'\n"
               "echo '[libx264 @ 0x55d0c8a1e2c0] 264 - core 164 r3095 baee400 - H.264/MPEG-4 AVC "
               "codec - Copyleft 2003-2022 - http://www.videolan.org/x264.html - options: "
               "cabac=1 ref=3 deblock=1:0:0 analyse=0x3:0x113 me=hex subme=7'\n"
               "echo 'x265 [info]: HEVC encoder version 3.5+1-f0c1022b6'\n"
               "kill -KILL $$\n"
            << "\\A\\s*The encoder was ended by signal 9 \\(Killed\\)\\.\\s*\\z";
    }
    void failureIsToldAndLeavesNoFile() {
        QFETCH(QString, source);
        QFETCH(QString, container);
        QFETCH(QString, arguments);
        QFETCH(QString, encoder);
        QFETCH(QString, told);
        TestSupport::MessageRecorder messages;
        QTemporaryDir outputs;
        TaskWindow w;
        std::unique_ptr<TestSupport::ApplicationFolderOverride> standIn;
        if (!encoder.isEmpty()) {
            const QString folder = StandIn(QString::fromLatin1(QTest::currentDataTag()), encoder);
            QVERIFY(!folder.isEmpty());
            standIn = std::make_unique<TestSupport::ApplicationFolderOverride>(folder);
        }
        w.session.SetInputFile(path(source));
        w.OutputTo(outputs.path());
        if (w.formats.cmbCustContainer->findText(container) < 0) {
            w.formats.cmbCustContainer->addItem(container); // a container of a preset
        }
        w.UseCustomContainer(container);
        w.Mark(2, 7);
        w.parameters = [&] { return arguments + QStringLiteral(" -ss 2 -t 5"); };

        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        const QString heading = QStringLiteral("Error converting file: %1\r\n").arg(source);
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);
        const QString text = messages.texts().first();
        QVERIFY2(text.startsWith(heading), qPrintable(text));
        const QString detail = text.mid(heading.size());
        QVERIFY2(detail.contains(QRegularExpression(told, QRegularExpression::MultilineOption)),
                 qPrintable(detail));
        QVERIFY(!w.task.cConvert->Completed());
        QCOMPARE(QDir(outputs.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                 QStringList{});
        QCOMPARE(w.panel.progress->value(), 0);
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:"));
        QVERIFY(TaskTest::Encoders().isEmpty());
    }

    // Outputs that differ from the marked range or hold less than the input, as their formats
    // say: they are complete.
    void unusualOutputsComplete_data() {
        QTest::addColumn<QString>("container");
        QTest::addColumn<QString>("arguments");
        QTest::newRow("raw pictures, which tell nothing of themselves")
            << "yuv"
            << "-ar 22050 -ab 64000 -acodec libmp3lame -ac 2 -vcodec rawvideo -b 320000 -r 25";
        QTest::newRow("a copy from the key frame before the mark")
            << "mkv"
            << "-map 0:v:0? -map 0:a? -c copy -avoid_negative_ts make_zero";
        QTest::newRow("sound only") << "mp3"
                                    << "-vn -c:a libmp3lame -b:a 128k";
        QTest::newRow("pictures only") << "gif"
                                       << "-an -vf fps=12,scale=160:-1";
    }
    void unusualOutputsComplete() {
        QFETCH(QString, container);
        QFETCH(QString, arguments);
        TestSupport::MessageRecorder messages;
        QTemporaryDir outputs;
        TaskWindow w;
        w.session.SetInputFile(path("clip.mkv"));
        w.OutputTo(outputs.path());
        if (w.formats.cmbCustContainer->findText(container) < 0) {
            w.formats.cmbCustContainer->addItem(container);
        }
        w.UseCustomContainer(container);
        w.Mark(5, 7);
        w.parameters = [&] { return arguments + QStringLiteral(" -ss 5 -t 2"); };
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'|')));
        QVERIFY(w.task.cConvert->Completed());
        QVERIFY(QFileInfo::exists(outputs.filePath(QStringLiteral("clip.") + container)));
    }

    // The encoder's words only: a title tag or a file name full of failure words is not told
    // as the reason, and such a file cuts like any other.
    void wordsFromTheFileAreNotTheEncoders() {
        const QString named = path("Error Could not open: invalid.mkv");
        QVERIFY(TestSupport::RunFfmpeg({"-i", path("clip.mkv"), "-c", "copy", "-metadata",
                                        "title=Error: invalid data, conversion failed", named}));
        TestSupport::MessageRecorder messages;
        QTemporaryDir outputs;
        TaskWindow w;
        w.session.SetInputFile(named);
        w.OutputTo(outputs.path());
        w.Mark(2, 4);
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'|')));
        QVERIFY(w.task.cConvert->Completed());

        // The same file refused by its format's encoder: only the encoder's lines are told.
        w.parameters = [] { return QStringLiteral("-acodec ac3 -ar 22050 -ss 2 -t 2"); };
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QCOMPARE(messages.messages.size(), 1);
        const QString heading =
            QStringLiteral("Error converting file: %1\r\n").arg(QFileInfo(named).fileName());
        QVERIFY(messages.texts().first().startsWith(heading));
        const QString detail = messages.texts().first().mid(heading.size());
        QVERIFY2(!detail.contains(QLatin1String("title")) &&
                     !detail.contains(QLatin1String("Could not open")),
                 qPrintable(detail));
        QVERIFY2(detail.contains(QLatin1String("Specified sample rate 22050 is not supported")),
                 qPrintable(detail));
    }
};

QTEST_MAIN(tst_FailedEncodes)
#include "tst_FailedEncodes.moc"
