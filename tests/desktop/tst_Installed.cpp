// Quenlet as it is installed: `cmake --install` into a throw-away prefix, then the layout, the
// desktop entry and the AppStream metainfo (checked by the desktop's own validators), and the
// installed program started from another folder, on the X display.
//
// How the running program is observed from outside, without anything in it that exists for the
// tests: what it shows is read through two channels a user has as well.
// - The X server: xwininfo and xprop list the program's windows (by the process id Qt puts on
//   every window), whether they are on screen, their titles and their icons. A message box is
//   a second window of the process.
// - Quenlet's diagnostics (QT_LOGGING_RULES="quenlet.*=true", off by default): it reports the
//   data files start-up read with what the lists then hold, every message box with its text,
//   and each video taken in with the text of the time label after loading.
#include "app/InputIntake.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMimeDatabase>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString AppId = QStringLiteral(QUENLET_APP_ID);
const QList<int> IconSizes{16, 22, 24, 32, 48, 64, 128, 256};

struct Run {
    int status = -1;
    QString output; // standard output
    QString errors; // standard error
};

// Runs a program to its end (two minutes at most) in the given environment.
Run RunToEnd(const QString& program, const QStringList& arguments,
             const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
             const QString& folder = {}) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) {
        process.setWorkingDirectory(folder);
    }
    process.start(program, arguments);
    Run run;
    if (!process.waitForStarted() || !process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        run.errors = QStringLiteral("%1 did not run to its end").arg(program);
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QStringList FilesBelow(const QString& root) {
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(QDir(root).relativeFilePath(it.next()));
    }
    files.sort();
    return files;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The MIME types the open dialog's file types stand for: every type the MIME database gives
// the dialog's extensions, except audio and text types that share an extension with a video
// one (*.mp2, *.ts).
QSet<QString> DialogVideoTypes() {
    QSet<QString> types;
    const QMimeDatabase database;
    for (const QStringList& entry : InputIntake::VideoFilterList) {
        for (const QString& pattern : entry.at(1).split(QLatin1Char(';'))) {
            if (pattern == QLatin1String("*.*")) {
                continue;
            }
            for (const QMimeType& type :
                 database.mimeTypesForFileName(QStringLiteral("x") + pattern.mid(1))) {
                if (!type.name().startsWith(QLatin1String("audio/")) &&
                    !type.name().startsWith(QLatin1String("text/"))) {
                    types.insert(type.name());
                }
            }
        }
    }
    return types;
}

// The installed program, started on the X display with its diagnostics on.
class Launched {
public:
    Launched(const QString& program, const QStringList& arguments, const QString& folder) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("quenlet.*=true"));
        environment.insert(QStringLiteral("QT_FORCE_STDERR_LOGGING"), QStringLiteral("1"));
        environment.insert(QStringLiteral("QUENLET_STORE_DIR"), store_.path());
        environment.insert(QStringLiteral("QUENLET_NO_POWEROFF"), QStringLiteral("1"));
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(folder);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(program, arguments);
    }
    ~Launched() {
        // Ended by its own process id; it saves nothing, its settings folder is thrown away.
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }
    Launched(const Launched&) = delete;
    Launched& operator=(const Launched&) = delete;

    qint64 pid() const { return process_.processId(); }
    const QString& log() const { return log_; }

    // Waits until the log has a line with one of the markers; returns that line.
    QString WaitForLine(const QStringList& markers, int timeoutMs = 60000) {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            log_ += QString::fromLocal8Bit(process_.readAll());
            for (const QString& line : log_.split(QLatin1Char('\n'))) {
                for (const QString& marker : markers) {
                    if (line.contains(marker)) {
                        return line;
                    }
                }
            }
            if (timer.elapsed() > timeoutMs || process_.state() == QProcess::NotRunning) {
                return {};
            }
            process_.waitForReadyRead(200);
        }
    }

    QStringList Lines(const QString& marker) const {
        QStringList found;
        for (const QString& line : log_.split(QLatin1Char('\n'))) {
            if (line.contains(marker)) {
                found.append(line);
            }
        }
        return found;
    }

