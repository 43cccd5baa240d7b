#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "tests/support/TestSupport.h"

#include <QDropEvent>
#include <QImage>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWidget>

#include <memory>

namespace {

// A video area that takes dropped files, as the main window's does.
class DropArea : public QWidget {
public:
    using QWidget::QWidget;
    QList<QUrl> dropped;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override { event->acceptProposedAction(); }
    void dropEvent(QDropEvent* event) override {
        dropped = event->mimeData()->urls();
        event->acceptProposedAction();
    }
};

// Mean colour of a rectangle of an image.
QColor MeanColour(const QImage& image, const QRect& rect) {
    qint64 red = 0;
    qint64 green = 0;
    qint64 blue = 0;
    qint64 count = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            red += qRed(pixel);
            green += qGreen(pixel);
            blue += qBlue(pixel);
            ++count;
        }
    }
    return QColor(int(red / count), int(green / count), int(blue / count));
}

int Distance(const QColor& a, const QColor& b) {
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// Share of pixels that are not (nearly) black.
double LitShare(const QImage& image) {
    qint64 lit = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) > 24) {
                ++lit;
            }
        }
    }
    return double(lit) / (double(image.width()) * image.height());
}

// The frame ffmpeg decodes at `seconds` of a clip.
QImage FrameAt(const QString& clip, double seconds, const QString& png) {
    QImage frame;
    if (TestSupport::RunFfmpeg({QStringLiteral("-ss"), QString::number(seconds, 'f', 3),
                                QStringLiteral("-i"), clip, QStringLiteral("-frames:v"),
                                QStringLiteral("1"), png})) {
        frame.load(png);
    }
    return frame;
}

} // namespace

