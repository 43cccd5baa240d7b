#include "app/ConversionTask.h"
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

#include <QApplication>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

using TaskTest::Encoders;

// The whole road of a task through the real window, the real libmpv and the real encoder: a
// clip taken in through the file dialog or dropped on the picture, marked with the slider's
// keys and the mark buttons, cut into the folder the options choose, and a task stopped
// halfway. The dialogs answer with chosen paths; power-off is recorded.
class tst_frmMainTask : public QObject {
    Q_OBJECT

private:
    QTemporaryDir inputs_;
    // Output folders lie beside the build, on the machine's disk, so the real drive check
    // takes them.
    QTemporaryDir outputs_{TestSupport::BuildFolder() + QStringLiteral("/task-output-XXXXXX")};
    QString clip_;
    QString longClip_;
    std::unique_ptr<TestSupport::ApplicationFolderOverride> catalogs_;
    std::unique_ptr<TestSupport::MessageRecorder> messages_;
    std::unique_ptr<TaskTest::ShutdownRecorder> shutdown_;
    std::unique_ptr<frmMain> window_;
    QString openAnswer_;
    QString browseAnswer_;

    MainPanel* Panel() const { return window_->frMain; }

    MpvVideoWidget* Picture() const {
        auto* engine = dynamic_cast<MpvEngine*>(window_->player->Engine());
        return engine == nullptr ? nullptr : engine->VideoWidget();
    }

    // Stops playback and marks start and end by moving the slider with the Right key.
    void MarkWithKeys(int start, int end) {
        MainPanel* panel = Panel();
        QTest::mouseClick(panel->cmdStop, Qt::LeftButton);
        QCOMPARE(panel->Slider->Value(), 0);
        panel->Slider->setFocus();
        for (int i = 0; i < start; ++i) {
            QTest::keyClick(panel->Slider, Qt::Key_Right);
        }
        QTest::mouseClick(panel->cmdStartSelect, Qt::LeftButton);
        for (int i = start; i < end; ++i) {
            QTest::keyClick(panel->Slider, Qt::Key_Right);
        }
        QTest::mouseClick(panel->cmdEndSelect, Qt::LeftButton);
        QCOMPARE(panel->Slider->SelectStart(), start);
        QCOMPARE(panel->Slider->SelectEnd(), end);
    }

    QString Extension() const { return window_->frFormats->Container(); }

