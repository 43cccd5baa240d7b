#include "engine/Rounding.h"

#include <QTest>

class tst_Rounding : public QObject {
    Q_OBJECT

private slots:
    void halvesGoToTheEvenNeighbour_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<double>("expected");
        QTest::newRow("0.5") << 0.5 << 0.0;
        QTest::newRow("1.5") << 1.5 << 2.0;
        QTest::newRow("2.5") << 2.5 << 2.0;
        QTest::newRow("-0.5") << -0.5 << 0.0;
        QTest::newRow("-1.5") << -1.5 << -2.0;
        QTest::newRow("59.5") << 59.5 << 60.0;
        QTest::newRow("58.5") << 58.5 << 58.0;
        QTest::newRow("2.4999") << 2.4999 << 2.0;
        QTest::newRow("2.5001") << 2.5001 << 3.0;
    }
    void halvesGoToTheEvenNeighbour() {
        QFETCH(double, value);
        QFETCH(double, expected);
        QCOMPARE(RoundHalfEven(value), expected);
    }

    void int32RangeIsChecked() {
        QCOMPARE(RoundToInt32(2147483647.4).value(), 2147483647);
        QVERIFY(!RoundToInt32(2147483647.5).has_value());
        QCOMPARE(RoundToInt32(-2147483648.0).value(), -2147483647 - 1);
        QVERIFY(!RoundToInt32(-2147483648.6).has_value());
        QVERIFY(!RoundToInt32(std::nan("")).has_value());
    }
};

QTEST_APPLESS_MAIN(tst_Rounding)
#include "tst_Rounding.moc"
