#include "TaskTestSupport.h"
#include "engine/CVideoConv.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using TaskTest::TaskWindow;

namespace {

const QString NoFile = QStringLiteral("No video file loaded");
const QString NoPart = QStringLiteral("No part selected. Please, select a part first using "
                                      "'Start Selection' and 'End Selection'.");
const QString Reversed =
    QStringLiteral("No part selected, 'Start Selection' can not be greater than 'End Selection'.");

// A clip made once for all tests of this file.
struct Clips {
    QTemporaryDir dir;
    QString shortClip = dir.path() + QStringLiteral("/clip.mp4");
    QString longClip = dir.path() + QStringLiteral("/long.mp4");
};

} // namespace

class tst_ConversionTask : public QObject {
    Q_OBJECT

    Clips* clips_ = nullptr;

    // A fresh folder holding a copy of a clip, as the task's input.
    static QString InputIn(const QTemporaryDir& dir, const QString& clip) {
        const QString input = dir.path() + QLatin1Char('/') + QFileInfo(clip).fileName();
        QFile::copy(clip, input);
        return input;
    }

private slots:
    void initTestCase() {
        clips_ = new Clips;
        QVERIFY(TestSupport::MakeClip(clips_->shortClip, 6.0));
        // Long and large enough that the encoder reports progress before it is done.
        QVERIFY(TestSupport::MakeClip(clips_->longClip, 40.0, QStringLiteral("640x480")));
    }
    void cleanupTestCase() { delete clips_; }

