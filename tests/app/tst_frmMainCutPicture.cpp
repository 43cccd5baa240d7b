#include "app/InputIntake.h"
#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/frmMain.h"
#include "app/modDialog.h"
#include "formats/FormatPanel.h"
#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "tests/app/TaskTestSupport.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

// The picture the preview shows at a second is the picture the cut from that second starts
// with, on the containers where the two could part: an MPEG-TS recording whose time starts at
// 11.38 s, an mp4 with an edit list (B-frames: the encoder's delay is edited out), and an mp4
// whose first picture comes 0.6 s after its first sound. Through the real window, libmpv and
// the encoder; marks taken with the slider's keys.
class tst_frmMainCutPicture : public QObject {
    Q_OBJECT

private:
    QTemporaryDir inputs_;
    QTemporaryDir outputs_{TestSupport::BuildFolder() + QStringLiteral("/cut-picture-XXXXXX")};
    std::unique_ptr<TestSupport::ApplicationFolderOverride> catalogs_;
    std::unique_ptr<TestSupport::MessageRecorder> messages_;
    std::unique_ptr<frmMain> window_;

    MpvVideoWidget* Picture() const {
        auto* engine = dynamic_cast<MpvEngine*>(window_->player->Engine());
        return engine == nullptr ? nullptr : engine->VideoWidget();
    }
    double Position() const {
        double seconds = -1;
        window_->player->Engine()->GetCurrentPosition(seconds);
        return seconds;
    }
    // The 4:3 picture in the middle of the wide area, once it holds still.
    QImage ShownPicture() {
        QImage last;
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 8000) {
            QTest::qWait(250);
            const QImage area = Picture()->grabFramebuffer();
            const int width = area.height() * 4 / 3;
            QImage picture = area.copy((area.width() - width) / 2, 0, width, area.height());
            if (!last.isNull() && TestSupport::PictureDifference(last, picture) < 0.5) {
                return picture;
            }
            last = picture;
        }
        return last;
    }
    // The first picture of `file`, or the one `at` seconds after its start (decoded from the
    // start, so exact whatever the container).
    QImage FirstPicture(const QString& file, int at = -1) {
        static int count = 0;
        const QString png = inputs_.filePath(QStringLiteral("first%1.png").arg(++count));
        QStringList arguments{QStringLiteral("-i"), file};
        if (at >= 0) {
            arguments += {QStringLiteral("-ss"), QString::number(at)};
        }
        QImage picture;
        if (TestSupport::RunFfmpeg(
                arguments + QStringList{QStringLiteral("-frames:v"), QStringLiteral("1"), png})) {
            picture.load(png);
        }
        return picture;
    }

