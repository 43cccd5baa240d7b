#include "SliderTestHelpers.h"

#include "preview/PropertyBag.h"

#include <QSignalSpy>

class tst_SliderProperties : public QObject {
    Q_OBJECT

private slots:
    void defaultsAreNotWritten() {
        SliderHost host(300, 20);
        PropertyBag bag;
        host.slider->WriteProperties(bag);
        QVERIFY(bag.Names().isEmpty());
        // A value set back to its default removes what was written before.
        bag.WriteProperty(QStringLiteral("Value"), 7, 50);
        bag.WriteProperty(QStringLiteral("Value"), 50, 50);
        QVERIFY(!bag.Contains(QStringLiteral("Value")));
        QCOMPARE(bag.ReadProperty(QStringLiteral("Value"), 50).toInt(), 50);
    }

    void everyPropertyRoundTrips() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMax(1000);
        s->SetMin(200);
        s->SetValue(500);
        s->SetBackColor(0x102030);
        s->SetForeColor(0x405060);
        s->SetForeColor2(0x708090);
        s->SetEnabled(false);
        s->SetSnap(true);
        s->SetStyle(1);
        s->SetSelectStart(40);
        s->SetSelectEnd(-10);
        PropertyBag bag;
        s->WriteProperties(bag);
        QCOMPARE(bag.Names(),
                 (QStringList{"Value", "Max", "Min", "BackColor", "ForeColor", "ForeColor2",
                              "Enabled", "Snap", "Style", "StartSelect", "EndSelect"}));
        QCOMPARE(bag.ReadProperty("Enabled", true).typeId(), QMetaType::Bool);
        QCOMPARE(bag.ReadProperty("StartSelect", 0).typeId(), QMetaType::Int);

        SliderHost other(300, 20);
        Slider* t = other.slider;
        QSignalSpy changes(t, &Slider::Change);
        t->ReadProperties(bag);
        QCOMPARE(changes.count(), 6); // Max, Min, Value and the three colours
        QCOMPARE(t->Value(), 500);
        QCOMPARE(t->Max(), 1000);
        QCOMPARE(t->Min(), 200);
        QCOMPARE(t->BackColor(), 0x102030);
        QCOMPARE(t->ForeColor(), 0x405060);
        QCOMPARE(t->ForeColor2(), 0x708090);
        QCOMPARE(t->ForeRGB().Red, double(0x60));
        QVERIFY(!t->Enabled());
        QVERIFY(t->Snap());
        QCOMPARE(t->Style(), 1);
        QCOMPARE(t->size(), QSize(20, 300)); // turned: the height became the width
        QCOMPARE(t->SelectStart(), 40);
        QCOMPARE(t->SelectEnd(), -10);
        QVERIFY(!t->FreeHandle());
        PropertyBag again;
        t->WriteProperties(again);
        QCOMPARE(again.ToMap(), bag.ToMap());
    }

    void storedBoundsApplyBeforeTheValue_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("min");
        QTest::newRow("above the initial range") << 500 << 1000 << 0;
        QTest::newRow("min above the initial max") << 500 << 1000 << 200;
        QTest::newRow("max below the initial min") << -700 << -500 << -1000;
        QTest::newRow("the seek bar") << 0 << 1000000 << 0;
    }
    void storedBoundsApplyBeforeTheValue() {
        QFETCH(int, value);
        QFETCH(int, max);
        QFETCH(int, min);
        SliderHost host(300, 20);
        host.slider->ReadProperties(
            PropertyBag(QVariantMap{{"Value", value}, {"Max", max}, {"Min", min}}));
        QCOMPARE(host.slider->Value(), value);
        QCOMPARE(host.slider->Max(), max);
        QCOMPARE(host.slider->Min(), min);
    }

    void missingOrUnreadableNamesReadAsDefaults() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        s->SetMax(5000);
        s->SetValue(4000);
        s->SetSelectStart(9);
        s->ReadProperties(PropertyBag(QVariantMap{
            {"Value", QStringLiteral("many")}, {"Max", qint64(1) << 40}, {"Enabled", false}}));
        QCOMPARE(s->Value(), 50);
        QCOMPARE(s->Max(), 100);
        QCOMPARE(s->Min(), -100);
        QCOMPARE(s->SelectStart(), 0);
        QVERIFY(!s->Enabled());
    }

    void loadingTintsTheGrooveBlack() {
        SliderHost host(300, 20);
        Slider* s = host.slider;
        QVERIFY(s->Artwork().PicEmptyFill.pixel(0, 9) != qRgb(0, 0, 0));
        s->ReadProperties(PropertyBag());
        QCOMPARE(s->Artwork().PicEmptyFill.pixel(0, 9), qRgb(0, 0, 0));
        QCOMPARE(s->Canvas().pixel(8, 9), qRgb(0, 0, 0));
        QCOMPARE(s->size(), QSize(63, 20)); // Style 0 turns it: the width became the height
    }
};

QTEST_MAIN(tst_SliderProperties)
#include "tst_SliderProperties.moc"
