// Loads generated catalogs of 1,000, 10,000 and 100,000 presets (one category per 20 presets)
// and codecs into real combo boxes on the offscreen platform, and prints the times.
//   cmake --build build --target bench_catalog_load && build/bench/catalog_load/bench_catalog_load
#include "engine/Platform.h"
#include "formats/CodecCatalog.h"
#include "formats/PresetCatalog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray PresetCatalogText(int presets) {
    QByteArray text = "<?xml version=\"1.0\"?>\r\n<presets>\r\n";
    for (int i = 0; i < presets; ++i) {
        text += "<preset>\r\n";
        text += "  <label>H.264 / AAC " + QByteArray::number(i % 40) + "</label>\r\n";
        text += "  <params>-vf scale=-2:720 -c:v libx264 -preset medium -crf 22 -pix_fmt yuv420p "
                "-c:a aac -b:a 128k -movflags +faststart</params>\r\n";
        text += "  <extension>" + QByteArray(i % 2 == 0 ? "mp4" : "mkv") + "</extension>\r\n";
        text += "  <category>Category " + QByteArray::number(i / 20) + "</category>\r\n";
        text += "</preset>\r\n";
    }
    return text + "</presets>\r\n";
}

QByteArray CodecCatalogText(int codecs) {
    QByteArray text = "<?xml version=\"1.0\"?>\r\n<codecs>\r\n";
    for (int i = 0; i < codecs; ++i) {
        text += "<codec>\r\n  <name>codec" + QByteArray::number(i) + "</name>\r\n";
        text += "  <description>Codec number " + QByteArray::number(i) + "</description>\r\n";
        text += QByteArray("  <type>") +
                (i % 3 == 0   ? "general"
                 : i % 3 == 1 ? "video codec"
                              : "audio codec") +
                "</type>\r\n</codec>\r\n";
    }
    return text + "</codecs>\r\n";
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    QTemporaryDir folder;
    Platform::SetApplicationFolder(folder.path());
    bool failed = false;
    Platform::SetMessageFunction([&failed](const QString& text, Platform::MessageIcon) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        failed = true;
    });
    constexpr int rounds = 7;

    std::printf("%-8s %10s %12s %12s %12s %14s\n", "catalog", "records", "lines", "median ms",
                "best ms", "ns per record");
    for (const int size : {1000, 10000, 100000}) {
        WriteFile(folder.filePath(QStringLiteral("presets.xml")), PresetCatalogText(size));
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            PresetCatalog catalog;
            QComboBox categories;
            int handled = 0;
            QElapsedTimer timer;
            timer.start();
            catalog.LoadPresets(&categories, [&handled](const QString&) { ++handled; });
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (catalog.PresetCount() != size || categories.count() != size / 20 || handled != 1) {
                failed = true;
            }
        }
        std::printf("%-8s %10d %12d %12.2f %12.2f %14.0f\n", "presets", size, size * 6 + 3,
                    Median(times), *std::min_element(times.begin(), times.end()),
                    Median(times) * 1e6 / size);
    }
    for (const int size : {1000, 10000, 100000}) {
        WriteFile(folder.filePath(QStringLiteral("codecs.xml")), CodecCatalogText(size));
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            CodecCatalog catalog;
            QComboBox video;
            QComboBox audio;
            QElapsedTimer timer;
            timer.start();
            catalog.LoadCodecs(&video, &audio);
            times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (catalog.CodecCount() != size || video.count() + audio.count() < size) {
                failed = true;
            }
        }
        std::printf("%-8s %10d %12d %12.2f %12.2f %14.0f\n", "codecs", size, size * 5 + 3,
                    Median(times), *std::min_element(times.begin(), times.end()),
                    Median(times) * 1e6 / size);
    }
    if (failed) {
        std::fprintf(stderr, "a catalog did not load as generated\n");
        return 1;
    }
    return 0;
}
