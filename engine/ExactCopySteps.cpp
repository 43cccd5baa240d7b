#include "engine/ExactCopySteps.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

QString Seconds(double seconds) {
    return QString::number(seconds, 'f', 6);
}

constexpr double Ticks = 90000; // MPEG-TS time base

// Half the time between two pictures, at most a millisecond: the margin by which a time is
// said to lie before or after a picture.
double Margin(double shortestGap) {
    return shortestGap > 0 ? std::min(0.001, shortestGap / 4) : 0.001;
}

} // namespace

namespace ExactCopySteps {

QStringList PacketProbe(const QString& input, int stream, double from, double to,
                        double startTime) {
    // The prober seeks to the key frame at or before `from`.
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QString::number(stream),
            QStringLiteral("-read_intervals"),
            Seconds(from + startTime) + QLatin1Char('%') + Seconds(to + startTime),
            QStringLiteral("-show_entries"),
            QStringLiteral("packet=pts_time,dts_time,flags,size"),
            QStringLiteral("-of"),
            QStringLiteral("csv=p=0"),
            input};
}

double SeekTarget(double key, bool indexless, double shortestGap) {
    return indexless ? std::max(0.0, key - 1.0) : key + Margin(shortestGap);
}

QStringList EncodePiece(const QString& input, int stream, double seek, double from, int pictures,
                        const QStringList& encoder, const QString& piece) {
    // The pictures before `from` are decoded and left out; each keeps its own time. They stay
    // as they are coded, the copied ones' size: the display matrix turns them all when shown.
    return QStringList{QStringLiteral("-ss"),
                       Seconds(seek),
                       QStringLiteral("-noautorotate"),
                       QStringLiteral("-i"),
                       input,
                       QStringLiteral("-ss"),
                       Seconds(std::max(0.0, from - seek - 0.0001)),
                       QStringLiteral("-map"),
                       QStringLiteral("0:%1").arg(stream),
                       QStringLiteral("-frames:v"),
                       QString::number(pictures),
                       QStringLiteral("-fps_mode"),
                       QStringLiteral("passthrough")} +
           encoder +
           QStringList{QStringLiteral("-map_metadata"), QStringLiteral("-1"), QStringLiteral("-f"),
                       QStringLiteral("mpegts"),        QStringLiteral("-y"), piece};
}

QStringList CopyMiddle(const QString& input, int stream, double seek, double from, double to,
                       double shortestGap, const QString& piece) {
    // Packets are kept by their time from the seek, in the 90 kHz ticks the bitstream filter
    // sees when writing MPEG-TS: from the key frame up to the last picture before `to`. The
    // length read goes a second past `to`, for the packets decoded before the last ones shown.
    const double margin = Margin(shortestGap);
    const qint64 first = std::llround((from - seek - margin) * Ticks);
    const qint64 last = std::llround((to - seek - margin) * Ticks);
    const QString drop =
        QStringLiteral("noise=drop=lt(pts\\,%1)+gte(pts\\,%2)").arg(first).arg(last);
    return {QStringLiteral("-ss"),
            Seconds(seek),
            QStringLiteral("-i"),
            input,
            QStringLiteral("-map"),
            QStringLiteral("0:%1").arg(stream),
            QStringLiteral("-c"),
            QStringLiteral("copy"),
            QStringLiteral("-t"),
            Seconds(to - seek + 1),
            QStringLiteral("-bsf:v"),
            drop,
            QStringLiteral("-map_metadata"),
            QStringLiteral("-1"),
            QStringLiteral("-f"),
            QStringLiteral("mpegts"),
            QStringLiteral("-y"),
            piece};
}

QStringList FirstPacketProbe(const QString& piece) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QStringLiteral("v:0"),
            QStringLiteral("-read_intervals"),
            QStringLiteral("%+#1"),
            QStringLiteral("-show_entries"),
            QStringLiteral("packet=pts,dts"),
            QStringLiteral("-of"),
            QStringLiteral("csv=p=0"),
            piece};
}

qint64 DecodeLead(const QString& probeOutputs) {
    static const QRegularExpression line(QStringLiteral("^\\s*(-?\\d+),(-?\\d+)"),
                                         QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(probeOutputs);
    if (!match.hasMatch()) {
        return 0;
    }
    return std::max<qint64>(0, match.captured(1).toLongLong() - match.captured(2).toLongLong());
}

QString ConcatList(const QList<Piece>& pieces) {
    QString list = QStringLiteral("ffconcat version 1.0\n");
    for (const Piece& piece : pieces) {
        QString quoted = piece.path;
        quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
        list += QStringLiteral("file '%1'\nduration %2\n").arg(quoted, Seconds(piece.seconds));
    }
    return list;
}

QString JoinTimestamps(double keyFrame, double shortestGap, qint64 lead) {
    const qint64 join = static_cast<qint64>(std::llround((keyFrame - Margin(shortestGap)) * Ticks));
    return QStringLiteral("setts=pts=PTS:dts=if(lt(PTS\\,%1)\\,DTS-%2\\,DTS)").arg(join).arg(lead);
}

QStringList DecodeCheck(const QString& product) {
    return {QStringLiteral("-i"),   product,
            QStringLiteral("-map"), QStringLiteral("0:v:0"),
            QStringLiteral("-f"),   QStringLiteral("null"),
            QStringLiteral("-")};
}

QString DecodeProblems(const QString& outputs) {
    // The decoders and the null muxer complain in lines such as "[h264 @ 0x55d0] error while
    // decoding MB 3 7" or "[null @ 0x55d0] Application provided invalid, non monotonically
    // increasing dts"; a clean decode says nothing of that kind.
    static const QRegularExpression complaint(
        QStringLiteral("^\\[(h264|hevc|null)[^\\]]* @ 0x[0-9a-f]+\\] (.*)$"),
        QRegularExpression::MultilineOption);
    QStringList found;
    for (const QRegularExpressionMatch& match : complaint.globalMatch(outputs)) {
        found.append(match.captured(2).trimmed());
    }
    return found.join(QLatin1Char('\n'));
}

QStringList CountProbe(const QString& product) {
    return {QStringLiteral("-v"),
            QStringLiteral("error"),
            QStringLiteral("-select_streams"),
            QStringLiteral("v:0"),
            QStringLiteral("-count_packets"),
            QStringLiteral("-show_entries"),
            QStringLiteral("stream=nb_read_packets"),
            QStringLiteral("-of"),
            QStringLiteral("csv=p=0"),
            product};
}

int CountOf(const QString& probeOutputs) {
    static const QRegularExpression number(QStringLiteral("^\\s*(\\d+)"),
                                           QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = number.match(probeOutputs);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace ExactCopySteps
