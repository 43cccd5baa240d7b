#include "preview/MpvEngine.h"
#include "preview/MpvVideoWidget.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <clocale>
#include <memory>

// The real libmpv on small clips: loading, times, playing, seeking and the failures the player
// relies on.
class tst_MpvEngine : public QObject {
    Q_OBJECT

private:
    QTemporaryDir folder_;
    QString withSound_;
    QString silent_;

    // A window with a video area, the engine drawing into it, shown.
    struct Stage {
        QWidget window;
        QWidget* area = nullptr;
        MpvEngine engine;
        Stage() {
            window.resize(400, 300);
            area = new QWidget(&window);
            area->setGeometry(10, 10, 320, 240);
        }
    };

    static std::unique_ptr<Stage> ShownStage() {
        auto stage = std::make_unique<Stage>();
        stage->engine.PutOwner(stage->area);
        stage->window.show();
        if (!QTest::qWaitForWindowExposed(&stage->window)) {
            return nullptr;
        }
        return stage;
    }

    static double Position(MpvEngine& engine) {
        double seconds = -1;
        return engine.GetCurrentPosition(seconds) == EngineResult::Ok ? seconds : -1;
    }

    static double Duration(MpvEngine& engine) {
        double seconds = -1;
        return engine.GetDuration(seconds) == EngineResult::Ok ? seconds : -1;
    }

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        withSound_ = folder_.filePath(QStringLiteral("sound.mp4"));
        silent_ = folder_.filePath(QStringLiteral("silent.mp4"));
        QVERIFY(TestSupport::MakeClip(withSound_, 5.0));
        QVERIFY(TestSupport::RunFfmpeg(
            {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc=size=320x240:rate=25:duration=3"), silent_}));
    }

    void startsWithTheCNumberFormat() {
        QVERIFY(std::setlocale(LC_NUMERIC, "C.UTF-8") != nullptr);
        MpvEngine engine;
        QVERIFY(engine.IsValid());
        QCOMPARE(QByteArray(std::setlocale(LC_NUMERIC, nullptr)), QByteArray("C"));
    }

    void beforeAnyFileTimesAreUnavailable() {
        MpvEngine engine;
        double seconds = 7;
        QCOMPARE(engine.GetDuration(seconds), EngineResult::NotImplemented);
        QCOMPARE(engine.GetCurrentPosition(seconds), EngineResult::NotImplemented);
        QCOMPARE(seconds, 7.0);
        QVERIFY(engine.PutCurrentPosition(2) != EngineResult::Ok);
        QCOMPARE(engine.PutVolume(0), EngineResult::NotImplemented);
    }

    void loadsPausedAtTheStartWithItsDuration() {
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(withSound_), EngineResult::Ok);
        QVERIFY(qAbs(Duration(engine) - 5.0) < 0.1);
        QTest::qWait(400);
        QVERIFY(qAbs(Position(engine)) < 0.001);

        // The sound output is chosen once (none where nothing can play sound); the file's
        // sound is there all the same.
        QTRY_VERIFY_WITH_TIMEOUT(!MpvEngine::ChosenAudioOutput().isEmpty(), 5000);
        QCOMPARE(engine.PutVolume(0), EngineResult::Ok);
        QCOMPARE(engine.PutVolume(-10000), EngineResult::Ok);
        QCOMPARE(engine.PutVolume(1), EngineResult::Failed);
        QCOMPARE(engine.PutBalance(0), EngineResult::Ok);
        QCOMPARE(engine.PutBalance(-3000), EngineResult::NotImplemented);
        QCOMPARE(engine.PutRate(1.0), EngineResult::Ok);
        QCOMPARE(engine.PutRate(0.0), EngineResult::Failed);
    }

    void aFileWithoutSoundSkipsVolumeAndBalance() {
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(silent_), EngineResult::Ok);
        QCOMPARE(engine.PutVolume(0), EngineResult::NotImplemented);
        QCOMPARE(engine.PutBalance(0), EngineResult::NotImplemented);
        QVERIFY(qAbs(Duration(engine) - 3.0) < 0.1);
        QCOMPARE(engine.Run(), EngineResult::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(Position(engine) > 0.3, 5000);
    }

    void playsPausesAndSeeks() {
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(withSound_), EngineResult::Ok);

        QCOMPARE(engine.Run(), EngineResult::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(Position(engine) > 0.5, 5000);
        QCOMPARE(engine.Pause(), EngineResult::Ok);
        QTest::qWait(100);
        const double paused = Position(engine);
        QTest::qWait(500);
        QCOMPARE(Position(engine), paused);

        // A seek while paused lands on the whole second and stays there; the position asked
        // for is reported at once, before mpv has carried the seek out.
        QCOMPARE(engine.PutCurrentPosition(2), EngineResult::Ok);
        QCOMPARE(Position(engine), 2.0);
        QTest::qWait(500);
        QVERIFY(qAbs(Position(engine) - 2.0) < 0.001);

        // A playing video goes on playing from the new position.
        QCOMPARE(engine.Run(), EngineResult::Ok);
        QCOMPARE(engine.PutCurrentPosition(1), EngineResult::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(Position(engine) > 1.3 && Position(engine) < 2.5, 5000);

        // Stop only pauses; the caller rewinds.
        QCOMPARE(engine.Stop(), EngineResult::Ok);
        QCOMPARE(engine.PutCurrentPosition(0), EngineResult::Ok);
        QTest::qWait(300);
        QVERIFY(qAbs(Position(engine)) < 0.001);
    }

    void seeksStayInsideTheFile() {
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(withSound_), EngineResult::Ok);
        // mpv would count a negative time from the end.
        QCOMPARE(engine.PutCurrentPosition(-2), EngineResult::Ok);
        QTest::qWait(300);
        QVERIFY(qAbs(Position(engine)) < 0.001);
        QCOMPARE(engine.PutCurrentPosition(qQNaN()), EngineResult::Failed);
    }

    void theEndKeepsTheLastFrameAndPosition() {
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(silent_), EngineResult::Ok);
        QCOMPARE(engine.PutCurrentPosition(2.5), EngineResult::Ok);
        QCOMPARE(engine.Run(), EngineResult::Ok);
        // The end is the duration, not the time of the last frame, and stays so.
        QTRY_COMPARE_WITH_TIMEOUT(Position(engine), Duration(engine), 5000);
        QTest::qWait(500);
        QCOMPARE(Position(engine), Duration(engine));
        QVERIFY(qAbs(Duration(engine) - 3.0) < 0.1);
        // Rewinding and playing again works from the end.
        QCOMPARE(engine.PutCurrentPosition(0), EngineResult::Ok);
        QCOMPARE(engine.Run(), EngineResult::Ok);
        QTRY_VERIFY_WITH_TIMEOUT(Position(engine) > 0.2 && Position(engine) < 2.0, 5000);
    }

