// Keys, values, names and texts of the settings store.
#include "settings/CRegister.h"
#include "tests/settings/StoreTestSupport.h"

#include <QTest>

#include <memory>

using StoreTestSupport::ReadBytes;
using StoreTestSupport::StoreFolderScope;
using StoreTestSupport::WriteBytes;

namespace {
const QString kSettings = QStringLiteral("Software\\Corvanel Quenlet\\Settings");
const QString kMissing = QStringLiteral("<missing>");
} // namespace

class tst_CRegister : public QObject {
    Q_OBJECT

    std::unique_ptr<StoreFolderScope> store;
    CRegister reg;

    QString get(const QString& section, const QString& name) {
        return reg.REGGetSetting(HKEY_LOCAL_MACHINE, section, name, kMissing);
    }
    bool save(const QString& section, const QString& name, const QString& value) {
        return reg.REGSaveSetting(HKEY_LOCAL_MACHINE, section, name, value);
    }
    bool remove(const QString& section, const QString& name) {
        return reg.REGDeleteSetting(HKEY_LOCAL_MACHINE, section, name);
    }
    QByteArray rootFile() {
        return ReadBytes(store->file(QStringLiteral("HKEY_LOCAL_MACHINE.ini")));
    }

private slots:
    void init() {
        store = std::make_unique<StoreFolderScope>();
        QVERIFY(store->dir.isValid());
    }
    void cleanup() { store.reset(); }

