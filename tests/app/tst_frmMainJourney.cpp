#include "app/AboutPanel.h"
#include "app/CloserLook.h"
#include "app/ConversionTask.h"
#include "app/MainPanel.h"
#include "app/SavedLine.h"
#include "app/Session.h"
#include "app/TaskProgressEstimate.h"
#include "app/frmMain.h"
#include "app/modDesktop.h"
#include "app/modDialog.h"
#include "engine/CVideoConv.h"
#include "formats/FormatPanel.h"
#include "preview/PreviewPlayer.h"
#include "preview/Slider.h"
#include "tests/support/FakePlayerEngine.h"
#include "tests/support/TestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using TestSupport::FakePlayerEngine;

// The whole journey with the keyboard alone through the real window (a scripted preview, the
// real encoder): load, play, mark, cut, learn where the cut went and open it; the closer look;
// what screen readers are told of every control.
class tst_frmMainJourney : public QObject {
    Q_OBJECT

private:
    QTemporaryDir inputs_;
    QTemporaryDir outputs_;
    QString clip_;
    std::unique_ptr<TestSupport::ApplicationFolderOverride> catalogs_;
    std::unique_ptr<TestSupport::MessageRecorder> messages_;
    std::unique_ptr<frmMain> window_;
    FakePlayerEngine* fake_ = nullptr;
    QStringList opened_;
    QStringList shown_;
    QStringList notified_;
    QList<QPair<double, bool>> launcher_;
    QList<QUrl> documents_;

    MainPanel* Panel() const { return window_->frMain; }
    // The last seek asked of the preview's engine.
    QString LastSeek() const {
        QString last;
        for (const QString& call : std::as_const(fake_->calls)) {
            if (call.startsWith(QLatin1String("Put")) && call.contains(QLatin1String("Position"))) {
                last = call;
            }
        }
        return last;
    }
    void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr ? focus : window_.get(), Qt::Key(key), modifiers);
    }

