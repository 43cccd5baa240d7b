// What the converter keeps of a source and tells of it, with the real encoder and prober.
#include "engine/CVideoConv.h"
#include "engine/SourceFacts.h"
#include "tests/support/TestFilm.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The side data of the first picture of a file's first video stream, by type.
QStringList FirstPictureSideData(const QString& path) {
    QByteArray output;
    TestSupport::RunProgram(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
         QStringLiteral("v:0"), QStringLiteral("-read_intervals"), QStringLiteral("%+#1"),
         QStringLiteral("-show_frames"), QStringLiteral("-of"), QStringLiteral("json"), path},
        &output);
    QStringList types;
    const QJsonArray frames = QJsonDocument::fromJson(output).object().value("frames").toArray();
    for (const QJsonValue& data :
         frames.first().toObject().value(QLatin1String("side_data_list")).toArray()) {
        types.append(data.toObject().value(QLatin1String("side_data_type")).toString());
    }
    return types;
}

SourceFacts Described(const QString& path) {
    QByteArray output;
    TestSupport::RunProgram(QStringLiteral("ffprobe"), SourceFacts::ProbeArguments(path), &output);
    return SourceFacts::Parse(QString::fromUtf8(output));
}

} // namespace

class tst_StreamKeeping : public QObject {
    Q_OBJECT

    QTemporaryDir folder_;
    QString hdr_;

private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        hdr_ = folder_.filePath(QStringLiteral("hdr.mp4"));
        QVERIFY(TestFilm::MakeHdrClip(hdr_));
    }

    // A 10-bit HDR film cut with a format of 8 bits is told once the cut is there; a 10-bit
    // H.265 cut keeps the picture's HDR description, its mastering display and light levels.
    void hdrSourceWithEightBitsIsTold_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<bool>("told");
        QTest::newRow("H.264, 8 bits")
            << "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -crf 23 -c:a aac" << true;
        QTest::newRow("H.265, 10 bits")
            << "-c:v libx265 -preset ultrafast -crf 26 -pix_fmt yuv420p10le -x265-params "
               "log-level=error -c:a aac"
            << false;
    }
    void hdrSourceWithEightBitsIsTold() {
        QFETCH(QString, format);
        QFETCH(bool, told);
        TestSupport::MessageRecorder messages;
        const QString output = folder_.filePath(QStringLiteral("cut.mkv"));
        QFile::remove(output);
        CVideoConv converter;
        converter.SetInputFile(hdr_);
        converter.SetOutputFile(output);
        converter.SetParametrs(format + QStringLiteral(" -ss 1 -t 1 -y"));
        converter.SetFileTimeLength(1);
        converter.StartConversion();
        QVERIFY2(converter.Completed(), qPrintable(messages.texts().join(u'\n')));
        QVERIFY(messages.messages.isEmpty());
        QCOMPARE(converter.Notice().contains(QStringLiteral("HDR with 10-bit colour")), told);
        const SourceFacts cut = Described(output);
        QVERIFY(cut.MainVideo() != nullptr);
        // The colour description goes along either way.
        QCOMPARE(cut.MainVideo()->colorTransfer, QStringLiteral("smpte2084"));
        QCOMPARE(cut.MainVideo()->colorPrimaries, QStringLiteral("bt2020"));
        const QStringList sideData = FirstPictureSideData(output);
        QCOMPARE(sideData.contains(QStringLiteral("Mastering display metadata")), !told);
        QCOMPARE(sideData.contains(QStringLiteral("Content light level metadata")), !told);
    }
};

QTEST_MAIN(tst_StreamKeeping)
#include "tst_StreamKeeping.moc"
