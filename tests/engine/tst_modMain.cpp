#include "engine/modMain.h"

#include <QTest>

class tst_modMain : public QObject {
    Q_OBJECT

private slots:
    void timeText_data() {
        QTest::addColumn<qint32>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << QStringLiteral("00:00:00");
        QTest::newRow("65") << 65 << QStringLiteral("00:01:05");
        QTest::newRow("3599") << 3599 << QStringLiteral("00:59:59");
        QTest::newRow("3600") << 3600 << QStringLiteral("01:00:00");
        QTest::newRow("86399") << 86399 << QStringLiteral("23:59:59");
        QTest::newRow("90061") << 90061 << QStringLiteral("25:01:01");
        QTest::newRow("360000") << 360000 << QStringLiteral("100:00:00");
        QTest::newRow("largest") << 2147483647 << QStringLiteral("596523:14:07");
        QTest::newRow("-65") << -65 << QStringLiteral("-00:01:05");
        QTest::newRow("smallest") << (-2147483647 - 1) << QStringLiteral("-596523:14:08");
    }
    void timeText() {
        QFETCH(qint32, seconds);
        QFETCH(QString, text);
        const qint32 before = seconds;
        QCOMPARE(modMain::TimeText(seconds), text);
        QCOMPARE(seconds, before);
    }

    // The replaced function receives every request; the real power-off is never reached here.
    void shutdownGoesThroughTheReplaceableFunction() {
        QVERIFY(qEnvironmentVariableIsSet("QUENLET_NO_POWEROFF"));
        QVERIFY(!modMain::PowerOffAllowed());
        int requests = 0;
        const modMain::ShutdownFunction previous =
            modMain::SetShutdownFunction([&requests] { ++requests; });
        modMain::ShutdownComputer();
        modMain::ShutdownComputer();
        QCOMPARE(requests, 2);
        const modMain::ShutdownFunction recorder = modMain::SetShutdownFunction(previous);
        QVERIFY(static_cast<bool>(recorder));
    }
};

QTEST_APPLESS_MAIN(tst_modMain)
#include "tst_modMain.moc"
