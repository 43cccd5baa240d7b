// Cuts 10 s from the start of a long 1920x1080 H.264 clip (x264's defaults but for its speed
// preset: B-frames, a key frame every 250 frames) and 10 s ending 10 s before its end, through
// CVideoConv with the first-start preset (H.264 / AAC 720p, mp4), alternating, three of each.
// Prints the median time of each, the ratio end/start (target at most 1.2), and the time to the
// first progress the bar shows. Then runs the late cut once the way the encoder used to be
// asked (the range after the input, so it decodes everything before the cut), for comparison.
//
//   bench_cut_position [--minutes N] [--runs N] [--clip FILE] [--no-former]
//
// The clip is made once (a few minutes on two cores) and kept in the temporary folder as
// quenlet-bench-<N>min.mp4; --clip names another.
#include "engine/CVideoConv.h"
#include "engine/EncoderWording.h"
#include "engine/Platform.h"
#include "formats/PresetCatalog.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

struct Timing {
    double seconds = 0;
    double firstProgress = -1; // seconds until the bar first moved; -1 when it never did
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

bool MakeClip(const QString& path, int minutes) {
    const QString seconds = QString::number(minutes * 60);
    std::printf("making a %d-minute 1920x1080 H.264/AAC clip (once)...\n", minutes);
    std::fflush(stdout);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Written under a temporary name, so an interrupted run leaves no clip that looks whole.
    const QStringList arguments{
        "-hide_banner", "-loglevel",
        "error",        "-nostdin",
        "-f",           "lavfi",
        "-i",           "testsrc2=size=1920x1080:rate=25:duration=" + seconds,
        "-f",           "lavfi",
        "-i",           "sine=frequency=440:sample_rate=48000:duration=" + seconds,
        "-c:v",         "libx264",
        "-preset",      "veryfast",
        "-pix_fmt",     "yuv420p",
        "-c:a",         "aac",
        "-f",           "mp4",
        "-y",           path + ".part"};
    ffmpeg.start(EncoderWording::EncoderProgram(), arguments);
    if (!ffmpeg.waitForFinished(-1) || ffmpeg.exitCode() != 0) {
        return false;
    }
    return QFile::rename(path + ".part", path);
}

// One cut through the converter, as a task runs it.
Timing ConverterCut(const QString& clip, const QString& format, int start, int length,
                    const QString& output) {
    QFile::remove(output);
    CVideoConv converter;
    QElapsedTimer clock;
    Timing timing;
    QObject::connect(&converter, &CVideoConv::Progress, &converter, [&](qint16& progress) {
        if (progress > 0 && timing.firstProgress < 0) {
            timing.firstProgress = double(clock.nsecsElapsed()) / 1e9;
        }
    });
    converter.SetInputFile(clip);
    converter.SetOutputFile(output);
    converter.SetParametrs(format + QStringLiteral(" -ss %1 -t %2 -y").arg(start).arg(length));
    converter.SetFileTimeLength(float(length));
    clock.start();
    converter.StartConversion();
    timing.seconds = double(clock.nsecsElapsed()) / 1e9;
    return timing;
}

// The same cut with the range after the input: the encoder decodes up to the start.
Timing FormerCut(const QString& clip, const QString& format, int start, int length,
                 const QString& output) {
    QFile::remove(output);
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"-nostdin", "-i", clip};
    arguments += format.split(u' ', Qt::SkipEmptyParts);
    arguments += {"-ss", QString::number(start), "-t", QString::number(length), "-y", output};
    QElapsedTimer clock;
    clock.start();
    Timing timing;
    ffmpeg.start(EncoderWording::EncoderProgram(), arguments);
    ffmpeg.waitForStarted();
    while (ffmpeg.state() != QProcess::NotRunning) {
        ffmpeg.waitForReadyRead(100);
        // Progress lines end with a carriage return; each one is read as the converter reads
        // a piece.
        for (const QByteArray& line : ffmpeg.readAll().split('\r')) {
            QString time;
            if (timing.firstProgress < 0 &&
                EncoderWording::FindProgressTime(QString::fromLatin1(line), &time) &&
                EncoderWording::ProgressTimeSeconds(time).value_or(0) >= 0.5) {
                timing.firstProgress = double(clock.nsecsElapsed()) / 1e9;
            }
        }
    }
    timing.seconds = double(clock.nsecsElapsed()) / 1e9;
    return timing;
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QUENLET_NO_POWEROFF", "1");
    QCoreApplication application(argc, argv);
    int minutes = 5;
    int runs = 3;
    bool former = true;
    QString clip;
    const QStringList options = QCoreApplication::arguments();
    for (qsizetype i = 1; i < options.size(); ++i) {
        if (options[i] == QLatin1String("--minutes") && i + 1 < options.size()) {
            minutes = std::max(1, options[++i].toInt());
        } else if (options[i] == QLatin1String("--runs") && i + 1 < options.size()) {
            runs = std::max(1, options[++i].toInt());
        } else if (options[i] == QLatin1String("--clip") && i + 1 < options.size()) {
            clip = options[++i];
        } else if (options[i] == QLatin1String("--no-former")) {
            former = false;
        } else {
            std::fprintf(stderr, "usage: bench_cut_position [--minutes N] [--runs N] [--clip FILE] "
                                 "[--no-former]\n");
            return 2;
        }
    }
    Platform::SetMessageFunction([](const QString& text, Platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    Platform::SetProcessEventsFunction([] { QCoreApplication::processEvents(); });
    Platform::SetApplicationFolder(QStringLiteral(QUENLET_BUILD_DIR));

    // The format of a first start, read from the presets.xml beside the program.
    PresetCatalog catalog;
    QFile file(PresetCatalog::FilePath());
    if (!file.open(QIODevice::ReadOnly) ||
        catalog.ReadPresets(QString::fromUtf8(file.readAll())).outcome !=
            CatalogResult::Outcome::Loaded) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(PresetCatalog::FilePath()));
        return 1;
    }
    QString format;
    for (const PresetRecord& preset : catalog.Presets()) {
        if (preset.category == QLatin1String("Web and Social Video") &&
            preset.label == QLatin1String("H.264 / AAC 720p") &&
            preset.extension == QLatin1String("mp4")) {
            format = preset.params;
        }
    }
    if (format.isEmpty()) {
        std::fprintf(stderr, "no \"H.264 / AAC 720p\" mp4 preset\n");
        return 1;
    }

