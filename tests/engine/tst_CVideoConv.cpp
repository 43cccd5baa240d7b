#include "engine/CVideoConv.h"
#include "engine/CommandLine.h"
#include "engine/DOSOutputs.h"
#include "engine/EncoderWording.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <stdexcept>
#include <system_error>

using TestSupport::MessageRecorder;

namespace {

// Records the converter's events as "P:<progress>" and "S:<status>".
struct Events {
    explicit Events(CVideoConv& converter) {
        QObject::connect(&converter, &CVideoConv::Progress, &converter, [this](qint16& progress) {
            list.append(QStringLiteral("P:%1").arg(progress));
        });
        QObject::connect(&converter, &CVideoConv::CurrentStatus, &converter,
                         [this](QString& status) { list.append(QStringLiteral("S:") + status); });
    }
    QStringList list;
};

// A banner, input description and error as the 5.x encoder prints them (lines end in LF).
const char* const Banner5 =
    "ffmpeg version 5.1.9-0+deb12u1 Copyright (c) 2000-2026 the FFmpeg developers\n"
    "  built with gcc 12 (Debian 12.2.0-14+deb12u1)\n"
    "  configuration: --prefix=/usr --enable-gpl --enable-libx264\n"
    "  libavutil      57. 28.100 / 57. 28.100\n"
    "  libavcodec     59. 37.100 / 59. 37.100\n"
    "  libpostproc    56.  6.100 / 56.  6.100\n";
const char* const Input5 = "Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'clip.mp4':\n"
                           "  Metadata:\n"
                           "    major_brand     : isom\n"
                           "  Duration: 00:00:03.00, start: 0.000000, bitrate: 123 kb/s\n"
                           "  Stream #0:0[0x1](und): Video: h264, yuv444p, 320x240, 25 fps\n"
                           "    Metadata:\n"
                           "      handler_name    : VideoHandler\n"
                           "  Stream #0:1[0x2](und): Audio: aac (LC), 44100 Hz, mono\n";

} // namespace