    void whatIsNoMediaFailsAndTheNextLoadWorks() {
        const QString text = folder_.filePath(QStringLiteral("notes.txt"));
        const QString playlist = folder_.filePath(QStringLiteral("list.m3u"));
        {
            QFile file(text);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("just some words\nand another line\n");
        }
        {
            QFile file(playlist);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QFile::encodeName(withSound_) + "\n");
        }
        auto stage = ShownStage();
        QVERIFY(stage);
        MpvEngine& engine = stage->engine;
        QCOMPARE(engine.RenderFile(withSound_), EngineResult::Ok);
        QCOMPARE(engine.RenderFile(text), EngineResult::Failed);
        QCOMPARE(engine.RenderFile(folder_.filePath(QStringLiteral("missing.mp4"))),
                 EngineResult::Failed);
        QCOMPARE(engine.RenderFile(QString()), EngineResult::Failed);
        QCOMPARE(engine.RenderFile(folder_.path()), EngineResult::Failed);
        // A playlist is no video even though it names one; nothing plays afterwards.
        QCOMPARE(engine.RenderFile(playlist), EngineResult::Failed);
        QTest::qWait(300);
        double seconds = 0;
        QCOMPARE(engine.GetDuration(seconds), EngineResult::NotImplemented);

        QCOMPARE(engine.RenderFile(silent_), EngineResult::Ok);
        QVERIFY(qAbs(Duration(engine) - 3.0) < 0.1);
        QCOMPARE(engine.RenderFile(withSound_), EngineResult::Ok);
        QVERIFY(qAbs(Duration(engine) - 5.0) < 0.1);
    }
};

QTEST_MAIN(tst_MpvEngine)
#include "tst_MpvEngine.moc"
