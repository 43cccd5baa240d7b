#include "TaskTestSupport.h"
#include "engine/OutputNaming.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

} // namespace

// The output file a task names from the main panel's folder options.
class tst_TaskOutputName : public QObject {
    Q_OBJECT

private slots:
    // The folder: the input's own with "Same folder as input file", else the one typed or
    // chosen, which is made when missing (one level only).
    void outputFolderFollowsTheOptions() {
        TestSupport::MessageRecorder messages;
        TaskTest::TaskWindow w;
        QTemporaryDir in;
        QTemporaryDir out;
        const QString input = in.path() + QStringLiteral("/clip.mp4");
        Touch(input);

        w.OutputNextToInput();
        QCOMPARE(w.task.BuildOutputFileName(input, QStringLiteral("wmv")),
                 in.path() + QStringLiteral("/clip.wmv"));

        w.OutputTo(out.path());
        QCOMPARE(w.task.BuildOutputFileName(input, QStringLiteral("mp4")),
                 out.path() + QStringLiteral("/clip.mp4"));

        const QString created = out.path() + QStringLiteral("/new");
        w.OutputTo(created);
        QCOMPARE(w.task.BuildOutputFileName(input, QStringLiteral("avi")),
                 created + QStringLiteral("/clip.avi"));
        QVERIFY(QFileInfo(created).isDir());
        QVERIFY(messages.messages.isEmpty());

        for (const QString& impossible :
             {out.path() + QStringLiteral("/a/b"), QString(), input + QStringLiteral("x/y")}) {
            w.OutputTo(impossible);
            QCOMPARE(w.task.BuildOutputFileName(input, QStringLiteral("avi")), QString());
            QCOMPARE(messages.texts(), QStringList{QStringLiteral(
                                           "Output Folder is not exist and can not be created.")});
            QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Error);
            messages.clear();
        }
        QVERIFY(!QFileInfo::exists(out.path() + QStringLiteral("/a")));
    }

    // "~" at the start of the typed folder is the home folder, never a folder named "~".
    void tildeIsTheHomeFolder() {
        TestSupport::MessageRecorder messages;
        TaskTest::TaskWindow w;
        QTemporaryDir home;
        QTemporaryDir in;
        const QByteArray savedHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const QString input = in.path() + QStringLiteral("/clip.mp4");
        Touch(input);

        w.OutputTo(QStringLiteral("~/x"));
        const QString inX = w.task.BuildOutputFileName(input, QStringLiteral("avi"));
        w.OutputTo(QStringLiteral("~"));
        const QString inHome = w.task.BuildOutputFileName(input, QStringLiteral("avi"));
        qputenv("HOME", savedHome);

        QCOMPARE(inX, home.path() + QStringLiteral("/x/clip.avi"));
        QVERIFY(QFileInfo(home.path() + QStringLiteral("/x")).isDir());
        QCOMPARE(inHome, home.path() + QStringLiteral("/clip.avi"));
        QVERIFY(!QFileInfo::exists(QStringLiteral("~")));
        QVERIFY(messages.messages.isEmpty());
        // Only a leading "~" or "~/" means home.
        QCOMPARE(OutputNaming::FolderPath(QStringLiteral("/v/~/x")), QStringLiteral("/v/~/x"));
        QCOMPARE(OutputNaming::FolderPath(QStringLiteral("~x")), QStringLiteral("~x"));
    }
};

QTEST_MAIN(tst_TaskOutputName)
#include "tst_TaskOutputName.moc"
