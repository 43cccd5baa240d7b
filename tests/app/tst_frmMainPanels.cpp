#include "app/AboutPanel.h"
#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/SlidingPanels.h"
#include "app/frmMain.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

// The main window with its two sliding panels, driven by clicks.
class tst_frmMainPanels : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { Platform::SetApplicationFolder(TestSupport::BuildFolder()); }
    void cleanupTestCase() { Platform::SetApplicationFolder({}); }

    void startsFramelessWithPanelsParked() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QVERIFY(messages.texts().isEmpty());
        QCOMPARE(window.size(), QSize(728, 538));
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(window.windowTitle(), QStringLiteral("Quenlet"));
        QCOMPARE(window.frFormats->y(), 538);
        QCOMPARE(window.frAbout->y(), 538);
        QVERIFY(window.frFormats->cmbCategory->count() > 0);
        QVERIFY(window.frFormats->cmbCVCodec->count() > 0);
        QVERIFY(window.session->NoMedia());
        QVERIFY(!window.frMain->Slider->Enabled());
        QCOMPARE(window.frMain->Slider->Max(), 1000000);
    }

    void formatPanelSlidesUpAndSaveAndCloseBringsItDown() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QTest::mouseClick(window.frMain->cmdChangeFormat, Qt::LeftButton);
        QVERIFY(!window.frMain->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!window.panels->tmrAnimate()->isActive(), 5000);
        QCOMPARE(window.frFormats->y(), 181);
        QVERIFY(!window.frMain->isEnabled());
        QVERIFY(window.frFormats->isEnabled());

        QTest::mouseClick(window.frFormats->cmdHide, Qt::LeftButton);
        QVERIFY(messages.texts().isEmpty());
        QVERIFY(window.frMain->lblFormat->text().startsWith(QStringLiteral("Category:")));
        QTRY_VERIFY_WITH_TIMEOUT(window.frMain->isEnabled(), 5000);
        QCOMPARE(window.frFormats->y(), 538);
        QVERIFY(window.frMain->Slider->isVisible());
    }

    void aboutPanelClosesWhileStillRising() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        QTest::mouseClick(window.frMain->cmdAbout, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(window.frAbout->y() < 500, 5000);
        QVERIFY(window.panels->tmrAnimate()->isActive());
        QTest::mouseClick(window.frAbout->cmdCloseHelp, Qt::LeftButton);
        QCOMPARE(window.panels->sMoveObject, QStringLiteral("Edit Frame 2 Down"));
        QTRY_VERIFY_WITH_TIMEOUT(window.frMain->isEnabled(), 5000);
        QCOMPARE(window.frAbout->y(), 538);
        QVERIFY(!window.frAbout->lblVer->text().isEmpty());
    }

    // Tab from the first control visits only controls the user sees, never one of a parked
    // panel, and keys pressed at each stop never change the format Start would use.
    void tabVisitsOnlyVisibleControlsAndParkedPanelsTakeNoKeys() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QVERIFY(window.frAbout->isHidden());
        QVERIFY(window.frFormats->isHidden());
        const QString label = window.frMain->lblFormat->text();
        const QString preset = window.frFormats->cmbOutVCodec->currentText();
        const QString container = window.frFormats->Container();
        window.frMain->cmdAbout->setFocus(Qt::TabFocusReason);
        QSet<QWidget*> visited;
        for (int stop = 0; stop < 40; ++stop) {
            QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus != nullptr);
            const QRect shown(focus->mapTo(&window, QPoint(0, 0)), focus->size());
            QVERIFY2(focus->isVisible() && window.rect().contains(shown),
                     qPrintable(focus->objectName()));
            QVERIFY2(!window.frAbout->isAncestorOf(focus) && !window.frFormats->isAncestorOf(focus),
                     qPrintable(focus->objectName()));
            visited.insert(focus);
            // Keys that would step or search a list (the arrows move the focus between buttons,
            // so they are left out); the text box is left alone.
            if (qobject_cast<QLineEdit*>(focus) == nullptr) {
                for (const Qt::Key key : {Qt::Key_PageDown, Qt::Key_End, Qt::Key_Home, Qt::Key_V}) {
                    QTest::keyClick(focus, key);
                }
                QCOMPARE(QApplication::focusWidget(), focus);
            }
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QVERIFY(visited.contains(window.frMain->cmdConvert));
        QVERIFY(visited.contains(window.frMain->Slider));
        QVERIFY(visited.contains(window.frMain->txtOutPath));
        QVERIFY(visited.contains(window.frMain->cmdChangeFormat));
        QVERIFY(visited.contains(window.frMain->optSameFolder) ||
                visited.contains(window.frMain->optOtherFolder));
        QCOMPARE(window.frMain->lblFormat->text(), label);
        QCOMPARE(window.frFormats->cmbOutVCodec->currentText(), preset);
        QCOMPARE(window.frFormats->Container(), container);
        QVERIFY(messages.texts().isEmpty());
    }

    // Opening a panel puts the focus inside it; Esc closes it (the format panel through its
    // "Save && Close") and the focus goes back to the button that opened it; the format label
    // then says what was chosen.
    void panelsTakeTheFocusAndGiveItBack() {
        TestSupport::MessageRecorder messages;
        frmMain window;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        QTest::keyClick(window.frMain->cmdChangeFormat, Qt::Key_Space);
        QVERIFY(window.frFormats->isVisible());
        QCOMPARE(QApplication::focusWidget(), window.frFormats->optFormat[0]);
        QTRY_VERIFY_WITH_TIMEOUT(!window.panels->tmrAnimate()->isActive(), 5000);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), window.frFormats->cmbCategory);
        const QString first = window.frFormats->cmbCategory->currentText();
        QTest::keyClick(window.frFormats->cmbCategory, Qt::Key_Down);
        const QString chosen = window.frFormats->cmbCategory->currentText();
        QVERIFY(chosen != first);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!window.frFormats->isEnabled()); // falling: deaf already
        QVERIFY(window.frMain->lblFormat->text().startsWith(QStringLiteral("Category:") + chosen));
        QTRY_VERIFY_WITH_TIMEOUT(window.frMain->isEnabled(), 5000);
        QVERIFY(window.frFormats->isHidden());
        QCOMPARE(QApplication::focusWidget(), window.frMain->cmdChangeFormat);

        QTest::mouseClick(window.frMain->cmdAbout, Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), window.frAbout->cmdCloseHelp);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(window.frMain->isEnabled(), 5000);
        QVERIFY(window.frAbout->isHidden());
        QCOMPARE(QApplication::focusWidget(), window.frMain->cmdAbout);
        QVERIFY(messages.texts().isEmpty());
    }
};

QTEST_MAIN(tst_frmMainPanels)
#include "tst_frmMainPanels.moc"