private slots:
    void initTestCase() {
        clip_ = inputs_.filePath(QStringLiteral("holiday.mkv"));
        QVERIFY(TestSupport::MakeClip(clip_, 3.0, QStringLiteral("160x120")));
        catalogs_ =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
        messages_ = std::make_unique<TestSupport::MessageRecorder>();
        modDialog::SetOpenFileFunction(
            [this](QWidget*, const QString&, const QString&) { return clip_; });
        modDialog::SetOpenDocumentFunction([this](const QUrl& url) { documents_.append(url); });
        modDesktop::SetOpenFileFunction([this](const QString& path) { opened_.append(path); });
        modDesktop::SetShowInFolderFunction([this](const QString& path) { shown_.append(path); });
        modDesktop::SetNotifyFunction(
            [this](const QString& summary, const QString&) { notified_.append(summary); });
        modDesktop::SetLauncherProgressFunction([this](double progress, bool visible) {
            launcher_.append({progress, visible});
        });
        window_ = std::make_unique<frmMain>();
        window_->player->SetEngineFactory([this]() -> std::unique_ptr<PlayerEngine> {
            auto engine = std::make_unique<FakePlayerEngine>();
            engine->renderedDuration = 3.0;
            engine->keyFrameInterval = 1.0;
            fake_ = engine.get();
            return engine;
        });
        window_->frMain->txtOutPath->setText(outputs_.path());
        window_->show();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }

    void cleanupTestCase() {
        window_.reset();
        modDialog::SetOpenFileFunction({});
        modDialog::SetOpenDocumentFunction({});
        modDesktop::SetOpenFileFunction({});
        modDesktop::SetShowInFolderFunction({});
        modDesktop::SetNotifyFunction({});
        modDesktop::SetLauncherProgressFunction({});
        messages_.reset();
        catalogs_.reset();
    }

    // Every key the README lists does what it says, and the buttons' tool tips name them.
    void theKeyboardDoesTheWholeJourney() {
        MainPanel* panel = Panel();
        QCOMPARE(QApplication::focusWidget(), panel->cmdAddVideoFile);
        Press(Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), panel->Slider);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        QCOMPARE(window_->session->InputFile(), clip_);
        QVERIFY(!window_->session->NoMedia());
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        Press(Qt::Key_Space);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        Press(Qt::Key_Space);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Pause"));
        Press(Qt::Key_Space);

        // The steps seek, wherever the focus is in the main view.
        panel->cmdDeleteSelect->setFocus();
        Press(Qt::Key_Right);
        QCOMPARE(panel->Slider->Value(), 1);
        QVERIFY2(LastSeek().endsWith(QLatin1String("Position(1)")), qPrintable(LastSeek()));
        Press(Qt::Key_I);
        QCOMPARE(panel->Slider->SelectStart(), 1);
        Press(Qt::Key_PageUp);
        QCOMPARE(panel->Slider->Value(), 3);
        Press(Qt::Key_Left);
        Press(Qt::Key_O);
        QCOMPARE(panel->Slider->SelectEnd(), 2);
        QCOMPARE(panel->lblEndSelect->text(), QStringLiteral("00:00:02"));
        Press(Qt::Key_PageDown);
        QCOMPARE(panel->Slider->Value(), 0);
        Press(Qt::Key_End);
        QCOMPARE(panel->Slider->Value(), 3);
        Press(Qt::Key_Home);
        QCOMPARE(panel->Slider->Value(), 0);
        // Space on a focused button presses that button.
        panel->cmdStop->setFocus();
        Press(Qt::Key_Space);
        QCOMPARE(panel->cmdPlay->text(), QStringLiteral("Play"));
        Press(Qt::Key_F1);
        QCOMPARE(documents_.size(), 1);
        QVERIFY(documents_.first().path().endsWith(QLatin1String("Help.html")));

        // Ctrl+Return cuts; the saved line names the file and the folder.
        launcher_.clear();
        Press(Qt::Key_Return, Qt::ControlModifier);
        QVERIFY2(messages_->messages.isEmpty(), qPrintable(messages_->texts().join(u'|')));
        const QString cut = window_->task->cConvert->OutputFile();
        QCOMPARE(QFileInfo(cut).absolutePath(), QFileInfo(outputs_.path()).absoluteFilePath());
        QVERIFY(QFileInfo(cut).fileName().startsWith(QLatin1String("holiday.")));
        QVERIFY(QFileInfo::exists(cut));
        QVERIFY(panel->savedLine->isVisible());
        QCOMPARE(panel->savedLine->SavedFile(), cut);
        QCOMPARE(panel->savedLine->lblSaved->text(), SavedLine::SavedText(cut));
        // A long folder loses its start on the line; screen readers hear all of it.
        QCOMPARE(panel->savedLine->lblSaved->accessibleName(),
                 QStringLiteral("Saved %1 in %2")
                     .arg(QFileInfo(cut).fileName(), SavedLine::FolderText(outputs_.path())));
        QCOMPARE(SavedLine::FolderText(QDir::homePath() + QStringLiteral("/Cut Files")),
                 QStringLiteral("~/Cut Files"));
        QCOMPARE(panel->lblProgress->text(), QStringLiteral("Task Progress:"));
        QVERIFY(notified_.isEmpty()); // the window is the active one
        QVERIFY(!launcher_.isEmpty());
        QCOMPARE(launcher_.first(), (QPair<double, bool>{0.0, true}));
        QCOMPARE(launcher_.last(), (QPair<double, bool>{0.0, false}));
        QTest::mouseClick(panel->savedLine->cmdOpenOutput, Qt::LeftButton);
        QTest::mouseClick(panel->savedLine->cmdShowOutput, Qt::LeftButton);
        QCOMPARE(opened_, QStringList{cut});
        QCOMPARE(shown_, QStringList{cut});

        // Cut again with another window active: the desktop is told; the saved line follows.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTest::mouseClick(panel->cmdConvert, Qt::LeftButton);
        const QString second = window_->task->cConvert->OutputFile();
        QVERIFY(second != cut);
        QCOMPARE(panel->savedLine->SavedFile(), second);
        QCOMPARE(notified_, QStringList{SavedLine::FullText(second)});
        other.hide();
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));

        // A new file takes the saved line away.
        Press(Qt::Key_O, Qt::ControlModifier);
        QVERIFY(panel->savedLine->isHidden());

        const QList<QPair<QPushButton*, QString>> tips{
            {panel->cmdPlay, QStringLiteral("(Space)")},
            {panel->cmdStartSelect, QStringLiteral("(I)")},
            {panel->cmdEndSelect, QStringLiteral("(O)")},
            {panel->cmdAddVideoFile, QStringLiteral("(Ctrl+O)")},
            {panel->cmdConvert, QStringLiteral("(Ctrl+Return)")},
            {panel->MyButton1, QStringLiteral("(F1)")},
            {panel->cmdClose, QStringLiteral("(Ctrl+Q)")},
            {window_->frAbout->cmdCloseHelp, QStringLiteral("(Esc)")},
            {window_->frFormats->cmdHide, QStringLiteral("(Esc)")}};
        for (const auto& [button, keys] : tips) {
            QVERIFY2(button->toolTip().endsWith(keys), qPrintable(button->toolTip()));
        }
        QVERIFY(messages_->messages.isEmpty());
    }

    // The closer look: F or a double-click on the picture; the slider and the marks work
    // there, keys included; Esc or a double-click returns to the window as it was.
    void theCloserLook() {
        MainPanel* panel = Panel();
        const QPoint place = window_->pos();
        Press(Qt::Key_F);
        QVERIFY(window_->closer->Active());
        QVERIFY(!panel->cmdAbout->isVisible());
        QVERIFY(!panel->cmdConvert->isVisible());
        QVERIFY(panel->Slider->isVisible() && panel->cmdStartSelect->isVisible());
        QVERIFY(panel->picVideoWindow->height() > MainPanel::PictureHeight);
        QCOMPARE(panel->size(), window_->size());
        Press(Qt::Key_Right);
        Press(Qt::Key_Right);
        Press(Qt::Key_I);
        QCOMPARE(panel->Slider->SelectStart(), 2);
        QVERIFY2(LastSeek().endsWith(QLatin1String("Position(2)")), qPrintable(LastSeek()));
        Press(Qt::Key_Escape);
        QVERIFY(!window_->closer->Active());
        QCOMPARE(window_->size(), QSize(MainPanel::PanelWidth, MainPanel::PanelHeight));
        QCOMPARE(panel->picVideoWindow->height(), MainPanel::PictureHeight);
        QVERIFY(panel->cmdConvert->isVisible());
        QCOMPARE(window_->pos(), place);

        const QPoint middle = panel->picVideoWindow->rect().center();
        QTest::mouseDClick(panel->picVideoWindow, Qt::LeftButton, {}, middle);
        QVERIFY(window_->closer->Active());
        QTest::mouseDClick(panel->picVideoWindow, Qt::LeftButton, {},
                           panel->picVideoWindow->rect().center());
        QVERIFY(!window_->closer->Active());
        QCOMPARE(window_->size(), QSize(MainPanel::PanelWidth, MainPanel::PanelHeight));
    }

    // Every control a user can reach has a name and a description for screen readers; the
    // title buttons say what they are, the slider its position as a time.
    void everyControlHasAnAccessibleName() {
        MainPanel* panel = Panel();
        const QList<QPair<QWidget*, QString>> named{
            {panel->cmdAbout, QStringLiteral("About")},
            {panel->MyButton1, QStringLiteral("Help")},
            {panel->cmdMinimize, QStringLiteral("Minimize")},
            {panel->cmdClose, QStringLiteral("Close")},
            {panel->Slider, QStringLiteral("Position")},
            {panel->txtOutPath, QStringLiteral("Output folder")},
            {panel->progress, QStringLiteral("Task progress")}};
        for (const auto& [control, name] : named) {
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible != nullptr);
            QCOMPARE(accessible->text(QAccessible::Name), name);
        }
        QAccessibleInterface* slider = QAccessible::queryAccessibleInterface(panel->Slider);
        QCOMPARE(slider->role(), QAccessible::Slider);
        panel->Slider->SetValue(2);
        QCOMPARE(slider->text(QAccessible::Value), QStringLiteral("00:00:02"));
        QVERIFY(slider->valueInterface() != nullptr);
        QCOMPARE(slider->valueInterface()->currentValue().toInt(), 2);
        QCOMPARE(slider->valueInterface()->maximumValue().toInt(), 3);

        QList<QWidget*> controls = window_->findChildren<QWidget*>();
        int checked = 0;
        for (QWidget* control : std::as_const(controls)) {
            // Reachable with Tab, in the window itself (not a list's pop-up).
            if ((control->focusPolicy() & Qt::TabFocus) == 0 ||
                control->window() != window_.get()) {
                continue;
            }
            QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
            QVERIFY(accessible != nullptr);
            QVERIFY2(!accessible->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(control->objectName() + QLatin1Char(' ') +
                                QLatin1String(control->metaObject()->className()) +
                                QLatin1Char(' ') + control->parentWidget()->objectName()));
            QVERIFY2(!accessible->text(QAccessible::Description).trimmed().isEmpty(),
                     qPrintable(control->objectName() + QStringLiteral(" ") +
                                accessible->text(QAccessible::Name)));
            ++checked;
        }
        QVERIFY(checked >= 30);
    }

    // How long is left and how fast the encoder goes, once enough is known.
    void theEstimate_data() {
        QTest::addColumn<double>("length");
        QTest::addColumn<int>("percent");
        QTest::addColumn<double>("spent");
        QTest::addColumn<QString>("text");
        QTest::newRow("too early in time") << 60.0 << 50 << 1.0 << QString();
        QTest::newRow("too little done") << 60.0 << 1 << 10.0 << QString();
        QTest::newRow("a quarter in 10 s")
            << 60.0 << 25 << 10.0 << QStringLiteral("0:30 left \u00B7 1.5\u00D7");
        QTest::newRow("slow and long")
            << 7200.0 << 10 << 1000.0 << QStringLiteral("2:30:00 left \u00B7 0.7\u00D7");
        QTest::newRow("fast") << 600.0 << 50 << 12.0 << QStringLiteral("0:12 left \u00B7 25\u00D7");
    }
    void theEstimate() {
        QFETCH(double, length);
        QFETCH(int, percent);
        QFETCH(double, spent);
        QFETCH(QString, text);
        TaskProgressEstimate estimate;
        estimate.Start(length, 100.0);
        const auto result = estimate.Update(percent, 100.0 + spent);
        QCOMPARE(result ? TaskProgressEstimate::Text(*result) : QString(), text);
    }
};

QTEST_MAIN(tst_frmMainJourney)
#include "tst_frmMainJourney.moc"
