// The main window's own life: start-up order, closing (refused only by the close button while a
// task runs, saving the settings every time), minimising, moving, help and the two links.
#include "app/AboutPanel.h"
#include "app/InputIntake.h"
#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/frmMain.h"
#include "app/modDialog.h"
#include "formats/FormatPanel.h"
#include "settings/CRegister.h"
#include "settings/RememberedSettings.h"
#include "settings/StoreFolder.h"
#include "tests/app/TaskTestSupport.h"
#include "tests/settings/StoreTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace {

using StoreTestSupport::StoreFolderScope;

QString Stored(const QString& name) {
    return CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, RememberedSettings::SettingsKey, name,
                                     QStringLiteral("<absent>"));
}

// The window being built, found among the top-level widgets (its constructor runs start-up).
frmMain* WindowUnderConstruction() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<frmMain*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

// Records what the desktop would have been asked to do.
struct DesktopRecorder {
    QList<QUrl> opened;
    QList<QWidget*> dragged;
    modDialog::OpenDocumentFunction previousOpen =
        modDialog::SetOpenDocumentFunction([this](const QUrl& url) { opened << url; });
    modDialog::DragFunction previousDrag =
        modDialog::SetDragFunction([this](QWidget* window) { dragged << window; });
    ~DesktopRecorder() {
        modDialog::SetOpenDocumentFunction(previousOpen);
        modDialog::SetDragFunction(previousDrag);
    }
};

// Replaces the store folder lookup for its lifetime.
struct StoreFolderHook {
    explicit StoreFolderHook(Platform::StoreFolderFunction function)
        : previous(Platform::SetStoreFolderFunction(std::move(function))) {}
    ~StoreFolderHook() { Platform::SetStoreFolderFunction(previous); }
    Platform::StoreFolderFunction previous;
};

// Clicks the link that fills a link label.
void ClickLink(QLabel* link) {
    const QPoint point(4, link->height() / 2);
    QTest::mousePress(link, Qt::LeftButton, {}, point);
    QTest::mouseRelease(link, Qt::LeftButton, {}, point);
}

// A point of the main panel that no control covers.
QPoint BarePoint(QWidget* panel) {
    for (int y = 2; y < panel->height(); y += 4) {
        for (int x = 2; x < panel->width(); x += 4) {
            if (panel->childAt(x, y) == nullptr) {
                return {x, y};
            }
        }
    }
    return {-1, -1};
}

} // namespace

class tst_frmMainLifecycle : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreFolderScope> store;
    std::unique_ptr<TestSupport::ApplicationFolderOverride> folder;

