// Every way the settings store can fail ends in the neutral result and leaves the files alone.
#include "settings/CRegister.h"
#include "settings/StoreFolder.h"
#include "tests/settings/StoreTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>
#include <memory>
#include <sys/stat.h>

using StoreTestSupport::ReadBytes;
using StoreTestSupport::StoreFolderScope;
using StoreTestSupport::WriteBytes;
using StoreTestSupport::WriteProtection;

namespace {
const QString kSettings = QStringLiteral("Software\\Corvanel Quenlet\\Settings");
const QString kMissing = QStringLiteral("<missing>");

// Restores an environment variable when it goes out of scope.
class EnvironmentScope {
public:
    explicit EnvironmentScope(const char* name)
        : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), value_(qgetenv(name)) {}
    ~EnvironmentScope() {
        if (wasSet_) {
            qputenv(name_, value_);
        } else {
            qunsetenv(name_);
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    const char* name_;
    bool wasSet_;
    QByteArray value_;
};
} // namespace

class tst_CRegisterFailures : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreFolderScope> store;
    CRegister reg;

    QString rootFile() const { return store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini")); }
    QStringList folderEntries() const {
        return QDir(store->path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    // Every call on the local-machine root gives its neutral result.
    void verifyAllNeutral(const QString& why) {
        QVERIFY2(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"), kMissing) ==
                     kMissing,
                 qPrintable(why));
        QVERIFY2(!reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                     QStringLiteral("new")),
                 qPrintable(why));
        QVERIFY2(!reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a")),
                 qPrintable(why));
        QVERIFY2(!reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSettings, QString()), qPrintable(why));
    }

    // The stored values still read, every change fails, and the file stays as it was.
    void verifyReadOnly(const QByteArray& before) {
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"), kMissing),
                 QStringLiteral("1"));
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("*"), kMissing),
                 QStringLiteral("u"));
        QVERIFY(!reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                    QStringLiteral("2")));
        QVERIFY(!reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("b"),
                                    QStringLiteral("2")));
        QVERIFY(!reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a")));
        QVERIFY(!reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, kSettings, QString()));
        // A failed change leaves nothing behind that a later read could pick up.
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"), kMissing),
                 QStringLiteral("1"));
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("b"), kMissing),
                 kMissing);
        QCOMPARE(ReadBytes(rootFile()), before);
    }

    void storeSample() {
        QVERIFY(reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                   QStringLiteral("1")));
        QVERIFY(reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("*"),
                                   QStringLiteral("u")));
    }

