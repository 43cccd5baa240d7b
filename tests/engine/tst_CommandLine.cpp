#include "engine/CommandLine.h"
#include "engine/ConversionCommand.h"

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

    // Each argument's place in the text gives back exactly what was written for it.
    void positionsCoverWhatWasWritten() {
        const QString text = QStringLiteral(" a \"b c\"d  \\\"e \"\" ");
        const QList<CommandLine::Argument> split = CommandLine::SplitWithPositions(text);
        QStringList written;
        for (const CommandLine::Argument& argument : split) {
            written.append(text.mid(argument.begin, argument.end - argument.begin));
        }
        QCOMPARE(written, (QStringList{"a", "\"b c\"d", "\\\"e", "\"\""}));
        QCOMPARE(CommandLine::SplitCommandLine(text), (QStringList{"a", "b cd", "\"e", ""}));
    }

    // The cut's start goes in front of the input; everything else keeps its place and its
    // quoting, and a quoted value that reads "-ss" is not an option.
    void cutStartGoesBeforeTheInput_data() {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QStringList>("expected");
        const QString in = QStringLiteral("/v/in put.mp4");
        const QString out = QStringLiteral("/o/out.mp4");
        QTest::newRow("the task's range")
            << QStringLiteral("-c:v libx264 -crf 22 -ss 560 -t 10 -y")
            << QStringList{"-ss",  "560", "-i", in,   "-c:v", "libx264",
                           "-crf", "22",  "-t", "10", "-y",   out};
        QTest::newRow("quoted values stay as written")
            << QStringLiteral("-vf \"drawtext=text='-ss 3'\" -metadata title=\"-ss\" -ss 7 -t 2")
            << QStringList{"-ss",       "7",         "-i", in,  "-vf", "drawtext=text='-ss 3'",
                           "-metadata", "title=-ss", "-t", "2", out};
        QTest::newRow("a start without a range moves alone")
            << QStringLiteral("-ss 4 -c copy")
            << QStringList{"-ss", "4", "-i", in, "-c", "copy", out};
        QTest::newRow("two starts keep their order")
            << QStringLiteral("-ss 1 -an -ss 9 -t 3")
            << QStringList{"-ss", "1", "-ss", "9", "-i", in, "-an", "-t", "3", out};
        QTest::newRow("no start") << QStringLiteral("-an -t 3")
                                  << QStringList{"-i", in, "-an", "-t", "3", out};
        QTest::newRow("a last -ss without a time stays")
            << QStringLiteral("-t 3 -ss") << QStringList{"-i", in, "-t", "3", "-ss", out};
    }
    void cutStartGoesBeforeTheInput() {
        QFETCH(QString, arguments);
        QFETCH(QStringList, expected);
        const QString line = ConversionCommand::Build(QStringLiteral("\"/my bin/ffmpeg\""),
                                                      QStringLiteral("/v/in put.mp4"), arguments,
                                                      QStringLiteral("/o/out.mp4"));
        QCOMPARE(CommandLine::SplitCommandLine(line), QStringList{"/my bin/ffmpeg"} + expected);
        if (!arguments.contains(QLatin1String("-ss "))) {
            QCOMPARE(line, QStringLiteral("\"/my bin/ffmpeg\" -i \"/v/in put.mp4\" ") + arguments +
                               QStringLiteral(" \"/o/out.mp4\""));
        }
    }
};

QTEST_APPLESS_MAIN(tst_CommandLine)
#include "tst_CommandLine.moc"