    void startChecksRefuseWithoutChangingAnything_data() {
        QTest::addColumn<bool>("noMedia");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("message");
        QTest::newRow("no file") << true << 2 << 5 << NoFile;
        QTest::newRow("nothing marked") << false << 0 << 0 << NoPart;
        QTest::newRow("equal marks") << false << 7 << 7 << NoPart;
        QTest::newRow("reversed") << false << 40 << 10 << Reversed;
    }
    void startChecksRefuseWithoutChangingAnything() {
        QFETCH(bool, noMedia);
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, message);
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        TaskWindow w;
        w.panel.chkShutdown->setChecked(true);
        w.session.SetNoMedia(noMedia);
        w.session.SetInputFile(clips_->shortClip);
        w.Mark(start, end);

        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{message});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Information);
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));
        QVERIFY(w.panel.lblProgress->isHidden());
        QVERIFY(!w.task.cConvert);
        QCOMPARE(w.previewStops, 0);
        QCOMPARE(shutdown.calls, 0);
    }

    // A whole task: the output next to the input, the encoder's progress on the bar, the
    // controls locked while it runs, and the power-off afterwards.
    void completedTaskWritesTheCut() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->shortClip));
        w.OutputNextToInput();
        w.UseCustomContainer(QStringLiteral("AVI"));
        w.panel.chkShutdown->setChecked(true);
        w.Mark(1, 4); // 1 and 4 are accepted; so would 10 and 11 be

        bool sawRunningState = false;
        bool lockedWhileRunning = true;
        TestSupport::ProcessEventsHook events([&] {
            if (!w.session.Converting()) {
                return;
            }
            sawRunningState = true;
            lockedWhileRunning = lockedWhileRunning && w.AllTaskControlsEnabled(false) &&
                                 w.panel.cmdConvert->isEnabled() &&
                                 w.panel.cmdConvert->text() == QLatin1String("Stop") &&
                                 w.panel.chkShutdown->isEnabled() &&
                                 w.panel.txtOutPath->isEnabled() &&
                                 w.panel.lblProgress->isVisible() && w.panel.progress->isVisible();
        });
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(QLatin1Char('|'))));
        QVERIFY(sawRunningState);
        QVERIFY(lockedWhileRunning);
        const QString output = dir.path() + QStringLiteral("/clip.AVI");
        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        QVERIFY2(probe.duration > 2.5 && probe.duration < 3.5,
                 qPrintable(QString::number(probe.duration)));
        QCOMPARE(w.task.cConvert->OutputFile(), output);
        QCOMPARE(w.previewStops, 1);
        QCOMPARE(w.panel.progress->value(), 100);
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:"));
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));
        QVERIFY(w.AllTaskControlsEnabled(true));
        QVERIFY(!w.session.Converting());
        QCOMPARE(shutdown.calls, 1);
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
    }

    // The encoder refusing its arguments: its error is shown, the bar is empty, not full, and
    // the task that did not complete never powers off.
    void failedTaskIsToldAndNeverPowersOff() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->shortClip));
        w.OutputNextToInput();
        w.panel.chkShutdown->setChecked(true);
        w.Mark(1, 2);
        w.parameters = [] { return QStringLiteral("-vcodec no_such_codec -ss 1 -t 1"); };
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QCOMPARE(messages.messages.size(), 1);
        QVERIFY(messages.texts().first().startsWith(
            QStringLiteral("Error converting file: clip.mp4\r\n")));
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);
        QCOMPARE(w.panel.progress->value(), 0);
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:"));
        QCOMPARE(shutdown.calls, 0);
        QVERIFY(!w.task.cConvert->Completed());
    }

    // Stop clicked while the encoder cuts into an mp4: the encoder ends at once and is reaped,
    // its unfinished file is removed, the window is usable again, and nothing powers off
    // although the box is checked.
    void stoppedTaskEndsTheEncoderAndNeverPowersOff() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->longClip));
        w.OutputNextToInput();
        w.UseCustomContainer(QStringLiteral("MP4"));
        w.panel.chkShutdown->setChecked(true);
        w.Mark(0, 40);

        QList<pid_t> encoders;
        int barWhenStopped = -1;
        bool stateAfterClick = false;
        TestSupport::ProcessEventsHook events([&] {
            if (!encoders.isEmpty() || w.panel.progress->value() <= 0) {
                return;
            }
            encoders = TaskTest::Encoders();
            barWhenStopped = w.panel.progress->value();
            QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
            stateAfterClick =
                w.panel.cmdConvert->text() == QLatin1String("Start") &&
                w.panel.lblProgress->text() == QLatin1String("Task Progress:[Stopped]") &&
                w.AllTaskControlsEnabled(true) && w.session.Converting();
        });
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QCOMPARE(encoders.size(), 1);
        QVERIFY(stateAfterClick);
        QVERIFY(!TaskTest::ProcessExists(encoders.first())); // ended and reaped: no zombie
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden),
                 QStringList{QStringLiteral("long.mp4")}); // nothing but the input
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:[Stopped]"));
        QVERIFY(w.panel.progress->value() < 100);
        QVERIFY(w.panel.progress->value() >= barWhenStopped);
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));
        QVERIFY(w.AllTaskControlsEnabled(true));
        QVERIFY(!w.session.Converting());
        QCOMPARE(shutdown.calls, 0);
        // A stop is no failure: no message.
        QVERIFY(messages.messages.isEmpty());
    }

    // Start clicked again while the stopped task still unwinds: no second task inside the first
    // (whose converter must live on); the new task runs once the first has unwound, and gets
    // the name the stopped one had started to write.
    void startDuringUnwindingRunsAfterwards() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->longClip));
        w.OutputNextToInput();
        w.UseCustomContainer(QStringLiteral("MP4"));
        w.Mark(0, 40);

        using State = ConversionTask::TaskState;
        int clicks = 0;
        const CVideoConv* first = nullptr;
        QList<State> states;
        TestSupport::ProcessEventsHook events([&] {
            if (clicks > 0 || w.panel.progress->value() <= 0) {
                return;
            }
            clicks = 2;
            first = w.task.cConvert.get();
            states << w.task.State();
            QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton); // Stop
            states << w.task.State();
            w.Mark(2, 5);
            QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton); // Start again at once
            states << w.task.State();
            QVERIFY(w.task.cConvert.get() == first); // no second converter yet
        });
        QCOMPARE(w.task.State(), State::Idle);
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QCOMPARE(clicks, 2);
        QCOMPARE(states, (QList<State>{State::Running, State::Stopping, State::RestartPending}));
        QCOMPARE(w.task.State(), State::Idle);
        QVERIFY(w.task.cConvert.get() != first);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files),
                 (QStringList{QStringLiteral("long.MP4"), QStringLiteral("long.mp4")}));
        const TestSupport::ProbeResult second =
            TestSupport::Probe(dir.path() + QStringLiteral("/long.MP4"));
        QVERIFY2(second.duration > 2.5 && second.duration < 3.5,
                 qPrintable(QString::number(second.duration)));
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:"));
        QCOMPARE(w.panel.progress->value(), 100);
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));
        QVERIFY(!w.session.Converting());
        QVERIFY(messages.messages.isEmpty());
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
    }

    // Stop clicked while the task is still looking for a free name: the encoder never runs.
    void stopBeforeTheEncoderStartsRunsNothing() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->shortClip));
        w.OutputNextToInput();
        w.UseCustomContainer(QStringLiteral("MP4"));
        // clip.MP4 and clip_Converted.MP4 exist: the numbered names process events.
        QFile::copy(clips_->shortClip, dir.path() + QStringLiteral("/clip.MP4"));
        QFile::copy(clips_->shortClip, dir.path() + QStringLiteral("/clip_Converted.MP4"));
        w.panel.chkShutdown->setChecked(true);
        w.Mark(1, 3);
        TestSupport::ProcessEventsHook events([&] {
            if (w.panel.cmdConvert->text() == QLatin1String("Stop")) {
                QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
            }
        });
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QVERIFY(!QFileInfo::exists(dir.path() + QStringLiteral("/clip_Converted_0.MP4")));
        QVERIFY(!w.task.cConvert);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:[Stopped]"));
        QCOMPARE(shutdown.calls, 0);
    }

    // Stop clicked after the converter was set up but before its runner started the encoder
    // (the converter lets events through first): the encoder is never started.
    void stopJustBeforeTheRunnerStartsStillStops() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->longClip));
        w.OutputNextToInput();
        w.Mark(0, 40);
        bool clicked = false;
        TestSupport::ProcessEventsHook events([&] {
            if (!clicked && w.task.cConvert && TaskTest::ChildProcesses().isEmpty()) {
                clicked = true;
                QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
            }
        });
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QVERIFY(clicked);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(w.panel.lblProgress->text(), QStringLiteral("Task Progress:[Stopped]"));
        QVERIFY(w.panel.progress->value() < 100);
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
    }

    // Without the cut's arguments the encoder would convert the whole input: it is not run.
    void missingArgumentsRunNoEncoder() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->shortClip));
        w.OutputNextToInput();
        w.Mark(1, 3);
        w.parameters = [] { return QString(); };

        // Custom format: the arguments' own failure message has been shown already.
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("clip.mp4")});
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));

        // Preset mode with no preset for the selection.
        w.formats.optFormat[0]->setChecked(true);
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("No preset matches the selected format.")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Exclamation);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("clip.mp4")});
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
    }

    // A folder that cannot be made ends the task after its message; the encoder is not run.
    void uncreatableFolderRunsNoEncoder() {
        TestSupport::MessageRecorder messages;
        TaskTest::ShutdownRecorder shutdown;
        QTemporaryDir dir;
        TaskWindow w;
        w.session.SetInputFile(InputIn(dir, clips_->shortClip));
        w.OutputTo(dir.path() + QStringLiteral("/missing/deeper"));
        w.Mark(1, 3);
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);

        QCOMPARE(messages.texts(),
                 QStringList{QStringLiteral("Output Folder is not exist and can not be created.")});
        QVERIFY(!w.task.cConvert);
        QCOMPARE(w.previewStops, 0);
        QCOMPARE(w.panel.cmdConvert->text(), QStringLiteral("Start"));
        QVERIFY(w.AllTaskControlsEnabled(true));
    }

    void progressShowsOnlyDuringATaskWithinTheBar() {
        TaskWindow w;
        w.panel.progress->setValue(37);
        qint16 value = 80;
        w.task.cConvert_Progress(value);
        QCOMPARE(w.panel.progress->value(), 37);

        w.session.SetConverting(true);
        for (const auto& [sent, shown] :
             {std::pair<qint16, int>{42, 42}, {150, 100}, {-1, 0}, {100, 100}, {0, 0}}) {
            value = sent;
            w.task.cConvert_Progress(value);
            QCOMPARE(w.panel.progress->value(), shown);
        }
        QString status = QStringLiteral("12 Seconds Converted");
        w.task.cConvert_CurrentStatus(status);
        QCOMPARE(w.panel.progress->value(), 0);
    }
};

QTEST_MAIN(tst_ConversionTask)
#include "tst_ConversionTask.moc"
