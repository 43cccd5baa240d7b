#include "engine/CutPoints.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Two picture times closer than this are the same time (the prober writes microseconds).
constexpr double Same = 1e-5;

} // namespace

QList<CutPoints::Packet> CutPoints::ParsePackets(const QString& csv, double startTime) {
    QList<Packet> packets;
    for (const QString& line : csv.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList fields = line.trimmed().split(QLatin1Char(','));
        if (fields.size() < 3) {
            continue;
        }
        bool ptsOk = false;
        bool dtsOk = false;
        Packet packet;
        packet.pts = fields.at(0).toDouble(&ptsOk) - startTime;
        packet.dts = fields.at(1).toDouble(&dtsOk) - startTime;
        if (!ptsOk) {
            continue;
        }
        if (!dtsOk) {
            packet.dts = packet.pts;
        }
        // The prober writes the entries in its own order: the size before the flags ("K_").
        for (qsizetype i = 2; i < fields.size(); ++i) {
            bool number = false;
            const qint64 size = fields.at(i).toLongLong(&number);
            if (number) {
                packet.size = size;
            } else if (fields.at(i).contains(QLatin1Char('_')) ||
                       fields.at(i).startsWith(QLatin1Char('K'))) {
                packet.key = fields.at(i).startsWith(QLatin1Char('K'));
            }
        }
        packets.append(packet);
    }
    return packets;
}

CutPoints CutPoints::Find(const QList<Packet>& packets, double start, double end) {
    CutPoints points;
    points.end = end;
    QList<double> shown; // the range's picture times, in the order they are shown
    for (const Packet& packet : packets) {
        if (packet.pts >= start - Same && packet.pts < end - Same) {
            shown.append(packet.pts);
        }
    }
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end(),
                            [](double a, double b) { return std::abs(a - b) < Same; }),
                shown.end());
    if (shown.isEmpty()) {
        return points;
    }
    points.valid = true;
    points.start = shown.first();
    points.shortestGap = std::numeric_limits<double>::max();
    for (qsizetype i = 1; i < shown.size(); ++i) {
        points.shortestGap = std::min(points.shortestGap, shown.at(i) - shown.at(i - 1));
    }
    if (shown.size() < 2) {
        points.shortestGap = 0;
    }
    if (packets.size() > 1) {
        qint64 bytes = 0;
        double first = std::numeric_limits<double>::max();
        double last = std::numeric_limits<double>::lowest();
        for (const Packet& packet : packets) {
            bytes += packet.size;
            first = std::min(first, packet.pts);
            last = std::max(last, packet.pts);
        }
        if (last > first) {
            points.bitRate = static_cast<qint64>(static_cast<double>(bytes) * 8 / (last - first));
        }
    }

    for (const Packet& packet : packets) {
        if (packet.key) {
            points.keyFrames.append(packet.pts);
        }
    }
    std::sort(points.keyFrames.begin(), points.keyFrames.end());

    // The middle starts at the first key frame shown in the range.
    qsizetype keyIndex = -1;
    for (qsizetype i = 0; i < packets.size(); ++i) {
        const Packet& packet = packets.at(i);
        if (packet.key && packet.pts >= start - Same && packet.pts < end - Same &&
            (keyIndex < 0 || packet.pts < packets.at(keyIndex).pts)) {
            keyIndex = i;
        }
    }
    if (keyIndex < 0) {
        points.keyFrame = points.tailStart = end;
        points.headPictures = static_cast<int>(shown.size());
        return points;
    }
    const double key = packets.at(keyIndex).pts;
    points.keyFrame = key;
    const auto firstCopied = std::lower_bound(shown.cbegin(), shown.cend(), key - Same);
    points.headPictures = static_cast<int>(firstCopied - shown.cbegin());
    const QList<double> copyable(firstCopied, shown.cend());

    // The longest decode-order run from the key frame whose pictures, leaving out those shown
    // before the key frame (which refer to pictures before it and are never copied), are the
    // first pictures shown from the key frame on. A picture past the end in that run stops it.
    QList<double> taken;
    int best = 0;
    for (qsizetype i = keyIndex; i < packets.size() && taken.size() < copyable.size(); ++i) {
        const double pts = packets.at(i).pts;
        if (pts < key - Same) {
            continue;
        }
        if (pts >= end - Same) {
            break;
        }
        taken.insert(std::lower_bound(taken.begin(), taken.end(), pts), pts);
        const qsizetype n = taken.size();
        if (std::abs(taken.last() - copyable.at(n - 1)) < Same) {
            best = static_cast<int>(n);
        }
    }
    points.middlePictures = best;
    points.tailPictures = static_cast<int>(copyable.size()) - best;
    points.tailStart = best < copyable.size() ? copyable.at(best) : end;
    return points;
}

double CutPoints::KeyFrameBefore(double time, double fallback) const {
    double found = fallback;
    for (const double key : keyFrames) {
        if (key <= time + Same) {
            found = key;
        }
    }
    return found;
}