    // How alike (PSNR in dB; higher is closer) the first picture of `cut` is to the long clip's
    // picture at `seconds`, scaled to the cut's 720 lines.
    double FirstPicturePsnr(const QString& cut, double seconds) const {
        QByteArray output;
        TestSupport::RunProgram(
            QStringLiteral("ffmpeg"),
            {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"), QStringLiteral("-i"), cut,
             QStringLiteral("-ss"), QString::number(seconds), QStringLiteral("-i"), longClip_,
             QStringLiteral("-filter_complex"),
             QStringLiteral("[0:v]trim=end_frame=1[a];[1:v]scale=-2:720,trim=end_frame=1[b];"
                            "[a][b]psnr"),
             QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")},
            &output);
        const qsizetype at = output.lastIndexOf("average:");
        return at < 0 ? -1.0 : output.mid(at + 8).split(' ').first().toDouble();
    }

private slots:
    void initTestCase() {
        QVERIFY(inputs_.isValid());
        QVERIFY(outputs_.isValid());
        clip_ = inputs_.filePath(QStringLiteral("clip.mkv"));
        QVERIFY(TestSupport::MakeClip(clip_, 8.0));
        longClip_ = inputs_.filePath(QStringLiteral("long.mkv"));
        QVERIFY(TestSupport::MakeClip(longClip_, 40.0, QStringLiteral("640x480")));

        catalogs_ =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        messages_ = std::make_unique<TestSupport::MessageRecorder>();
        shutdown_ = std::make_unique<TaskTest::ShutdownRecorder>();
        modDialog::SetOpenFileFunction(
            [this](QWidget*, const QString&, const QString&) { return openAnswer_; });
        modDialog::SetBrowseFunction([this](QWidget*, const QString&) { return browseAnswer_; });
        window_ = std::make_unique<frmMain>();
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        messages_->clear();
    }

    void cleanupTestCase() {
        window_.reset();
        modDialog::SetOpenFileFunction({});
        modDialog::SetBrowseFunction({});
        shutdown_.reset();
        messages_.reset();
        catalogs_.reset();
    }

    // Loaded through the dialog, marked from 2 s to 5 s, cut into another folder chosen with
    // Browse; the controls a task locks are exactly the listed ones.
    void cutIntoTheChosenFolder() {
        MainPanel* panel = Panel();
        openAnswer_ = clip_;
        QTest::mouseClick(panel->cmdAddVideoFile, Qt::LeftButton);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(window_->session->InputFile(), clip_);
        QVERIFY(!window_->session->NoMedia());
        QVERIFY(panel->Slider->Enabled());
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:00/00:00:08"));
        MarkWithKeys(2, 5);

        QTest::mouseClick(panel->optOtherFolder, Qt::LeftButton);
        QVERIFY(panel->cmdBrowse->isEnabled());
        browseAnswer_ = outputs_.path();
        QTest::mouseClick(panel->cmdBrowse, Qt::LeftButton);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(panel->txtOutPath->text(), outputs_.path());

        const QList<QWidget*> locked = TaskTest::TaskControlsOf(*panel);
        const QList<QWidget*> untouched{panel->cmdConvert, panel->chkShutdown, panel->txtOutPath,
                                        panel->Slider,     panel->cmdClose,    panel->cmdMinimize,
                                        panel->MyButton1};
        bool checked = false;
        bool lockedRight = true;
        TestSupport::ProcessEventsHook events([&] {
            if (!window_->session->Converting()) {
                return;
            }
            checked = true;
            for (QWidget* control : locked) {
                lockedRight = lockedRight && !control->isEnabled();
            }
            for (QWidget* control : untouched) {
                lockedRight = lockedRight && control->isEnabled();
            }
        });
        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QVERIFY(checked);
        QVERIFY(lockedRight);

        const QString output = outputs_.filePath(QStringLiteral("clip.") + Extension());
        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        QVERIFY2(probe.duration > 2.5 && probe.duration < 3.6,
                 qPrintable(output + QStringLiteral(": ") + QString::number(probe.duration)));
        QCOMPARE(panel->progress->value(), 100);
        QVERIFY(panel->progress->isVisible());
        QCOMPARE(panel->lblProgress->text(), QStringLiteral("Task Progress:"));
        QCOMPARE(panel->cmdConvert->text(), QStringLiteral("Start"));
        for (QWidget* control : locked) {
            QVERIFY(control->isEnabled());
        }
        QCOMPARE(shutdown_->calls, 0);
    }

    // Next to the input, twice more: the taken names get "_Converted" and then a number; the
    // power-off follows each completed task when the box is checked.
    void cutNextToTheInputWithFreeNames() {
        MainPanel* panel = Panel();
        QTest::mouseClick(panel->optSameFolder, Qt::LeftButton);
        QVERIFY(!panel->cmdBrowse->isEnabled());
        QCOMPARE(panel->txtOutPath->text(), outputs_.path());
        panel->chkShutdown->setChecked(true);

        const QString base = inputs_.filePath(QStringLiteral("clip"));
        const QString extension = QLatin1Char('.') + Extension();
        const QStringList expected{base + extension,
                                   base + QStringLiteral("_Converted") + extension,
                                   base + QStringLiteral("_Converted_0") + extension};
        for (int run = 0; run < expected.size(); ++run) {
            QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
            QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
            const TestSupport::ProbeResult probe = TestSupport::Probe(expected.at(run));
            QVERIFY2(probe.duration > 2.5 && probe.duration < 3.6, qPrintable(expected.at(run)));
            QCOMPARE(shutdown_->calls, run + 1);
        }
        panel->chkShutdown->setChecked(false);
        shutdown_->calls = 0;
    }

    // A long clip dropped on the picture, stopped halfway: the encoder is ended and reaped, the
    // window is usable at once, and nothing powers off although the box is checked.
    void dropAndStopHalfway() {
        MainPanel* panel = Panel();
        MpvVideoWidget* picture = Picture();
        QVERIFY(picture != nullptr);
        QVERIFY(!picture->acceptDrops());
        QCOMPARE(panel->picVideoWindow->childAt(20, 20), picture);

        // The drag enters the picture and goes on to the video area under it.
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(longClip_), QUrl::fromLocalFile(clip_)});
        QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(picture, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(picture, &drop);
        QVERIFY(drop.isAccepted());
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(window_->session->InputFile(), longClip_);
        QVERIFY(!window_->session->NoMedia());
        QCOMPARE(panel->lblTime->text(), QStringLiteral("00:00:00/00:00:40"));
        QVERIFY(panel->lblProgress->isHidden());
        QCOMPARE(panel->lblStartSelect->text(), QStringLiteral("00.00.00"));
        MarkWithKeys(1, 39);
        panel->chkShutdown->setChecked(true);

        QList<pid_t> encoders;
        bool usableAtOnce = false;
        TestSupport::ProcessEventsHook events([&] {
            if (!encoders.isEmpty() || panel->progress->value() <= 0) {
                return;
            }
            encoders = Encoders();
            QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
            usableAtOnce = panel->cmdConvert->text() == QLatin1String("Start") &&
                           panel->cmdAddVideoFile->isEnabled() && panel->cmdPlay->isEnabled();
        });
        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);

