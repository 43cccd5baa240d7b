#include "formats/CodecCatalog.h"
#include "formats/CutParameters.h"
#include "formats/PresetCatalog.h"
#include "tests/support/TestSupport.h"

#include <QTest>

#include <limits>

namespace {

QString Lines(const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n"));
}

QString Preset(const QString& label, const QString& params, const QString& extension,
               const QString& category) {
    return Lines({QStringLiteral("<preset>"), QStringLiteral("<label>%1</label>").arg(label),
                  QStringLiteral("<params>%1</params>").arg(params),
                  QStringLiteral("<extension>%1</extension>").arg(extension),
                  QStringLiteral("<category>%1</category>").arg(category),
                  QStringLiteral("</preset>")});
}

QString Codec(const QString& name, const QString& description, const QString& type) {
    return Lines({QStringLiteral("<codec>"), QStringLiteral("<name>%1</name>").arg(name),
                  QStringLiteral("<description>%1</description>").arg(description),
                  QStringLiteral("<type>%1</type>").arg(type), QStringLiteral("</codec>")});
}

// Small catalogs, a custom choice with the example's texts, and the range marked from 10 to 70.
struct Rig {
    Rig() {
        codecs.ReadCodecs(Lines({QStringLiteral("<codecs>"),
                                 Codec(QStringLiteral("libmp3lame"), QStringLiteral("MP3"),
                                       QStringLiteral("audio codec")),
                                 Codec(QStringLiteral("mpeg4"), QStringLiteral("MPEG-4 Visual"),
                                       QStringLiteral("video codec")),
                                 QStringLiteral("</codecs>")}));
        choice.presetMode = false;
        choice.sampleRate = QStringLiteral("44.1 KHz");
        choice.audioBitrate = QStringLiteral("64");
        choice.audioCodec = QStringLiteral("Some audio codec");
        choice.channels = QStringLiteral("2");
        choice.videoCodec = QStringLiteral("Some video codec");
        choice.videoBitrate = QStringLiteral("196");
        choice.size = QStringLiteral("vga(640x480)");
        choice.aspect = QStringLiteral("[As Input]");
        choice.frameRate = QStringLiteral("25");
    }
    QString Arguments() const {
        return CutParameters::GetParamaters(choice, presets, codecs, start, end);
    }

    TestSupport::MessageRecorder messages;
    FormatChoice choice;
    PresetCatalog presets;
    CodecCatalog codecs;
    qint32 start = 10;
    qint32 end = 70;
};

} // namespace

class tst_CutParameters : public QObject {
    Q_OBJECT

private slots:
    void customArguments() {
        Rig rig;
        QCOMPARE(rig.Arguments(),
                 QStringLiteral("-ar 44100 -ab 64000 -ac 2 -b 196000 -s vga -r 25 -ss 10 -t 60"));

        // Codecs with encoder names, an aspect, no size; half kbit/s go to the even neighbour.
        rig.choice.audioCodec = QStringLiteral("MP3");
        rig.choice.videoCodec = QStringLiteral("MPEG-4 Visual");
        rig.choice.size = QStringLiteral("[As Input]");
        rig.choice.aspect = QStringLiteral("1.3333");
        rig.choice.sampleRate = QStringLiteral("22.05 KHz");
        rig.choice.audioBitrate = QStringLiteral("64.5");
        rig.choice.videoBitrate = QStringLiteral(" 195.5 ");
        QCOMPARE(rig.Arguments(), QStringLiteral("-ar 22050 -ab 64000 -acodec libmp3lame -ac 2 "
                                                 "-vcodec mpeg4 -b 196000 -aspect 1.3333 -r 25 "
                                                 "-ss 10 -t 60"));

        // Neither size nor aspect when both are as the input's; a reversed range is passed on.
        rig.choice.aspect = QStringLiteral("[As Input]");
        rig.start = 70;
        rig.end = 10;
        const QString arguments = rig.Arguments();
        QVERIFY(!arguments.contains(QStringLiteral(" -s ")));
        QVERIFY(!arguments.contains(QStringLiteral(" -aspect ")));
        QVERIFY(arguments.endsWith(QStringLiteral(" -r 25 -ss 70 -t -60")));
        QVERIFY(rig.messages.messages.isEmpty());
    }

