// Cuts of 30 s and 3 min from a 1920x1080 25 fps clip with real motion (moving test patterns
// under noise that changes with every picture, x264's defaults but for its speed preset) into
// 10 and 25 MB with the shipped "Fits in ... (H.264 / AAC)" format, through the real task
// (CVideoConv, the real ffmpeg). Prints, for each cut, the size reached as a share of the
// target, the time, the picture size used and the PSNR of the cut against the source scaled
// to that size.
//
//   bench_fit_to_size [--vp9] [--clip FILE]
//
// --vp9 uses the "(VP9 / Opus)" format instead. The clip (3 min 10 s) is made once and kept in
// the temporary folder as quenlet-bench-fit.mp4; --clip names another.
#include "engine/CVideoConv.h"
#include "engine/Platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdio>

namespace {

const QString H264 =
    QStringLiteral("-c:v libx264 -preset medium -pix_fmt yuv420p -c:a aac -movflags +faststart");
const QString Vp9 = QStringLiteral(
    "-c:v libvpx-vp9 -deadline good -cpu-used 4 -row-mt 1 -pix_fmt yuv420p -c:a libopus");
constexpr double Mark = 5;

QString Run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAll());
}

bool MakeClip(const QString& path) {
    std::printf("making a 3 min 10 s 1920x1080 H.264/AAC clip (once)...\n");
    std::fflush(stdout);
    const QString partial = path + QStringLiteral(".part.mp4");
    Run(QStringLiteral("ffmpeg"),
        {"-hide_banner",
         "-loglevel",
         "error",
         "-nostdin",
         "-y",
         "-f",
         "lavfi",
         "-i",
         "testsrc2=size=1920x1080:rate=25:duration=190,noise=alls=12:allf=t",
         "-f",
         "lavfi",
         "-i",
         "sine=frequency=440:sample_rate=48000:duration=190",
         "-c:v",
         "libx264",
         "-preset",
         "veryfast",
         "-pix_fmt",
         "yuv420p",
         "-c:a",
         "aac",
         "-shortest",
         partial});
    return QFileInfo(partial).size() > 0 && QFile::rename(partial, path);
}

// The PSNR ("average") of the cut's pictures against the source's, scaled to the cut's size.
QString Psnr(const QString& cut, const QString& source, double length) {
    const QString sizes =
        Run(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "stream=width,height", "-of", "csv=p=0", cut})
            .trimmed();
    const QStringList wh = sizes.split(u',');
    const QString text = Run(
        QStringLiteral("ffmpeg"),
        {"-hide_banner", "-nostdin", "-i", cut, "-ss", QString::number(Mark), "-t",
         QString::number(length), "-i", source, "-lavfi",
         QStringLiteral("[1:v]scale=%1:%2:flags=bicubic,setpts=PTS-STARTPTS[ref];[0:v]setpts=PTS-"
                        "STARTPTS[cut];[cut][ref]psnr")
             .arg(wh.value(0), wh.value(1)),
         "-f", "null", "-"});
    static const QRegularExpression average(QStringLiteral("average:([0-9.]+|inf)"));
    const QRegularExpressionMatch match = average.match(text);
    return QStringLiteral("%1 dB at %2x%3")
        .arg(match.hasMatch() ? match.captured(1) : QStringLiteral("?"), wh.value(0), wh.value(1));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QUENLET_NO_POWEROFF", "1");
    QCoreApplication application(argc, argv);
    Platform::SetMessageFunction([](const QString& text, Platform::MessageIcon) {
        std::printf("message: %s\n", qPrintable(text));
    });
    const QStringList arguments = QCoreApplication::arguments();
    const bool vp9 = arguments.contains(QStringLiteral("--vp9"));
    QString clip = QDir::temp().filePath(QStringLiteral("quenlet-bench-fit.mp4"));
    const qsizetype named = arguments.indexOf(QStringLiteral("--clip"));
    if (named > 0 && named + 1 < arguments.size()) {
        clip = arguments.at(named + 1);
    }
    if (!QFileInfo::exists(clip) && !MakeClip(clip)) {
        std::printf("the clip could not be made\n");
        return 1;
    }
    QTemporaryDir folder;
    std::printf(
        "| cut | target | size | share of target | time | PSNR |\n|---|---|---|---|---|---|\n");
    for (const double length : {30.0, 180.0}) {
        for (const int megabytes : {10, 25}) {
            const QString output =
                folder.filePath(QStringLiteral("cut-%1-%2.%3")
                                    .arg(length)
                                    .arg(megabytes)
                                    .arg(vp9 ? QStringLiteral("webm") : QStringLiteral("mp4")));
            CVideoConv converter;
            converter.SetInputFile(clip);
            converter.SetOutputFile(output);
            converter.SetParametrs(QStringLiteral("%1 -quenlet-target-size %2MB -ss %3 -t %4 -y")
                                       .arg(vp9 ? Vp9 : H264)
                                       .arg(megabytes)
                                       .arg(Mark)
                                       .arg(length));
            converter.SetFileTimeLength(static_cast<float>(length));
            QElapsedTimer timer;
            timer.start();
            converter.StartConversion();
            const double seconds = static_cast<double>(timer.elapsed()) / 1000;
            const qint64 bytes = QFileInfo(output).size();
            std::printf("| %g s | %d MB | %lld bytes | %.1f %% | %.1f s | %s |\n", length,
                        megabytes, static_cast<long long>(bytes),
                        100.0 * static_cast<double>(bytes) / (megabytes * 1e6), seconds,
                        converter.Completed() ? qPrintable(Psnr(output, clip, length)) : "failed");
            std::fflush(stdout);
        }
    }
    return 0;
}
