#include "preview/MpvSeekWatch.h"

#include <QTest>

// When the engine takes a seek's picture to be on the screen: mpv's events in the orders they
// really come in, with frames of the old position still drawn while a playing seek runs.
class tst_MpvSeekWatch : public QObject {
    Q_OBJECT

private slots:
    void aPausedSeekIsShownOnceRestartedDrawnAndTimed() {
        MpvSeekWatch watch;
        const quint64 serial = watch.Start(42.0, true);
        QVERIFY(watch.Pending());
        QCOMPARE(watch.Target(), 42.0);
        // The restart of an earlier seek comes before this seek's command was carried out.
        QVERIFY(!watch.Restarted());
        watch.CommandDone(serial, true);
        // Paused, the new frame may be drawn before the restart is heard of.
        watch.FrameDrawn();
        QVERIFY(!watch.TakeShown());
        QVERIFY(watch.Restarted());
        QVERIFY(!watch.Restarted()); // one restart per seek
        QVERIFY(!watch.TakeShown());
        watch.PictureTime(serial, 40.0);
        QCOMPARE(watch.TakeShown(), std::optional<double>(40.0));
        QVERIFY(!watch.Pending());
        QVERIFY(!watch.TakeShown());
    }

    void whilePlayingOnlyAFrameAfterTheRestartCounts() {
        MpvSeekWatch watch;
        const quint64 serial = watch.Start(5.0, true);
        watch.Unpaused();
        watch.CommandDone(serial, true);
        watch.FrameDrawn(); // the old position, still playing
        QVERIFY(watch.Restarted());
        watch.PictureTime(serial, 0.0);
        QVERIFY(!watch.TakeShown());
        QVERIFY(watch.AwaitingPicture());
        watch.FrameDrawn();
        QCOMPARE(watch.TakeShown(), std::optional<double>(0.0));
    }

    void aSeekThatHoldsPlayingStillCountsFramesOnceThePauseTookEffect() {
        MpvSeekWatch watch;
        // Sent while playing, with a pause just before it whose reply is still to come.
        const quint64 serial = watch.Start(5.0, false);
        watch.FrameDrawn(); // the old position, drawn before mpv paused
        watch.Paused();
        watch.CommandDone(serial, true);
        // The seek's one picture, drawn before its restart is heard of: no frame follows it.
        watch.FrameDrawn();
        QVERIFY(watch.Restarted());
        watch.PictureTime(serial, 4.0);
        QCOMPARE(watch.TakeShown(), std::optional<double>(4.0));

        // A pause of no seek under way changes nothing for the next one.
        watch.Paused();
        const quint64 next = watch.Start(6.0, false);
        watch.CommandDone(next, true);
        watch.FrameDrawn();
        QVERIFY(watch.Restarted());
        watch.PictureTime(next, 6.0);
        QVERIFY(!watch.TakeShown());
    }

    void aKeyFrameSeekIsShownAtItsRestartWithoutWaitingForTheDrawing() {
        MpvSeekWatch watch;
        const quint64 serial = watch.Start(8.0, false, false);
        watch.CommandDone(serial, true);
        QVERIFY(!watch.TakeShown());
        QVERIFY(watch.Restarted());
        QVERIFY(!watch.AwaitingPicture());
        // Its time is still needed.
        QVERIFY(!watch.TakeShown());
        watch.PictureTime(serial, 0.0);
        QCOMPARE(watch.TakeShown(), std::optional<double>(0.0));
        // The exact seek after it waits for its drawing again.
        const quint64 exact = watch.Start(8.0, true);
        watch.CommandDone(exact, true);
        QVERIFY(watch.Restarted());
        watch.PictureTime(exact, 8.0);
        QVERIFY(!watch.TakeShown());
        watch.FrameDrawn();
        QCOMPARE(watch.TakeShown(), std::optional<double>(8.0));
    }

    void aLaterSeekReplacesAnEarlierOne() {
        MpvSeekWatch watch;
        const quint64 first = watch.Start(42.0, true);
        watch.CommandDone(first, true);
        const quint64 second = watch.Start(7.0, true);
        QVERIFY(second != first);
        QCOMPARE(watch.Target(), 7.0);
        // The first seek's restart and time are not the second's.
        QVERIFY(!watch.Restarted());
        watch.PictureTime(first, 40.0);
        watch.CommandDone(second, true);
        watch.FrameDrawn();
        QVERIFY(watch.Restarted());
        QVERIFY(!watch.TakeShown());
        watch.PictureTime(second, 0.0);
        QCOMPARE(watch.TakeShown(), std::optional<double>(0.0));
    }

    void aRefusedSeekOrAMissingPictureEndsTheWait() {
        MpvSeekWatch watch;
        quint64 serial = watch.Start(3.0, true);
        watch.CommandDone(serial, false);
        QVERIFY(!watch.Pending());
        QVERIFY(!watch.Restarted());

        // Nothing draws the video: after the restart, giving up on the picture reports it.
        serial = watch.Start(3.0, false);
        watch.StopWaitingForPicture(); // not before the restart
        watch.CommandDone(serial, true);
        QVERIFY(watch.Restarted());
        watch.PictureTime(serial, 3.0);
        QVERIFY(!watch.TakeShown());
        watch.StopWaitingForPicture();
        QCOMPARE(watch.TakeShown(), std::optional<double>(3.0));

        // A file that ends forgets its seek.
        serial = watch.Start(1.0, true);
        watch.Clear();
        watch.CommandDone(serial, true);
        QVERIFY(!watch.Restarted());
        QVERIFY(!watch.Pending());
    }
};

QTEST_MAIN(tst_MpvSeekWatch)
#include "tst_MpvSeekWatch.moc"
