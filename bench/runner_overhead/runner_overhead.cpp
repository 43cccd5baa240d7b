// Runs the same cut (a 20 s 1280x720 clip, re-encoded with the container's default codecs) once
// through CVideoConv and once as the same ffmpeg argument list started directly (posix_spawn,
// waitpid, output discarded), alternating, five pairs. Prints the median wall-time ratio
// converter/direct and the program's own CPU time during the converter runs as a share of the
// encoder's CPU time. Then runs a child that prints nothing for 3 s through the runner. For
// both it prints the longest time between two rounds of event processing (the six rounds after
// each piece of output and the rounds between bounded waits alike): how long the window could
// go without repainting or seeing a click.
//
//   runner_overhead [pairs]
#include "engine/CVideoConv.h"
#include "engine/DOSOutputs.h"
#include "engine/EncoderWording.h"
#include "engine/Platform.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

double CpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs a program with stdin and both outputs on /dev/null; returns its exit status or -1.
int RunDirect(const QStringList& arguments) {
    std::vector<QByteArray> storage;
    for (const QString& argument : arguments) {
        storage.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& item : storage) {
        argv.push_back(item.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The times between two rounds of event processing since the last Reset.
struct EventGaps {
    void Round() {
        const double now = Now();
        if (last > 0) {
            gaps.push_back(now - last);
        }
        last = now;
    }
    void Reset() {
        last = 0;
        gaps.clear();
    }
    long Rounds() const { return static_cast<long>(gaps.size()) + (last > 0 ? 1 : 0); }
    double Longest() const {
        return gaps.empty() ? 0 : *std::max_element(gaps.cbegin(), gaps.cend());
    }
    // The time that 99 % of the gaps do not exceed.
    double Percentile99() const {
        if (gaps.empty()) {
            return 0;
        }
        std::vector<double> sorted = gaps;
        std::sort(sorted.begin(), sorted.end());
        return sorted[(sorted.size() - 1) * 99 / 100];
    }
    double last = 0;
    std::vector<double> gaps;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("QUENLET_NO_POWEROFF", "1");
    QApplication application(argc, argv);
    const int pairs = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    int messages = 0;
    Platform::SetMessageFunction([&messages](const QString& text, Platform::MessageIcon) {
        ++messages;
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    });
    long eventRounds = 0;
    EventGaps gaps;
    Platform::SetProcessEventsFunction([&eventRounds, &gaps] {
        ++eventRounds;
        gaps.Round();
        QCoreApplication::processEvents();
    });
    Platform::SetWaitingEventsFunction([&gaps] {
        gaps.Round();
        QCoreApplication::processEvents();
    });

    QTemporaryDir folder;
    const QString encoder = EncoderWording::EncoderProgram();
    const QString clip = folder.filePath(QStringLiteral("clip.mp4"));
    std::printf("encoder: %s\nmaking a 20 s 1280x720 clip...\n", qPrintable(encoder));
    std::fflush(stdout);
    if (RunDirect({encoder, "-hide_banner", "-f", "lavfi", "-i",
                   "testsrc=size=1280x720:rate=25:duration=20", "-f", "lavfi", "-i",
                   "sine=frequency=440:sample_rate=44100:duration=20", "-shortest", "-y", clip}) !=
        0) {
        std::fprintf(stderr, "could not make the clip\n");
        return 1;
    }
    const QString output = folder.filePath(QStringLiteral("cut.mp4"));
    const QString parameters = QStringLiteral("-ss 0 -t 20 -y");

    std::vector<double> ratios;
    double ownCpu = 0;
    double encoderCpuThroughConverter = 0;
    double encoderCpuDirect = 0;
    long pieces = 0;
    double longestGapConverting = 0;
    double worstPercentile99 = 0;
    long waitRounds = 0;
    for (int pair = 0; pair < pairs; ++pair) {
        double converterWall = 0;
        double directWall = 0;
        for (int turn = 0; turn < 2; ++turn) {
            const bool converterTurn = (turn == 0) == (pair % 2 == 0); // alternate who goes first
            QFile::remove(output);
            if (converterTurn) {
                CVideoConv converter;
                QObject::connect(&converter, &CVideoConv::Progress, &converter, [](qint16&) {});
                converter.SetInputFile(clip);
                converter.SetOutputFile(output);
                converter.SetParametrs(parameters);
                converter.SetFileTimeLength(20);
                const long roundsBefore = eventRounds;
                const double selfBefore = CpuSeconds(RUSAGE_SELF);
                const double childBefore = CpuSeconds(RUSAGE_CHILDREN);
                gaps.Reset();
                const double start = Now();
                converter.StartConversion();
                converterWall = Now() - start;
                longestGapConverting = std::max(longestGapConverting, gaps.Longest());
                worstPercentile99 = std::max(worstPercentile99, gaps.Percentile99());
                waitRounds += gaps.Rounds() - (eventRounds - roundsBefore);
                ownCpu += CpuSeconds(RUSAGE_SELF) - selfBefore;
                encoderCpuThroughConverter += CpuSeconds(RUSAGE_CHILDREN) - childBefore;
                pieces += (eventRounds - roundsBefore - 1) / 6;
            } else {
                const double childBefore = CpuSeconds(RUSAGE_CHILDREN);
                const double start = Now();
                const int status =
                    RunDirect({encoder, "-i", clip, "-ss", "0", "-t", "20", "-y", output});
                directWall = Now() - start;
                encoderCpuDirect += CpuSeconds(RUSAGE_CHILDREN) - childBefore;
                if (status != 0) {
                    std::fprintf(stderr, "direct run failed (%d)\n", status);
                    return 1;
                }
            }
            if (!QFileInfo::exists(output)) {
                std::fprintf(stderr, "no output written\n");
                return 1;
            }
        }
        ratios.push_back(converterWall / directWall);
        std::printf("pair %d: converter %.2f s, direct %.2f s, ratio %.4f\n", pair + 1,
                    converterWall, directWall, converterWall / directWall);
        std::fflush(stdout);
    }
    std::printf("median wall-time ratio converter/direct: %.4f (target <= 1.03)\n", Median(ratios));
    std::printf("own CPU during converter runs: %.3f s; encoder CPU: %.2f s; share %.2f %% "
                "(target <= 3 %%)\n",
                ownCpu, encoderCpuThroughConverter, 100.0 * ownCpu / encoderCpuThroughConverter);
    // Wall time on a shared machine is noisy; the encoder's own CPU time shows whether running
    // it through the converter makes it work any harder.
    std::printf("encoder CPU through the converter / direct: %.4f\n",
                encoderCpuThroughConverter / encoderCpuDirect);
    std::printf("pieces read per conversion: %.1f; rounds between bounded waits per conversion: "
                "%.1f\n",
                static_cast<double>(pieces) / pairs, static_cast<double>(waitRounds) / pairs);
    std::printf("longest time between two rounds of event processing while converting: %.1f ms "
                "(target <= 60 ms); 99th percentile, worst run: %.1f ms\n",
                longestGapConverting * 1000.0, worstPercentile99 * 1000.0);
    std::fflush(stdout);

    DOSOutputs silent;
    gaps.Reset();
    const double silentCpuBefore = CpuSeconds(RUSAGE_SELF);
    const double silentStart = Now();
    silent.ExecuteCommand(QStringLiteral("sleep 3"));
    const double silentWall = Now() - silentStart;
    const double silentCpu = CpuSeconds(RUSAGE_SELF) - silentCpuBefore;
    std::printf("silent child (sleep 3): %.2f s, %ld rounds of event processing, longest time "
                "between two: %.1f ms (target <= 60 ms), 99th percentile %.1f ms; own CPU %.3f s\n",
                silentWall, gaps.Rounds(), gaps.Longest() * 1000.0, gaps.Percentile99() * 1000.0,
                silentCpu);
    std::printf("messages shown: %d\n", messages);
    return messages == 0 && silent.LastChildEnding().ExitedWithZero() ? 0 : 1;
}
