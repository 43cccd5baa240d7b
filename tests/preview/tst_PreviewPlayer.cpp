#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"

#include "tests/support/FakePlayerEngine.h"
#include "tests/support/TestSupport.h"
#include <QMouseEvent>

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <limits>
#include <memory>

using TestSupport::FakePlayerEngine;
using Operation = TestSupport::FakePlayerEngine::Operation;

namespace {

// The player with the controls it drives, laid out as on the main window (the slider stored
// with Min 0, Max 1000000, Value 0), and a scripted engine that the first load takes.
struct Rig {
    Rig() {
        area->setObjectName(QStringLiteral("picVideoWindow"));
        area->setGeometry(10, 10, 300, 200);
        slider->SetMin(0);
        slider->SetMax(1000000);
        slider->SetValue(0);
    }
    void Load(double duration = 10.0) {
        fake->renderedDuration = duration;
        player.LoadVideo(QStringLiteral("/videos/a.mp4"));
    }
    // One tick at the engine's position.
    void TickAt(double position) {
        fake->position = position;
        player.tmrVideo_Timer();
    }
    void Seek() {
        qint16 button = 1;
        qint16 shift = 0;
        double x = 0;
        double y = 0;
        player.Slider_MouseUp(button, shift, x, y);
    }

    TestSupport::MessageRecorder messages;
    QWidget window;
    QWidget* area = new QWidget(&window);
    Slider* slider = new Slider(&window);
    QPushButton* cmdPlay = new QPushButton(QStringLiteral("Play"), &window);
    QLabel* lblTime = new QLabel(QStringLiteral("00:00.00/00:00.00"), &window);
    std::unique_ptr<FakePlayerEngine> pending = std::make_unique<FakePlayerEngine>();
    FakePlayerEngine* fake = pending.get(); // owned by the player from the first load on
    PreviewPlayer player{[this]() -> std::unique_ptr<PlayerEngine> { return std::move(pending); },
                         area,
                         slider,
                         cmdPlay,
                         lblTime,
                         &window};
};

const QStringList LoadCalls{
    QStringLiteral("RenderFile(/videos/a.mp4)"),
    QStringLiteral("PutVolume(0)"),
    QStringLiteral("PutBalance(0)"),
    QStringLiteral("PutTop(0)"),
    QStringLiteral("PutWindowStyle(0x06000000)"),
    QStringLiteral("PutLeft(0)"),
    QStringLiteral("PutHeight(200)"),
    QStringLiteral("PutWidth(300)"),
    QStringLiteral("PutOwner(picVideoWindow)"),
    QStringLiteral("HideCursor(false)"),
    QStringLiteral("PutRate(1)"),
    QStringLiteral("GetDuration()"),
    QStringLiteral("Run()"),
    QStringLiteral("GetDuration()"),
};

} // namespace

