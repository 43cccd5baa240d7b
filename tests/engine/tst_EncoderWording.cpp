#include "engine/EncoderWording.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_EncoderWording : public QObject {
    Q_OBJECT

private slots:
    void oldAndNewWordingAreBothUnderstood() {
        QVERIFY(EncoderWording::EncodingBegan(QStringLiteral("x\npress [q] to stop encoding\n")));
        QVERIFY(EncoderWording::EncodingBegan(QStringLiteral("Press [q] to stop, [?] for help")));
        QVERIFY(EncoderWording::EncodingBegan(QStringLiteral("PRESS [Q] TO STOP")));
        QVERIFY(!EncoderWording::EncodingBegan(QStringLiteral("press [q] to")));
        QVERIFY(!EncoderWording::EncodingBegan(QString()));

        QVERIFY(EncoderWording::IsUnknownFormat(QStringLiteral("bad.avi: Unknown format\r\n")));
        QVERIFY(EncoderWording::IsUnknownFormat(QStringLiteral("unknown FORMAT")));
        QVERIFY(EncoderWording::IsUnknownFormat(
            QStringLiteral("bad.avi: Invalid data found when processing input\n")));
        QVERIFY(!EncoderWording::IsUnknownFormat(QStringLiteral("Unknown encoder 'x'")));
    }

    void progressTimeText() {
        QString text = QStringLiteral("untouched");
        QVERIFY(!EncoderWording::FindProgressTime(QStringLiteral("frame= 10 fps=0"), &text));
        QCOMPARE(text, QStringLiteral("untouched"));
        QVERIFY(EncoderWording::FindProgressTime(
            QStringLiteral("frame=1 TIME=00:00:02.02 bitrate=1\rframe=2 time=00:00:03.00 b"),
            &text));
        QCOMPARE(text, QStringLiteral("00:00:02.02"));
        QVERIFY(EncoderWording::FindProgressTime(QStringLiteral("size= 1kB time=12.34"), &text));
        QVERIFY(text.isEmpty()); // no blank after it: cut off by the end of the piece
    }

    void progressTimeSeconds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds"); // < 0: unreadable
        QTest::newRow("old seconds") << QStringLiteral("12.34") << 12.34;
        QTest::newRow("old whole") << QStringLiteral("7") << 7.0;
        QTest::newRow("5.x") << QStringLiteral("00:01:02.50") << 62.5;
        QTest::newRow("5.x many hours") << QStringLiteral("123:00:00.00") << 442800.0;
        QTest::newRow("not available") << QStringLiteral("N/A") << -1.0;
        QTest::newRow("negative 5.x") << QStringLiteral("-00:00:00.04") << -1.0;
        QTest::newRow("negative old") << QStringLiteral("-1.5") << -1.0;
        QTest::newRow("empty") << QString() << -1.0;
        QTest::newRow("garbage") << QStringLiteral("1e3") << -1.0;
        QTest::newRow("four fields") << QStringLiteral("1:00:00:00.00") << -1.0;
        QTest::newRow("empty field") << QStringLiteral("00::01.00") << -1.0;
    }
    void progressTimeSeconds() {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const std::optional<double> parsed = EncoderWording::ProgressTimeSeconds(text);
        if (seconds < 0) {
            QVERIFY(!parsed.has_value());
        } else {
            QVERIFY(parsed.has_value());
            QCOMPARE(*parsed, seconds);
        }
    }

    void preambleMarkers() {
        using EncoderWording::FindPreambleMarker;
        const QString all = QStringLiteral("built with gcc\nInput #0, avi\nStream mapping:\n");
        QCOMPARE(FindPreambleMarker(all).position, all.indexOf(QStringLiteral("Stream")));
        QCOMPARE(FindPreambleMarker(all).lineBreaks, 3);
        QCOMPARE(FindPreambleMarker(QStringLiteral("a\ninput #0")).lineBreaks, 4);
        QCOMPARE(FindPreambleMarker(QStringLiteral("  Built On Jan 1")).position, 2);
        QCOMPARE(FindPreambleMarker(QStringLiteral("  built with gcc")).lineBreaks, 1);
        QCOMPARE(FindPreambleMarker(QStringLiteral("error only")).position, -1);
    }

    // The bundled encoder wins when it is executable; otherwise the one on PATH; its path is
    // quoted in the command line when it contains a blank.
    void encoderLookup() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString appFolder = folder.filePath(QStringLiteral("my app"));
        QVERIFY(QDir().mkpath(appFolder));
        TestSupport::ApplicationFolderOverride app(appFolder);
        const QString onPath = EncoderWording::EncoderProgram();
        QVERIFY(onPath.startsWith(QLatin1Char('/')));
        QVERIFY(onPath.endsWith(QStringLiteral("/ffmpeg")));
        QCOMPARE(EncoderWording::EncoderCommand(), onPath);

        QFile bundled(QDir(appFolder).filePath(QStringLiteral("ffmpeg")));
        QVERIFY(bundled.open(QIODevice::WriteOnly));
        bundled.write("#!/bin/sh\n");
        bundled.close();
        QCOMPARE(EncoderWording::EncoderProgram(), onPath); // not executable yet
        QVERIFY(bundled.setPermissions(bundled.permissions() | QFileDevice::ExeOwner));
        QCOMPARE(EncoderWording::EncoderProgram(), bundled.fileName());
        QCOMPARE(EncoderWording::EncoderCommand(),
                 QLatin1Char('"') + bundled.fileName() + QLatin1Char('"'));
    }
};

QTEST_GUILESS_MAIN(tst_EncoderWording)
#include "tst_EncoderWording.moc"
