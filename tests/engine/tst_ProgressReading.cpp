// How one piece of the encoder's output reads as a status and a progress.
#include "engine/ProgressReading.h"

#include <QStringList>
#include <QTest>

namespace {

// A reading as the converter announces it: "S:<status>", then "P:<progress>".
QStringList Events(const ProgressReading& reading) {
    QStringList events;
    if (reading.status) {
        events << QStringLiteral("S:") + *reading.status;
    }
    if (reading.progress) {
        events << QStringLiteral("P:%1").arg(*reading.progress);
    }
    return events;
}

} // namespace

class tst_ProgressReading : public QObject {
    Q_OBJECT

private slots:
    void progressLines_data() {
        QTest::addColumn<QString>("piece");
        QTest::addColumn<float>("length");
        QTest::addColumn<QStringList>("events");
        const QString line10 = QStringLiteral(
            "frame=  250 fps= 25 q=2.0 size=    1024kB time=10.00 bitrate= 838.9kbits/s");
        QTest::newRow("10 of 40") << line10 << 40.0F << QStringList{"P:25"};
        QTest::newRow("no length") << line10 << 0.0F << QStringList{"S:10.00 Seconds Converted"};
        QTest::newRow("negative length")
            << line10 << -3.0F << QStringList{"S:10.00 Seconds Converted"};
        QTest::newRow("past the end")
            << QStringLiteral("time=50.00 b") << 40.0F << QStringList{"P:125"};
        QTest::newRow("no blank") << QStringLiteral("size= 1kB time=10.00") << 40.0F
                                  << QStringList{};
        QTest::newRow("no blank, no length") << QStringLiteral("size= 1kB time=10.00") << 0.0F
                                             << QStringList{"S: Seconds Converted"};
        QTest::newRow("5.x form") << QStringLiteral("size= 1kB time=00:00:12.34 bitrate=1") << 40.0F
                                  << QStringList{"P:30"};
        QTest::newRow("5.x form, no length") << QStringLiteral("TIME=00:00:12.34 b") << 0.0F
                                             << QStringList{"S:00:00:12.34 Seconds Converted"};
        QTest::newRow("first time counts")
            << QStringLiteral("time=00:00:10.00 b\rframe= 2 time=00:00:20.00 b") << 40.0F
            << QStringList{"P:25"};
        QTest::newRow("beyond 32767 s")
            << QStringLiteral("time=10:00:00.00 b") << 72000.0F << QStringList{"P:50"};
        QTest::newRow("percent beyond 16 bits")
            << QStringLiteral("time=10:00:00.00 b") << 1.0F << QStringList{};
        QTest::newRow("unreadable time")
            << QStringLiteral("time=N/A bitrate=N/A") << 40.0F << QStringList{};
        QTest::newRow("negative time")
            << QStringLiteral("time=-00:00:00.04 b") << 40.0F << QStringList{};
        QTest::newRow("not a time") << QStringLiteral("time=1e3 b") << 40.0F << QStringList{};
        QTest::newRow("too many fields")
            << QStringLiteral("time=1:00:00:00.00 b") << 40.0F << QStringList{};
        QTest::newRow("seconds round to even")
            << QStringLiteral("time=2.50 b") << 8.0F << QStringList{"P:25"};
        QTest::newRow("percent rounds to even")
            << QStringLiteral("time=1.00 b") << 8.0F << QStringList{"P:12"};
        QTest::newRow("percent rounds up to even")
            << QStringLiteral("time=3.00 b") << 8.0F << QStringList{"P:38"};
        QTest::newRow("unknown format wins")
            << QStringLiteral("x time=10.00 b\nbad.avi: Unknown format\n") << 40.0F
            << QStringList{"S:Unknown format", "P:-1"};
        QTest::newRow("5.x unreadable input")
            << QStringLiteral("bad.avi: Invalid data found when processing input\n") << 0.0F
            << QStringList{"S:Unknown format", "P:-1"};
        QTest::newRow("any letter case") << QStringLiteral("bad.avi: unknown format\r\n") << 0.0F
                                         << QStringList{"S:Unknown format", "P:-1"};
        QTest::newRow("line not ended yet")
            << QStringLiteral("bad.avi: Unknown format") << 0.0F << QStringList{};
        // The words in text that comes from a file, not from the encoder about the input.
        QTest::newRow("another file's error line")
            << QStringLiteral("other.avi: Invalid data found when processing input\n") << 40.0F
            << QStringList{};
        QTest::newRow("title tag")
            << QStringLiteral("  Metadata:\n    title           : bad.avi: Unknown format\n")
            << 40.0F << QStringList{};
        QTest::newRow("more after the words")
            << QStringLiteral("bad.avi: Unknown format.avi: No such file or directory\n") << 40.0F
            << QStringList{};
        QTest::newRow("echoed name") << QStringLiteral("Input #0, avi, from 'x/bad.avi: Unknown "
                                                       "format':\n")
                                     << 40.0F << QStringList{};
        QTest::newRow("Cancelled")
            << QStringLiteral("Cancelled") << 40.0F << QStringList{"S:Cancelled"};
        QTest::newRow("cancelled is ordinary")
            << QStringLiteral("cancelled") << 40.0F << QStringList{};
        QTest::newRow("Cancelled inside a piece")
            << QStringLiteral("Cancelled\n") << 40.0F << QStringList{};
        QTest::newRow("empty last piece") << QString() << 40.0F << QStringList{};
    }
    void progressLines() {
        QFETCH(QString, piece);
        QFETCH(float, length);
        QFETCH(QStringList, events);
        QString unfinished;
        // "bad.avi" is the input of the run.
        QCOMPARE(Events(ReadProgressPiece(piece, unfinished, QStringLiteral("bad.avi"), length)),
                 events);
    }

    // The runner's pieces may cut the error line anywhere: it counts once, when it is whole.
    void errorLineSplitOverPieces() {
        const QString output = QStringLiteral("[avi @ 0x1] low score\n/v/bad.avi: Invalid data "
                                              "found when processing input\n");
        for (qsizetype cut = 1; cut < output.size(); ++cut) {
            QString unfinished;
            QStringList events;
            for (const QString& piece : {output.left(cut), output.mid(cut)}) {
                events += Events(
                    ReadProgressPiece(piece, unfinished, QStringLiteral("/v/bad.avi"), 0.0F));
            }
            QCOMPARE(events, (QStringList{"S:Unknown format", "P:-1"}));
        }
    }

    // What is kept between pieces is the output after its last line break, and no more than
    // the longest line worth keeping.
    void unfinishedLineIsKept() {
        QString unfinished;
        ReadProgressPiece(QStringLiteral("first\r\nsecond part"), unfinished, QString(), 0.0F);
        QCOMPARE(unfinished, QStringLiteral("second part"));
        ReadProgressPiece(QStringLiteral(" and more\rframe= 1"), unfinished, QString(), 0.0F);
        QCOMPARE(unfinished, QStringLiteral("frame= 1"));
        ReadProgressPiece(QString(20000, QLatin1Char('x')), unfinished, QString(), 0.0F);
        QCOMPARE(unfinished.size(), 8192);
        ReadProgressPiece(QStringLiteral("done\n"), unfinished, QString(), 0.0F);
        QVERIFY(unfinished.isEmpty());
    }
};

QTEST_APPLESS_MAIN(tst_ProgressReading)
#include "tst_ProgressReading.moc"