class tst_CVideoConv : public QObject {
    Q_OBJECT

private slots:
    // A listener that fails on a progress piece is the piece's end, not the run's.
    void handlerLetsNoFailureEscape() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QFile script(folder.filePath(QStringLiteral("ffmpeg")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho 'Press [q] to stop, [?] for help'\n"
                     "echo 'frame= 1 time=10.00 b'\nsleep 0.2\necho 'frame= 2 time=20.00 b'\n"
                     "exit 1\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        TestSupport::ApplicationFolderOverride app(folder.path());
        MessageRecorder messages;
        CVideoConv converter;
        Events recorded(converter);
        converter.SetInputFile(QStringLiteral("/nowhere/clip.mp4"));
        converter.SetOutputFile(folder.filePath(QStringLiteral("out.mp4")));
        converter.SetFileTimeLength(40);
        QObject::connect(&converter, &CVideoConv::Progress, &converter, [](qint16& progress) {
            if (progress == 25) {
                throw std::runtime_error("listener failed");
            }
        });
        converter.StartConversion();
        QVERIFY(recorded.list.contains(QStringLiteral("P:50")));
        QVERIFY(!converter.Completed());
        for (const QString& text : messages.texts()) {
            QVERIFY2(!text.startsWith(QStringLiteral("Error Occured")), qPrintable(text));
        }
    }

    void extractEncoderMessage_data() {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("message");
        const QString banner5 = QString::fromLatin1(Banner5);
        const QString input5 = QString::fromLatin1(Input5);
        QTest::newRow("5.x unreadable input")
            << banner5 + QStringLiteral("[avi @ 0x5599a12123c0] Format avi detected only with low "
                                        "score of 1, misdetection possible!\n"
                                        "bad.avi: Invalid data found when processing input\n")
            << QStringLiteral("\n[avi @ 0x5599a12123c0] Format avi detected only with low score "
                              "of 1, misdetection possible!\nbad.avi: Invalid data found when "
                              "processing input\n");
        QTest::newRow("5.x bad argument after the input")
            << banner5 + input5 + QStringLiteral("Unknown encoder 'nonexist'\n")
            << QStringLiteral("\nUnknown encoder 'nonexist'\n");
        QTest::newRow("5.x three streams mapped")
            << banner5 + input5 +
                   QStringLiteral("Stream mapping:\n  Stream #0:0 -> #0:0 (h264 -> mpeg4)\n"
                                  "  Stream #0:1 -> #0:1 (aac -> mp3)\n  Stream #0:2 -> #0:2\n"
                                  "Error while opening encoder for output stream #0:0\n")
            << QStringLiteral("\nError while opening encoder for output stream #0:0\n");
        QTest::newRow("old CR LF banner")
            << QStringLiteral(
                   "FFmpeg version SVN-r15986, Copyright (c) 2000-2008 Fabrice Bellard\r\n"
                   "  configuration: --enable-gpl\r\n  libavutil 49.12. 0 / 49.12. 0\r\n"
                   "  built on Nov 29 2008 04:35:21, gcc: 4.2.4\r\n"
                   "bad.avi: Unknown format\r\n")
            << QStringLiteral("\nbad.avi: Unknown format\r\n");
        QTest::newRow("old stream mapping, two lines, error")
            << QStringLiteral("  built on Nov 29 2008\r\nInput #0, avi, from 'a.avi':\r\n"
                              "  Duration: 00:00:10.00\r\n    Stream #0.0: Video: mpeg4\r\n"
                              "    Stream #0.1: Audio: mp3\r\nStream mapping:\r\n"
                              "  Stream #0.0 -> #0.0\r\n  Stream #0.1 -> #0.1\r\n"
                              "Error while opening codec for output stream #0.0\r\n")
            << QStringLiteral("\nError while opening codec for output stream #0.0\r\n");
        QTest::newRow("old input, four lines")
            << QStringLiteral("Input #0, avi, from 'a.avi':\r\n  Duration: 00:00:10.00\r\n"
                              "    Stream #0.0: Video\r\n    Stream #0.1: Audio\r\n"
                              "Unsupported codec\r\n")
            << QStringLiteral("\nUnsupported codec\r\n");
        QTest::newRow("marker on the last line") << QStringLiteral("error\n  built on Jan 1")
                                                 << QStringLiteral("error\n  built on Jan 1");
        QTest::newRow("too few line breaks")
            << QStringLiteral("Input #0\nerror") << QStringLiteral("Input #0\nerror");
        // After a failed search the next one starts again from the top of the text.
        QTest::newRow("search restarts from the top")
            << QStringLiteral("x\nInput #0\nerror") << QStringLiteral("\nerror");
        QTest::newRow("spaces only") << QStringLiteral("    ") << QString();
        QTest::newRow("empty") << QString() << QString();
        QTest::newRow("no marker") << QStringLiteral("\nsomething failed\n") << QString();
        const QString filler =
            QStringLiteral("[mp4 @ 0x1] a warning line of the encoder\n").repeated(1200);
        QTest::newRow("beyond 32767 characters")
            << filler + input5 + QStringLiteral("Invalid frame size: foo.\n")
            << QStringLiteral("\nInvalid frame size: foo.\n");
    }
    void extractEncoderMessage() {
        QFETCH(QString, output);
        QFETCH(QString, message);
        QCOMPARE(CVideoConv::ExtractEncoderMessage(output), message);
    }

    // The command line splits back into the encoder, "-i", the input, the arguments and the
    // output, whatever the names contain.
    void commandLineKeepsEveryName() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        TestSupport::ApplicationFolderOverride app(folder.path()); // no bundled encoder
        CVideoConv converter;
        const QString input = QStringLiteral("/v/My \"best\" \u00e9t\u00e9\\");
        const QString output = QStringLiteral("/out dir\\/r\u00e9sum\u00e9 \\\"x\\.mp4");
        converter.SetInputFile(input);
        converter.SetOutputFile(output);
        converter.SetParametrs(QStringLiteral("-ss 10 -t 20 -y"));
        QCOMPARE(converter.OutputFile(), output);
        QCOMPARE(converter.InputFile(), input);
        const QStringList arguments = CommandLine::SplitCommandLine(converter.BuildCommandLine());
        QCOMPARE(arguments.size(), 9);
        QVERIFY(arguments.first().endsWith(QStringLiteral("/ffmpeg")));
        QCOMPARE(arguments.mid(1),
                 (QStringList{"-ss", "10", "-i", input, "-t", "20", "-y", output}));
    }

