// Quenlet's command line: one optional FILE, --help, --version, and a clear complaint with
// status 2 about anything else.
#include "app/StartupArguments.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using Action = StartupArguments::Action;

class tst_StartupArguments : public QObject {
    Q_OBJECT

    static StartupArguments Parse(const QStringList& arguments) {
        return StartupArguments::Parse(QStringList{QStringLiteral("/usr/bin/quenlet")} + arguments);
    }

private slots:
    void noArgumentStartsEmpty() {
        const StartupArguments parsed = Parse({});
        QCOMPARE(parsed.action, Action::Run);
        QVERIFY(parsed.file.isEmpty());
        QCOMPARE(parsed.exitCode, 0);
    }

    // The file is handed on as the open dialog would: an absolute, clean path; a relative one
    // counts from the folder Quenlet was started in. Names that look odd stay names.
    void fileArgumentBecomesAnAbsolutePath() {
        QTemporaryDir folder;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(folder.path()));
        const QString here = QDir::currentPath();
        const StartupArguments relative = Parse({QStringLiteral("clips/../my clip.mp4")});
        const StartupArguments absolute = Parse({QStringLiteral("/videos//a.mkv")});
        const StartupArguments dashed = Parse({QStringLiteral("--"), QStringLiteral("-x.mp4")});
        QVERIFY(QDir::setCurrent(previous));

        QCOMPARE(relative.action, Action::Run);
        QCOMPARE(relative.file, here + QStringLiteral("/my clip.mp4"));
        QCOMPARE(absolute.file, QStringLiteral("/videos/a.mkv"));
        QCOMPARE(dashed.action, Action::Run);
        QCOMPARE(dashed.file, here + QStringLiteral("/-x.mp4"));
    }

    void helpAndVersionAnswerAndExit() {
        for (const QString& option : {QStringLiteral("--help"), QStringLiteral("-h")}) {
            const StartupArguments help = Parse({option, QStringLiteral("clip.mp4")});
            QCOMPARE(help.action, Action::Help);
            QCOMPARE(help.exitCode, 0);
            QVERIFY2(help.text.startsWith(QStringLiteral("Usage: quenlet [options] [FILE]\n")),
                     qPrintable(help.text));
            QVERIFY(help.text.contains(QStringLiteral("--version")));
            QVERIFY(help.text.contains(QStringLiteral("The video file to load at start.")));
        }
        for (const QString& option : {QStringLiteral("--version"), QStringLiteral("-v")}) {
            const StartupArguments version = Parse({option});
            QCOMPARE(version.action, Action::Version);
            QCOMPARE(version.exitCode, 0);
            QCOMPARE(version.text, QStringLiteral("Quenlet " QUENLET_VERSION "\n"));
        }
    }

    // Anything else is a usage error: status 2, a message naming the problem and the way to
    // the help, and no file loaded.
    void unknownOptionsAndExtraFilesAreUsageErrors() {
        struct Case {
            QStringList arguments;
            QString reason;
        };
        const QList<Case> cases{
            {{QStringLiteral("--fullscreen")}, QStringLiteral("Unknown option 'fullscreen'.")},
            {{QStringLiteral("-x"), QStringLiteral("a.mp4")},
             QStringLiteral("Unknown option 'x'.")},
            {{QStringLiteral("a.mp4"), QStringLiteral("b.mp4")},
             QStringLiteral("Only one FILE can be loaded; 2 were given.")},
            {{QString()}, QStringLiteral("The FILE given is an empty name.")},
        };
        for (const Case& c : cases) {
            const StartupArguments parsed = Parse(c.arguments);
            QCOMPARE(parsed.action, Action::Error);
            QCOMPARE(parsed.exitCode, 2);
            QVERIFY(parsed.file.isEmpty());
            QCOMPARE(parsed.text, QStringLiteral("quenlet: %1\nTry 'quenlet --help' for more "
                                                 "information.\n")
                                      .arg(c.reason));
        }
    }

    // Qt's own options, with their values, are left to Qt and are no FILE; an unknown option
    // beside them is still an error.
    void toolkitOptionsAreLeftToQt() {
        const StartupArguments style =
            Parse({QStringLiteral("-style"), QStringLiteral("Fusion"), QStringLiteral("/v/a.mp4")});
        QCOMPARE(style.action, Action::Run);
        QCOMPARE(style.file, QStringLiteral("/v/a.mp4"));
        const StartupArguments platform =
            Parse({QStringLiteral("--platform=offscreen"), QStringLiteral("-reverse")});
        QCOMPARE(platform.action, Action::Run);
        QVERIFY(platform.file.isEmpty());
        const StartupArguments mixed =
            Parse({QStringLiteral("-style"), QStringLiteral("Fusion"), QStringLiteral("--bogus")});
        QCOMPARE(mixed.action, Action::Error);
        QCOMPARE(mixed.exitCode, 2);
        QVERIFY(!Parse({QStringLiteral("--help")}).text.contains(QStringLiteral("style")));
    }
};

QTEST_GUILESS_MAIN(tst_StartupArguments)
#include "tst_StartupArguments.moc"