private slots:
    void init() {
        store = std::make_unique<StoreFolderScope>();
        QVERIFY(store->dir.isValid());
    }
    void cleanup() { store.reset(); }

    void unknownRootsAreNeutral() {
        for (quint32 root : {0u, 0x7FFFFFFFu, 0x80000004u, 0x80000005u, 0xFFFFFFFFu}) {
            QCOMPARE(reg.REGGetSetting(root, kSettings, QStringLiteral("a"), kMissing), kMissing);
            QVERIFY(!reg.REGSaveSetting(root, kSettings, QStringLiteral("a"), QStringLiteral("1")));
            QVERIFY(!reg.REGDeleteSetting(root, kSettings, QStringLiteral("a")));
            QVERIFY(!reg.REGDeleteSetting(root, kSettings, QString()));
        }
        QCOMPARE(folderEntries(), QStringList());
    }

    void readOnlyFileStillReads() {
        storeSample();
        const QByteArray before = ReadBytes(rootFile());
        WriteProtection protection(rootFile());
        if (!protection.active()) {
            QSKIP("this file system cannot make the file unwritable for this user");
        }
        verifyReadOnly(before);
        // The other roots are files of their own and still take changes.
        QVERIFY(reg.REGSaveSetting(HKEY_CURRENT_USER, kSettings, QStringLiteral("a"),
                                   QStringLiteral("3")));
        QCOMPARE(folderEntries(), QStringList({QStringLiteral("HKEY_CURRENT_USER.ini"),
                                               QStringLiteral("HKEY_LOCAL_MACHINE.ini")}));
    }

    void readOnlyFolderStillReads() {
        storeSample();
        const QByteArray before = ReadBytes(rootFile());
        WriteProtection protection(store->path());
        if (!protection.active()) {
            QSKIP("this file system cannot make the folder unwritable for this user");
        }
        verifyReadOnly(before);
        QVERIFY(!reg.REGSaveSetting(HKEY_CURRENT_USER, kSettings, QStringLiteral("a"),
                                    QStringLiteral("3")));
        QCOMPARE(folderEntries(), QStringList(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
    }

    void storeFolderThatCannotBeUsed() {
        const QString plainFile = store->file(QStringLiteral("plain"));
        QVERIFY(WriteBytes(plainFile, "not a folder"));
        // None of these can be created, not even by the superuser.
        const QStringList folders = {plainFile, plainFile + QStringLiteral("/store"),
                                     QStringLiteral("/proc/quenlet-no-such-folder/store"),
                                     QStringLiteral("/proc/self/quenlet-store")};
        for (const QString& folder : folders) {
            qputenv("QUENLET_STORE_DIR", QFile::encodeName(folder));
            verifyAllNeutral(folder);
        }
        QCOMPARE(ReadBytes(plainFile), QByteArray("not a folder"));
    }

    void damagedFilesReadAsDefaultsAndStayUntouched_data() {
        QTest::addColumn<QByteArray>("content");
        QRandomGenerator random(20240607);
        QByteArray noise(8192, '\0');
        for (char& byte : noise) {
            byte = static_cast<char>(random.bounded(256));
        }
        QTest::newRow("random bytes") << noise;
        QTest::newRow("random bytes after the mark") << "Quenlet settings store 1\n" + noise;
        QTest::newRow("another program's INI")
            << QByteArray("[Software]\nCorvanel%20Quenlet\\Settings\\a=1\n");
        QTest::newRow("cut off in a value")
            << QByteArray("Quenlet settings store 1\n[Software\\Corvanel Quenlet\\Settings]\n"
                          "\"a\"=\"1\n");
        QTest::newRow("bad UTF-8")
            << QByteArray("Quenlet settings store 1\n[Software\\Corvanel Quenlet\\Settings]\n"
                          "\"a\"=\"\xC3\x28\"\n");
        QTest::newRow("empty level")
            << QByteArray("Quenlet settings store 1\n[Software\\\\Settings]\n\"a\"=\"1\"\n");
        QTest::newRow("unknown escape")
            << QByteArray("Quenlet settings store 1\n[Software\\Corvanel Quenlet\\Settings]\n"
                          "\"a\"=\"\\q\"\n");
    }
    void damagedFilesReadAsDefaultsAndStayUntouched() {
        QFETCH(QByteArray, content);
        QVERIFY(WriteBytes(rootFile(), content));
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(
                reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"), kMissing),
                kMissing);
        }
        QCOMPARE(ReadBytes(rootFile()), content);
        // A file that is not a store file is never overwritten: changes fail.
        verifyAllNeutral(QStringLiteral("damaged file"));
        QCOMPARE(ReadBytes(rootFile()), content);
        QCOMPARE(folderEntries(), QStringList(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
    }

    void rootFileThatIsNoFile() {
        // A folder in its place.
        QVERIFY(QDir().mkpath(rootFile()));
        verifyAllNeutral(QStringLiteral("folder"));
        QVERIFY(QDir().rmdir(rootFile()));
        // A pipe: reading must not wait for a writer that never comes.
        QCOMPARE(::mkfifo(QFile::encodeName(rootFile()).constData(), 0600), 0);
        verifyAllNeutral(QStringLiteral("pipe"));
        struct stat info {};
        QVERIFY(::stat(QFile::encodeName(rootFile()).constData(), &info) == 0 &&
                S_ISFIFO(info.st_mode));
        QVERIFY(QFile::remove(rootFile()));
        // A file far larger than any store file.
        QFile huge(rootFile());
        QVERIFY(huge.open(QIODevice::WriteOnly));
        QVERIFY(huge.resize(17 * 1024 * 1024));
        huge.close();
        verifyAllNeutral(QStringLiteral("huge file"));
        QCOMPARE(QFileInfo(rootFile()).size(), 17 * 1024 * 1024);
    }

    void aLockHeldByAnotherCopyMakesChangesFail() {
        storeSample();
        const QByteArray before = ReadBytes(rootFile());
        QLockFile other(rootFile() + QStringLiteral(".lock"));
        QVERIFY(other.tryLock(0));
        QVERIFY(!reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                    QStringLiteral("2")));
        // Reading does not wait for the lock.
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"), kMissing),
                 QStringLiteral("1"));
        other.unlock();
        QCOMPARE(ReadBytes(rootFile()), before);
        QVERIFY(reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                   QStringLiteral("2")));
    }

    void aLockLeftByACrashedCopyIsTakenOver() {
        // A lock file as this process would leave it, but naming a process that no longer runs.
        QByteArray lockText;
        {
            QLockFile sample(store->file(QStringLiteral("sample.lock")));
            QVERIFY(sample.tryLock(0));
            lockText = ReadBytes(store->file(QStringLiteral("sample.lock")));
        }
        const QByteArray ownPid = QByteArray::number(QCoreApplication::applicationPid());
        QVERIFY(lockText.startsWith(ownPid + '\n'));
        QByteArray deadPid;
        for (qint64 pid = 4000000; pid > 300 && deadPid.isEmpty(); pid -= 7919) {
            if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
                deadPid = QByteArray::number(pid);
            }
        }
        QVERIFY(!deadPid.isEmpty());
        QVERIFY(WriteBytes(rootFile() + QStringLiteral(".lock"),
                           deadPid + lockText.mid(ownPid.size())));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                   QStringLiteral("1")));
        QCOMPARE(folderEntries(), QStringList(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
        QVERIFY2(timer.elapsed() < 4000, "the stale lock was waited out instead of taken over");
    }

    void storeFolderLookup() {
        EnvironmentScope keepStore("QUENLET_STORE_DIR");
        EnvironmentScope keepConfig("XDG_CONFIG_HOME");
        EnvironmentScope keepHome("HOME");
        qputenv("HOME", "/home/quenlet-test");

        qputenv("QUENLET_STORE_DIR", "/srv/store");
        QCOMPARE(Platform::StoreFolder(), QStringLiteral("/srv/store"));
        qputenv("XDG_CONFIG_HOME", "/xdg/config");
        qputenv("QUENLET_STORE_DIR", "");
        QCOMPARE(Platform::StoreFolder(), QStringLiteral("/xdg/config/Corvanel Quenlet"));
        qunsetenv("QUENLET_STORE_DIR");
        QCOMPARE(Platform::StoreFolder(), QStringLiteral("/xdg/config/Corvanel Quenlet"));
        qputenv("XDG_CONFIG_HOME", "relative/config");
        QCOMPARE(Platform::StoreFolder(),
                 QStringLiteral("/home/quenlet-test/.config/Corvanel Quenlet"));
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(Platform::StoreFolder(),
                 QStringLiteral("/home/quenlet-test/.config/Corvanel Quenlet"));

        // A replaced lookup wins over the environment, and the store uses it.
        const QString elsewhere = store->file(QStringLiteral("elsewhere"));
        Platform::StoreFolderFunction previous =
            Platform::SetStoreFolderFunction([&] { return elsewhere; });
        QCOMPARE(Platform::StoreFolder(), elsewhere);
        QVERIFY(reg.REGSaveSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("a"),
                                   QStringLiteral("1")));
        QVERIFY(QFile::exists(elsewhere + QStringLiteral("/HKEY_LOCAL_MACHINE.ini")));
        Platform::SetStoreFolderFunction(std::move(previous));
        QCOMPARE(Platform::StoreFolder(),
                 QStringLiteral("/home/quenlet-test/.config/Corvanel Quenlet"));
    }
};

QTEST_GUILESS_MAIN(tst_CRegisterFailures)
#include "tst_CRegisterFailures.moc"