    void sampleRateInHertz_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hz");
        QTest::newRow("44.1 KHz") << "44.1 KHz"
                                  << "44100";
        QTest::newRow("22.05 KHz") << "22.05 KHz"
                                   << "22050";
        QTest::newRow("11.025 KHz") << "11.025 KHz"
                                    << "11025";
        QTest::newRow("8 KHz") << "8 KHz"
                               << "8000";
        QTest::newRow("leading blanks") << "  48 KHz"
                                        << "48000";
        QTest::newRow("fraction left") << "1.2345 KHz"
                                       << "1234.5";
        QTest::newRow("no number") << "KHz"
                                   << "0";
        QTest::newRow("empty") << ""
                               << "0";
        QTest::newRow("point first") << ".5"
                                     << "500";
        QTest::newRow("long") << "123456789012.5"
                              << "123456789012500";
    }
    void sampleRateInHertz() {
        QFETCH(QString, text);
        QFETCH(QString, hz);
        QCOMPARE(CutParameters::SampleRateHz(text), hz);
    }

    void failuresShowTheMessageAndGiveNothing_data() {
        QTest::addColumn<QString>("audioRate");
        QTest::addColumn<QString>("videoRate");
        QTest::addColumn<QString>("size");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("reason");
        const int lowest = std::numeric_limits<int>::min();
        QTest::newRow("audio rate not a number")
            << "abc"
            << "196"
            << "vga(640x480)" << 10 << 70 << "audio bit rate \"abc\"";
        QTest::newRow("video rate empty") << "64"
                                          << ""
                                          << "vga(640x480)" << 10 << 70 << "video bit rate \"\"";
        QTest::newRow("audio bit/s beyond 32 bits") << "2147484"
                                                    << "196"
                                                    << "vga(640x480)" << 10 << 70 << "overflow";
        QTest::newRow("video rate beyond 32 bits") << "64"
                                                   << "1e12"
                                                   << "vga(640x480)" << 10 << 70 << "overflow";
        QTest::newRow("size without bracket") << "64"
                                              << "196"
                                              << "vga" << 10 << 70 << "frame size \"vga\"";
        QTest::newRow("length beyond 32 bits") << "64"
                                               << "196"
                                               << "vga(640x480)" << lowest << 1 << "overflow";
    }
    void failuresShowTheMessageAndGiveNothing() {
        QFETCH(QString, audioRate);
        QFETCH(QString, videoRate);
        QFETCH(QString, size);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, reason);
        Rig rig;
        rig.choice.audioBitrate = audioRate;
        rig.choice.videoBitrate = videoRate;
        rig.choice.size = size;
        rig.start = start;
        rig.end = end;
        QCOMPARE(rig.Arguments(), QString());
        QCOMPARE(rig.messages.messages.size(), 1);
        const TestSupport::RecordedMessage& message = rig.messages.messages.first();
        QCOMPARE(message.icon, Platform::MessageIcon::Error);
        QVERIFY2(
            message.text.startsWith(QStringLiteral("Error occured while getting paramters\r\n")),
            qPrintable(message.text));
        QVERIFY2(message.text.contains(reason), qPrintable(message.text));
    }

    void presetArguments() {
        Rig rig;
        rig.presets.ReadPresets(Lines({QStringLiteral("<presets>"),
                                       Preset(QStringLiteral("Small"), QStringLiteral("-crf 30"),
                                              QStringLiteral("mp4"), QStringLiteral("Web")),
                                       Preset(QStringLiteral("Small"), QStringLiteral("-crf 28"),
                                              QStringLiteral("mkv"), QStringLiteral("Web")),
                                       Preset(QStringLiteral("Small"), QStringLiteral("-crf 20"),
                                              QStringLiteral("mkv"), QStringLiteral("Web")),
                                       Preset(QStringLiteral("Copy"), QString(),
                                              QStringLiteral("mkv"), QStringLiteral("Web")),
                                       QStringLiteral("</presets>")}));
        QCOMPARE(rig.presets.PresetCount(), 4);
        rig.choice.presetMode = true;
        // Custom fields that would fail are not read in preset mode.
        rig.choice.audioBitrate = QStringLiteral("abc");
        rig.choice.category = QStringLiteral("Web");
        rig.choice.label = QStringLiteral("Small");
        rig.choice.extension = QStringLiteral("mkv");
        QCOMPARE(rig.Arguments(), QStringLiteral("-crf 28 -ss 10 -t 60"));

        rig.choice.label = QStringLiteral("Copy");
        QCOMPARE(rig.Arguments(), QStringLiteral(" -ss 10 -t 60"));

        // Letter case counts; no match gives nothing and no message.
        rig.choice.extension = QStringLiteral("MKV");
        QCOMPARE(rig.Arguments(), QString());
        QVERIFY(rig.messages.messages.isEmpty());
    }
};

QTEST_MAIN(tst_CutParameters)
#include "tst_CutParameters.moc"
