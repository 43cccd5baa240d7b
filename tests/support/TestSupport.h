#pragma once

#include "engine/Platform.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <sys/types.h>

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

// Runs a program found on PATH with standard input from /dev/null, collecting its standard output
// and error in `output`; returns its exit status, or -1 when it did not start or did not exit.
int RunProgram(const QString& program, const QStringList& arguments, QByteArray* output);

// Runs ffmpeg with the given arguments (after "-hide_banner -loglevel error -y") and returns
// whether it succeeded. The output path is the last argument.
bool RunFfmpeg(const QStringList& arguments, QString* errorText = nullptr);

// Makes a clip with a test picture and a sine tone: `seconds` long, `size` like "320x240", at
// 25 frames a second, written to `path`; the container follows the path's extension and the
// codecs are ffmpeg's defaults for it unless `codecArguments` are given.
bool MakeClip(const QString& path, double seconds, const QString& size = QStringLiteral("320x240"),
              const QStringList& codecArguments = {}, int framesPerSecond = 25);

// Media facts as ffprobe reports them; duration < 0 when the file could not be read.
struct ProbeResult {
    double duration = -1;
    QStringList streamTypes;  // "video", "audio", ... in stream order
    QStringList codecNames;   // codec_name of each stream, in the same order
    QList<double> startTimes; // start_time of each stream in seconds (0 when not given)
};
ProbeResult Probe(const QString& path);

// What a player gets from a file, decoded by ffmpeg: its video and sound streams, each with its
// kind and its frames in the order they are shown, each frame with its time in seconds (the
// file's streams keep their offsets to one another) and an MD5 of its decoded data. Pictures are
// compared as they are coded: a display matrix does not turn them.
struct DecodedStream {
    QString type; // "video", "audio", ...
    QList<double> times;
    QList<double> durations;
    QStringList hashes;
    // From the first frame's start to the last frame's end; 0 without frames.
    double Seconds() const;
};
struct DecodedFile {
    QList<DecodedStream> streams; // in stream order; empty when the file cannot be decoded
    QStringList Types() const;
    // The first stream of that kind, or an empty one.
    DecodedStream First(const QString& type) const;
};
// Decodes every file in one run of ffmpeg (starting ffmpeg costs more than decoding a short cut).
QList<DecodedFile> Decode(const QStringList& paths);

// Times (as ffprobe gives them) of the key frames of the first video stream.
QList<double> KeyFrameTimes(const QString& path);

// Number of open file descriptors of this process (from /proc/self/fd).
int OpenDescriptorCount();

// The catalogs and help page as the build places them beside the program.
QString BuildFolder();

// Every test that links this support keeps the OpenGL drivers it loaded (Mesa's *_dri.so)
// until the process ends: the X connection closes before the leak check runs, and leaks the
// driver keeps would otherwise be reported from an unloaded, nameless library that
// tests/lsan.supp cannot name. Nothing to call: it happens when the application object goes.

// The processes whose parent is this process, running or not yet reaped.
QList<pid_t> ChildProcesses();
// The children of this process that run the encoder (or have not been reaped yet).
QList<pid_t> Encoders();

// Mean difference of the colour channels (0..255) of two pictures, both scaled down to the
// same small size first, so that a picture drawn at another size compares with a frame ffmpeg
// extracted.
double PictureDifference(const QImage& a, const QImage& b);

} // namespace TestSupport