        QCOMPARE(encoders.size(), 1);
        QVERIFY(usableAtOnce);
        QVERIFY(!TaskTest::ProcessExists(encoders.first()));
        QVERIFY(Encoders().isEmpty());
        QVERIFY(!QFileInfo::exists(inputs_.filePath(QStringLiteral("long.") + Extension())));
        QCOMPARE(panel->lblProgress->text(), QStringLiteral("Task Progress:[Stopped]"));
        QVERIFY(panel->progress->value() < 100);
        QCOMPARE(panel->cmdConvert->text(), QStringLiteral("Start"));
        for (QWidget* control : TaskTest::TaskControlsOf(*panel)) {
            QVERIFY(control->isEnabled());
        }
        QVERIFY(!window_->session->Converting());
        QCOMPARE(shutdown_->calls, 0);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        panel->chkShutdown->setChecked(false);
    }

    // A cut far into the long clip (x264's defaults: key frames at 0, 10, 20 and 30 s) starts
    // with the very picture the mark points at, though the encoder seeks to it.
    void cutFarIntoTheClipStartsAtTheMark() {
        MainPanel* panel = Panel();
        QCOMPARE(window_->session->InputFile(), longClip_);
        MarkWithKeys(23, 25);
        QTest::mouseClick(panel->optOtherFolder, Qt::LeftButton);
        QCOMPARE(panel->txtOutPath->text(), outputs_.path());
        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(panel->progress->value(), 100);

        const QString output = outputs_.filePath(QStringLiteral("long.") + Extension());
        const TestSupport::ProbeResult probe = TestSupport::Probe(output);
        QVERIFY2(qAbs(probe.duration - 2.0) < 0.2, qPrintable(QString::number(probe.duration)));
        // The format scales to 720 lines; the source's pictures are scaled the same way.
        const double atMark = FirstPicturePsnr(output, 23.0);
        QVERIFY2(atMark > 30, qPrintable(QString::number(atMark)));
        QVERIFY(atMark > FirstPicturePsnr(output, 22.96) + 3);
        QVERIFY(atMark > FirstPicturePsnr(output, 23.04) + 3);
    }

    // A file the encoder cannot read, chosen while the clip plays: refused, and Start then
    // finds no file.
    void unreadableFileStopsThePreview() {
        MainPanel* panel = Panel();
        const QString broken = inputs_.filePath(QStringLiteral("broken.avi"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        QTest::mouseClick(panel->cmdPlay, Qt::LeftButton);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));

        openAnswer_ = broken;
        QTest::mouseClick(panel->cmdAddVideoFile, Qt::LeftButton);
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("File is not supported")});
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        QVERIFY(window_->session->NoMedia());
        QCOMPARE(panel->Slider->SelectEnd(), 0);
        messages_->clear();
        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
        QCOMPARE(messages_->texts(), QStringList{QStringLiteral("No video file loaded")});
        messages_->clear();
    }

    // Closed by the window manager while a task runs (Alt+F4, the task bar): the task ends as a
    // Stop would, without a word, and so does the program: its event loop returns. The last
    // test, as the window is gone afterwards.
    void windowManagerCloseEndsTheTaskAndTheProgram() {
        MainPanel* panel = Panel();
        openAnswer_ = longClip_;
        QTest::mouseClick(panel->cmdAddVideoFile, Qt::LeftButton);
        MarkWithKeys(1, 39);
        panel->chkShutdown->setChecked(true);
        const QString output = inputs_.filePath(QStringLiteral("long.") + Extension());
        QVERIFY(!QFileInfo::exists(output));

        QList<pid_t> encoders;
        TestSupport::ProcessEventsHook events([&] {
            if (!encoders.isEmpty() || panel->progress->value() <= 0) {
                return;
            }
            encoders = Encoders();
            QVERIFY(window_->windowHandle()->close());
        });
        QTimer start;
        start.setSingleShot(true);
        connect(&start, &QTimer::timeout, panel,
                [panel] { QTest::mouseClick(panel->cmdConvert, Qt::LeftButton); });
        start.start(0);
        QTimer giveUp; // the program did not end
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        giveUp.start(120000);
        QCOMPARE(QApplication::exec(), 0);

        QCOMPARE(encoders.size(), 1);
        QVERIFY(!TaskTest::ProcessExists(encoders.first()));
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
        QVERIFY(!window_->isVisible());
        QVERIFY(!window_->session->Converting());
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(shutdown_->calls, 0);
        QCOMPARE(panel->lblProgress->text(), QStringLiteral("Task Progress:[Stopped]"));
        QVERIFY(!QFileInfo::exists(output));
    }
};

QTEST_MAIN(tst_frmMainTask)
#include "tst_frmMainTask.moc"