    // A stand-in encoder in an application folder with a blank in its name echoes what it gets.
    void bundledEncoderGetsTheExactArguments() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString appFolder = folder.filePath(QStringLiteral("app folder"));
        QVERIFY(QDir().mkpath(appFolder));
        QFile script(QDir(appFolder).filePath(QStringLiteral("ffmpeg")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done\n"
                     "case \"$2\" in *.bad) echo \"$2: Unknown format\";; esac\n"
                     "case \"$2\" in *.echo) echo \"from '$2: Unknown format':\";; esac\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        TestSupport::ApplicationFolderOverride app(appFolder);
        MessageRecorder messages;

        CVideoConv converter;
        const QString input = QStringLiteral("/in \"q\"\\");
        converter.SetInputFile(input);
        converter.SetOutputFile(folder.filePath(QStringLiteral("o u t.mp4")));
        converter.SetParametrs(QStringLiteral("-vcodec \"lib x\" -y"));
        converter.StartConversion();
        // The encoder writes in a hidden work folder beside the output, which goes afterwards.
        const QString written = QStringLiteral("[-i]\n[/in \"q\"\\]\n[-vcodec]\n[lib x]\n[-y]\n[") +
                                folder.path() + QStringLiteral("/.quenlet-work-");
        QVERIFY2(converter.RunOutputs().startsWith(written), qPrintable(converter.RunOutputs()));
        QVERIFY(converter.RunOutputs().endsWith(QStringLiteral("/o u t.mp4]\n")));
        QCOMPARE(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QStringLiteral("app folder")});
        // No "press [q] to stop": an error with the file name and no detail (no preamble marker).
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Error converting file: in \"q\"\\\r\n")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);

        QVERIFY(converter.IsFileSupported(QStringLiteral("/a b/c.mp4")));
        QCOMPARE(converter.RunOutputs(), QStringLiteral("[-i]\n[/a b/c.mp4]\n"));
        QVERIFY(!converter.IsFileSupported(QStringLiteral("/a b/c.bad")));
        QVERIFY(converter.IsFileSupported(QStringLiteral("/a b/c.echo")));
    }

    // A failure that nothing else handles ends the operation with "Error Occured:".
    void unexpectedFailuresAreReported() {
        MessageRecorder messages;
        CVideoConv converter;
        converter.SetInputFile(QStringLiteral("/nowhere/clip.mp4"));
        QObject::connect(&converter, &CVideoConv::CurrentStatus, &converter, [](QString& status) {
            if (status == QStringLiteral("Starting...")) {
                throw std::runtime_error("listener failed");
            }
        });
        converter.StartConversion();
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral(
                     "Error Occured:\r\nlistener failed - CVideoConv.StartConversion - 0")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::None);

        messages.clear();
        TestSupport::ProcessEventsHook hook(
            [] { throw std::system_error(std::make_error_code(std::errc::no_such_device)); });
        QVERIFY(!converter.IsFileSupported(QStringLiteral("/nowhere/clip.mp4")));
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY(messages.texts().first().startsWith(QStringLiteral("Error Occured:\r\n")));
        QVERIFY(messages.texts().first().endsWith(
            QStringLiteral(" - CVideoConv.IsFileSupported - %1").arg(ENODEV)));
    }

    // Old and 5.x wording; the bundled encoder wins when it is executable, else the one on PATH,
    // quoted in the command line when its path has a blank.
    void encoderWordingAndLookup() {
        QVERIFY(EncoderWording::EncodingBegan(QStringLiteral("x\npress [q] to stop encoding\n")));
        QVERIFY(EncoderWording::EncodingBegan(QStringLiteral("Press [q] to stop, [?] for help")));
        QVERIFY(!EncoderWording::EncodingBegan(QStringLiteral("press [q] to")));

        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString appFolder = folder.filePath(QStringLiteral("my app"));
        QVERIFY(QDir().mkpath(appFolder));
        TestSupport::ApplicationFolderOverride app(appFolder);
        const QString onPath = EncoderWording::EncoderProgram();
        QVERIFY(onPath.startsWith(QLatin1Char('/')) && onPath.endsWith(QStringLiteral("/ffmpeg")));
        QFile bundled(QDir(appFolder).filePath(QStringLiteral("ffmpeg")));
        QVERIFY(bundled.open(QIODevice::WriteOnly));
        bundled.close();
        QCOMPARE(EncoderWording::EncoderProgram(), onPath); // not executable
        QVERIFY(bundled.setPermissions(bundled.permissions() | QFileDevice::ExeOwner));
        QCOMPARE(EncoderWording::EncoderCommand(),
                 QLatin1Char('"') + bundled.fileName() + QLatin1Char('"'));
    }

    void stopWithoutRunnerDoesNothing() {
        CVideoConv converter;
        converter.StopConversion();
        QVERIFY(converter.RunOutputs().isEmpty());
        QVERIFY(!converter.Completed());
    }
};

QTEST_GUILESS_MAIN(tst_CVideoConv)
#include "tst_CVideoConv.moc"
