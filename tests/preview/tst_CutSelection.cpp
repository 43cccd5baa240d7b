#include "preview/CutSelection.h"
#include "preview/Slider.h"

#include <QLabel>
#include <QTest>

class tst_CutSelection : public QObject {
    Q_OBJECT

private:
    struct Rig {
        Rig() {
            slider.SetMin(0);
            slider.SetMax(600);
        }
        Slider slider;
        QLabel start{QStringLiteral("00:00:00")};
        QLabel end{QStringLiteral("00:00:00")};
        bool bNoMedia = false;
        CutSelection selection{&slider, &start, &end, [this] { return bNoMedia; }};
    };

private slots:
    void marksTakeTheSlidersSecond() {
        Rig rig;
        rig.slider.SetValue(75);
        rig.selection.cmdStartSelect_Click();
        QCOMPARE(rig.slider.SelectStart(), 75);
        QCOMPARE(rig.start.text(), QStringLiteral("00:01:15"));
        QCOMPARE(rig.slider.SelectEnd(), 0);
        QCOMPARE(rig.end.text(), QStringLiteral("00:00:00"));

        // The end before the start is accepted and shown as it is; the start moves alone.
        rig.slider.SetValue(30);
        rig.selection.cmdEndSelect_Click();
        QCOMPARE(rig.slider.SelectEnd(), 30);
        QCOMPARE(rig.end.text(), QStringLiteral("00:00:30"));
        rig.slider.SetValue(500);
        rig.selection.cmdStartSelect_Click();
        QCOMPARE(rig.slider.SelectStart(), 500);
        QCOMPARE(rig.start.text(), QStringLiteral("00:08:20"));
        QCOMPARE(rig.slider.SelectEnd(), 30);
    }

    void withoutAFileOnlyClearingWorks() {
        Rig rig;
        rig.slider.SetValue(40);
        rig.selection.cmdStartSelect_Click();
        rig.selection.cmdEndSelect_Click();
        rig.bNoMedia = true;
        rig.slider.SetValue(90);
        rig.selection.cmdStartSelect_Click();
        rig.selection.cmdEndSelect_Click();
        QCOMPARE(rig.slider.SelectStart(), 40);
        QCOMPARE(rig.slider.SelectEnd(), 40);
        QCOMPARE(rig.start.text(), QStringLiteral("00:00:40"));

        rig.selection.cmdDeleteSelect_Click();
        QCOMPARE(rig.slider.SelectStart(), 0);
        QCOMPARE(rig.slider.SelectEnd(), 0);
        QCOMPARE(rig.start.text(), QStringLiteral("00.00.00"));
        QCOMPARE(rig.end.text(), QStringLiteral("00.00.00"));
        QCOMPARE(rig.slider.Value(), 90);
    }
};

QTEST_MAIN(tst_CutSelection)
#include "tst_CutSelection.moc"
