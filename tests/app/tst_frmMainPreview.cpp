#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/frmMain.h"
#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

// Share of pixels in a rectangle that are not (nearly) black, and the number of distinct
// coarse colours among them.
struct Lit {
    double share = 0;
    int colours = 0;
};
Lit Measure(const QImage& image, const QRect& rect) {
    qint64 lit = 0;
    QSet<QRgb> colours;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (qGray(pixel) > 24) {
                ++lit;
                colours.insert(pixel & 0xC0C0C0);
            }
        }
    }
    return {double(lit) / double(rect.width() * rect.height()), int(colours.size())};
}

} // namespace

// The main window with the real libmpv: a clip is loaded, played, paused, sought with the
// slider's mouse and marked, all through the window's own controls; the picture fills the video
// area; a file that is no video is refused.
class tst_frmMainPreview : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString clip_;
    PlayerEngine* prepared_ = nullptr;
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
    // A drag of the slider's handle with the left button, released at `x`.
    void DragSliderTo(int x) {
        Slider* slider = window_->frMain->Slider;
        const QPoint from(slider->width() / 10, slider->height() / 2);
        const QPoint to(x, slider->height() / 2);
        QTest::mouseMove(slider, from);
        QTest::mousePress(slider, Qt::LeftButton, {}, from);
        QTest::mouseMove(slider, to);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, to);
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        clip_ = folder_.filePath(QStringLiteral("clip.mp4"));
        QVERIFY(TestSupport::MakeClip(clip_, 8.0));
        catalogs_ =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        messages_ = std::make_unique<TestSupport::MessageRecorder>();
        window_ = std::make_unique<frmMain>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        messages_->clear();
    }

    void cleanupTestCase() {
        window_.reset();
        messages_.reset();
        catalogs_.reset();
    }

    void buttonsDoNothingBeforeALoad() {
        MainPanel* panel = window_->frMain;
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QTest::mouseClick(panel->cmdStartSelect, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        QCOMPARE(panel->lblStartSelect->text(), QStringLiteral("00:00:00"));
        QVERIFY(window_->player->Engine() == nullptr);
        QTest::mouseClick(panel->cmdDeleteSelect, Qt::LeftButton);
        QCOMPARE(panel->lblEndSelect->text(), QStringLiteral("00.00.00"));
    }

    // As the program starts: the engine and its picture made before the window is shown keep
    // the window the user sees (an OpenGL picture added to a window on the screen makes Qt
    // create the window again, a flash).
    void aPictureMadeBeforeTheWindowShowsKeepsTheWindow() {
        frmMain window;
        window.player->PrepareEngine();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const WId shown = window.winId();
        auto* engine = dynamic_cast<MpvEngine*>(window.player->Engine());
        QVERIFY(engine != nullptr && engine->VideoWidget() != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(engine->VideoWidget()->HasRenderContext(), 5000);
        QTest::qWait(200);
        QCOMPARE(window.winId(), shown);
        QVERIFY(window.isVisible());
        QVERIFY(messages_->messages.isEmpty());
    }

    // The engine and its picture can also be made for a window already shown: the buttons
    // still wait for a file, and the first load uses them.
    void thePreparedPictureWaitsForTheFirstFile() {
        MainPanel* panel = window_->frMain;
        window_->player->PrepareEngine();
        MpvVideoWidget* picture = Picture();
        QVERIFY(picture != nullptr);
        QTRY_VERIFY_WITH_TIMEOUT(picture->HasRenderContext(), 5000);
        QCOMPARE(picture->parentWidget(), panel->picVideoWindow);
        QVERIFY(window_->session->NoMedia());
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        QCOMPARE(picture->NewFramesRendered(), 0);
        PlayerEngine* prepared = window_->player->Engine();
        window_->player->PrepareEngine();
        QCOMPARE(window_->player->Engine(), prepared);
        prepared_ = prepared;
    }

    void loadsAndPlaysInTheVideoArea() {
        MainPanel* panel = window_->frMain;
        window_->player->LoadVideo(clip_);
        QCOMPARE(window_->player->Engine(), prepared_);
        QTRY_VERIFY_WITH_TIMEOUT(Picture()->NewFramesRendered() > 0, 5000);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QVERIFY(!window_->session->NoMedia());
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:00/00:00:08"));
        QCOMPARE(panel->Slider->Max(), 8);
        MpvVideoWidget* picture = Picture();
        QVERIFY(picture != nullptr);
        QCOMPARE(picture->parentWidget(), panel->picVideoWindow);
        QCOMPARE(picture->geometry(), panel->picVideoWindow->rect());
        QCOMPARE(picture->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!picture->acceptDrops());

        // Playing: the ticks move the slider and the label.
        QTRY_VERIFY_WITH_TIMEOUT(panel->Slider->Value() >= 2, 5000);
        QVERIFY(picture->FramesRendered() > 10);
        QVERIFY(panel->lblTime->text().endsWith(QStringLiteral("/00:00:08")));
    }

    void pausesSeeksAndMarks() {
        MainPanel* panel = window_->frMain;
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(!window_->player->tmrVideo()->isActive());

        // The intake enables the slider for the pointer once a file is taken in.
        panel->Slider->SetEnabled(true);
        DragSliderTo(panel->Slider->width() * 3 / 4);
        const int second = panel->Slider->Value();
        QVERIFY2(second >= 4 && second < 8, qPrintable(QString::number(second)));
        QTRY_COMPARE_WITH_TIMEOUT(Position(), double(second), 5000);
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:0%1/00:00:08").arg(second));
        QTest::qWait(300);
        QCOMPARE(Position(), double(second)); // still paused

        QTest::mouseClick(panel->cmdStartSelect, Qt::LeftButton);
        QCOMPARE(panel->Slider->SelectStart(), second);
        QCOMPARE(panel->lblStartSelect->text(), QStringLiteral("00:00:0%1").arg(second));
    }

    // The clip has one key frame, at its start, as the encoder makes files of a few seconds.
    // After a seek the picture finally shown is the second's own, as ffmpeg decodes it, not
    // the key frame's nor a neighbouring second's.
    void aSeekEndsOnTheSecondsOwnPicture() {
        MainPanel* panel = window_->frMain;
        DragSliderTo(panel->Slider->width() * 45 / 100);
        const int second = panel->Slider->Value();
        QVERIFY2(second >= 2 && second < 7, qPrintable(QString::number(second)));
        QCOMPARE(Position(), double(second));
        const auto frameAt = [&](int at) {
            QImage frame;
            const QString png = folder_.filePath(QStringLiteral("at%1.png").arg(at));
            if (TestSupport::RunFfmpeg({QStringLiteral("-ss"), QString::number(at),
                                        QStringLiteral("-i"), clip_, QStringLiteral("-frames:v"),
                                        QStringLiteral("1"), png})) {
                frame.load(png);
            }
            return frame;
        };
        const QImage own = frameAt(second);
        const QList<QImage> others{frameAt(0), frameAt(second - 1), frameAt(second + 1)};
        QVERIFY(!own.isNull() && !others.at(0).isNull() && !others.at(2).isNull());
        // The 4:3 picture in the middle of the wide area.
        const auto shown = [&] {
            const QImage area = Picture()->grabFramebuffer();
            const int width = area.height() * 4 / 3;
            return area.copy((area.width() - width) / 2, 0, width, area.height());
        };
        const auto showsOwn = [&] {
            const QImage picture = shown();
            const double toOwn = TestSupport::PictureDifference(picture, own);
            for (const QImage& other : others) {
                if (TestSupport::PictureDifference(picture, other) <= toOwn) {
                    return false;
                }
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(showsOwn(), 5000);
        QTest::qWait(500);
        QVERIFY(showsOwn());
        QCOMPARE(Position(), double(second));
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:0%1/00:00:08").arg(second));
    }

    // A seek while the clip plays holds the picture at the second sought, never earlier (no
    // playing on from the key frame), and plays on from there.
    void aSeekWhilePlayingPlaysOnFromTheSecond() {
        MainPanel* panel = window_->frMain;
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        QTest::qWait(300);
        DragSliderTo(panel->Slider->width() * 30 / 100);
        const int second = panel->Slider->Value();
        QVERIFY2(second >= 1 && second < 5, qPrintable(QString::number(second)));
        double earliest = Position();
        QCOMPARE(earliest, double(second));
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2500 && Position() < second + 0.5) {
            QTest::qWait(10);
            earliest = std::min(earliest, Position());
        }
        QVERIFY2(earliest > second - 0.05, qPrintable(QString::number(earliest)));
        QVERIFY2(Position() >= second + 0.5 && Position() < second + 3,
                 qPrintable(QString::number(Position())));
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        QTRY_VERIFY_WITH_TIMEOUT(panel->Slider->Value() > second, 5000);
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
    }

    void thePictureFillsTheVideoArea() {
        MainPanel* panel = window_->frMain;
        QTest::qWait(200);
        const QImage shot = window_->grab().toImage().convertToFormat(QImage::Format_RGB32);
        shot.save(folder_.filePath(QStringLiteral("window.png")));
        const QRect area(panel->picVideoWindow->mapTo(window_.get(), QPoint(0, 0)),
                         panel->picVideoWindow->size());
        // The 4:3 picture sits in the middle of the wide area, black beside it.
        const int pictureWidth = area.height() * 4 / 3;
        const QRect middle(area.center().x() - pictureWidth / 3, area.top() + 4,
                           pictureWidth * 2 / 3, area.height() - 8);
        const Lit video = Measure(shot, middle);
        QVERIFY2(video.share > 0.9, qPrintable(QString::number(video.share)));
        QVERIFY2(video.colours >= 6, qPrintable(QString::number(video.colours)));
        const QRect leftBar(area.left() + 2, area.top() + 2, 20, area.height() - 4);
        QVERIFY(Measure(shot, leftBar).share < 0.01);
    }

    void playsToTheEndAndRewinds() {
        MainPanel* panel = window_->frMain;
        DragSliderTo(panel->Slider->width() * 85 / 100);
        QVERIFY(panel->Slider->Value() >= 6 && panel->Slider->Value() < 8);
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        // A tick finds the end: Play is offered again.
        QTRY_COMPARE_WITH_TIMEOUT(panel->cmdPlay->text(), QStringLiteral("Play"), 5000);
        QCOMPARE(panel->Slider->Value(), 8);
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:08/00:00:08"));
        // The tick may come in the last half second; at the very end Play starts over.
        QTRY_VERIFY_WITH_TIMEOUT(Position() >= 8.0, 5000);
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->Slider->Value(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(Position() > 0.5 && Position() < 4, 5000);
        QTest::mouseClick(panel->cmdStop, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        QTRY_COMPARE_WITH_TIMEOUT(Position(), 0.0, 5000);
    }

    void aFileThatIsNoVideoIsRefused() {
        const QString text = folder_.filePath(QStringLiteral("notes.mp4"));
        QFile file(text);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("These are notes, not a video.\n");
        file.close();
        window_->player->UnloadVideo(); // as a new intake has it done before a load
        window_->player->LoadVideo(text);
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("File is not supported")});
        QCOMPARE(messages_->messages.first().icon, Platform::MessageIcon::Exclamation);
        QVERIFY(window_->session->NoMedia());
        // The next file loads into the same picture.
        MpvVideoWidget* picture = Picture();
        messages_->clear();
        window_->player->LoadVideo(clip_);
        QVERIFY(messages_->messages.isEmpty());
        QVERIFY(!window_->session->NoMedia());
        QCOMPARE(Picture(), picture);
    }
};

QTEST_MAIN(tst_frmMainPreview)
#include "tst_frmMainPreview.moc"
