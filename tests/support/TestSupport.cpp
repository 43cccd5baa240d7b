#include "tests/support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace TestSupport {

MessageRecorder::MessageRecorder() {
    previous_ =
        Platform::SetMessageFunction([this](const QString& text, Platform::MessageIcon icon) {
            messages.append({text, icon});
            if (onMessage) {
                onMessage(messages.last());
            }
        });
}

MessageRecorder::~MessageRecorder() {
    Platform::SetMessageFunction(std::move(previous_));
}

QStringList MessageRecorder::texts() const {
    QStringList result;
    for (const RecordedMessage& message : messages) {
        result.append(message.text);
    }
    return result;
}

ProcessEventsHook::ProcessEventsHook(std::function<void()> scriptFunction, bool alsoProcessReal)
    : script(std::move(scriptFunction)), alsoProcessReal_(alsoProcessReal) {
    previous_ = Platform::SetProcessEventsFunction([this] {
        ++calls;
        if (script) {
            script();
        }
        if (alsoProcessReal_) {
            QCoreApplication::processEvents();
        }
    });
}

ProcessEventsHook::~ProcessEventsHook() {
    Platform::SetProcessEventsFunction(std::move(previous_));
}

ApplicationFolderOverride::ApplicationFolderOverride(const QString& folder) {
    Platform::SetApplicationFolder(folder);
}

ApplicationFolderOverride::~ApplicationFolderOverride() {
    Platform::SetApplicationFolder({});
}

// Spawned and reaped by process id, so nothing else's children are touched.
int RunProgram(const QString& program, const QStringList& arguments, QByteArray* output) {
    std::vector<QByteArray> storage;
    storage.push_back(program.toLocal8Bit());
    for (const QString& argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return -1;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
            if (output != nullptr) {
                output->append(buffer, n);
            }
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break;
        }
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool RunFfmpeg(const QStringList& arguments, QString* errorText) {
    QStringList all{QStringLiteral("-hide_banner"), QStringLiteral("-loglevel"),
                    QStringLiteral("error"), QStringLiteral("-nostdin"), QStringLiteral("-y")};
    all += arguments;
    QByteArray output;
    const int status = RunProgram(QStringLiteral("ffmpeg"), all, &output);
    if (errorText != nullptr) {
        *errorText = QString::fromLocal8Bit(output);
    }
    return status == 0;
}

bool MakeClip(const QString& path, double seconds, const QString& size,
              const QStringList& codecArguments, int framesPerSecond) {
    const QString duration = QString::number(seconds, 'f', 3);
    QStringList arguments{
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("testsrc=size=%1:rate=%2:duration=%3")
            .arg(size, QString::number(framesPerSecond), duration),
        QStringLiteral("-f"),
        QStringLiteral("lavfi"),
        QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(duration)};
    arguments += codecArguments;
    arguments += {QStringLiteral("-shortest"), path};
    return RunFfmpeg(arguments);
}

ProbeResult Probe(const QString& path) {
    QByteArray output;
    const int status =
        RunProgram(QStringLiteral("ffprobe"),
                   {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
                    QStringLiteral("json"), QStringLiteral("-show_format"),
                    QStringLiteral("-show_streams"), path},
                   &output);
    ProbeResult result;
    if (status != 0) {
        return result;
    }
    const QJsonObject root = QJsonDocument::fromJson(output).object();
    bool ok = false;
    const double duration = root.value(QStringLiteral("format"))
                                .toObject()
                                .value(QStringLiteral("duration"))
                                .toString()
                                .toDouble(&ok);
    result.duration = ok ? duration : 0.0;
    for (const QJsonValue& stream : root.value(QStringLiteral("streams")).toArray()) {
        const QJsonObject object = stream.toObject();
        result.streamTypes.append(object.value(QStringLiteral("codec_type")).toString());
        result.codecNames.append(object.value(QStringLiteral("codec_name")).toString());
        result.startTimes.append(object.value(QStringLiteral("start_time")).toString().toDouble());
    }
    return result;
}

double DecodedStream::Seconds() const {
    return times.isEmpty() ? 0.0 : times.last() + durations.last() - times.first();
}

QStringList DecodedFile::Types() const {
    QStringList types;
    for (const DecodedStream& stream : streams) {
        types.append(stream.type);
    }
    return types;
}

DecodedStream DecodedFile::First(const QString& type) const {
    for (const DecodedStream& stream : streams) {
        if (stream.type == type) {
            return stream;
        }
    }
    return {};
}

namespace {

// framemd5's text: "#tb N: a/b" and "#media_type N: kind" for each stream N, then one line
// "N, dts, pts, duration, size, hash" for each frame.
DecodedFile ReadFrameHashes(const QByteArray& text) {
    DecodedFile file;
    QList<double> timeBases;
    for (const QByteArray& line : text.split('\n')) {
        if (line.startsWith('#')) {
            const qsizetype colon = line.indexOf(':');
            const QList<QByteArray> head = line.left(colon).split(' ');
            if (colon < 0 || head.size() != 2) {
                continue;
            }
            const int index = head[1].toInt();
            while (file.streams.size() <= index) {
                file.streams.append(DecodedStream{});
                timeBases.append(0.0);
            }
            const QByteArray value = line.mid(colon + 1).trimmed();
            if (head[0] == "#tb") {
                const QList<QByteArray> fraction = value.split('/');
                if (fraction.size() == 2 && fraction[1].toDouble() > 0) {
                    timeBases[index] = fraction[0].toDouble() / fraction[1].toDouble();
                }
            } else if (head[0] == "#media_type") {
                file.streams[index].type = QString::fromLatin1(value);
            }
            continue;
        }
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() < 6) {
            continue;
        }
        const int index = fields[0].trimmed().toInt();
        if (index < 0 || index >= file.streams.size()) {
            continue;
        }
        DecodedStream& stream = file.streams[index];
        stream.times.append(fields[2].trimmed().toDouble() * timeBases[index]);
        stream.durations.append(fields[3].trimmed().toDouble() * timeBases[index]);
        stream.hashes.append(QString::fromLatin1(fields[5].trimmed()));
    }
    return file;
}

} // namespace

