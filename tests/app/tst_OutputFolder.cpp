#include "app/DriveCheck.h"
#include "app/MainPanel.h"
#include "app/OutputFolder.h"
#include "app/modDialog.h"
#include "tests/support/TestSupport.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Answers the folder dialog with a chosen path and records what it was asked.
struct BrowseAnswer {
    QString answer;
    QStringList titles;
    modDialog::BrowseFunction previous;

    BrowseAnswer() {
        previous = modDialog::SetBrowseFunction([this](QWidget*, const QString& title) {
            titles.append(title);
            return answer;
        });
    }
    ~BrowseAnswer() { modDialog::SetBrowseFunction(std::move(previous)); }
};

// The file system type of the mount that holds the path, straight from the mount table.
QString MountTypeOf(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    QString type;
    qsizetype longest = -1;
    for (const DriveCheck::MountEntry& entry :
         DriveCheck::ParseMountInfo(DriveCheck::LiveSystem().mountInfo)) {
        const QString& point = entry.mountPoint;
        if ((point == QLatin1String("/") || canonical == point ||
             canonical.startsWith(point + QLatin1Char('/'))) &&
            point.size() >= longest) {
            longest = point.size();
            type = entry.fsType;
        }
    }
    return type;
}

} // namespace

class tst_OutputFolder : public QObject {
    Q_OBJECT

private slots:
    void optionsSwitchBrowseAndKeepThePath() {
        MainPanel panel;
        OutputFolder folder(&panel, &panel);
        panel.txtOutPath->setText(QStringLiteral("/srv/videos"));
        panel.show();

        QTest::mouseClick(panel.optSameFolder, Qt::LeftButton);
        QVERIFY(panel.optSameFolder->isChecked());
        QVERIFY(!panel.cmdBrowse->isEnabled());
        QCOMPARE(panel.txtOutPath->text(), QStringLiteral("/srv/videos"));

        QTest::mouseClick(panel.optOtherFolder, Qt::LeftButton);
        QVERIFY(panel.cmdBrowse->isEnabled());
        QCOMPARE(panel.txtOutPath->text(), QStringLiteral("/srv/videos"));
    }

    // The real check on this machine: a folder on its disk is taken, a memory folder refused.
    void browseTakesLocalDiskFoldersOnly() {
        TestSupport::MessageRecorder messages;
        BrowseAnswer browse;
        MainPanel panel;
        OutputFolder folder(&panel, &panel);
        panel.show();
        const QString before = panel.txtOutPath->text();

        // Cancelled: nothing happens.
        QTest::mouseClick(panel.cmdBrowse, Qt::LeftButton);
        QCOMPARE(browse.titles, QStringList{QStringLiteral("Select folder to add")});
        QCOMPARE(panel.txtOutPath->text(), before);
        QVERIFY(messages.messages.isEmpty());

        // The build tree lies on the machine's disk (or a container's layer on it).
        const QString local = TestSupport::BuildFolder();
        const QString localType = MountTypeOf(local);
        if (localType == QLatin1String("tmpfs") || localType == QLatin1String("ramfs") ||
            localType.startsWith(QLatin1String("nfs")) || localType == QLatin1String("cifs")) {
            QSKIP("the build folder is not on a local disk here");
        }
        browse.answer = local;
        QTest::mouseClick(panel.cmdBrowse, Qt::LeftButton);
        QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.texts().join(QLatin1Char('|'))));
        QCOMPARE(panel.txtOutPath->text(), local);

        if (MountTypeOf(QStringLiteral("/dev/shm")) != QLatin1String("tmpfs")) {
            QSKIP("no tmpfs at /dev/shm here");
        }
        QTemporaryDir shm(QStringLiteral("/dev/shm/quenlet-XXXXXX"));
        QVERIFY(shm.isValid());
        browse.answer = shm.path();
        QTest::mouseClick(panel.cmdBrowse, Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("You can't choose this drive!")});
        QCOMPARE(messages.messages.first().icon, Platform::MessageIcon::Exclamation);
        QCOMPARE(panel.txtOutPath->text(), local);
    }

    // The check is replaceable, and what it is asked is the chosen folder.
    void browseAsksTheInstalledCheck() {
        TestSupport::MessageRecorder messages;
        BrowseAnswer browse;
        QTemporaryDir chosen;
        browse.answer = chosen.path();
        QStringList asked;
        bool fixed = false;
        const DriveCheck::DriveCheckFunction previous =
            DriveCheck::SetDriveCheckFunction([&](const QString& path) {
                asked.append(path);
                return fixed;
            });
        MainPanel panel;
        OutputFolder folder(&panel, &panel);
        panel.txtOutPath->setText(QStringLiteral("/kept"));

        folder.cmdBrowse_Click();
        QCOMPARE(asked, QStringList{chosen.path()});
        QCOMPARE(panel.txtOutPath->text(), QStringLiteral("/kept"));
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("You can't choose this drive!")});

        fixed = true;
        folder.cmdBrowse_Click();
        QCOMPARE(panel.txtOutPath->text(), chosen.path());
        QCOMPARE(messages.messages.size(), 1);
        DriveCheck::SetDriveCheckFunction(previous);
    }
};

QTEST_MAIN(tst_OutputFolder)
#include "tst_OutputFolder.moc"
