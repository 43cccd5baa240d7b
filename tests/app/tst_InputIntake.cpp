#include "TaskTestSupport.h"
#include "app/InputIntake.h"
#include "app/MediaTimeCheck.h"
#include "app/modDialog.h"
#include "preview/CutSelection.h"
#include "preview/PreviewPlayer.h"
#include "tests/support/FakePlayerEngine.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

// The task's window with the intake on it, a preview player on a scripted engine and the
// marks, wired as the main window wires them; the files handed to the player are recorded.
struct IntakeWindow : TaskTest::TaskWindow {
    TestSupport::FakePlayerEngine* fake = nullptr; // owned by the player
    PreviewPlayer player{[this]() -> std::unique_ptr<PlayerEngine> {
                             auto engine = std::make_unique<TestSupport::FakePlayerEngine>();
                             fake = engine.get();
                             return engine;
                         },
                         panel.picVideoWindow,
                         panel.Slider,
                         panel.cmdPlay,
                         panel.lblTime,
                         &panel};
    CutSelection selection{panel.Slider, panel.lblStartSelect, panel.lblEndSelect,
                           [this] { return session.NoMedia(); }};
    InputIntake intake{&panel, &panel, &session};
    QStringList loaded;
    int intakeStops = 0; // intakes announced

    IntakeWindow() {
        session.SetNoMedia(true);
        QObject::connect(&player, &PreviewPlayer::NoMediaChanged, &session, &Session::SetNoMedia);
        QObject::connect(&intake, &InputIntake::IntakeStarted, &player,
                         &PreviewPlayer::UnloadVideo);
        QObject::connect(&intake, &InputIntake::IntakeStarted, &selection,
                         &CutSelection::cmdDeleteSelect_Click);
        QObject::connect(&intake, &InputIntake::IntakeStarted, &task,
                         &ConversionTask::ClearProgress);
        QObject::connect(&intake, &InputIntake::IntakeStarted, &panel, [this] { ++intakeStops; });
        intake.LoadVideo = [this](const QString& path) {
            loaded.append(path);
            player.LoadVideo(path);
        };
    }
};

// Answers the file dialog and records what it was asked.
struct OpenAnswer {
    QString answer;
    QString filter;
    QString title;
    modDialog::OpenFileFunction previous;
    OpenAnswer() {
        previous = modDialog::SetOpenFileFunction(
            [this](QWidget*, const QString& shownFilter, const QString& shownTitle) {
                filter = shownFilter;
                title = shownTitle;
                return answer;
            });
    }
    ~OpenAnswer() { modDialog::SetOpenFileFunction(std::move(previous)); }
};

