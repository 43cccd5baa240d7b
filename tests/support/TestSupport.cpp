#include "tests/support/TestSupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCoreApplication>

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <string>
#include <vector>

extern char** environ;

namespace TestSupport {

MessageRecorder::MessageRecorder() {
    previous_ = Platform::SetMessageFunction([this](const QString& text, Platform::MessageIcon icon) {
        messages.append({text, icon});
        if (onMessage) {
            onMessage(messages.last());
        }
    });
}

MessageRecorder::~MessageRecorder() { Platform::SetMessageFunction(std::move(previous_)); }

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

ProcessEventsHook::~ProcessEventsHook() { Platform::SetProcessEventsFunction(std::move(previous_)); }

ApplicationFolderOverride::ApplicationFolderOverride(const QString& folder) {
    Platform::SetApplicationFolder(folder);
}

ApplicationFolderOverride::~ApplicationFolderOverride() { Platform::SetApplicationFolder({}); }

namespace {

// Runs a program found on PATH, collecting its standard output and error; returns its exit
// status or -1. Spawned and reaped by process id, so nothing else's children are touched.
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

} // namespace

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
              const QStringList& codecArguments) {
    const QString duration = QString::number(seconds, 'f', 3);
    QStringList arguments{
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("testsrc=size=%1:rate=25:duration=%2").arg(size, duration),
        QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
        QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(duration)};
    arguments += codecArguments;
    arguments += {QStringLiteral("-shortest"), path};
    return RunFfmpeg(arguments);
}

ProbeResult Probe(const QString& path) {
    QByteArray output;
    const int status = RunProgram(
        QStringLiteral("ffprobe"),
        {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-print_format"),
         QStringLiteral("json"), QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
         path},
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
    }
    return result;
}

int OpenDescriptorCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)
                                .size());
}

QString BuildFolder() { return QStringLiteral(QUENLET_BUILD_DIR); }

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
void RegisterKeepGraphicsDriversLoaded() { qAddPostRoutine(&KeepGraphicsDriversLoaded); }

Q_COREAPP_STARTUP_FUNCTION(RegisterKeepGraphicsDriversLoaded)

} // namespace

} // namespace TestSupport
