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
#include "tests/support/PlanDriver.h"

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
        QVERIFY(Resembles(shown, first, input, Second));
    }

    // An exact copy joins pictures encoded again to the source's own at its first key frame
    // after the mark: the preview loads it and shows the right picture on both sides of the join.
    void anExactCopyPlaysAcrossItsJoin() {
        const QString input = inputs_.filePath(QStringLiteral("camera.mp4"));
        QVERIFY(TestSupport::RunFfmpeg({"-f", "lavfi", "-i",
                                        "testsrc=size=320x240:rate=25:duration=14", "-f", "lavfi",
                                        "-i", "sine=frequency=440:sample_rate=48000:duration=14",
                                        "-c:v", "libx264", "-c:a", "aac", input}));
        // Key frames at 0 and 10 s: the copy from 3 s joins at its 7th second.
        const QString cut = outputs_.filePath(QStringLiteral("camera-exact.mp4"));
        const PlanDriver::Outcome made = PlanDriver::Cut(
            input, QStringLiteral("-c copy -quenlet-exact-copy -ss 3 -t 10 -y"), cut, 10);
        QVERIFY2(made.done, qPrintable(made.problem));
        window_->intake->TakeInFile(cut);
        QVERIFY(!window_->session->NoMedia());
        MainPanel* panel = window_->frMain;
        if (panel->cmdPlay->text() != QStringLiteral("Play")) {
            QTest::mouseClick(panel->cmdPlay, Qt::LeftButton); // paused
        }
        panel->Slider->setFocus();
        int at = 0;
        for (const int second : {6, 8, 5}) {
            while (at != second) {
                QTest::keyClick(panel->Slider, at < second ? Qt::Key_Right : Qt::Key_Left);
                at += at < second ? 1 : -1;
            }
            QCOMPARE(Position(), double(second));
            QVERIFY(Resembles(ShownPicture(), FirstPicture(cut, second), cut, second));
        }
    }

private:
    // Whether `shown` is the picture at `second` of `file` (`expected`), not the one a second
    // before or after it.
    bool Resembles(const QImage& shown, const QImage& expected, const QString& file, int second) {
        if (shown.isNull() || expected.isNull()) {
            return false;
        }
        const double toCut = TestSupport::PictureDifference(shown, expected);
        for (const int other : {second - 1, second + 1}) {
            const QImage neighbour = FirstPicture(file, other);
            const double toNeighbour =
                neighbour.isNull() ? 1000 : TestSupport::PictureDifference(shown, neighbour);
            if (!(toCut < toNeighbour / 2)) {
                qWarning("%d s: %g from the expected picture, %g from the picture at %d s", second,
                         toCut, toNeighbour, other);
                return false;
            }
        }
        return true;
    }
};

QTEST_MAIN(tst_frmMainCutPicture)
#include "tst_frmMainCutPicture.moc"