// The picture: drawn from the right frame the right way up into a widget that fills the video
// area, whatever order the engine, the widget and their owners are made and destroyed in.
class tst_MpvEngineVideo : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString clip_;
    QImage firstFrame_; // the clip's first frame as ffmpeg decodes it

    static bool WaitForFrame(MpvEngine& engine, int framesBefore = 0) {
        return QTest::qWaitFor(
            [&] {
                return engine.VideoWidget() != nullptr &&
                       engine.VideoWidget()->FramesRendered() > framesBefore;
            },
            5000);
    }

    // Checks that the widget shows the clip's first frame, upright and filling it.
    void VerifyShowsFirstFrame(MpvVideoWidget* widget) {
        QVERIFY(widget != nullptr);
        const QImage shown = widget->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.size(), firstFrame_.size());
        QVERIFY2(LitShare(shown) > 0.5, "the picture is mostly black");
        // Compare the quarters: an image upside down or from elsewhere differs in them.
        const int w = shown.width() / 2;
        const int h = shown.height() / 2;
        for (const QRect& quarter :
             {QRect(0, 0, w, h), QRect(w, 0, w, h), QRect(0, h, w, h), QRect(w, h, w, h)}) {
            const int distance =
                Distance(MeanColour(shown, quarter), MeanColour(firstFrame_, quarter));
            QVERIFY2(distance < 30, qPrintable(QStringLiteral("colour distance %1").arg(distance)));
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        clip_ = folder_.filePath(QStringLiteral("clip.mp4"));
        QVERIFY(TestSupport::MakeClip(clip_, 5.0));
        const QString png = folder_.filePath(QStringLiteral("first.png"));
        QVERIFY(TestSupport::RunFfmpeg(
            {QStringLiteral("-i"), clip_, QStringLiteral("-frames:v"), QStringLiteral("1"), png}));
        QVERIFY(firstFrame_.load(png));
        firstFrame_ = firstFrame_.convertToFormat(QImage::Format_RGB32);
    }

    void drawsTheVideoFillingTheArea() {
        QWidget window;
        window.resize(400, 300);
        auto* area = new QWidget(&window);
        area->setGeometry(30, 20, 320, 240);
        MpvEngine engine;
        // The order the player uses: load first, then place the picture in the area.
        QCOMPARE(engine.RenderFile(clip_), EngineResult::Ok);
        QCOMPARE(engine.PutTop(0), EngineResult::Ok);
        QCOMPARE(engine.PutWindowStyle(0x06000000), EngineResult::Ok);
        QCOMPARE(engine.PutLeft(0), EngineResult::Ok);
        QCOMPARE(engine.PutHeight(240), EngineResult::Ok);
        QCOMPARE(engine.PutWidth(320), EngineResult::Ok);
        QCOMPARE(engine.PutOwner(area), EngineResult::Ok);
        QCOMPARE(engine.HideCursor(false), EngineResult::Ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        MpvVideoWidget* widget = engine.VideoWidget();
        QVERIFY(widget != nullptr);
        QCOMPARE(widget->parentWidget(), area);
        QCOMPARE(widget->geometry(), area->rect());
        QVERIFY(widget->isVisible());
        QCOMPARE(widget->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(WaitForFrame(engine));
        VerifyShowsFirstFrame(widget);

        // The picture follows the area's size.
        area->resize(200, 150);
        QCOMPARE(widget->geometry(), QRect(0, 0, 200, 150));
        QCOMPARE(engine.PutWidth(100), EngineResult::Ok);
        QCOMPARE(widget->geometry(), QRect(0, 0, 100, 150));
        QCOMPARE(engine.PutWidth(-1), EngineResult::Failed);

        // Playing draws new frames.
        const int frames = widget->FramesRendered();
        QCOMPARE(engine.Run(), EngineResult::Ok);
        QVERIFY(WaitForFrame(engine, frames + 10));
    }

    // A clip as cameras and editors make them: one key frame in ten seconds. A key-frame seek
    // shows the key frame before the second and reports its time; an exact seek shows the
    // second's own picture; a seek replaced by the next is never reported.
    void keyFrameAndExactSeeksShowTheirPictures() {
        const QString clip = folder_.filePath(QStringLiteral("camera.mp4"));
        QVERIFY(TestSupport::RunFfmpeg(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=320x240:rate=25:duration=8"), QStringLiteral("-c:v"),
             QStringLiteral("libx264"), QStringLiteral("-pix_fmt"), QStringLiteral("yuv420p"),
             clip}));
        const QImage keyFrame = FrameAt(clip, 0.0, folder_.filePath(QStringLiteral("k.png")));
        const QImage second5 = FrameAt(clip, 5.0, folder_.filePath(QStringLiteral("5.png")));
        const QImage second6 = FrameAt(clip, 6.0, folder_.filePath(QStringLiteral("6.png")));
        QVERIFY(!keyFrame.isNull() && !second5.isNull() && !second6.isNull());

        QWidget window;
        window.resize(320, 240);
        MpvEngine engine;
        QList<double> shown;
        engine.SetSeekShownHandler([&](double seconds) { shown.append(seconds); });
        QCOMPARE(engine.PutOwner(&window), EngineResult::Ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(engine.RenderFile(clip), EngineResult::Ok);
        QVERIFY(WaitForFrame(engine));
        MpvVideoWidget* widget = engine.VideoWidget();
        const auto picture = [&] { return widget->grabFramebuffer(); };

        QCOMPARE(engine.PutKeyFramePosition(5.0), EngineResult::Ok);
        double position = -1;
        QCOMPARE(engine.GetCurrentPosition(position), EngineResult::Ok);
        QCOMPARE(position, 5.0);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 5000);
        QVERIFY2(shown.first() < 0.1, qPrintable(QString::number(shown.first())));
        const QImage atKeyFrame = picture();
        qInfo("key-frame seek: %.1f from the key frame, %.1f from second 5",
              TestSupport::PictureDifference(atKeyFrame, keyFrame),
              TestSupport::PictureDifference(atKeyFrame, second5));
        QVERIFY(TestSupport::PictureDifference(atKeyFrame, keyFrame) <
                TestSupport::PictureDifference(atKeyFrame, second5));

        // Two exact seeks at once: the first is replaced and never reported.
        shown.clear();
        QCOMPARE(engine.PutCurrentPosition(6.0), EngineResult::Ok);
        QCOMPARE(engine.PutCurrentPosition(5.0), EngineResult::Ok);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 1, 5000);
        QTest::qWait(300);
        QCOMPARE(shown, QList<double>{5.0});
        QCOMPARE(engine.GetCurrentPosition(position), EngineResult::Ok);
        QCOMPARE(position, 5.0);
        const QImage exact = picture();
        const double toSecond = TestSupport::PictureDifference(exact, second5);
        qInfo("exact seek: %.1f from second 5, %.1f from the key frame, %.1f from second 6",
              toSecond, TestSupport::PictureDifference(exact, keyFrame),
              TestSupport::PictureDifference(exact, second6));
        QVERIFY(toSecond < TestSupport::PictureDifference(exact, keyFrame));
        QVERIFY(toSecond < TestSupport::PictureDifference(exact, second6));
    }

    void filesDroppedOnThePictureReachTheArea() {
        QWidget window;
        window.resize(400, 300);
        auto* area = new DropArea(&window);
        area->setAcceptDrops(true);
        area->setGeometry(0, 0, 320, 240);
        MpvEngine engine;
        QCOMPARE(engine.PutOwner(area), EngineResult::Ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        MpvVideoWidget* widget = engine.VideoWidget();
        QCOMPARE(window.childAt(100, 100), widget);

        // Through the window, as a drag from the file manager arrives: Qt hands it to the
        // widget under the pointer that takes drops.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(clip_)});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.windowHandle(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.windowHandle(), &drop);
        QCOMPARE(area->dropped, QList<QUrl>{QUrl::fromLocalFile(clip_)});
    }

    void theAreaGoingAwayFirstLeavesTheEngineWorking() {
        MpvEngine engine;
        QCOMPARE(engine.RenderFile(clip_), EngineResult::Ok);
        {
            QWidget window;
            window.resize(320, 240);
            QCOMPARE(engine.PutOwner(&window), EngineResult::Ok);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QVERIFY(WaitForFrame(engine));
            QCOMPARE(engine.Run(), EngineResult::Ok);
        }
        // The widget went with its window; the engine goes on without a picture.
        QVERIFY(engine.VideoWidget() == nullptr);
        double seconds = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            engine.GetCurrentPosition(seconds) == EngineResult::Ok && seconds > 0.5, 5000);
        QCOMPARE(engine.Pause(), EngineResult::Ok);
        QCOMPARE(engine.PutCurrentPosition(0), EngineResult::Ok);

        // A new area gets a new picture of the same file.
        QWidget window;
        window.resize(320, 240);
        QCOMPARE(engine.PutOwner(&window), EngineResult::Ok);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(WaitForFrame(engine));
        VerifyShowsFirstFrame(engine.VideoWidget());
    }

    void thePictureMovesToAnotherWindow() {
        QWidget first;
        QWidget second;
        first.resize(320, 240);
        second.resize(320, 240);
        MpvEngine engine;
        QCOMPARE(engine.PutOwner(&first), EngineResult::Ok);
        first.show();
        QVERIFY(QTest::qWaitForWindowExposed(&first));
        QCOMPARE(engine.RenderFile(clip_), EngineResult::Ok);
        QVERIFY(WaitForFrame(engine));

        // Another top-level window means another GL context and so another render context.
        QSignalSpy contexts(engine.VideoWidget(), &MpvVideoWidget::RenderContextChanged);
        QCOMPARE(engine.PutOwner(&second), EngineResult::Ok);
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QTRY_COMPARE(contexts.count(), 2);
        QCOMPARE(contexts.at(0).at(0).toBool(), false);
        QCOMPARE(contexts.at(1).at(0).toBool(), true);
        // The frames counted so far are the first window's: wait for one drawn in the second,
        // and for the picture rather than the black of a widget mpv has not drawn into yet.
        const int framesBefore = engine.VideoWidget()->FramesRendered();
        QCOMPARE(engine.PutCurrentPosition(0), EngineResult::Ok);
        QVERIFY(WaitForFrame(engine, framesBefore));
        QTRY_VERIFY_WITH_TIMEOUT(LitShare(engine.VideoWidget()->grabFramebuffer()) > 0.5, 5000);
        VerifyShowsFirstFrame(engine.VideoWidget());

        // Without an owner the picture is put away.
        QCOMPARE(engine.PutOwner(nullptr), EngineResult::Ok);
        QVERIFY(!engine.VideoWidget()->isVisible());
        QVERIFY(second.findChildren<MpvVideoWidget*>().isEmpty());
    }

    void theEngineGoingAwayFirstTakesItsPicture() {
        QWidget window;
        window.resize(320, 240);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (int round = 0; round < 2; ++round) {
            auto engine = std::make_unique<MpvEngine>();
            QCOMPARE(engine->PutOwner(&window), EngineResult::Ok);
            QCOMPARE(engine->RenderFile(clip_), EngineResult::Ok);
            QVERIFY(WaitForFrame(*engine));
            QCOMPARE(engine->Run(), EngineResult::Ok);
            QTest::qWait(200);
            engine.reset();
            QVERIFY(window.findChildren<MpvVideoWidget*>().isEmpty());
            // Posted repaints and event drains of the dead engine must come to nothing.
            QTest::qWait(100);
        }
    }
};

QTEST_MAIN(tst_MpvEngineVideo)
#include "tst_MpvEngineVideo.moc"