private slots:
    void initTestCase() {
        QVERIFY(inputs_.isValid());
        QVERIFY(outputs_.isValid());
        catalogs_ =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        messages_ = std::make_unique<TestSupport::MessageRecorder>();
        window_ = std::make_unique<frmMain>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->frMain->optOtherFolder->setChecked(true);
        window_->frMain->txtOutPath->setText(outputs_.path());
    }

    void cleanupTestCase() {
        window_.reset();
        messages_.reset();
        catalogs_.reset();
    }

    void theShownPictureIsTheCutsFirst_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("second");
        const QString picture = QStringLiteral("testsrc=size=320x240:rate=25:duration=7");
        const QString sound = QStringLiteral("sine=frequency=440:sample_rate=48000:duration=7");
        const QStringList lavfi{QStringLiteral("-f"), QStringLiteral("lavfi"),
                                QStringLiteral("-i")};
        // A broadcast recording: its time starts at 11.38 s, a key frame every second (lavf
        // seeks it by its timestamps, without an index); a mark far into it.
        const QString longPicture = QStringLiteral("testsrc=size=320x240:rate=25:duration=16");
        const QString longSound =
            QStringLiteral("sine=frequency=440:sample_rate=48000:duration=16");
        QTest::newRow("MPEG-TS from 11.38 s")
            << QStringLiteral("broadcast.ts")
            << (lavfi + QStringList{longPicture} + lavfi +
                QStringList{longSound, QStringLiteral("-c:v"), QStringLiteral("libx264"),
                            QStringLiteral("-g"), QStringLiteral("25"), QStringLiteral("-c:a"),
                            QStringLiteral("aac"), QStringLiteral("-output_ts_offset"),
                            QStringLiteral("10")})
            << 13;
        // x264's defaults: B-frames, one key frame; the mp4 edits the encoder's delay out.
        QTest::newRow("mp4 with an edit list")
            << QStringLiteral("phone.mp4")
            << (lavfi + QStringList{picture} + lavfi +
                QStringList{sound, QStringLiteral("-c:v"), QStringLiteral("libx264"),
                            QStringLiteral("-c:a"), QStringLiteral("aac")})
            << 3;
        // The pictures start 0.6 s after the sound (an empty edit before the video).
        QTest::newRow("picture after sound")
            << QStringLiteral("late.mp4")
            << (lavfi + QStringList{sound, QStringLiteral("-itsoffset"), QStringLiteral("0.6")} +
                lavfi +
                QStringList{picture, QStringLiteral("-map"), QStringLiteral("1:v"),
                            QStringLiteral("-map"), QStringLiteral("0:a"), QStringLiteral("-c:v"),
                            QStringLiteral("libx264"), QStringLiteral("-c:a"),
                            QStringLiteral("aac")})
            << 3;
    }

    void theShownPictureIsTheCutsFirst() {
        QFETCH(QString, name);
        QFETCH(QStringList, arguments);
        QFETCH(int, second);
        const QString input = inputs_.filePath(name);
        QVERIFY(TestSupport::RunFfmpeg(arguments + QStringList{input}));
        if (name.endsWith(QLatin1String(".ts"))) {
            const QList<double> starts = TestSupport::Probe(input).startTimes;
            QVERIFY(!starts.isEmpty());
            QVERIFY2(qAbs(*std::min_element(starts.begin(), starts.end()) - 11.38) < 0.05,
                     qPrintable(QString::number(starts.first())));
        }
        MainPanel* panel = window_->frMain;
        window_->intake->TakeInFile(input);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QVERIFY(!window_->session->NoMedia());
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton); // paused
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));

        const int Second = second;
        panel->Slider->setFocus();
        for (int i = 0; i < Second; ++i) {
            QTest::keyClick(panel->Slider, Qt::Key_Right);
        }
        QCOMPARE(Position(), double(Second));
        const QImage shown = ShownPicture();
        QVERIFY(!shown.isNull());
        QTest::mouseClick(panel->cmdStartSelect, Qt::LeftButton);
        QTest::keyClick(panel->Slider, Qt::Key_Right);
        QTest::mouseClick(panel->cmdEndSelect, Qt::LeftButton);
        QCOMPARE(panel->Slider->SelectStart(), Second);

        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
        const QStringList said = messages_->texts();
        messages_->clear();
        QVERIFY2(said.isEmpty(), qPrintable(said.join(u'|')));
        const QString cut = outputs_.filePath(QFileInfo(name).completeBaseName() +
                                              QLatin1Char('.') + window_->frFormats->Container());
        const QImage first = FirstPicture(cut);
        QVERIFY2(!first.isNull(), qPrintable(cut));
        const double toCut = TestSupport::PictureDifference(shown, first);
        for (const int other : {Second - 1, Second + 1}) {
            const QImage neighbour = FirstPicture(input, other);
            QVERIFY(!neighbour.isNull());
            const double toNeighbour = TestSupport::PictureDifference(shown, neighbour);
            QVERIFY2(toCut < toNeighbour / 2,
                     qPrintable(QStringLiteral("%1 s: %2 from the cut's first picture, %3 from "
                                               "the picture at %4 s")
                                    .arg(Second)
                                    .arg(toCut)
                                    .arg(toNeighbour)
                                    .arg(other)));
        }
    }
};

QTEST_MAIN(tst_frmMainCutPicture)
#include "tst_frmMainCutPicture.moc"
