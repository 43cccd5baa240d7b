#include "engine/OutputNaming.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <QFileInfo>

#include <QTemporaryDir>
#include <QTest>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

class tst_OutputNaming : public QObject {
    Q_OBJECT

private slots:
    void namesFollowTheInputAndTheTakenNames() {
        QTemporaryDir dir;
        const QString v = dir.path();
        const QString input = v + QStringLiteral("/clip.avi");
        Touch(input);
        TestSupport::ProcessEventsHook events;

        // Another container: the input's name with the new extension.
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("wmv")),
                 v + QStringLiteral("/clip.wmv"));
        // The same container: "_Converted", then numbers from 0.
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("avi")),
                 v + QStringLiteral("/clip_Converted.avi"));
        QCOMPARE(events.calls, 0);
        Touch(v + QStringLiteral("/clip_Converted.avi"));
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("avi")),
                 v + QStringLiteral("/clip_Converted_0.avi"));
        QCOMPARE(events.calls, 2); // twice for each numbered name tried
        Touch(v + QStringLiteral("/clip_Converted_0.avi"));
        Touch(v + QStringLiteral("/clip_Converted_1.avi"));
        events.calls = 0;
        QCOMPARE(OutputNaming::FreeOutputName(v + QLatin1Char('/'), input, QStringLiteral("avi")),
                 v + QStringLiteral("/clip_Converted_2.avi"));
        QCOMPARE(events.calls, 6);

        // An input already named "_Converted" goes straight to the numbers.
        const QString converted = v + QStringLiteral("/clip_Converted.avi");
        QCOMPARE(OutputNaming::FreeOutputName(v, converted, QStringLiteral("avi")),
                 v + QStringLiteral("/clip_Converted_2.avi"));
        // ... letter case counts there.
        const QString lower = v + QStringLiteral("/clip_converted.avi");
        Touch(lower);
        QCOMPARE(OutputNaming::FreeOutputName(v, lower, QStringLiteral("avi")),
                 v + QStringLiteral("/clip_converted_Converted.avi"));

        // The extension as the list shows it; only the last extension of the input goes.
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("MP4")),
                 v + QStringLiteral("/clip.MP4"));
        QCOMPARE(
            OutputNaming::FreeOutputName(v, v + QStringLiteral("/a.b.mkv"), QStringLiteral("avi")),
            v + QStringLiteral("/a.b.avi"));
    }

    // A folder or a link of that name is taken as well: the encoder must not write through a
    // link or fail on a folder.
    void foldersAndLinksTakeNames() {
        QTemporaryDir dir;
        const QString v = dir.path();
        const QString input = v + QStringLiteral("/clip.avi");
        Touch(input);
        QDir(v).mkdir(QStringLiteral("clip.wmv"));
        QFile::link(v + QStringLiteral("/nowhere/file"), v + QStringLiteral("/clip_Converted.wmv"));
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("wmv")),
                 v + QStringLiteral("/clip_Converted_0.wmv"));
    }

    void everyNameTaken() {
        QTemporaryDir dir;
        const QString v = dir.path();
        const QString input = v + QStringLiteral("/c.avi");
        Touch(input);
        Touch(v + QStringLiteral("/c_Converted.avi"));
        for (int n = 0; n <= 10000; ++n) {
            Touch(v + QStringLiteral("/c_Converted_%1.avi").arg(n));
        }
        TestSupport::ProcessEventsHook events({}, false);
        QCOMPARE(OutputNaming::FreeOutputName(v, input, QStringLiteral("avi")), QString());
        QCOMPARE(events.calls, 2 * 10001);
    }

    // A name of 250 bytes whose plain output name is taken: "_Converted" would pass the file
    // system's 255 bytes, so the stem gives way, at a character boundary, and the real encoder
    // writes the names that come out.
    void longNamesFitTheFileSystem() {
        QTemporaryDir dir;
        const QString v = dir.path();
        const QString stem = QStringLiteral("xx") + QString(122, QChar(0x00e9)); // 246 bytes
        const QString input = v + QLatin1Char('/') + stem + QStringLiteral(".mp4");
        QCOMPARE(QFile::encodeName(QFileInfo(input).fileName()).size(), 250);
        QVERIFY(TestSupport::MakeClip(input, 1));

        QStringList written;
        for (int round = 0; round < 2; ++round) {
            const QString output = OutputNaming::FreeOutputName(v, input, QStringLiteral("mp4"));
            const QString name = QFileInfo(output).fileName();
            const QString ending =
                round == 0 ? QStringLiteral("_Converted.mp4") : QStringLiteral("_Converted_0.mp4");
            QVERIFY2(name.endsWith(ending), qPrintable(name));
            const QString kept = name.chopped(ending.size());
            QVERIFY(stem.startsWith(kept));
            // The most of the stem that fits: 255 bytes, less one for the split letter.
            QCOMPARE(QFile::encodeName(name).size(), 254);
            QCOMPARE(QFile::decodeName(QFile::encodeName(name)), name);
            QString error;
            QVERIFY2(TestSupport::RunFfmpeg({QStringLiteral("-i"), input, QStringLiteral("-c"),
                                             QStringLiteral("copy"), output},
                                            &error),
                     qPrintable(error));
            QCOMPARE(TestSupport::Probe(output).streamTypes, (QStringList{"video", "audio"}));
            written << name;
        }
        QCOMPARE(written.size(), 2);
        QVERIFY(written[0] != written[1]);

        // Another extension may make the plain name too long as well.
        const QString wide =
            v + QLatin1Char('/') + QString(251, QLatin1Char('w')) + QStringLiteral(".ts");
        QCOMPARE(OutputNaming::FreeOutputName(v, wide, QStringLiteral("webm")),
                 v + QLatin1Char('/') + QString(250, QLatin1Char('w')) + QStringLiteral(".webm"));
    }
};

QTEST_MAIN(tst_OutputNaming)
#include "tst_OutputNaming.moc"