    void valuesPersistPerRootKeyAndName() {
        QCOMPARE(get(kSettings, QStringLiteral("txtOutPath")), kMissing);
        QVERIFY(save(kSettings, QStringLiteral("txtOutPath"), QStringLiteral("/home/u/Cut Files")));
        QVERIFY(save(kSettings, QStringLiteral("txtOutPath"), QStringLiteral("/srv/cuts")));
        QCOMPARE(CRegister().REGGetSetting(HKEY_LOCAL_MACHINE, kSettings,
                                           QStringLiteral("txtOutPath"), kMissing),
                 QStringLiteral("/srv/cuts"));
        // Another key, another root: nothing shared.
        QCOMPARE(get(QStringLiteral("Software\\Corvanel Quenlet"), QStringLiteral("txtOutPath")),
                 kMissing);
        const quint32 otherRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_USERS};
        for (quint32 root : otherRoots) {
            QCOMPARE(reg.REGGetSetting(root, kSettings, QStringLiteral("txtOutPath"), kMissing),
                     kMissing);
            QVERIFY(reg.REGSaveSetting(root, kSettings, QStringLiteral("txtOutPath"),
                                       QString::number(root)));
        }
        QCOMPARE(get(kSettings, QStringLiteral("txtOutPath")), QStringLiteral("/srv/cuts"));
        QCOMPARE(reg.REGGetSetting(HKEY_USERS, kSettings, QStringLiteral("txtOutPath"), kMissing),
                 QString::number(HKEY_USERS));
        for (const char* name : {"HKEY_CLASSES_ROOT.ini", "HKEY_CURRENT_USER.ini",
                                 "HKEY_LOCAL_MACHINE.ini", "HKEY_USERS.ini"}) {
            QVERIFY2(QFile::exists(store->file(QLatin1String(name))), name);
        }
        // Names are taken as they are written.
        QCOMPARE(get(kSettings, QStringLiteral("TXTOUTPATH")), kMissing);
    }

    void oneLeadingAndOneTrailingBackslashAreIgnored() {
        QVERIFY(save(QStringLiteral("\\") + kSettings + QStringLiteral("\\"), QStringLiteral("a"),
                     QStringLiteral("1")));
        QVERIFY(save(QStringLiteral("\\") + kSettings, QStringLiteral("b"), QStringLiteral("2")));
        QVERIFY(save(kSettings + QStringLiteral("\\"), QStringLiteral("c"), QStringLiteral("3")));
        QCOMPARE(get(kSettings, QStringLiteral("a")), QStringLiteral("1"));
        QCOMPARE(get(QStringLiteral("\\") + kSettings + QStringLiteral("\\"), QStringLiteral("b")),
                 QStringLiteral("2"));
        QCOMPARE(get(QStringLiteral("\\") + kSettings, QStringLiteral("c")), QStringLiteral("3"));
        QVERIFY(
            remove(QStringLiteral("\\") + kSettings + QStringLiteral("\\"), QStringLiteral("a")));
        QVERIFY(remove(kSettings + QStringLiteral("\\"), QStringLiteral("b")));
        QCOMPARE(get(kSettings, QStringLiteral("a")), kMissing);
        QCOMPARE(get(kSettings, QStringLiteral("b")), kMissing);
        QCOMPARE(get(kSettings, QStringLiteral("c")), QStringLiteral("3"));

        // Only one of each goes: a doubled backslash leaves an empty level, which names no key.
        const QByteArray before = rootFile();
        for (const QString& bad :
             {QStringLiteral("\\\\") + kSettings, kSettings + QStringLiteral("\\\\"),
              QStringLiteral("Software\\\\Corvanel Quenlet")}) {
            QVERIFY2(!save(bad, QStringLiteral("c"), QStringLiteral("x")), qPrintable(bad));
            QCOMPARE(get(bad, QStringLiteral("c")), kMissing);
            QVERIFY(!remove(bad, QStringLiteral("c")));
        }
        QCOMPARE(rootFile(), before);

        // An empty path, or one backslash, is the root key itself.
        QVERIFY(save(QString(), QStringLiteral("top"), QStringLiteral("t")));
        QCOMPARE(get(QStringLiteral("\\"), QStringLiteral("top")), QStringLiteral("t"));
        QCOMPARE(get(QStringLiteral("\\\\"), QStringLiteral("top")), QStringLiteral("t"));
    }

    void emptyTextReadsAsTheDefaultButIsAValue() {
        QVERIFY(save(kSettings, QStringLiteral("txtChannels"), QStringLiteral("6")));
        QVERIFY(save(kSettings, QStringLiteral("txtChannels"), QString()));
        QCOMPARE(get(kSettings, QStringLiteral("txtChannels")), kMissing);
        QCOMPARE(reg.REGGetSetting(HKEY_LOCAL_MACHINE, kSettings, QStringLiteral("txtChannels"),
                                   QStringLiteral("2")),
                 QStringLiteral("2"));
        // The value is there, without data: it can be deleted once.
        QVERIFY(remove(kSettings, QStringLiteral("txtChannels")));
        QVERIFY(!remove(kSettings, QStringLiteral("txtChannels")));
    }

    void starAddressesOnlyTheUnnamedValue() {
        QVERIFY(save(kSettings, QStringLiteral("*"), QStringLiteral("unnamed")));
        QCOMPARE(get(kSettings, QStringLiteral("*")), QStringLiteral("unnamed"));
        // Named values that look like the unnamed one, or like its marks in the file, are
        // values of their own.
        const QStringList lookalikes = {QStringLiteral("@"),         QStringLiteral("**"),
                                        QStringLiteral(" *"),        QStringLiteral("\"*\""),
                                        QStringLiteral("(Default)"), QStringLiteral("@=")};
        for (const QString& name : lookalikes) {
            QCOMPARE(get(kSettings, name), kMissing);
            QVERIFY(save(kSettings, name, QStringLiteral("named ") + name));
        }
        QCOMPARE(get(kSettings, QStringLiteral("*")), QStringLiteral("unnamed"));
        for (const QString& name : lookalikes) {
            QCOMPARE(get(kSettings, name), QStringLiteral("named ") + name);
        }
        // In the registry the empty name is the unnamed value as well.
        QCOMPARE(get(kSettings, QString()), QStringLiteral("unnamed"));

        QVERIFY(remove(kSettings, QStringLiteral("*")));
        QCOMPARE(get(kSettings, QStringLiteral("*")), kMissing);
        QVERIFY(!remove(kSettings, QStringLiteral("*")));
        for (const QString& name : lookalikes) {
            QCOMPARE(get(kSettings, name), QStringLiteral("named ") + name);
        }
        QVERIFY(remove(kSettings, QStringLiteral("@")));
        QCOMPARE(get(kSettings, QStringLiteral("@")), kMissing);
        QVERIFY(save(kSettings, QStringLiteral("*"), QStringLiteral("again")));
        QCOMPARE(get(kSettings, QStringLiteral("**")), QStringLiteral("named **"));
        QCOMPARE(get(kSettings, QStringLiteral("*")), QStringLiteral("again"));
    }

    void deletingOneValueLeavesTheOthers() {
        for (int i = 0; i < 5; ++i) {
            QVERIFY(save(kSettings, QStringLiteral("v%1").arg(i), QString::number(i * 10)));
        }
        QVERIFY(save(kSettings, QStringLiteral("*"), QStringLiteral("u")));
        QVERIFY(remove(kSettings, QStringLiteral("v2")));
        QVERIFY(!remove(kSettings, QStringLiteral("v2")));
        QVERIFY(!remove(kSettings, QStringLiteral("never written")));
        QCOMPARE(get(kSettings, QStringLiteral("v2")), kMissing);
        for (int i : {0, 1, 3, 4}) {
            QCOMPARE(get(kSettings, QStringLiteral("v%1").arg(i)), QString::number(i * 10));
        }
        QCOMPARE(get(kSettings, QStringLiteral("*")), QStringLiteral("u"));
        // A value of a key that does not exist cannot be deleted.
        QVERIFY(!remove(kSettings + QStringLiteral("\\Nowhere"), QStringLiteral("v1")));
    }

    void deletingAKeyTakesItsValuesButNeverItsSubkeys() {
        const QString parent = QStringLiteral("Software\\Corvanel Quenlet");
        QVERIFY(save(kSettings, QStringLiteral("a"), QStringLiteral("1")));
        QVERIFY(save(kSettings, QStringLiteral("*"), QStringLiteral("u")));
        QVERIFY(save(parent, QStringLiteral("p"), QStringLiteral("parent")));
        QVERIFY(
            save(kSettings + QStringLiteral("\\Sub"), QStringLiteral("s"), QStringLiteral("2")));

        // Refused while a subkey exists: nothing changes.
        QByteArray before = rootFile();
        QVERIFY(!remove(kSettings, QString()));
        QVERIFY(!remove(parent, QString()));
        QCOMPARE(rootFile(), before);
        QCOMPARE(get(kSettings, QStringLiteral("a")), QStringLiteral("1"));

        QVERIFY(remove(kSettings + QStringLiteral("\\Sub"), QString()));
        QCOMPARE(get(kSettings + QStringLiteral("\\Sub"), QStringLiteral("s")), kMissing);
        QVERIFY(remove(kSettings, QString()));
        QCOMPARE(get(kSettings, QStringLiteral("a")), kMissing);
        QCOMPARE(get(kSettings, QStringLiteral("*")), kMissing);
        QVERIFY(!remove(kSettings, QString()));
        // The key above stays, with its value.
        QCOMPARE(get(parent, QStringLiteral("p")), QStringLiteral("parent"));

        // The path is taken as passed: a backslash at either end names no key.
        QVERIFY(save(kSettings, QStringLiteral("a"), QStringLiteral("1")));
        before = rootFile();
        QVERIFY(!remove(QStringLiteral("\\") + kSettings, QString()));
        QVERIFY(!remove(kSettings + QStringLiteral("\\"), QString()));
        QVERIFY(!remove(QString(), QString()));
        QVERIFY(!remove(QStringLiteral("\\"), QString()));
        QCOMPARE(rootFile(), before);
        QCOMPARE(get(kSettings, QStringLiteral("a")), QStringLiteral("1"));
    }

    void keysExistWithoutValues() {
        // Saving creates the key and every level above it; they stay when their values go.
        QVERIFY(save(kSettings, QStringLiteral("a"), QStringLiteral("1")));
        QVERIFY(remove(kSettings, QStringLiteral("a")));
        QVERIFY(!remove(QStringLiteral("Software\\Corvanel Quenlet"), QString()));
        QVERIFY(remove(kSettings, QString()));
        QVERIFY(!remove(kSettings, QString()));
        QVERIFY(remove(QStringLiteral("Software\\Corvanel Quenlet"), QString()));
        QVERIFY(remove(QStringLiteral("Software"), QString()));
        QVERIFY(!remove(QStringLiteral("Software"), QString()));
    }

    void namesWithSpecialCharactersStaySeparate() {
        // Key levels and value names may hold anything but the level separator; a "/" never
        // makes a level, and no name runs into another.
        const QStringList levels = {
            QStringLiteral("a/b"),      QStringLiteral("a"),       QStringLiteral("b"),
            QStringLiteral("%2F"),      QStringLiteral("%"),       QStringLiteral("[x]"),
            QStringLiteral(" spaced "), QStringLiteral("Grüße ✓"), QStringLiteral("line\nbreak"),
            QStringLiteral(".values"),  QStringLiteral("@"),       QStringLiteral("=;\""),
            QStringLiteral("General"),  QStringLiteral("x]"),      QString(QChar(0xD800)),
        };
        const QStringList names = {
            QStringLiteral("a/b"),       QStringLiteral("a\\b"), QStringLiteral("a"),
            QStringLiteral("b"),         QStringLiteral("%5C"),  QStringLiteral("="),
            QStringLiteral("\"\"=\"\""), QStringLiteral("."),    QStringLiteral("\t"),
            QStringLiteral("ü/\r\n"),
        };
        for (const QString& level : levels) {
            for (const QString& name : names) {
                QVERIFY(save(QStringLiteral("Top\\") + level, name, level + u'|' + name));
            }
        }
        QVERIFY(save(QStringLiteral("Top\\a\\b"), QStringLiteral("a/b"), QStringLiteral("nested")));
        for (const QString& level : levels) {
            for (const QString& name : names) {
                QCOMPARE(get(QStringLiteral("Top\\") + level, name), level + u'|' + name);
            }
        }
        QCOMPARE(get(QStringLiteral("Top\\a\\b"), QStringLiteral("a/b")), QStringLiteral("nested"));
        QCOMPARE(get(QStringLiteral("Top\\a"), QStringLiteral("b")), QStringLiteral("a|b"));
        // "a/b" is one level without subkeys; "a" has the subkey "b".
        QVERIFY(!remove(QStringLiteral("Top\\a"), QString()));
        QVERIFY(remove(QStringLiteral("Top\\a/b"), QString()));
        QCOMPARE(get(QStringLiteral("Top\\a\\b"), QStringLiteral("a/b")), QStringLiteral("nested"));
    }

    void anyTextComesBackUnchanged_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("spaces") << QStringLiteral(" spaced ");
        QTest::newRow("list") << QStringLiteral("a,b");
        QTest::newRow("list with blanks") << QStringLiteral("a, b ,c");
        QTest::newRow("typed") << QStringLiteral("@Invalid()");
        QTest::newRow("variant") << QStringLiteral("@Variant(\\0\\0\\0\\x7f)");
        QTest::newRow("windows path") << QStringLiteral("C:\\Cut Files");
        QTest::newRow("trailing backslash") << QStringLiteral("C:\\");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße, Привет, 日本, 😀");
        QTest::newRow("newlines") << QStringLiteral("line1\nline2\r\nline3\r");
        QTest::newRow("quotes") << QStringLiteral("\"quoted\" and \"");
        QTest::newRow("escapes as text") << QStringLiteral("\\n \\x41 \\u0041 %25 %u0041");
        QTest::newRow("boolean") << QStringLiteral("true");
        QTest::newRow("number") << QStringLiteral("0x10");
        QTest::newRow("controls") << QString(QChar(0)) + QStringLiteral("nul") + QChar(0x01) +
                                         QChar(0x1F) + QChar(0x7F) + QStringLiteral("\ttab");
        QTest::newRow("unpaired surrogates")
            << QString(QChar(0xD800)) + QStringLiteral("x") + QChar(0xDC00) + QChar(0xDBFF);
        QTest::newRow("ini marks") << QStringLiteral("[Section]\n@=\"x\"\n; comment");
        QTest::newRow("store mark") << QStringLiteral("Quenlet settings store 1");
        QTest::newRow("long") << QString(100000, u'x');
    }
    void anyTextComesBackUnchanged() {
        QFETCH(QString, text);
        QVERIFY(save(kSettings, QStringLiteral("value"), text));
        QVERIFY(save(kSettings, QStringLiteral("*"), text));
        QVERIFY(save(kSettings, QStringLiteral("after"), QStringLiteral("still here")));
        QCOMPARE(get(kSettings, QStringLiteral("value")), text);
        QCOMPARE(get(kSettings, QStringLiteral("*")), text);
        QCOMPARE(get(kSettings, QStringLiteral("after")), QStringLiteral("still here"));
    }

    void theFileIsPlainText() {
        QVERIFY(save(kSettings, QStringLiteral("txtOutPath"), QStringLiteral("C:\\Cut Files")));
        QVERIFY(save(kSettings, QStringLiteral("*"), QStringLiteral("u")));
        const QByteArray text = rootFile();
        QVERIFY2(text.startsWith("Quenlet settings store 1\n"), text.constData());
        QVERIFY2(text.contains("\n[Software]\n[Software\\Corvanel Quenlet]\n"
                               "[Software\\Corvanel Quenlet\\Settings]\n"
                               "\"txtOutPath\"=\"C:\\\\Cut Files\"\n@=\"u\"\n"),
                 text.constData());

        // A file written by hand in the same form reads as it says.
        QVERIFY(WriteBytes(store->file(QStringLiteral("HKEY_CURRENT_USER.ini")),
                           "\xEF\xBB\xBFQuenlet settings store 1\r\n"
                           "; hand-made\r\n"
                           "@=\"root\"\r\n"
                           "\r\n"
                           "[A\\b%25c%0A]\r\n"
                           "\"x\"=\"1\\t\\x41\\u00FC\"\r\n"));
        QCOMPARE(reg.REGGetSetting(HKEY_CURRENT_USER, QString(), QStringLiteral("*"), kMissing),
                 QStringLiteral("root"));
        QCOMPARE(reg.REGGetSetting(HKEY_CURRENT_USER, QStringLiteral("A\\b%c\n"),
                                   QStringLiteral("x"), kMissing),
                 QStringLiteral("1\tAü"));
    }
};

QTEST_GUILESS_MAIN(tst_CRegister)
#include "tst_CRegister.moc"