class tst_PreviewPlayer : public QObject {
    Q_OBJECT

private slots:
    // A plain click on the slider seeks to where the handle jumped, once; a drag released on
    // the slider seeks on the release.
    void clickOnTheSliderSeeksWhereTheHandleJumped() {
        Rig rig;
        QObject::connect(rig.slider, &Slider::MouseUp, &rig.player, &PreviewPlayer::Slider_MouseUp,
                         Qt::DirectConnection);
        QObject::connect(rig.slider, &Slider::DblClick, &rig.player,
                         &PreviewPlayer::Slider_DblClick, Qt::DirectConnection);
        rig.slider->setGeometry(0, 220, 300, 20);
        rig.window.show();
        rig.Load(128.0);
        rig.slider->SetEnabled(true);
        rig.fake->calls.clear();

        QTest::mouseMove(rig.slider, QPoint(147, 10));
        QTest::mouseClick(rig.slider, Qt::LeftButton, {}, QPoint(147, 10));
        QCOMPARE(rig.slider->Value(), 64);
        const QStringList seeks = rig.fake->calls.filter(QStringLiteral("Position("));
        // The start is a key frame: the seek to it is exact at once.
        QCOMPARE(seeks, QStringList({QStringLiteral("PutCurrentPosition(0)"),
                                     QStringLiteral("GetCurrentPosition()"),
                                     QStringLiteral("PutKeyFramePosition(64)"),
                                     QStringLiteral("GetCurrentPosition()")}));
        QVERIFY(rig.lblTime->text().startsWith(QStringLiteral("00:01:04/")));

        rig.fake->calls.clear();
        QTest::mousePress(rig.slider, Qt::LeftButton, {}, QPoint(147, 10));
        QMouseEvent drag(QEvent::MouseMove, QPointF(275, 10),
                         rig.slider->mapToGlobal(QPointF(275, 10)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(rig.slider, &drag);
        QTest::mouseRelease(rig.slider, Qt::LeftButton, {}, QPoint(275, 10));
        QCOMPARE(rig.slider->Value(), 128);
        QCOMPARE(rig.fake->calls.filter(QStringLiteral("Put")),
                 QStringList{QStringLiteral("PutKeyFramePosition(128)")});
    }

    void aLoadPlacesThePictureAndPlays() {
        Rig rig;
        QVERIFY(rig.player.Engine() == nullptr);
        QVERIFY(!rig.player.tmrVideo()->isActive());
        QCOMPARE(rig.player.tmrVideo()->interval(), 1000);
        // Until the last step the file is not ready; the timer runs and the slider has its
        // range before playback starts.
        bool readyEarly = false;
        rig.fake->onCall = [&](Operation operation) {
            readyEarly = readyEarly || !rig.player.NoMedia();
            if (operation == Operation::Run) {
                QVERIFY(rig.player.tmrVideo()->isActive());
                QCOMPARE(rig.slider->Max(), 65);
            }
        };
        rig.slider->SetValue(30);
        rig.Load(65.4);
        QCOMPARE(rig.fake->calls, LoadCalls);
        QVERIFY(!readyEarly);
        QVERIFY(!rig.player.NoMedia());
        QVERIFY(rig.messages.messages.isEmpty());
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:00/00:01:05"));
        QCOMPARE(rig.player.sDurationText(), QStringLiteral("00:01:05"));
        QCOMPARE(rig.slider->Max(), 65);
        QCOMPARE(rig.slider->Min(), 0);
        QCOMPARE(rig.slider->Value(), 0);
        QVERIFY(rig.player.tmrVideo()->isActive());
        QVERIFY(rig.fake->playing);
        QCOMPARE(rig.fake->owner, rig.area);

        // The next load replaces the file in the same engine.
        rig.fake->onCall = nullptr;
        rig.fake->calls.clear();
        rig.Load(20.0);
        QCOMPARE(rig.player.Engine(), rig.fake);
        QCOMPARE(rig.fake->calls.first(), QStringLiteral("RenderFile(/videos/a.mp4)"));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:00/00:00:20"));

        // A load that fails leaves no file ready, whatever was loaded before.
        rig.fake->Script(Operation::RenderFile, {EngineResult::Failed});
        rig.Load(20.0);
        QVERIFY(rig.player.NoMedia());
    }

    // Each change of NoMedia is announced once; unloading stops playback, rewinds and clears
    // the time label, and a failed load announces nothing when no file was ready.
    void readinessIsAnnouncedAndUnloadingClears() {
        Rig rig;
        QSignalSpy changes(&rig.player, &PreviewPlayer::NoMediaChanged);
        rig.Load(30.0);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.takeFirst().first().toBool(), false);
        rig.TickAt(12.0);
        QCOMPARE(rig.slider->Value(), 12);

        rig.fake->calls.clear();
        rig.player.UnloadVideo();
        QVERIFY(rig.player.NoMedia());
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.takeFirst().first().toBool(), true);
        QCOMPARE(rig.fake->CallCount(Operation::Stop), 1);
        QVERIFY(!rig.fake->playing);
        QVERIFY(!rig.player.tmrVideo()->isActive());
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00/00:00"));
        QCOMPARE(rig.slider->Value(), 0);

        // Nothing ready: no Stop reaches the engine, and a failed load announces nothing.
        rig.player.UnloadVideo();
        QCOMPARE(rig.fake->CallCount(Operation::Stop), 1);
        rig.fake->Script(Operation::RenderFile, {EngineResult::Failed});
        rig.Load(20.0);
        QCOMPARE(changes.count(), 0);
    }

