#include "app/StartupArguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

// The options QGuiApplication and QApplication take for themselves (written with one dash or
// two): accepted here and left to Qt, which reads them from the same command line.
void AddToolkitOptions(QCommandLineParser& parser) {
    static const char* const valued[] = {"platform",      "platformpluginpath",
                                         "platformtheme", "plugin",
                                         "qmljsdebugger", "qwindowgeometry",
                                         "qwindowicon",   "qwindowtitle",
                                         "session",       "display",
                                         "geometry",      "name",
                                         "title",         "visual",
                                         "ncols",         "im",
                                         "style",         "stylesheet"};
    static const char* const flags[] = {"reverse",     "nograb", "dograb",
                                        "widgetcount", "cmap",   "sync"};
    for (const char* name : valued) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : flags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

StartupArguments StartupArguments::Parse(const QStringList& arguments) {
    const QString program =
        arguments.isEmpty() ? QStringLiteral("quenlet") : QFileInfo(arguments.first()).fileName();

    QCommandLineParser parser;
    // "-style" is one option, as Qt's own options are written, not six letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QStringLiteral(
        "Quenlet cuts one part out of a video file and saves it in the format you choose."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    AddToolkitOptions(parser);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("The video file to load at start."),
                                 QStringLiteral("[FILE]"));

    StartupArguments result;
    const auto fail = [&](const QString& reason) {
        result.action = Action::Error;
        result.exitCode = UsageError;
        result.text =
            QStringLiteral("%1: %2\nTry '%1 --help' for more information.\n").arg(program, reason);
        return result;
    };
    if (!parser.parse(arguments)) {
        return fail(parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = Action::Help;
        result.text = parser.helpText();
        // The parser names the program as it was called (or not at all before the application
        // object exists); the help names it as it is typed.
        const QString usage = QStringLiteral("Usage: ");
        const qsizetype options = result.text.indexOf(QStringLiteral(" [options]"));
        if (result.text.startsWith(usage) && options > usage.size()) {
            result.text.replace(usage.size(), options - usage.size(), program);
        }
        return result;
    }
    if (parser.isSet(version)) {
        result.action = Action::Version;
        result.text = QStringLiteral("Quenlet %1\n").arg(QStringLiteral(QUENLET_VERSION));
        return result;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) {
        return fail(
            QStringLiteral("Only one FILE can be loaded; %1 were given.").arg(files.size()));
    }
    if (!files.isEmpty()) {
        if (files.first().isEmpty()) {
            return fail(QStringLiteral("The FILE given is an empty name."));
        }
        result.file = QDir::cleanPath(QDir::current().absoluteFilePath(files.first()));
    }
    return result;
}
