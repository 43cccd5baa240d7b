#include "app/SlidingPanels.h"

#include <QLabel>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QWidget>

// A window laid out like the real one: 728 x 538 main panel, 483 x 246 about panel and
// 552 x 290 format panel (10920 x 8070, 7245 x 3690 and 8280 x 4350 twips).
struct PanelWindow {
    QWidget window;
    QWidget* frMain = new QWidget(&window);
    QWidget* frAbout = new QWidget(&window);
    QWidget* frFormats = new QWidget(&window);
    QLabel* lblVer = new QLabel(frAbout);
    SlidingPanels panels{&window, frMain, frAbout, frFormats, lblVer};

    PanelWindow() {
        frMain->resize(728, 538);
        frAbout->resize(483, 246);
        frFormats->resize(552, 290);
        panels.PlaceSlidingPanels();
    }
};

class tst_SlidingPanels : public QObject {
    Q_OBJECT

private slots:
    void placesPanelsBelowTheWindow() {
        PanelWindow w;
        QCOMPARE(w.window.size(), QSize(728, 538));
        QCOMPARE(w.panels.Top(w.frAbout), 8070.0F);
        QCOMPARE(w.panels.Top(w.frFormats), 8070.0F);
        QCOMPARE(w.frAbout->pos(), QPoint(122, 538));
        QCOMPARE(w.frFormats->x(), w.frAbout->x());
        QVERIFY(!w.panels.tmrAnimate()->isActive());
        QCOMPARE(w.panels.tmrAnimate()->interval(), 10);
        QVERIFY(w.lblVer->text().contains(
            QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.0\\.\\d+$"))));
    }

    // The rise: 300 twips a tick, slowing over the last few hundred, at rest at 2715.
    void risingPanelSlowsDownAndComesToRest() {
        PanelWindow w;
        w.panels.OpenPanel(w.frAbout);
        QVERIFY(!w.frMain->isEnabled());
        QCOMPARE(w.panels.sMoveObject, QStringLiteral("Edit Frame 2 Up"));

        QList<int> intervals;
        for (int i = 0; i < 17; ++i) {
            w.panels.SlidePanelUpStep();
            intervals << w.panels.tmrAnimate()->interval();
        }
        QCOMPARE(w.panels.Top(w.frAbout), 2970.0F);
        const QList<float> expected{2820.0F, 2745.0F, 2670.0F, 2595.0F};
        const QList<int> expectedIntervals{10, 20, 40, 40};
        for (int i = 0; i < expected.size(); ++i) {
            w.panels.SlidePanelUpStep();
            QCOMPARE(w.panels.Top(w.frAbout), expected[i]);
            QCOMPARE(w.panels.tmrAnimate()->interval(), expectedIntervals[i]);
        }
        QVERIFY(w.panels.tmrAnimate()->isActive());
        w.panels.SlidePanelUpStep();
        QCOMPARE(w.panels.Top(w.frAbout), 2715.0F);
        QCOMPARE(w.frAbout->y(), 181);
        QVERIFY(!w.panels.tmrAnimate()->isActive());
        QCOMPARE(intervals, QList<int>(17, 10));
        QVERIFY(!w.frMain->isEnabled());

        // The downward motion's first tick comes after the 40 ms the rise left behind.
        w.panels.ClosePanel();
        QCOMPARE(w.panels.tmrAnimate()->interval(), 40);
        QVERIFY(w.panels.tmrAnimate()->isActive());
    }

    void fallingPanelParksAndEnablesTheMainPanel() {
        PanelWindow w;
        int parkedCalls = 0;
        w.panels.onPanelParked = [&] { ++parkedCalls; };
        w.panels.OpenPanel(w.frFormats);
        while (w.panels.tmrAnimate()->isActive()) {
            w.panels.SlidePanelUpStep();
        }
        w.panels.ClosePanel();
        int ticks = 0;
        while (w.panels.tmrAnimate()->isActive() && ticks < 100) {
            w.panels.SlidePanelDownStep();
            QCOMPARE(w.frMain->isEnabled(), !w.panels.tmrAnimate()->isActive());
            ++ticks;
        }
        QCOMPARE(w.panels.Top(w.frFormats), 8070.0F);
        QCOMPARE(w.frFormats->y(), 538);
        QVERIFY(w.frMain->isEnabled());
        QCOMPARE(parkedCalls, 1);
        // 2715 to 8215 in steps of 500 is 11 ticks, the 12th parks the panel.
        QCOMPARE(ticks, 12);

        // The next rise's first tick comes after the 5 ms the fall left behind.
        w.panels.OpenPanel(w.frAbout);
        QCOMPARE(w.panels.tmrAnimate()->interval(), 5);
    }

    void secondOpenWhileMovingIsIgnoredAndCloseReverses() {
        PanelWindow w;
        w.panels.OpenPanel(w.frAbout);
        w.panels.SlidePanelUpStep();
        w.panels.SlidePanelUpStep();
        w.panels.OpenPanel(w.frFormats); // ignored: a motion runs
        QCOMPARE(w.panels.objMovePanel, w.frAbout);
        QCOMPARE(w.panels.Top(w.frAbout), 7470.0F);

        w.panels.ClosePanel(); // the rising panel falls from where it is
        QCOMPARE(w.panels.sMoveObject, QStringLiteral("Edit Frame 2 Down"));
        w.panels.SlidePanelDownStep();
        QCOMPARE(w.panels.Top(w.frAbout), 7970.0F);
        w.panels.SlidePanelDownStep();
        w.panels.SlidePanelDownStep();
        QCOMPARE(w.panels.Top(w.frAbout), 8070.0F);
        QVERIFY(!w.panels.tmrAnimate()->isActive());
        QVERIFY(w.frMain->isEnabled());
        QCOMPARE(w.panels.Top(w.frFormats), 8070.0F);
    }

    // The real timer drives the same motion to rest.
    void timerDrivesTheMotion() {
        PanelWindow w;
        w.panels.OpenPanel(w.frAbout);
        QTRY_VERIFY_WITH_TIMEOUT(!w.panels.tmrAnimate()->isActive(), 5000);
        QCOMPARE(w.panels.Top(w.frAbout), 2715.0F);
        w.panels.ClosePanel();
        QTRY_VERIFY_WITH_TIMEOUT(w.frMain->isEnabled(), 5000);
        QCOMPARE(w.panels.Top(w.frAbout), 8070.0F);
    }

    void unknownCommandKeepsTheMotion() {
        PanelWindow w;
        w.panels.OpenPanel(w.frAbout);
        w.panels.SlidePanel(QStringLiteral("SOMETHING_ELSE"));
        QCOMPARE(w.panels.sMoveObject, QStringLiteral("Edit Frame 2 Up"));
        QCOMPARE(w.panels.lMoveStep, 300);
    }
};

QTEST_MAIN(tst_SlidingPanels)
#include "tst_SlidingPanels.moc"