// Drags files over `target` and drops them there, as the desktop does: the drag enters the
// widget under the pointer and goes up to the first one that takes drops. Returns whether the
// drop was taken.
bool DropFiles(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF point(10, 10);
    QDragEnterEvent enter(point.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(point, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

QUrl Local(const QString& path) {
    return QUrl::fromLocalFile(path);
}

} // namespace

class tst_InputIntake : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString clip_;
    QString unreadable_;

private slots:
    void initTestCase() {
        clip_ = dir_.path() + QStringLiteral("/clip.mp4");
        QVERIFY(TestSupport::MakeClip(clip_, 3.0));
        unreadable_ = dir_.path() + QStringLiteral("/broken.avi");
        QFile file(unreadable_);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }

    // A file the encoder cannot read, chosen while another one plays: the player is stopped,
    // the marks and the progress display reset, the file recorded, and the task then refuses.
    void unreadableFileWhileAnotherPlays() {
        TestSupport::MessageRecorder messages;
        OpenAnswer open;
        IntakeWindow w;
        QVERIFY(!w.panel.Slider->Enabled());
        open.answer = clip_;
        QTest::mouseClick(w.panel.cmdAddVideoFile, Qt::LeftButton);
        QCOMPARE(w.loaded, QStringList{clip_});
        QCOMPARE(w.session.InputFile(), clip_);
        QVERIFY(!w.session.NoMedia());
        QVERIFY(w.panel.Slider->Enabled());
        QVERIFY(messages.messages.isEmpty());

        // Marked, converted once, playing at 2 s.
        w.panel.Slider->SetMax(3);
        w.Mark(1, 3);
        w.panel.Slider->SetValue(2);
        w.panel.lblStartSelect->setText(QStringLiteral("00:00:01"));
        w.panel.lblEndSelect->setText(QStringLiteral("00:00:03"));
        w.panel.lblTime->setText(QStringLiteral("00:00:02/00:00:03"));
        w.panel.lblProgress->show();
        w.panel.progress->show();
        w.panel.progress->setValue(100);

        open.answer = unreadable_;
        QTest::mouseClick(w.panel.cmdAddVideoFile, Qt::LeftButton);
        QCOMPARE(w.intakeStops, 2);
        QCOMPARE(w.fake->CallCount(TestSupport::FakePlayerEngine::Operation::Stop), 1);
        QVERIFY(w.session.NoMedia());
        QCOMPARE(w.panel.lblTime->text(), QStringLiteral("00:00/00:00"));
        QCOMPARE(w.panel.Slider->Value(), 0);
        QCOMPARE(w.panel.Slider->SelectStart(), 0);
        QCOMPARE(w.panel.Slider->SelectEnd(), 0);
        QCOMPARE(w.panel.lblStartSelect->text(), QStringLiteral("00.00.00"));
        QCOMPARE(w.panel.lblEndSelect->text(), QStringLiteral("00.00.00"));
        QVERIFY(w.panel.lblProgress->isHidden());
        QVERIFY(w.panel.progress->isHidden());
        QCOMPARE(w.panel.progress->value(), 0);
        QCOMPARE(w.session.InputFile(), unreadable_);
        QCOMPARE(w.loaded, QStringList{clip_});
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("File is not supported")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Exclamation);

        messages.clear();
        w.Mark(1, 2);
        QTest::mouseClick(w.panel.cmdConvert, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("No video file loaded")});
    }

    void cancelledDialogChangesNothing() {
        TestSupport::MessageRecorder messages;
        OpenAnswer open;
        IntakeWindow w;
        open.answer = clip_;
        w.intake.cmdAddVideoFile_Click();
        w.panel.Slider->SetMax(3);
        w.Mark(1, 2);

        open.answer.clear(); // the dialog was cancelled
        QCOMPARE(w.intake.ChooseVideoFile(), QString());
        QTest::mouseClick(w.panel.cmdAddVideoFile, Qt::LeftButton);
        QCOMPARE(w.intakeStops, 1);
        QCOMPARE(w.session.InputFile(), clip_);
        QCOMPARE(w.panel.Slider->SelectStart(), 1);
        QCOMPARE(w.panel.Slider->SelectEnd(), 2);
        QVERIFY(!w.session.NoMedia());
        QVERIFY(messages.messages.isEmpty());
    }

    // The dialog's title and filters; every pattern is a real one, so MP4 and MOV files show
    // under the common video files.
    void dialogOffersTheVideoFilters() {
        OpenAnswer open;
        IntakeWindow w;
        w.intake.ChooseVideoFile();
        QCOMPARE(open.title, QStringLiteral("Select a video file"));
        const QStringList filters = open.filter.split(QStringLiteral(";;"));
        QCOMPARE(filters.size(), 6);
        QCOMPARE(filters.at(0),
                 QStringLiteral("Common Video Files (*.wmv *.asf *.avi *.mpg *.mpe *.mp2 *.mpeg "
                                "*.mp4 *.mov *.dat *.flv *.rm *.rmvb *.yuv *.mkv *.m4v *.m1v *.m2v "
                                "*.mpv2 *.mp2v *.ts *.tp *.tpr *.pva *.pss *.divx *.webm *.3gp "
                                "*.3g2 *.ogv *.m2ts *.mts *.m2t *.mxf *.vob)"));
        QCOMPARE(filters.at(1),
                 QStringLiteral("MPEG Files(.mpg,*.mpeg,*.mp2,*.mp4,*.mpe,*.m4v) (*.mpg *.mp2 "
                                "*.mpeg *.mp4 *.mpe *.m4v *.m1v *.m2v *.mpv2 *.mp2v *.dat *.ts "
                                "*.tp *.tpr *.pva *.pss)"));
        QCOMPARE(filters.at(2), QStringLiteral("Windows Media Files(*.wmv,*.asf) (*.wmv *.asf)"));
        QCOMPARE(filters.at(3), QStringLiteral("AVI Files(*.avi) (*.avi)"));
        QCOMPARE(filters.at(4), QStringLiteral("QuickTime Files-Ver2 or less(*.mov) (*.mov)"));
        QCOMPARE(filters.at(5), QStringLiteral("All Files(*.*) (*.*)"));

        const auto patterns = [](const QStringList& entry) {
            return entry.at(1).split(QLatin1Char(';'));
        };
        const QStringList common = patterns(InputIntake::VideoFilterList.at(0));
        for (const char* name : {"clip.mp4", "clip.MOV", "clip.m1v", "clip.mpg", "clip.divx",
                                 "clip.webm", "clip.3gp", "clip.ogv", "clip.m2ts", "clip.MTS"}) {
            QVERIFY2(QDir::match(common, QLatin1String(name)), name);
        }
        const QStringList mpeg = patterns(InputIntake::VideoFilterList.at(1));
        QVERIFY(QDir::match(mpeg, QStringLiteral("clip.mpg")));
        QVERIFY(QDir::match(mpeg, QStringLiteral("clip.m1v")));
        QVERIFY(!QDir::match(common, QStringLiteral("notes.txt")));
    }

    // Files dropped on the video area, or on a widget drawn over it that takes no drops:
    // whatever the name, the encoder decides, as for a file chosen in the dialog.
    void dropsTakeAnyFileAndTheEncoderDecides() {
        TestSupport::MessageRecorder messages;
        IntakeWindow w;
        auto* video = new QWidget(w.panel.picVideoWindow); // stands for the video drawn there
        video->setGeometry(w.panel.picVideoWindow->rect());
        video->show();

        // A WebM clip, and the same clip under names the old extension list did not know.
        const QString webm = dir_.filePath(QStringLiteral("clip.webm"));
        QVERIFY(TestSupport::MakeClip(webm, 1.0, QStringLiteral("160x120"),
                                      {QStringLiteral("-c:v"), QStringLiteral("libvpx-vp9"),
                                       QStringLiteral("-deadline"), QStringLiteral("realtime"),
                                       QStringLiteral("-c:a"), QStringLiteral("libopus")}));
        const QString renamed = dir_.filePath(QStringLiteral("holiday.video"));
        QVERIFY(QFile::copy(webm, renamed));
        for (const QString& path : {webm, renamed, clip_}) {
            QVERIFY2(DropFiles(video, {Local(path)}), qPrintable(path));
            QCOMPARE(w.session.InputFile(), path);
            QCOMPARE(w.loaded.last(), path);
            QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'|')));
        }

        // A text file is taken in and refused aloud, not ignored.
        const QString notes = dir_.filePath(QStringLiteral("notes.txt"));
        QFile file(notes);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("These are notes, not a video.\n");
        file.close();
        const int loads = w.loaded.size();
        QVERIFY(DropFiles(video, {Local(notes)}));
        QCOMPARE(w.session.InputFile(), notes);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("File is not supported")});
        QCOMPARE(w.loaded.size(), loads);
        QVERIFY(w.session.NoMedia());
        messages.clear();

        // Nothing local in the drop: nothing happens.
        const int intakes = w.intakeStops;
        DropFiles(video, {QUrl(QStringLiteral("https://example.org/clip.avi"))});
        QCOMPARE(w.intakeStops, intakes);
        QCOMPARE(w.session.InputFile(), notes);

        // Three files: only the first is taken.
        DropFiles(w.panel.picVideoWindow, {Local(clip_), Local(unreadable_), Local(webm)});
        QCOMPARE(w.session.InputFile(), clip_);
        QCOMPARE(w.intakeStops, intakes + 1);
        QVERIFY(messages.messages.isEmpty());

        // Not while a task runs.
        w.session.SetConverting(true);
        QVERIFY(!DropFiles(video, {Local(unreadable_)}));
        QCOMPARE(w.session.InputFile(), clip_);
    }

    // A still picture is read by the encoder but has no time: refused as not supported. A
    // sound file has time and is taken.
    void stillPicturesAreRefusedSoundIsWelcome() {
        TestSupport::MessageRecorder messages;
        OpenAnswer open;
        IntakeWindow w;
        const QString png = dir_.filePath(QStringLiteral("still.png"));
        const QString jpg = dir_.filePath(QStringLiteral("still.jpg"));
        const QString sound = dir_.filePath(QStringLiteral("tone.mp3"));
        for (const QString& path : {png, jpg}) {
            QVERIFY(
                TestSupport::RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"),
                                        QStringLiteral("-i"), QStringLiteral("testsrc=size=64x48"),
                                        QStringLiteral("-frames:v"), QStringLiteral("1"), path}));
        }
        QVERIFY(TestSupport::RunFfmpeg({QStringLiteral("-f"), QStringLiteral("lavfi"),
                                        QStringLiteral("-i"), QStringLiteral("sine=duration=2"),
                                        sound}));
        for (const QString& path : {png, jpg}) {
            open.answer = path;
            QTest::mouseClick(w.panel.cmdAddVideoFile, Qt::LeftButton);
            QCOMPARE(messages.texts(), QStringList{QStringLiteral("File is not supported")});
            QVERIFY(w.session.NoMedia());
            QVERIFY(!w.loaded.contains(path));
            messages.clear();
        }
        open.answer = sound;
        QTest::mouseClick(w.panel.cmdAddVideoFile, Qt::LeftButton);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'|')));
        QCOMPARE(w.loaded.last(), sound);
    }

    // What the encoder says decides: its picture readers mean a still picture; containers,
    // elementary streams without a duration, animations and sound have time.
    void theEncodersReaderTellsAStillPicture_data() {
        QTest::addColumn<QString>("outputs");
        QTest::addColumn<bool>("hasTime");
        const auto input = [](const char* format, const char* rest) {
            return QStringLiteral("ffmpeg version 5.1\n  built with gcc\nInput #0, %1, from "
                                  "'x':\n  Duration: %2\n")
                .arg(QLatin1String(format), QLatin1String(rest));
        };
        QTest::newRow("png") << input("png_pipe", "N/A, bitrate: N/A") << false;
        QTest::newRow("jpeg") << input("jpeg_pipe", "N/A") << false;
        QTest::newRow("image2") << input("image2", "00:00:00.04") << false;
        QTest::newRow("mp4") << input("mov,mp4,m4a,3gp,3g2,mj2", "00:00:05.00") << true;
        QTest::newRow("h264 stream") << input("h264", "N/A, bitrate: N/A") << true;
        QTest::newRow("gif") << input("gif", "00:00:02.00") << true;
        QTest::newRow("mp3") << input("mp3", "00:00:02.04") << true;
        QTest::newRow("yuv4mpegpipe") << input("yuv4mpegpipe", "00:00:01.00") << true;
        QTest::newRow("no input described") << QStringLiteral("File or command not found") << true;
        // A name that looks like the encoder's line is no reader.
        QTest::newRow("name") << QStringLiteral("Input #0, mp3, from 'a\nInput #0, png_pipe, "
                                                "from 'b':\n")
                              << true;
    }
    void theEncodersReaderTellsAStillPicture() {
        QFETCH(QString, outputs);
        QFETCH(bool, hasTime);
        QCOMPARE(MediaTimeCheck::HasTime(outputs), hasTime);
    }

    // A second file taken in while the encoder still looks at the first one wins.
    void laterIntakeOvertakesAnEarlierOne() {
        TestSupport::MessageRecorder messages;
        IntakeWindow w;
        bool overtaken = false;
        TestSupport::ProcessEventsHook events([&] {
            if (!overtaken) {
                overtaken = true;
                w.intake.TakeInFile(clip_);
            }
        });
        w.intake.TakeInFile(unreadable_);
        QVERIFY(overtaken);
        QCOMPARE(w.session.InputFile(), clip_);
        QCOMPARE(w.loaded, QStringList{clip_});
        QVERIFY(!w.session.NoMedia());
        QVERIFY(messages.messages.isEmpty()); // the overtaken file's verdict no longer matters
    }
};

QTEST_MAIN(tst_InputIntake)
#include "tst_InputIntake.moc"