    if (clip.isEmpty()) {
        clip = QDir::temp().filePath(QStringLiteral("quenlet-bench-%1min.mp4").arg(minutes));
        if (!QFileInfo::exists(clip) && !MakeClip(clip, minutes)) {
            std::fprintf(stderr, "could not make the clip\n");
            return 1;
        }
    }
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", clip});
    probe.waitForFinished(-1);
    const int duration = int(probe.readAllStandardOutput().trimmed().toDouble());
    if (duration < 40) {
        std::fprintf(stderr, "%s is not a clip of 40 s or more\n", qPrintable(clip));
        return 1;
    }

    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("cut.mp4"));
    const int length = 10;
    const int late = duration - 10 - length;
    std::printf("clip: %s (%d s); format: %s\n", qPrintable(clip), duration, qPrintable(format));
    std::vector<double> early;
    std::vector<double> lateTimes;
    std::vector<double> earlyProgress;
    std::vector<double> lateProgress;
    for (int run = 0; run < runs; ++run) {
        for (int turn = 0; turn < 2; ++turn) {
            const bool startFirst = (turn == 0) == (run % 2 == 0);
            const int start = startFirst ? 0 : late;
            const Timing timing = ConverterCut(clip, format, start, length, output);
            if (!QFileInfo::exists(output)) {
                std::fprintf(stderr, "no output written\n");
                return 1;
            }
            (startFirst ? early : lateTimes).push_back(timing.seconds);
            (startFirst ? earlyProgress : lateProgress).push_back(timing.firstProgress);
            std::printf("  %3d s to %3d s: %6.2f s, bar first moved after %.2f s\n", start,
                        start + length, timing.seconds, timing.firstProgress);
            std::fflush(stdout);
        }
    }
    const double earlyMedian = Median(early);
    const double lateMedian = Median(lateTimes);
    std::printf("median: cut at the start %.2f s, cut near the end %.2f s, ratio end/start %.3f "
                "(target <= 1.2)\n",
                earlyMedian, lateMedian, lateMedian / earlyMedian);
    std::printf("bar first moved after (median): %.2f s at the start, %.2f s near the end\n",
                Median(earlyProgress), Median(lateProgress));
    if (former) {
        const Timing timing = FormerCut(clip, format, late, length, output);
        std::printf("the late cut with the range after the input (as before): %.2f s, bar first "
                    "moved after %.2f s\n",
                    timing.seconds, timing.firstProgress);
    }
    return 0;
}
