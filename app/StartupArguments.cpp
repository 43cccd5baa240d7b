#include "app/StartupArguments.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The options QGuiApplication and QApplication take for themselves, written with one dash or two.
bool IsToolkitOption(const QString& name) {
    static const QStringList names{
        QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
        QStringLiteral("reverse"),       QStringLiteral("session"),
        QStringLiteral("display"),       QStringLiteral("geometry"),
        QStringLiteral("name"),          QStringLiteral("title"),
        QStringLiteral("visual"),        QStringLiteral("ncols"),
        QStringLiteral("cmap"),          QStringLiteral("im"),
        QStringLiteral("nograb"),        QStringLiteral("dograb"),
        QStringLiteral("style"),         QStringLiteral("stylesheet"),
        QStringLiteral("widgetcount")};
    return names.contains(name);
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
        const QStringList unknown = parser.unknownOptionNames();
        result.toolkitOptions =
            !unknown.isEmpty() && std::all_of(unknown.begin(), unknown.end(), IsToolkitOption);
        return fail(parser.errorText());
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        result.action = Action::Help;
        result.text = parser.helpText();
        // Without an application object the parser cannot know the program's name.
        result.text.replace(QStringLiteral("Usage: <executable_name>"),
                            QStringLiteral("Usage: ") + program);
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
