#include "engine/CommandLine.h"

#include <QTest>

class tst_CommandLine : public QObject {
    Q_OBJECT

private slots:
    void splitsByTheWindowsRules_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("blanks separate")
            << QStringLiteral("  a\tb   c ") << QStringList{"a", "b", "c"};
        QTest::newRow("quotes group and vanish")
            << QStringLiteral("ffmpeg -i \"my clip.avi\" x\"y z\"w")
            << QStringList{"ffmpeg", "-i", "my clip.avi", "xy zw"};
        QTest::newRow("backslashes literal elsewhere")
            << QStringLiteral("C:\\a\\b \\\\server\\share\\")
            << QStringList{"C:\\a\\b", "\\\\server\\share\\"};
        QTest::newRow("2n backslashes and a quote toggle")
            << QStringLiteral("\"a\\\\\" b") << QStringList{"a\\", "b"};
        QTest::newRow("2n+1 backslashes give a literal quote")
            << QStringLiteral("a\\\"b \"c\\\\\\\"d e\"") << QStringList{"a\"b", "c\\\"d e"};
        QTest::newRow("empty quoted arguments")
            << QStringLiteral("a \"\" b \"\"") << QStringList{"a", "", "b", ""};
        QTest::newRow("unclosed quote runs to the end")
            << QStringLiteral("a \"b c") << QStringList{"a", "b c"};
        QTest::newRow("nothing") << QStringLiteral(" \t ") << QStringList{};
    }
    void splitsByTheWindowsRules() {
        QFETCH(QString, commandLine);
        QFETCH(QStringList, arguments);
        QCOMPARE(CommandLine::SplitCommandLine(commandLine), arguments);
    }

    void quotedArgumentsSplitBackUnchanged() {
        const QStringList nasty{
            QStringLiteral("/home/u/My Videos/clip.avi"),
            QStringLiteral("say \"hi\".mp4"),
            QStringLiteral("trailing\\"),
            QStringLiteral("two trailing\\\\"),
            QStringLiteral("back\\\"quote and \\\\\"two"),
            QStringLiteral("\""),
            QStringLiteral("\\"),
            QStringLiteral("\u00e9t\u00e9 \u65e5\u672c\u8a9e \U0001F600"),
            QString(),
            QStringLiteral("\ttab and  two blanks"),
        };
        QString commandLine = QStringLiteral("prog");
        for (const QString& argument : nasty) {
            QCOMPARE(CommandLine::SplitCommandLine(CommandLine::QuoteArgument(argument)),
                     QStringList{argument});
            QCOMPARE(CommandLine::SplitCommandLine(CommandLine::QuoteArgumentIfNeeded(argument)),
                     QStringList{argument});
            commandLine += QLatin1Char(' ') + CommandLine::QuoteArgument(argument);
        }
        QCOMPARE(CommandLine::SplitCommandLine(commandLine), QStringList{"prog"} + nasty);

        // Only what needs it is quoted.
        QCOMPARE(CommandLine::QuoteArgumentIfNeeded(QStringLiteral("/usr/bin/ffmpeg")),
                 QStringLiteral("/usr/bin/ffmpeg"));
        QCOMPARE(CommandLine::QuoteArgumentIfNeeded(QStringLiteral("/opt/my apps/ffmpeg")),
                 QStringLiteral("\"/opt/my apps/ffmpeg\""));
        QCOMPARE(CommandLine::QuoteArgument(QStringLiteral("a\\b\\")),
                 QStringLiteral("\"a\\b\\\\\""));
    }
};

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