private slots:
    void init() {
        store = std::make_unique<StoreFolderScope>();
        folder =
            std::make_unique<TestSupport::ApplicationFolderOverride>(TestSupport::BuildFolder());
    }
    void cleanup() {
        folder.reset();
        store.reset();
    }

    // Start-up places the panels, reads the presets, then the codecs, then the settings. The
    // order shows in what each step finds done when it reports: a missing catalog reports at
    // once, and the settings are read through the store folder.
    void startUpRunsItsStepsInOrder() {
        QStringList steps;
        QStringList findings;
        const StoreFolderHook hook([&] {
            if (!steps.contains(QStringLiteral("settings"))) {
                steps << QStringLiteral("settings");
                const frmMain* w = WindowUnderConstruction();
                findings << QStringLiteral("settings: presets %1, codecs %2, label '%3'")
                                .arg(w->frFormats->cmbCategory->count() > 0)
                                .arg(w->frFormats->cmbCVCodec->count() > 0)
                                .arg(w->frMain->lblFormat->text());
            }
            return store->path();
        });
        TestSupport::MessageRecorder messages;
        messages.onMessage = [&](const TestSupport::RecordedMessage& message) {
            const frmMain* w = WindowUnderConstruction();
            const QString step = message.text.contains(QStringLiteral("Presets"))
                                     ? QStringLiteral("presets")
                                     : QStringLiteral("codecs");
            steps << step;
            findings << QStringLiteral("%1: parked %2, no media %3, codecs %4")
                            .arg(step)
                            .arg(w->size() == QSize(728, 538) && w->frAbout->y() == 538 &&
                                 w->frFormats->y() == 538)
                            .arg(w->session->NoMedia())
                            .arg(w->frFormats->cmbCVCodec->count() > 0);
        };

        {
            // Neither catalog lies in the application folder.
            QTemporaryDir empty;
            Platform::SetApplicationFolder(empty.path());
            frmMain window;
            Platform::SetApplicationFolder(TestSupport::BuildFolder());
            QCOMPARE(steps, QStringList({"presets", "codecs", "settings"}));
            QCOMPARE(findings[0], QStringLiteral("presets: parked 1, no media 1, codecs 0"));
            QCOMPARE(findings[1], QStringLiteral("codecs: parked 1, no media 1, codecs 0"));
        }
        {
            // With the catalogs both lists are full before the settings are read, and the
            // format description comes last.
            steps.clear();
            findings.clear();
            frmMain window;
            QCOMPARE(steps, QStringList({"settings"}));
            QCOMPARE(findings[0], QStringLiteral("settings: presets 1, codecs 1, label ''"));
            QVERIFY(window.frMain->lblFormat->text().startsWith(QStringLiteral("Category:")));
            QCOMPARE(window.frFormats->cmbCategory->currentIndex(), 1);
        }
    }

    void closeButtonRefusesWhileATaskRuns() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        window.session->SetConverting(true);
        QTest::mouseClick(window.frMain->cmdClose, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{"Please Stop the running task first."});
        QCOMPARE(messages.messages[0].icon, Platform::MessageIcon::Exclamation);
        QVERIFY(window.isVisible());
        QCOMPARE(Stored(QStringLiteral("optOtherFolder")), QStringLiteral("<absent>"));

        // Once the task is over the same button closes, and closing saves.
        window.session->SetConverting(false);
        window.frFormats->txtFrameRate->setText(QStringLiteral("50"));
        QTest::mouseClick(window.frMain->cmdClose, Qt::LeftButton);
        QVERIFY(!window.isVisible());
        QCOMPARE(messages.messages.size(), 1);
        QCOMPARE(Stored(QStringLiteral("txtFrameRate")), QStringLiteral("50"));
        QCOMPARE(Stored(QStringLiteral("optOtherFolder")), QStringLiteral("True"));
    }

    // Closing from the window system (task bar, system menu) is never refused, not even while
    // a task runs, and saves the settings.
    void windowSystemCloseIsNeverRefusedAndSaves() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.session->SetConverting(true);
        window.frFormats->txtFrameRate->setText(QStringLiteral("24"));
        QVERIFY(window.windowHandle()->close());
        QVERIFY(!window.isVisible());
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(Stored(QStringLiteral("txtFrameRate")), QStringLiteral("24"));

        // A close asked of the widget itself behaves alike.
        window.show();
        window.frFormats->txtFrameRate->setText(QStringLiteral("12"));
        QVERIFY(window.close());
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(Stored(QStringLiteral("txtFrameRate")), QStringLiteral("12"));
    }

    // Closed while the encoder looks at a new file, here a wrapper that hangs without a word:
    // the look ends at once (the wrapper's own child too), the file is not taken in, and the
    // program ends: its event loop returns.
    void closeWhileAFileIsProbedEndsTheProbeAndTheProgram() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTemporaryDir encoderFolder;
        QVERIFY(encoderFolder.isValid());
        const QString idFile = encoderFolder.filePath(QStringLiteral("sleeper"));
        {
            QFile encoder(encoderFolder.filePath(QStringLiteral("ffmpeg")));
            QVERIFY(encoder.open(QIODevice::WriteOnly));
            encoder.write("#!/bin/sh\nsleep 60 &\necho $! > '" + idFile.toLocal8Bit() +
                          "'\nwait\n");
            encoder.close();
            QVERIFY(encoder.setPermissions(encoder.permissions() | QFileDevice::ExeOwner));
        }
        Platform::SetApplicationFolder(encoderFolder.path()); // the encoder beside the program
        int loads = 0;
        window.intake->LoadVideo = [&loads](const QString&) { ++loads; };

        QTimer takeIn;
        takeIn.setSingleShot(true);
        connect(&takeIn, &QTimer::timeout, &window,
                [&window] { window.intake->TakeInFile(QStringLiteral("/nowhere/clip.mp4")); });
        takeIn.start(0);
        QTimer close;
        connect(&close, &QTimer::timeout, &window, [&] {
            if (QFileInfo::exists(idFile) && window.isVisible()) {
                QVERIFY(window.windowHandle()->close());
            }
        });
        close.start(50);
        QTimer giveUp; // the program did not end
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        giveUp.start(30000);
        QCOMPARE(QApplication::exec(), 0);

        QVERIFY(!window.isVisible());
        QCOMPARE(loads, 0);
        QVERIFY(window.session->NoMedia());
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(u'|')));
        QVERIFY(TaskTest::ChildProcesses().isEmpty());
        QFile ids(idFile);
        QVERIFY(ids.open(QIODevice::ReadOnly));
        const pid_t sleeper = static_cast<pid_t>(ids.readAll().trimmed().toInt());
        QVERIFY(sleeper > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!TaskTest::ProcessRunning(sleeper), 1000);
    }

    void minimiseButtonMinimises() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(window.frMain->cmdMinimize, Qt::LeftButton);
        QTRY_VERIFY(window.windowState() & Qt::WindowMinimized);
    }

    // Any button pressed on the main panel moves the window; a press on a control does not.
    void pressOnTheMainPanelMovesTheWindow() {
        TestSupport::MessageRecorder messages;
        DesktopRecorder desktop;
        frmMain window;
        window.show();
        const QPoint bare = BarePoint(window.frMain);
        QVERIFY(bare.x() >= 0);
        QTest::mousePress(window.frMain, Qt::LeftButton, {}, bare);
        QTest::mouseRelease(window.frMain, Qt::LeftButton, {}, bare);
        QTest::mousePress(window.frMain, Qt::RightButton, {}, bare);
        QTest::mouseRelease(window.frMain, Qt::RightButton, {}, bare);
        QCOMPARE(desktop.dragged, QList<QWidget*>({&window, &window}));
        QTest::mouseClick(window.frMain->cmdPlay, Qt::LeftButton);
        QCOMPARE(desktop.dragged.size(), 2);
    }

    void helpButtonOpensTheHelpPage() {
        TestSupport::MessageRecorder messages;
        DesktopRecorder desktop;
        frmMain window;
        window.show();
        QTest::mouseClick(window.frMain->MyButton1, Qt::LeftButton);
        const QString page = TestSupport::BuildFolder() + QStringLiteral("/Help.html");
        QCOMPARE(desktop.opened, QList<QUrl>{QUrl::fromLocalFile(page)});
        QVERIFY(QFileInfo(page).isFile());
        QVERIFY(messages.messages.isEmpty());
    }

    void aboutLinksOpenTheirSites() {
        TestSupport::MessageRecorder messages;
        DesktopRecorder desktop;
        frmMain window;
        window.show();
        QTest::mouseClick(window.frMain->cmdAbout, Qt::LeftButton);
        QApplication::processEvents();
        ClickLink(window.frAbout->lblFFmpeg);
        ClickLink(window.frAbout->lblWebSite);
        QCOMPARE(desktop.opened,
                 QList<QUrl>({QUrl(QStringLiteral("https://ffmpeg.org/")), AboutPanel::MakerSite}));
    }
};

QTEST_MAIN(tst_frmMainLifecycle)
#include "tst_frmMainLifecycle.moc"