    void aStepThatIsNotImplementedIsSkipped_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("fails");
        const QList<QPair<const char*, Operation>> operations{
            {"RenderFile", Operation::RenderFile},
            {"PutVolume", Operation::PutVolume},
            {"PutBalance", Operation::PutBalance},
            {"PutTop", Operation::PutTop},
            {"PutWindowStyle", Operation::PutWindowStyle},
            {"PutLeft", Operation::PutLeft},
            {"PutHeight", Operation::PutHeight},
            {"PutWidth", Operation::PutWidth},
            {"PutOwner", Operation::PutOwner},
            {"HideCursor", Operation::HideCursor},
            {"PutRate", Operation::PutRate},
            {"GetDuration", Operation::GetDuration},
            {"Run", Operation::Run},
        };
        for (const auto& [name, operation] : operations) {
            QTest::addRow("%s unavailable", name) << operation << false;
            QTest::addRow("%s failing", name) << operation << true;
        }
    }
    void aStepThatIsNotImplementedIsSkipped() {
        QFETCH(Operation, operation);
        QFETCH(bool, fails);
        Rig rig;
        rig.fake->Script(operation, {fails ? EngineResult::Failed : EngineResult::NotImplemented});
        rig.Load(10.0);
        if (!fails) {
            // Skipped: every step is still tried and the load completes.
            QCOMPARE(rig.fake->calls, LoadCalls);
            QVERIFY(rig.messages.messages.isEmpty());
            QVERIFY(!rig.player.NoMedia());
            QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
            return;
        }
        // Failed: the load ends at that step with the warning, the file is not ready.
        const qsizetype done = rig.fake->calls.size();
        QCOMPARE(rig.fake->calls, LoadCalls.mid(0, done));
        QCOMPARE(rig.fake->CallCount(operation), 1);
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("File is not supported")});
        QCOMPARE(rig.messages.messages.first().icon, Platform::MessageIcon::Exclamation);
        QVERIFY(rig.player.NoMedia());
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00.00/00:00.00"));
        // Play and Stop ignore clicks after a failed load.
        rig.fake->calls.clear();
        rig.player.cmdPlay_Click();
        rig.player.cmdStop_Click();
        QVERIFY(rig.fake->calls.isEmpty());
    }

    void aDurationTheSliderCannotHoldFailsTheLoad_data() {
        QTest::addColumn<double>("duration");
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity();
        QTest::newRow("beyond 32 bits") << 3e9;
    }
    void aDurationTheSliderCannotHoldFailsTheLoad() {
        QFETCH(double, duration);
        Rig rig;
        rig.Load(duration);
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("File is not supported")});
        QVERIFY(rig.player.NoMedia());
        QCOMPARE(rig.slider->Max(), 1000000);
        QCOMPARE(rig.fake->CallCount(Operation::Run), 0);
    }

    // The engine made ahead of the first load is placed where the load would place it, leaves
    // the player without media, and is the one the first load opens the file in.
    void aPreparedEngineIsTheOneTheFirstLoadUses() {
        Rig rig;
        QSignalSpy changes(&rig.player, &PreviewPlayer::NoMediaChanged);
        rig.player.PrepareEngine();
        QCOMPARE(rig.player.Engine(), rig.fake);
        QCOMPARE(rig.fake->owner, rig.area);
        QVERIFY(!rig.fake->calls.join(u' ').contains(QStringLiteral("RenderFile")));
        QCOMPARE(rig.fake->CallCount(Operation::Run), 0);
        QVERIFY(rig.player.NoMedia());
        QCOMPARE(changes.count(), 0);
        // Once made, the engine stays (the factory has no second one to give).
        rig.player.PrepareEngine();
        QCOMPARE(rig.player.Engine(), rig.fake);
        rig.fake->calls.clear();
        rig.Load(65.0);
        QCOMPARE(rig.player.Engine(), rig.fake);
        QCOMPARE(rig.fake->calls, LoadCalls);
        QVERIFY(!rig.player.NoMedia());
        // Its seeks are followed like those of an engine the load made.
        rig.slider->SetValue(35);
        rig.Seek();
        QVERIFY(rig.fake->calls.contains(QStringLiteral("PutKeyFramePosition(35)")));
        QVERIFY(rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->calls.last(), QStringLiteral("PutCurrentPosition(35)"));
        QVERIFY(rig.messages.messages.isEmpty());

        // A factory without an engine prepares nothing; the load then fails as before.
        Rig without;
        without.player.SetEngineFactory([] { return std::unique_ptr<PlayerEngine>(); });
        without.player.PrepareEngine();
        QVERIFY(without.player.Engine() == nullptr);
        QVERIFY(without.messages.messages.isEmpty());
        without.player.LoadVideo(QStringLiteral("/videos/a.mp4"));
        QCOMPARE(without.messages.texts(), QStringList{QStringLiteral("File is not supported")});
    }

    void anEngineThatCannotBeMadeFailsTheLoad() {
        Rig rig;
        rig.player.SetEngineFactory([] { return std::unique_ptr<PlayerEngine>(); });
        rig.player.LoadVideo(QStringLiteral("/videos/a.mp4"));
        QCOMPARE(rig.messages.texts(), QStringList{QStringLiteral("File is not supported")});
        QVERIFY(rig.player.NoMedia());
        QVERIFY(rig.player.Engine() == nullptr);
    }

    void theDurationIsRoundedHalfToEven_data() {
        QTest::addColumn<double>("duration");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::newRow("59.5 s") << 59.5 << QStringLiteral("00:01:00") << 60;
        QTest::newRow("58.5 s") << 58.5 << QStringLiteral("00:00:58") << 58;
        // Rounded to 0, and the slider's Max must exceed its Min.
        QTest::newRow("0.5 s") << 0.5 << QStringLiteral("00:00:00") << 1;
        QTest::newRow("0.2 s") << 0.2 << QStringLiteral("00:00:00") << 1;
    }
    void theDurationIsRoundedHalfToEven() {
        QFETCH(double, duration);
        QFETCH(QString, text);
        QFETCH(int, max);
        Rig rig;
        rig.Load(duration);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:00/") + text);
        QCOMPARE(rig.slider->Max(), max);
        QVERIFY(!rig.player.NoMedia());
    }

    void theTimerFollowsPlaybackToTheEndAndPlayRewinds() {
        Rig rig;
        rig.Load(10.0);
        rig.TickAt(4.5);
        QCOMPARE(rig.slider->Value(), 4);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:04/00:00:10"));
        QVERIFY(rig.player.tmrVideo()->isActive());

        // The end: the timer stops and the button offers Play; the engine is not touched.
        rig.fake->calls.clear();
        rig.TickAt(10.0);
        QCOMPARE(rig.slider->Value(), 10);
        QVERIFY(!rig.player.tmrVideo()->isActive());
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(rig.fake->playing);
        QCOMPARE(rig.fake->CallCount(Operation::Stop) + rig.fake->CallCount(Operation::Pause), 0);

        // Play from the end rewinds to the start first.
        rig.fake->calls.clear();
        rig.player.cmdPlay_Click();
        QCOMPARE(rig.fake->calls,
                 (QStringList{QStringLiteral("GetDuration()"),
                              QStringLiteral("GetCurrentPosition()"), QStringLiteral("Stop()"),
                              QStringLiteral("PutCurrentPosition(0)"), QStringLiteral("Run()")}));
        QCOMPARE(rig.slider->Value(), 0);
        QCOMPARE(rig.fake->position, 0.0);
        QVERIFY(rig.fake->playing);
        QVERIFY(rig.player.tmrVideo()->isActive());
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
    }

    void playAfterTheRoundedEndPlaysOn() {
        // 9.6 s of 10.2 s: both round to 10, so the tick takes it for the end; Play compares
        // the whole seconds 10 and 9 and does not rewind.
        Rig rig;
        rig.Load(10.2);
        rig.TickAt(9.6);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(!rig.player.tmrVideo()->isActive());
        rig.player.cmdPlay_Click();
        QCOMPARE(rig.fake->CallCount(Operation::Stop), 0);
        QCOMPARE(rig.fake->position, 9.6);
        QCOMPARE(rig.slider->Value(), 10);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
        QVERIFY(rig.player.tmrVideo()->isActive());
    }

    void pauseAndStop() {
        Rig rig;
        rig.Load(30.0);
        rig.TickAt(12.0);
        rig.player.cmdPlay_Click();
        QVERIFY(!rig.fake->playing);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(!rig.player.tmrVideo()->isActive());
        rig.player.cmdPlay_Click();
        QVERIFY(rig.fake->playing);
        QCOMPARE(rig.fake->position, 12.0);

        rig.fake->calls.clear();
        rig.player.cmdStop_Click();
        QCOMPARE(rig.fake->calls,
                 (QStringList{QStringLiteral("Stop()"), QStringLiteral("PutCurrentPosition(0)")}));
        QCOMPARE(rig.slider->Value(), 0);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(!rig.player.tmrVideo()->isActive());
    }

    void aTickSkipsWhatFails() {
        Rig rig;
        rig.Load(30.0);
        rig.TickAt(5.0);
        rig.fake->Script(Operation::GetCurrentPosition,
                         {EngineResult::Failed, EngineResult::NotImplemented});
        rig.TickAt(7.0);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:05/00:00:30"));
        QCOMPARE(rig.slider->Value(), 5);
        QVERIFY(rig.player.tmrVideo()->isActive());
        // A position beyond the slider's range is clamped; one beyond 32 bits is skipped.
        rig.TickAt(1e12);
        QCOMPARE(rig.slider->Value(), 5);
        rig.TickAt(31.0);
        QCOMPARE(rig.slider->Value(), 30);
        QVERIFY(!rig.player.tmrVideo()->isActive());
    }

    // The slider's keys seek as a release of the mouse does: the player asks for each second
    // the handle stops at (each seek replacing the one under way), the last one wins, and the
    // picture finally shown is that second's, the one a mark then takes.
    void theSlidersKeysSeekAndTheLastOneWins() {
        Rig rig;
        rig.fake->keyFrameInterval = 10.0;
        rig.Load(60.0);
        QObject::connect(rig.slider, &Slider::KeyMoved, &rig.player,
                         &PreviewPlayer::Slider_KeyMoved);
        rig.player.cmdPlay_Click(); // paused
        rig.fake->calls.clear();
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(rig.slider, Qt::Key_Right); // held: no picture shown in between
        }
        QTest::keyClick(rig.slider, Qt::Key_PageUp);
        QTest::keyClick(rig.slider, Qt::Key_Left);
        QTest::keyClick(rig.slider, Qt::Key_A); // moves nothing: no seek
        QStringList seeks;
        for (const QString& call : std::as_const(rig.fake->calls)) {
            if (call.startsWith(QLatin1String("Put"))) {
                seeks.append(call);
            }
        }
        QCOMPARE(seeks, (QStringList{QStringLiteral("PutKeyFramePosition(1)"),
                                     QStringLiteral("PutKeyFramePosition(2)"),
                                     QStringLiteral("PutKeyFramePosition(3)"),
                                     QStringLiteral("PutKeyFramePosition(4)"),
                                     QStringLiteral("PutKeyFramePosition(5)"),
                                     QStringLiteral("PutKeyFramePosition(15)"),
                                     QStringLiteral("PutKeyFramePosition(14)")}));
        QCOMPARE(rig.slider->Value(), 14);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:14/00:01:00"));
        // Only the last seek's picture comes: its key frame (10 s), then 14 s exactly.
        QVERIFY(rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->calls.last(), QStringLiteral("PutCurrentPosition(14)"));
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(!rig.fake->SeekUnderWay());
        QCOMPARE(rig.fake->position, 14.0);
        double shown = -1;
        QCOMPARE(rig.fake->GetCurrentPosition(shown), EngineResult::Ok);
        QCOMPARE(shown, double(rig.slider->Value()));
        // At the end the key moves nothing and asks for nothing.
        rig.fake->calls.clear();
        QTest::keyClick(rig.slider, Qt::Key_End);
        QTest::keyClick(rig.slider, Qt::Key_Right);
        QCOMPARE(rig.slider->Value(), 60);
        QCOMPARE(rig.fake->calls.filter(QStringLiteral("KeyFramePosition")),
                 QStringList{QStringLiteral("PutKeyFramePosition(60)")});
    }

    void aSeekLandsOnTheSlidersSecondAndKeepsThePlayState() {
        Rig rig;
        rig.Load(60.0);
        rig.slider->SetValue(42);
        rig.fake->calls.clear();
        rig.Seek();
        QCOMPARE(rig.fake->calls,
                 (QStringList{QStringLiteral("Pause()"), QStringLiteral("PutKeyFramePosition(42)"),
                              QStringLiteral("GetCurrentPosition()")}));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:42/00:01:00"));
        // Held still while the seek goes on, playing on from the exact picture.
        QVERIFY(!rig.fake->playing);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(!rig.fake->playing);
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->playing);
        QCOMPARE(rig.fake->position, 42.0);

        rig.player.cmdPlay_Click();
        rig.slider->SetValue(7);
        rig.Seek();
        QCOMPARE(rig.fake->position, 7.0);
        QVERIFY(!rig.fake->playing);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));

        // A seek the engine refuses still shows where playback is.
        rig.fake->ShowSeekPicture();
        rig.fake->ShowSeekPicture();
        rig.fake->Script(Operation::PutKeyFramePosition, {EngineResult::Failed});
        rig.slider->SetValue(20);
        rig.Seek();
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:07/00:01:00"));
    }

    // A seek shows the key frame at or before the second first and asks for the exact
    // picture once the key frame is on the screen; the slider, the label and the position
    // say the second sought all along.
    void aSeekShowsTheKeyFrameThenTheExactPicture() {
        Rig rig;
        rig.Load(60.0);
        rig.player.cmdPlay_Click(); // paused
        rig.slider->SetValue(42);
        rig.fake->calls.clear();
        rig.Seek();
        QCOMPARE(rig.fake->calls, (QStringList{QStringLiteral("PutKeyFramePosition(42)"),
                                               QStringLiteral("GetCurrentPosition()")}));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:42/00:01:00"));
        rig.player.tmrVideo_Timer();
        QCOMPARE(rig.slider->Value(), 42);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:42/00:01:00"));

        // The key frame of 40 s is shown: now the exact picture.
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->calls, QStringList{QStringLiteral("PutCurrentPosition(42)")});
        rig.player.tmrVideo_Timer();
        QCOMPARE(rig.slider->Value(), 42);
        // The exact picture ends the seek.
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->calls.isEmpty());
        QVERIFY(!rig.fake->SeekUnderWay());
        QCOMPARE(rig.fake->position, 42.0);
        QVERIFY(!rig.fake->playing);

        // A key frame on the second is its exact picture already.
        rig.fake->keyFrameInterval = 1.0;
        rig.slider->SetValue(17);
        rig.Seek();
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->calls.isEmpty());
        QCOMPARE(rig.fake->position, 17.0);

        // An engine without key-frame seeks seeks exactly at once.
        rig.fake->Script(Operation::PutKeyFramePosition, {EngineResult::NotImplemented});
        rig.slider->SetValue(23);
        rig.fake->calls.clear();
        rig.Seek();
        QCOMPARE(rig.fake->calls, (QStringList{QStringLiteral("PutKeyFramePosition(23)"),
                                               QStringLiteral("PutCurrentPosition(23)"),
                                               QStringLiteral("GetCurrentPosition()")}));
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->calls.isEmpty());
    }

    // A key frame the engine showed before, up to half a second before the second sought, is
    // as quick to decode from as to show: that seek is exact at once. Others go in two steps.
    void aSeekFromAKeyFrameSeenJustBeforeIsExactAtOnce() {
        Rig rig;
        rig.Load(60.0);
        rig.player.cmdPlay_Click(); // paused
        rig.fake->keyFrameInterval = 2.6;
        // The seeks sent for one second; every seek ends on its second.
        bool landed = true;
        const auto seek = [&](qint32 second) {
            rig.slider->SetValue(second);
            rig.fake->calls.clear();
            rig.Seek();
            const QStringList sent = rig.fake->calls.filter(QStringLiteral("Put"));
            while (rig.fake->ShowSeekPicture()) {
            }
            landed = landed && rig.fake->position == double(second);
            return sent;
        };
        QCOMPARE(seek(8), QStringList{QStringLiteral("PutKeyFramePosition(8)")});
        QCOMPARE(seek(8), QStringList{QStringLiteral("PutCurrentPosition(8)")});
        QCOMPARE(seek(3), QStringList{QStringLiteral("PutKeyFramePosition(3)")});
        QCOMPARE(seek(11), QStringList{QStringLiteral("PutKeyFramePosition(11)")});
        QCOMPARE(seek(3), QStringList{QStringLiteral("PutCurrentPosition(3)")});
        // 10.4 s is known, but 0.6 s before: two steps again.
        QCOMPARE(seek(11), QStringList{QStringLiteral("PutKeyFramePosition(11)")});
        QCOMPARE(seek(9), QStringList{QStringLiteral("PutKeyFramePosition(9)")});

        // A new file forgets the key frames of the old one.
        rig.Load(60.0);
        rig.player.cmdPlay_Click();
        QCOMPARE(seek(8), QStringList{QStringLiteral("PutKeyFramePosition(8)")});
        QCOMPARE(seek(0), QStringList{QStringLiteral("PutCurrentPosition(0)")});
        QVERIFY(landed);
    }

    // Pause pressed during a seek of a playing video leaves it paused on the exact picture. A
    // seek whose pictures never come lets the video play on from the second after a few ticks.
    void aHeldSeekEndsPausedOrWithoutItsPicture() {
        Rig rig;
        rig.Load(60.0);
        rig.slider->SetValue(42);
        rig.Seek();
        rig.player.cmdPlay_Click();
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(!rig.fake->playing);
        QCOMPARE(rig.fake->position, 42.0);

        rig.player.cmdPlay_Click();
        QVERIFY(rig.fake->playing);
        rig.slider->SetValue(25);
        rig.Seek();
        for (int tick = 1; tick < PreviewPlayer::HeldSeekTicks; ++tick) {
            rig.player.tmrVideo_Timer();
            QVERIFY(!rig.fake->playing);
        }
        rig.fake->calls.clear();
        rig.player.tmrVideo_Timer();
        QVERIFY(rig.fake->playing);
        QCOMPARE(rig.fake->calls.filter(QStringLiteral("Put")),
                 QStringList{QStringLiteral("PutCurrentPosition(25)")});
        QCOMPARE(rig.slider->Value(), 25);
        // Its late picture changes nothing.
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->calls.isEmpty());
        QVERIFY(rig.fake->playing);
    }

    // A seek released while another is under way replaces it, in either of its steps: no
    // picture of the earlier second is asked for again.
    void aNewSeekReplacesTheOneUnderWay() {
        Rig rig;
        rig.Load(60.0);
        rig.slider->SetValue(42);
        rig.Seek();
        rig.slider->SetValue(7);
        rig.Seek();
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:07/00:01:00"));
        QVERIFY(rig.fake->ShowSeekPicture());
        rig.slider->SetValue(35);
        rig.Seek(); // while the exact picture of 7 s is on its way
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(!rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->calls.filter(QStringLiteral("Put")).filter(QStringLiteral("Position")),
                 (QStringList{QStringLiteral("PutKeyFramePosition(42)"),
                              QStringLiteral("PutKeyFramePosition(7)"),
                              QStringLiteral("PutCurrentPosition(7)"),
                              QStringLiteral("PutKeyFramePosition(35)"),
                              QStringLiteral("PutCurrentPosition(35)")}));
        QCOMPARE(rig.fake->position, 35.0);
        QCOMPARE(rig.slider->Value(), 35);
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00:35/00:01:00"));
        // Held still once, for all three seeks, and playing on from the last.
        QCOMPARE(rig.fake->CallCount(Operation::Pause), 1);
        QVERIFY(rig.fake->playing);
    }

    // Play pressed while the key frame shows goes on from the exact picture, once it is shown;
    // Stop during a seek rewinds, the earlier second's exact picture is not asked for and the
    // video stays stopped.
    void playAfterASeekGoesOnFromTheExactPicture() {
        Rig rig;
        rig.Load(60.0);
        rig.player.cmdPlay_Click(); // paused
        rig.slider->SetValue(42);
        rig.Seek();
        rig.player.cmdPlay_Click();
        QVERIFY(!rig.fake->playing);
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Pause"));
        QVERIFY(rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->calls.last(), QStringLiteral("PutCurrentPosition(42)"));
        QVERIFY(!rig.fake->playing);
        QVERIFY(rig.fake->ShowSeekPicture());
        QCOMPARE(rig.fake->position, 42.0);
        QVERIFY(rig.fake->playing);
        rig.TickAt(43.0);
        QCOMPARE(rig.slider->Value(), 43);

        rig.slider->SetValue(25);
        rig.Seek();
        rig.player.cmdStop_Click();
        rig.fake->calls.clear();
        QVERIFY(rig.fake->ShowSeekPicture());
        QVERIFY(rig.fake->calls.isEmpty());
        QCOMPARE(rig.fake->position, 0.0);
        QCOMPARE(rig.slider->Value(), 0);
        QVERIFY(!rig.fake->playing);
    }

    void nothingHappensBeforeALoad() {
        Rig rig;
        rig.slider->SetValue(5);
        rig.player.cmdPlay_Click();
        rig.player.cmdStop_Click();
        rig.Seek();
        QVERIFY(rig.player.Engine() == nullptr);
        QVERIFY(rig.fake->calls.isEmpty());
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00.00/00:00.00"));
        QCOMPARE(rig.slider->Value(), 5);
        QVERIFY(!rig.player.tmrVideo()->isActive());

        // Nor with the engine made ahead of the first load.
        rig.player.PrepareEngine();
        rig.fake->calls.clear();
        rig.player.cmdPlay_Click();
        rig.player.cmdStop_Click();
        rig.Seek();
        qint32 clicked = 7;
        rig.player.Slider_DblClick(clicked);
        QCOMPARE(rig.fake->calls, QStringList{});
        QCOMPARE(rig.lblTime->text(), QStringLiteral("00:00.00/00:00.00"));
        QCOMPARE(rig.cmdPlay->text(), QStringLiteral("Play"));
    }
};

QTEST_MAIN(tst_PreviewPlayer)
#include "tst_PreviewPlayer.moc"
