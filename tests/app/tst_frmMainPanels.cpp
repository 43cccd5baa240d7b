#include "app/AboutPanel.h"
#include "app/MainPanel.h"
#include "app/Session.h"
#include "app/SlidingPanels.h"
#include "app/frmMain.h"
#include "formats/FormatPanel.h"
#include "preview/Slider.h"
#include "tests/support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
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
};

QTEST_MAIN(tst_frmMainPanels)
#include "tst_frmMainPanels.moc"