private:
    QTemporaryDir store_;
    QProcess process_;
    QString log_;
};

struct XWindow {
    QString id;
    QString title;
    QList<int> iconSizes; // the square sizes of _NET_WM_ICON
};

// The windows of one process that are on screen, read from the X server.
QList<XWindow> ViewableWindowsOf(qint64 pid) {
    QList<XWindow> windows;
    const Run tree = RunToEnd(QStringLiteral("xwininfo"),
                              {QStringLiteral("-root"), QStringLiteral("-children")});
    static const QRegularExpression line(QStringLiteral(R"re(^\s*(0x[0-9a-f]+) "(.*)":)re"));
    for (const QString& text : tree.output.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = line.match(text);
        if (!match.hasMatch()) {
            continue;
        }
        const QString id = match.captured(1);
        const Run owner = RunToEnd(QStringLiteral("xprop"),
                                   {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_PID")});
        if (!owner.output.trimmed().endsWith(QStringLiteral("= %1").arg(pid))) {
            continue;
        }
        const Run state = RunToEnd(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        if (!state.output.contains(QStringLiteral("Map State: IsViewable"))) {
            continue;
        }
        XWindow window{id, match.captured(2), {}};
        const Run icon = RunToEnd(QStringLiteral("xprop"),
                                  {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_ICON")});
        static const QRegularExpression size(QStringLiteral(R"(Icon \((\d+) x (\d+)\))"));
        for (auto it = size.globalMatch(icon.output); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            if (m.captured(1) == m.captured(2)) {
                window.iconSizes.append(m.captured(1).toInt());
            }
        }
        windows.append(window);
    }
    return windows;
}

// Waits until the process has `count` windows on screen; returns them.
QList<XWindow> WaitForWindows(qint64 pid, int count) {
    QElapsedTimer timer;
    timer.start();
    QList<XWindow> windows;
    while (timer.elapsed() < 30000) {
        windows = ViewableWindowsOf(pid);
        if (windows.size() >= count) {
            break;
        }
        QTest::qWait(200);
    }
    return windows;
}

} // namespace

class tst_Installed : public QObject {
    Q_OBJECT

    QTemporaryDir prefix_;
    QTemporaryDir elsewhere_; // the folder the program is started in
    QString program_;

    QString Installed(const QString& relative) const { return prefix_.filePath(relative); }

private slots:
    void initTestCase() {
        QVERIFY(prefix_.isValid() && elsewhere_.isValid());
        const Run install = RunToEnd(QStringLiteral(QUENLET_CMAKE_COMMAND),
                                     {QStringLiteral("--install"), TestSupport::BuildFolder(),
                                      QStringLiteral("--prefix"), prefix_.path()});
        QVERIFY2(install.status == 0, qPrintable(install.output + install.errors));
        program_ = Installed(QStringLiteral("bin/quenlet"));
    }

    // Everything lies where the desktop looks for it, and bin/ holds the program only.
    void layoutFollowsTheFileSystemHierarchy() {
        QStringList expected{
            QStringLiteral("bin/quenlet"),
            QStringLiteral("share/applications/%1.desktop").arg(AppId),
            QStringLiteral("share/doc/quenlet/changelog.gz"),
            QStringLiteral("share/doc/quenlet/copyright"),
            QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(AppId),
            QStringLiteral("share/man/man1/quenlet.1.gz"),
            QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId),
            QStringLiteral("share/quenlet/Help.html"),
            QStringLiteral("share/quenlet/codecs.xml"),
            QStringLiteral("share/quenlet/presets.xml"),
        };
        for (const int size : IconSizes) {
            expected.append(
                QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
        }
        expected.sort();
        QCOMPARE(FilesBelow(prefix_.path()), expected);

        for (const int size : IconSizes) {
            const QImage icon(Installed(
                QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId)));
            QCOMPARE(icon.size(), QSize(size, size));
        }
        QCOMPARE(ReadText(Installed(QStringLiteral("share/quenlet/presets.xml"))),
                 ReadText(QStringLiteral(QUENLET_SOURCE_DIR "/data/presets.xml")));
    }

    void validatorsAcceptTheDesktopFiles() {
        const Run entry =
            RunToEnd(QStringLiteral("desktop-file-validate"),
                     {Installed(QStringLiteral("share/applications/%1.desktop").arg(AppId))});
        QVERIFY2(entry.status == 0 && entry.output.isEmpty(),
                 qPrintable(entry.output + entry.errors));
        const Run metainfo = RunToEnd(
            QStringLiteral("appstreamcli"),
            {QStringLiteral("validate"), QStringLiteral("--no-net"), QStringLiteral("--no-color"),
             Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId))});
        QVERIFY2(metainfo.status == 0, qPrintable(metainfo.output + metainfo.errors));
    }

    // The desktop offers Quenlet for the video types of the open dialog, and the metainfo
    // names the same types and this version.
    void desktopFilesMatchTheProgram() {
        const QString entry =
            ReadText(Installed(QStringLiteral("share/applications/%1.desktop").arg(AppId)));
        QStringList keys;
        QSet<QString> declared;
        for (const QString& line : entry.split(QLatin1Char('\n'))) {
            if (line.startsWith(QLatin1String("MimeType="))) {
                const QStringList types = line.mid(9).split(QLatin1Char(';'), Qt::SkipEmptyParts);
                declared = QSet<QString>(types.begin(), types.end());
            }
            keys.append(line);
        }
        QVERIFY(keys.contains(QStringLiteral("Exec=quenlet %f")));
        QVERIFY(keys.contains(QStringLiteral("Icon=") + AppId));
        QVERIFY(keys.contains(QStringLiteral("Categories=AudioVideo;Video;AudioVideoEditing;")));
        const QSet<QString> expected = DialogVideoTypes();
        QVERIFY(!expected.isEmpty());
        QCOMPARE(declared, expected);

        const QString metainfo =
            ReadText(Installed(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(AppId)));
        QSet<QString> mediatypes;
        static const QRegularExpression mediatype(QStringLiteral("<mediatype>([^<]+)</mediatype>"));
        for (auto it = mediatype.globalMatch(metainfo); it.hasNext();) {
            mediatypes.insert(it.next().captured(1));
        }
        QCOMPARE(mediatypes, expected);
        QVERIFY(metainfo.contains(QStringLiteral("<release version=\"" QUENLET_VERSION "\"")));
        QVERIFY(metainfo.contains(
            QStringLiteral("<launchable type=\"desktop-id\">%1.desktop<").arg(AppId)));
    }

    // --help and --version answer on the terminal without a display; anything unknown is a
    // usage error with status 2, and no window is opened for it.
    void commandLineAnswersOnTheTerminal() {
        QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
        noDisplay.remove(QStringLiteral("DISPLAY"));
        noDisplay.remove(QStringLiteral("WAYLAND_DISPLAY"));
        noDisplay.remove(QStringLiteral("QT_QPA_PLATFORM"));

        const Run help = RunToEnd(program_, {QStringLiteral("--help")}, noDisplay);
        QCOMPARE(help.status, 0);
        QVERIFY2(help.output.startsWith(QStringLiteral("Usage: quenlet [options] [FILE]")),
                 qPrintable(help.output + help.errors));
        const Run version = RunToEnd(program_, {QStringLiteral("--version")}, noDisplay);
        QCOMPARE(version.status, 0);
        QCOMPARE(version.output, QStringLiteral("Quenlet " QUENLET_VERSION "\n"));

        const Run unknown = RunToEnd(program_, {QStringLiteral("--frobnicate")}, noDisplay);
        QCOMPARE(unknown.status, 2);
        QVERIFY(unknown.output.isEmpty());
        QVERIFY2(unknown.errors.contains(
                     QStringLiteral("quenlet: Unknown option 'frobnicate'.\nTry 'quenlet --help'")),
                 qPrintable(unknown.errors));
        const Run two =
            RunToEnd(program_, {QStringLiteral("a.mp4"), QStringLiteral("b.mp4")}, noDisplay);
        QCOMPARE(two.status, 2);
        // Qt's own options are Qt's; anything else beside them is still unknown.
        const Run styled = RunToEnd(
            program_, {QStringLiteral("-style"), QStringLiteral("Fusion"), QStringLiteral("--x")},
            noDisplay);
        QCOMPARE(styled.status, 2);
        QVERIFY2(styled.errors.contains(QStringLiteral("quenlet: Unknown option 'x'.")),
                 qPrintable(styled.errors));
    }

    // Started from another folder it finds its catalogs in share/quenlet/, shows its window
    // with the icon, and no message box.
    void startsWithTheShippedPresets() {
        Launched quenlet(program_, {}, elsewhere_.path());
        const QString started =
            quenlet.WaitForLine({QStringLiteral("started with"), QStringLiteral("message box:")});
        QVERIFY2(started.contains(QStringLiteral("started with")), qPrintable(quenlet.log()));
        QVERIFY2(started.contains(QStringLiteral("with 7 preset categories from %1 ")
                                      .arg(Installed(QStringLiteral("share/quenlet/presets.xml")))),
                 qPrintable(started));
        QVERIFY2(started.contains(QStringLiteral("video codecs from %1 ")
                                      .arg(Installed(QStringLiteral("share/quenlet/codecs.xml")))),
                 qPrintable(started));
        QVERIFY2(started.contains(QStringLiteral("format: Category:Web and Social Video, Codec:")),
                 qPrintable(started));

        const QList<XWindow> windows = WaitForWindows(quenlet.pid(), 1);
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.first().title, QStringLiteral("Quenlet"));
        QVERIFY2(windows.first().iconSizes.contains(16) && windows.first().iconSizes.contains(128),
                 qPrintable(QString::number(windows.first().iconSizes.size())));
        QTest::qWait(500); // anything start-up would still show
        QCOMPARE(ViewableWindowsOf(quenlet.pid()).size(), 1);
        quenlet.WaitForLine({QStringLiteral("message box:")}, 0);
        QCOMPARE(quenlet.Lines(QStringLiteral("message box:")), QStringList());
    }

    // `quenlet FILE` (a relative path here, as a terminal user types it) starts with the clip
    // loaded: its duration is on the time label and nothing was complained about.
    void startsWithTheFileGiven() {
        QTemporaryDir videos;
        QVERIFY(TestSupport::MakeClip(videos.filePath(QStringLiteral("my clip.mp4")), 7.0,
                                      QStringLiteral("640x360")));
        Launched quenlet(program_, {QStringLiteral("my clip.mp4")}, videos.path());
        const QString loaded = quenlet.WaitForLine(
            {QStringLiteral("video taken in:"), QStringLiteral("message box:")});
        QCOMPARE(loaded.mid(loaded.indexOf(QStringLiteral("video taken in:"))),
                 QStringLiteral("video taken in: %1 time: 00:00:00/00:00:07")
                     .arg(videos.filePath(QStringLiteral("my clip.mp4"))));
        QCOMPARE(WaitForWindows(quenlet.pid(), 1).size(), 1);
        QCOMPARE(quenlet.Lines(QStringLiteral("message box:")), QStringList());
    }

    // A file the encoder cannot read gets the open dialog's warning, in a message box that
    // carries the icon as the window does.
    void unreadableFileIsRefusedAsInTheDialog() {
        QTemporaryDir videos;
        QFile broken(videos.filePath(QStringLiteral("notes.mp4")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a video\n");
        broken.close();
        Launched quenlet(program_, {broken.fileName()}, elsewhere_.path());
        const QString message = quenlet.WaitForLine({QStringLiteral("message box:")});
        QVERIFY2(message.endsWith(QStringLiteral("message box: File is not supported")),
                 qPrintable(quenlet.log()));
        const QList<XWindow> windows = WaitForWindows(quenlet.pid(), 2);
        QCOMPARE(windows.size(), 2);
        for (const XWindow& window : windows) {
            QCOMPARE(window.title, QStringLiteral("Quenlet"));
            QVERIFY(window.iconSizes.contains(32));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Installed)
#include "tst_Installed.moc"
