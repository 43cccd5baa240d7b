// Two running copies saving into the same root at the same time, with a reader looking on.
#include "settings/CRegister.h"
#include "settings/RegisterFile.h"
#include "tests/settings/StoreTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using StoreTestSupport::ReadBytes;
using StoreTestSupport::StoreFolderScope;

namespace {
constexpr int kRounds = 20;
const QString kNone = QStringLiteral("<none>");

QString Name(int i) {
    return QStringLiteral("v%1").arg(i, 2, 10, QLatin1Char('0'));
}
QString Text(const QString& tag, int round, int i) {
    return QStringLiteral("%1-%2-%3")
        .arg(tag)
        .arg(round, 4, 10, QLatin1Char('0'))
        .arg(i, 2, 10, QLatin1Char('0'));
}
} // namespace

class tst_CRegisterConcurrency : public QObject {
    Q_OBJECT

private slots:
    void twoCopiesSavingAtOnceLoseNothing() {
        // On a memory file system, where a save costs no disk flush, the two copies get in each
        // other's way far more often.
        const bool memory = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
        StoreFolderScope store(memory ? QStringLiteral("/dev/shm/tst_CRegister-XXXXXX")
                                      : QString());
        QVERIFY(store.dir.isValid());
        const QString rootFile = store.file(QStringLiteral("HKEY_LOCAL_MACHINE.ini"));
        const QStringList tags = {QStringLiteral("A"), QStringLiteral("B")};

        QProcess writers[2];
        for (int w = 0; w < 2; ++w) {
            writers[w].setProcessChannelMode(QProcess::SeparateChannels);
            writers[w].start(QStringLiteral(QUENLET_STORE_WRITER),
                             {tags[w], QString::number(kRounds)});
        }
        for (QProcess& writer : writers) {
            QVERIFY2(writer.waitForStarted(10000), qPrintable(writer.errorString()));
        }

        // Read while they write: the file is always a whole store file, every value is one that
        // a copy saved, and no value ever goes back to an earlier round or disappears.
        const QRegularExpression form(QStringLiteral("^([AB])-(\\d{4})-(\\d{2})$"));
        QMap<QString, int> lastRound;
        CRegister reg;
        int reads = 0;
        while (writers[0].state() != QProcess::NotRunning ||
               writers[1].state() != QProcess::NotRunning) {
            const QByteArray bytes = ReadBytes(rootFile);
            QVERIFY2(bytes.isEmpty() || RegisterFile::Parse(bytes).has_value(), bytes.constData());
            for (const QString& key : {QStringLiteral("Writers\\A"), QStringLiteral("Writers\\B"),
                                       QStringLiteral("Shared")}) {
                for (int i = 0; i < 17; ++i) {
                    const QString text = reg.REGGetSetting(HKEY_LOCAL_MACHINE, key, Name(i), kNone);
                    const QString where = key + u'\\' + Name(i);
                    if (text == kNone) {
                        QVERIFY2(!lastRound.contains(where), qPrintable(where + " disappeared"));
                        continue;
                    }
                    const QRegularExpressionMatch match = form.match(text);
                    QVERIFY2(match.hasMatch(), qPrintable(where + " = " + text));
                    QCOMPARE(match.captured(3).toInt(), i);
                    if (key != QStringLiteral("Shared")) {
                        QCOMPARE(match.captured(1), key.right(1));
                        const int round = match.captured(2).toInt();
                        QVERIFY2(round >= lastRound.value(where, -1),
                                 qPrintable(where + " went back to " + text));
                        lastRound[where] = round;
                    } else {
                        lastRound[where] = 0;
                    }
                }
            }
            ++reads;
            for (QProcess& writer : writers) {
                writer.waitForFinished(1);
            }
        }
        for (QProcess& writer : writers) {
            QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(60000));
            QVERIFY2(writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0,
                     writer.readAllStandardError().constData());
        }
        QVERIFY2(reads > 5, "the reader never ran alongside the writers");

        // Afterwards each copy's own values are its last round, and each shared value is the
        // last round of one of the two.
        for (int i = 0; i < 17; ++i) {
            for (const QString& tag : tags) {
                QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, QStringLiteral("Writers\\") + tag,
                                           Name(i), kNone),
                         Text(tag, kRounds - 1, i));
            }
            const QString shared =
                reg.REGGetSetting(HKEY_LOCAL_MACHINE, QStringLiteral("Shared"), Name(i), kNone);
            QVERIFY2(shared == Text(tags[0], kRounds - 1, i) ||
                         shared == Text(tags[1], kRounds - 1, i),
                     qPrintable(shared));
        }
        // No lock or half-written file is left behind.
        QCOMPARE(
            QDir(store.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
    }
};

QTEST_GUILESS_MAIN(tst_CRegisterConcurrency)
#include "tst_CRegisterConcurrency.moc"
