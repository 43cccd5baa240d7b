#include "engine/CutParameters.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
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

// Shows one entry in a list, as a choice of the user would.
void Choose(QComboBox* list, const QString& text) {
    list->clear();
    list->addItem(text);
    list->setCurrentIndex(0);
}

// The format panel with small catalogs, in custom mode with the example's choices, and a slider
// whose range is marked from 10 to 70.
struct Rig {
    Rig() {
        panel.codecs.ReadCodecs(
            Lines({QStringLiteral("<codecs>"),
                   Codec(QStringLiteral("libmp3lame"), QStringLiteral("MP3"),
                         QStringLiteral("audio codec")),
                   Codec(QStringLiteral("mpeg4"), QStringLiteral("MPEG-4 Visual"),
                         QStringLiteral("video codec")),
                   QStringLiteral("</codecs>")}));
        panel.optFormat[1]->setChecked(true);
        Choose(panel.cmbCASmapleRate, QStringLiteral("44.1 KHz"));
        panel.txtCABirate->setText(QStringLiteral("64"));
        Choose(panel.cmbCACodec, QStringLiteral("Some audio codec"));
        panel.txtChannels->setText(QStringLiteral("2"));
        Choose(panel.cmbCVCodec, QStringLiteral("Some video codec"));
        panel.txtCVBitrate->setText(QStringLiteral("196"));
        Choose(panel.cmbCVSize, QStringLiteral("vga(640x480)"));
        Choose(panel.cmbCVAspect, QStringLiteral("[As Input]"));
        panel.txtFrameRate->setText(QStringLiteral("25"));
        slider.SetMin(0);
        slider.SetMax(1000);
        slider.SetSelectStart(10);
        slider.SetSelectEnd(70);
    }
    QString Arguments() const { return CutParameters::GetParamaters(panel, slider); }

    TestSupport::MessageRecorder messages;
    QLabel lblFormat;
    FormatPanel panel{&lblFormat};
    Slider slider;
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
        Choose(rig.panel.cmbCACodec, QStringLiteral("MP3"));
        Choose(rig.panel.cmbCVCodec, QStringLiteral("MPEG-4 Visual"));
        Choose(rig.panel.cmbCVSize, QStringLiteral("[As Input]"));
        Choose(rig.panel.cmbCVAspect, QStringLiteral("1.3333"));
        Choose(rig.panel.cmbCASmapleRate, QStringLiteral("22.05 KHz"));
        rig.panel.txtCABirate->setText(QStringLiteral("64.5"));
        rig.panel.txtCVBitrate->setText(QStringLiteral(" 195.5 "));
        QCOMPARE(rig.Arguments(), QStringLiteral("-ar 22050 -ab 64000 -acodec libmp3lame -ac 2 "
                                                 "-vcodec mpeg4 -b 196000 -aspect 1.3333 -r 25 "
                                                 "-ss 10 -t 60"));

        // Neither size nor aspect when both are as the input's; a reversed range is passed on.
        Choose(rig.panel.cmbCVAspect, QStringLiteral("[As Input]"));
        rig.slider.SetSelectStart(70);
        rig.slider.SetSelectEnd(10);
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
        rig.panel.txtCABirate->setText(audioRate);
        rig.panel.txtCVBitrate->setText(videoRate);
        Choose(rig.panel.cmbCVSize, size);
        rig.slider.SetSelectStart(start);
        rig.slider.SetSelectEnd(end);
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
        rig.panel.presets.ReadPresets(
            Lines({QStringLiteral("<presets>"),
                   Preset(QStringLiteral("Small"), QStringLiteral("-crf 30"), QStringLiteral("mp4"),
                          QStringLiteral("Web")),
                   Preset(QStringLiteral("Small"), QStringLiteral("-crf 28"), QStringLiteral("mkv"),
                          QStringLiteral("Web")),
                   Preset(QStringLiteral("Small"), QStringLiteral("-crf 20"), QStringLiteral("mkv"),
                          QStringLiteral("Web")),
                   Preset(QStringLiteral("Copy"), QString(), QStringLiteral("mkv"),
                          QStringLiteral("Web")),
                   QStringLiteral("</presets>")}));
        QCOMPARE(rig.panel.presets.PresetCount(), 4);
        rig.panel.optFormat[0]->setChecked(true);
        // Custom fields that would fail are not read in preset mode.
        rig.panel.txtCABirate->setText(QStringLiteral("abc"));
        Choose(rig.panel.cmbCategory, QStringLiteral("Web"));
        Choose(rig.panel.cmbOutVCodec, QStringLiteral("Small"));
        Choose(rig.panel.cmbOutFormat, QStringLiteral("mkv"));
        QCOMPARE(rig.Arguments(), QStringLiteral("-crf 28 -ss 10 -t 60"));

        Choose(rig.panel.cmbOutVCodec, QStringLiteral("Copy"));
        QCOMPARE(rig.Arguments(), QStringLiteral(" -ss 10 -t 60"));

        // Letter case counts; no match gives nothing and no message.
        Choose(rig.panel.cmbOutFormat, QStringLiteral("MKV"));
        QCOMPARE(rig.Arguments(), QString());
        QVERIFY(rig.messages.messages.isEmpty());
    }
};

QTEST_MAIN(tst_CutParameters)
#include "tst_CutParameters.moc"
