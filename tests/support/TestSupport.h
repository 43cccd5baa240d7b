#pragma once

#include "engine/Platform.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>

namespace TestSupport {

struct RecordedMessage {
    QString text;
    Platform::MessageIcon icon;
};

// Replaces the message box for its lifetime and records every message instead.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QList<RecordedMessage> messages;
    // Texts only, in order.
    QStringList texts() const;
    void clear() { messages.clear(); }

    // Called after a message was recorded (for example to click Stop from inside a message).
    std::function<void(const RecordedMessage&)> onMessage;

private:
    Platform::MessageFunction previous_;
};

// Replaces the event processing for its lifetime: counts calls and runs an optional script
// (by default the real event processing still runs).
class ProcessEventsHook {
public:
    explicit ProcessEventsHook(std::function<void()> script = {}, bool alsoProcessReal = true);
    ~ProcessEventsHook();
    ProcessEventsHook(const ProcessEventsHook&) = delete;
    ProcessEventsHook& operator=(const ProcessEventsHook&) = delete;

    int calls = 0;
    std::function<void()> script;

private:
    Platform::EventFunction previous_;
    bool alsoProcessReal_;
};

// Points the application folder somewhere else for its lifetime.
class ApplicationFolderOverride {
public:
    explicit ApplicationFolderOverride(const QString& folder);
    ~ApplicationFolderOverride();
    ApplicationFolderOverride(const ApplicationFolderOverride&) = delete;
    ApplicationFolderOverride& operator=(const ApplicationFolderOverride&) = delete;
};

// Runs ffmpeg with the given arguments (after "-hide_banner -loglevel error -y") and returns
// whether it succeeded. The output path is the last argument.
bool RunFfmpeg(const QStringList& arguments, QString* errorText = nullptr);

// Makes a clip with a test picture and a sine tone: `seconds` long, `size` like "320x240", at
// 25 frames a second, written to `path`; the container follows the path's extension and the
// codecs are ffmpeg's defaults for it unless `codecArguments` are given.
bool MakeClip(const QString& path, double seconds, const QString& size = QStringLiteral("320x240"),
              const QStringList& codecArguments = {});

// Media facts as ffprobe reports them; duration < 0 when the file could not be read.
struct ProbeResult {
    double duration = -1;
    QStringList streamTypes; // "video", "audio", ... in stream order
    QStringList codecNames;  // codec_name of each stream, in the same order
};
ProbeResult Probe(const QString& path);

// Number of open file descriptors of this process (from /proc/self/fd).
int OpenDescriptorCount();

// The catalogs and help page as the build places them beside the program.
QString BuildFolder();

// Every test that links this support keeps the OpenGL drivers it loaded (Mesa's *_dri.so)
// until the process ends: the X connection closes before the leak check runs, and leaks the
// driver keeps would otherwise be reported from an unloaded, nameless library that
// tests/lsan.supp cannot name. Nothing to call: it happens when the application object goes.

} // namespace TestSupport
