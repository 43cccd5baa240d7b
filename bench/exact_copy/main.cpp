// Cuts a minute from a 5-minute 1920x1080 H.264 clip made with x264's defaults (B-frames, a key
// frame every 250 pictures; the veryfast preset, so that the clip is made in minutes) with AAC
// sound, starting in the middle of a key-frame interval, three ways through the converter: an
// exact copy, a plain copy from the key frame before the mark, and the range re-encoded by x264
// at its defaults. Each is run `--runs` times, alternating; prints the median time, the size, the
// picture count and the PSNR of the pictures against the source's range.
//
//   bench_exact_copy [--minutes N] [--start S] [--length L] [--runs N] [--clip FILE]
//
// The clip is made once (several minutes on two cores) and kept in the temporary folder as
// quenlet-exact-<N>min.mp4; --clip names another.
#include "engine/CVideoConv.h"
#include "engine/EncoderWording.h"
#include "engine/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAll());
}

bool MakeClip(const QString& path, int minutes) {
    const QString seconds = QString::number(minutes * 60);
    std::printf("making a %d-minute 1920x1080 H.264/AAC clip (once)...\n", minutes);
    std::fflush(stdout);
    Run(EncoderWording::EncoderProgram(),
        {"-hide_banner", "-loglevel",
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
         "-y",           path + ".part"});
    return QFile::rename(path + ".part", path);
}

double Cut(const QString& clip, const QString& format, double start, double length,
           const QString& output) {
    QFile::remove(output);
    CVideoConv converter;
    converter.SetInputFile(clip);
    converter.SetOutputFile(output);
    converter.SetParametrs(format + QStringLiteral(" -ss %1 -t %2 -y").arg(start).arg(length));
    converter.SetFileTimeLength(float(length));
    QElapsedTimer clock;
    clock.start();
    converter.StartConversion();
    return converter.Completed() ? double(clock.nsecsElapsed()) / 1e9 : -1;
}

int Pictures(const QString& file) {
    return Run(QStringLiteral("ffprobe"),
               {"-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
                "stream=nb_read_packets", "-of", "csv=p=0", file})
        .trimmed()
        .toInt();
}

// The average and worst PSNR of `cut`'s pictures against the source's range.
QString Psnr(const QString& clip, const QString& cut, double start, double length) {
    const QString text =
        Run(EncoderWording::EncoderProgram(),
            {"-hide_banner", "-nostdin", "-ss", QString::number(start), "-t",
             QString::number(length), "-i", clip, "-i", cut, "-lavfi",
             "[0:v]setpts=N/(25*TB)[a];[1:v]setpts=N/(25*TB)[b];[a][b]psnr", "-f", "null", "-"});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("PSNR .*average:(\\S+) min:(\\S+)")).match(text);
    return match.hasMatch() ? QStringLiteral("average %1 dB, worst picture %2 dB")
                                  .arg(match.captured(1), match.captured(2))
                            : QStringLiteral("(no PSNR)");
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QUENLET_NO_POWEROFF", "1");
    QCoreApplication application(argc, argv);
    int minutes = 5;
    int runs = 3;
    double start = 85;
    double length = 60;
    QString clip;
    const QStringList options = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < options.size(); i += 2) {
        if (options[i] == QLatin1String("--minutes")) {
            minutes = std::max(1, options[i + 1].toInt());
        } else if (options[i] == QLatin1String("--start")) {
            start = options[i + 1].toDouble();
        } else if (options[i] == QLatin1String("--length")) {
            length = options[i + 1].toDouble();
        } else if (options[i] == QLatin1String("--runs")) {
            runs = std::max(1, options[i + 1].toInt());
        } else if (options[i] == QLatin1String("--clip")) {
            clip = options[i + 1];
        }
    }
    Platform::SetMessageFunction([](const QString& text, Platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    Platform::SetProcessEventsFunction([] { QCoreApplication::processEvents(); });
    if (clip.isEmpty()) {
        clip = QDir::temp().filePath(QStringLiteral("quenlet-exact-%1min.mp4").arg(minutes));
        if (!QFileInfo::exists(clip) && !MakeClip(clip, minutes)) {
            std::fprintf(stderr, "cannot make the clip\n");
            return 1;
        }
    }
    QTemporaryDir folder;
    const struct {
        const char* name;
        QString format;
    } ways[] = {
        {"exact copy", QStringLiteral("-c copy -quenlet-exact-copy")},
        {"plain copy (from the key frame before)", QStringLiteral("-c copy")},
        {"re-encoded (x264 defaults)", QStringLiteral("-c:v libx264 -c:a copy")},
    };
    std::printf("%s, %.1f s from %.1f s, median of %d\n", qPrintable(QFileInfo(clip).fileName()),
                length, start, runs);
    std::vector<std::vector<double>> times(std::size(ways));
    for (int run = 0; run < runs; ++run) {
        for (std::size_t k = 0; k < std::size(ways); ++k) {
            const QString output = folder.filePath(QStringLiteral("cut%1.mp4").arg(k));
            times[k].push_back(Cut(clip, ways[k].format, start, length, output));
        }
    }
    for (std::size_t k = 0; k < std::size(ways); ++k) {
        const QString output = folder.filePath(QStringLiteral("cut%1.mp4").arg(k));
        std::sort(times[k].begin(), times[k].end());
        std::printf("%-40s %7.1f s  %6.1f MB  %5d pictures  %s\n", ways[k].name,
                    times[k][times[k].size() / 2], double(QFileInfo(output).size()) / 1e6,
                    Pictures(output), qPrintable(Psnr(clip, output, start, length)));
    }
    return 0;
}