QList<DecodedFile> Decode(const QStringList& paths) {
    QTemporaryDir folder;
    QStringList arguments{QStringLiteral("-nostdin"), QStringLiteral("-v"),
                          QStringLiteral("error")};
    for (const QString& path : paths) {
        arguments += {QStringLiteral("-noautorotate"), QStringLiteral("-i"), path};
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        arguments += {QStringLiteral("-map"),
                      QStringLiteral("%1:v?").arg(i),
                      QStringLiteral("-map"),
                      QStringLiteral("%1:a?").arg(i),
                      QStringLiteral("-fps_mode"),
                      QStringLiteral("passthrough"),
                      QStringLiteral("-f"),
                      QStringLiteral("framemd5"),
                      folder.filePath(QString::number(i))};
    }
    QList<DecodedFile> files(paths.size());
    if (!folder.isValid() || RunProgram(QStringLiteral("ffmpeg"), arguments, nullptr) != 0) {
        return files;
    }
    for (qsizetype i = 0; i < paths.size(); ++i) {
        QFile hashes(folder.filePath(QString::number(i)));
        if (hashes.open(QIODevice::ReadOnly)) {
            files[i] = ReadFrameHashes(hashes.readAll());
        }
    }
    return files;
}

QList<double> KeyFrameTimes(const QString& path) {
    QByteArray output;
    RunProgram(QStringLiteral("ffprobe"),
               {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                QStringLiteral("packet=pts_time,flags"), QStringLiteral("-of"),
                QStringLiteral("csv=p=0"), path},
               &output);
    QList<double> times;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.split(',');
        if (fields.size() >= 2 && fields[1].startsWith('K')) {
            times.append(fields[0].toDouble());
        }
    }
    std::sort(times.begin(), times.end());
    return times;
}

int OpenDescriptorCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

QString BuildFolder() {
    return QStringLiteral(QUENLET_BUILD_DIR);
}

namespace {

bool IsGraphicsDriver(const char* name) {
    return name != nullptr &&
           (std::strstr(name, "_dri.so") != nullptr || std::strstr(name, "libgallium") != nullptr);
}

void KeepGraphicsDriversLoaded() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t /*size*/, void* list) {
            if (IsGraphicsDriver(info->dlpi_name)) {
                static_cast<std::vector<std::string>*>(list)->emplace_back(info->dlpi_name);
            }
            return 0;
        },
        &drivers);
    for (const std::string& driver : drivers) {
        // Already loaded: this only marks the library as never to be unloaded.
        dlopen(driver.c_str(), RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
    }
}

// Post routines run while the application object is destroyed, before the X connection (and
// with it the driver) goes.
void RegisterKeepGraphicsDriversLoaded() {
    qAddPostRoutine(&KeepGraphicsDriversLoaded);
}

Q_COREAPP_STARTUP_FUNCTION(RegisterKeepGraphicsDriversLoaded)

} // namespace

QList<pid_t> ChildProcesses() {
    QList<pid_t> children;
    const pid_t self = ::getpid();
    const QStringList entries =
        QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const int pid = entry.toInt(&numeric);
        if (!numeric) {
            continue;
        }
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toInt() == self) {
            children.append(pid);
        }
    }
    return children;
}

QList<pid_t> Encoders() {
    QList<pid_t> encoders;
    for (const pid_t pid : ChildProcesses()) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == "ffmpeg") {
            encoders.append(pid);
        }
    }
    return encoders;
}

double PictureDifference(const QImage& a, const QImage& b) {
    const QSize size(64, 48);
    const QImage x = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    const QImage y = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int row = 0; row < size.height(); ++row) {
        for (int column = 0; column < size.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum +=
                qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return double(sum) / (3.0 * size.width() * size.height());
}

} // namespace TestSupport
