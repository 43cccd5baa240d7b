#include "engine/StreamSelection.h"

#include "engine/ContainerTraits.h"
#include "engine/Timecode.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>

namespace StreamSelection {
namespace {

const QStringList TextCodecs{"subrip", "srt", "ass", "ssa", "webvtt", "mov_text", "text"};
const QStringList MatroskaText{"subrip", "ass", "ssa", "webvtt"};

// Seconds as the encoder reads them, without a needless fraction: "5", "0.2", "12.345678".
QString SecondsText(double seconds) {
    QString text = QString::number(std::max(0.0, seconds), 'f', 6);
    while (text.endsWith(QLatin1Char('0'))) {
        text.chop(1);
    }
    if (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
    }
    return text;
}

// The value of the last option among `names` (the encoder takes the last one given).
QString LastValue(const QStringList& options, const QStringList& names) {
    QString value;
    for (qsizetype i = 0; i + 1 < options.size(); ++i) {
        if (names.contains(options.at(i))) {
            value = options.at(i + 1);
        }
    }
    return value;
}

bool Has(const QStringList& options, const char* option) {
    return options.contains(QLatin1String(option));
}

// Whether a pixel format keeps 10 bits or more ("yuv420p10le", "p010le", "yuv422p12").
bool Deep(const QString& pixelFormat) {
    static const QRegularExpression deep(
        QStringLiteral("(p|gray|gbrp|gbrap)(9|10|12|14|16)|^p0(10|12|16)|^[vy]210|48|64|f32|f16"));
    return deep.match(pixelFormat).hasMatch();
}

bool Allowed(const QStringList& codecs, const QString& codec) {
    if (codecs.isEmpty()) {
        return true;
    }
    return std::any_of(codecs.cbegin(), codecs.cend(), [&codec](const QString& allowed) {
        return allowed.endsWith(QLatin1Char('*')) ? codec.startsWith(allowed.chopped(1))
                                                  : codec == allowed;
    });
}

// "MP4", "MKV": how the sentences name a container.
QString ContainerName(const QString& extension) {
    return extension.toUpper();
}

// A track's language and its title in the container's place for it.
QStringList TrackTags(const SourceStream& stream, const QString& kind, int index,
                      const ContainerTraits& traits, bool language) {
    QStringList options;
    const QString specifier = QStringLiteral("-metadata:s:%1:%2").arg(kind).arg(index);
    const QString title = stream.tags.value(QStringLiteral("title"));
    if (language && !stream.tags.value(QStringLiteral("language")).isEmpty()) {
        options << specifier
                << QStringLiteral("language=") + stream.tags.value(QStringLiteral("language"));
    }
    if (!title.isEmpty()) {
        if (traits.titleAsHandler) {
            if (stream.tags.value(QStringLiteral("handler_name")) != title) {
                options << specifier << QStringLiteral("handler_name=") + title;
            }
        } else if (language) {
            options << specifier << QStringLiteral("title=") + title;
        }
    }
    return options;
}

// The sound tracks the cut keeps, and the sentences about those it cannot.
QList<SourceStream> SoundTracks(const SourceFacts& facts, const QString& extension,
                                const ContainerTraits& traits, bool copied, QStringList* notes) {
    QList<SourceStream> tracks;
    QStringList refused;
    for (const SourceStream& stream : facts.StreamsOf(QStringLiteral("audio"))) {
        if (stream.codec.isEmpty() || stream.codec == QLatin1String("none")) {
            continue;
        }
        if (copied && !Allowed(traits.copiedAudio, stream.codec)) {
            refused.append(stream.codec);
            continue;
        }
        tracks.append(stream);
    }
    if (!refused.isEmpty()) {
        refused.removeDuplicates();
        notes->append(QStringLiteral("%1 cannot hold %2 sound as it is, so the cut leaves out %3 "
                                     "of the source's %4 sound tracks.")
                          .arg(ContainerName(extension), refused.join(QStringLiteral(", ")))
                          .arg(facts.StreamsOf(QStringLiteral("audio")).size() - tracks.size())
                          .arg(facts.StreamsOf(QStringLiteral("audio")).size()));
    }
    if (traits.audio == ContainerTraits::Tracks::One && tracks.size() > 1) {
        const auto preferred = std::find_if(tracks.cbegin(), tracks.cend(),
                                            [](const SourceStream& s) { return s.isDefault; });
        const SourceStream kept = preferred != tracks.cend() ? *preferred : tracks.first();
        notes->append(QStringLiteral("%1 holds one sound track: the cut has the source's %2 one "
                                     "of its %3.")
                          .arg(ContainerName(extension), preferred != tracks.cend()
                                                             ? QStringLiteral("default")
                                                             : QStringLiteral("first"))
                          .arg(tracks.size()));
        tracks = {kept};
    }
    return tracks;
}

// "default+forced", "default", "forced" or "0": a track's dispositions as the encoder sets them.
QString Dispositions(const SourceStream& stream) {
    if (stream.isDefault && stream.forced) {
        return QStringLiteral("default+forced");
    }
    if (stream.isDefault || stream.forced) {
        return stream.isDefault ? QStringLiteral("default") : QStringLiteral("forced");
    }
    return QStringLiteral("0");
}

// Cuts a copied stream's last packet at the range's end, so that a subtitle shown past it or a
// telemetry sample of a whole second does not make the file longer than the range.
QString EndClip(double length) {
    return QStringLiteral(
               "setts=duration=if(lte(DURATION\\,0)\\,DURATION\\,min(DURATION\\,%1/TB-PTS))")
        .arg(SecondsText(length));
}

// Drops the packets that start before the mark: those a seek brings along (Matroska goes back
// for subtitles) would otherwise come with negative times, and the muxer would move the whole
// file to make them fit.
const QString BeforeMark = QStringLiteral("noise=drop=lt(pts\\,0)");

// The options that put the range's subtitles into a piece, and those that take them from it.
void KeepSubtitles(const SourceFacts& facts, const QString& input, const ContainerTraits& traits,
                   const Findings& findings, const QString& pieceStem, int pieceInput,
                   Choice* choice) {
    QStringList maps;
    QStringList codecs;
    QList<SourceStream> kept;
    bool movText = false;
    for (const SourceStream& stream : facts.StreamsOf(QStringLiteral("subtitle"))) {
        const QString target =
            SubtitleTarget(stream.codec, traits.textSubtitles, traits.pictureSubtitles);
        if (target.isEmpty() || !findings.subtitlesWithCues.contains(stream.index)) {
            continue;
        }
        const QString k = QString::number(kept.size());
        maps << QStringLiteral("-map") << QStringLiteral("0:%1").arg(stream.index);
        codecs << QStringLiteral("-c:s:") + k << target;
        movText = movText || target == QLatin1String("mov_text") ||
                  (target == QLatin1String("copy") && stream.codec == QLatin1String("mov_text"));
        kept.append(stream);
    }
    if (kept.isEmpty()) {
        return;
    }
    choice->piece = pieceStem + (movText ? QStringLiteral(".mp4") : QStringLiteral(".mkv"));
    choice->pieceArguments = QStringList{QStringLiteral("-ss"), SecondsText(findings.start),
                                         QStringLiteral("-i"), input} +
                             maps + codecs +
                             QStringList{QStringLiteral("-bsf:s"),
                                         BeforeMark,
                                         QStringLiteral("-map_metadata"),
                                         QStringLiteral("-1"),
                                         QStringLiteral("-map_chapters"),
                                         QStringLiteral("-1"),
                                         QStringLiteral("-t"),
                                         SecondsText(findings.length),
                                         QStringLiteral("-y"),
                                         choice->piece};
    for (qsizetype k = 0; k < kept.size(); ++k) {
        const QString n = QString::number(k);
        choice->options << QStringLiteral("-map") << QStringLiteral("%1:%2").arg(pieceInput).arg(k)
                        << QStringLiteral("-c:s:") + n << QStringLiteral("copy")
                        << QStringLiteral("-bsf:s:") + n << EndClip(findings.length)
                        << QStringLiteral("-disposition:s:") + n << Dispositions(kept.at(k));
        choice->options +=
            TrackTags(kept.at(k), QStringLiteral("s"), static_cast<int>(k), traits, true);
    }
    choice->extras = true;
}

// "-f ffmetadata -i data:..." for the cut's chapters, moved to the source's time when the cut
// seeks on the output side.
QStringList ChapterInput(const QString& text, double start, bool outputSeek) {
    QStringList input{QStringLiteral("-f"), QStringLiteral("ffmetadata")};
    if (outputSeek) {
        input << QStringLiteral("-itsoffset") << SecondsText(start);
    }
    return input << QStringLiteral("-i")
                 << QStringLiteral("data:text/plain;base64,") +
                        QString::fromLatin1(text.toUtf8().toBase64());
}

// An ffmetadata value: "=", ";", "#", "\" and line breaks are escaped with a backslash.
QString Escaped(const QString& text) {
    QString escaped;
    for (const QChar character : text) {
        if (QStringLiteral("=;#\\\n").contains(character)) {
            escaped += QLatin1Char('\\');
        }
        escaped += character;
    }
    return escaped;
}

// "-timecode" of the output's first picture.
QStringList MovedTimecode(const SourceFacts& facts, const SourceStream& video, double first) {
    QString timecode = video.tags.value(QStringLiteral("timecode"));
    if (timecode.isEmpty()) {
        timecode = facts.tags.value(QStringLiteral("timecode"));
    }
    if (timecode.isEmpty()) {
        return {};
    }
    const std::optional<QString> moved = Timecode::Moved(timecode, first, video.FramesPerSecond());
    if (!moved) {
        // A timecode that cannot be moved would name the wrong picture: none is better.
        return {QStringLiteral("-metadata"), QStringLiteral("timecode="),
                QStringLiteral("-metadata:s:v:0"), QStringLiteral("timecode=")};
    }
    return {QStringLiteral("-timecode"), *moved, QStringLiteral("-metadata:s:v:0"),
            QStringLiteral("timecode=") + *moved};
}

// The maps a copy made without the source's facts gets: what the copy presets said before.
QStringList Unknown(const ContainerTraits& traits, bool noVideo, bool noAudio) {
    QStringList options;
    if (!noVideo) {
        options << QStringLiteral("-map") << QStringLiteral("0:v:0?");
    }
    if (!noAudio) {
        options << QStringLiteral("-map")
                << (traits.audio == ContainerTraits::Tracks::One ? QStringLiteral("0:a:0?")
                                                                 : QStringLiteral("0:a?"));
    }
    return options;
}

} // namespace

bool Copies(const QStringList& formatOptions, QChar kind) {
    const QString k(kind);
    const QStringList names{QStringLiteral("-c"), QStringLiteral("-codec"),
                            QStringLiteral("-c:") + k, QStringLiteral("-codec:") + k,
                            kind == QLatin1Char('v') ? QStringLiteral("-vcodec")
                                                     : QStringLiteral("-acodec")};
    return LastValue(formatOptions, names) == QLatin1String("copy");
}

QString SubtitleTarget(const QString& codec, const QString& textSubtitles,
                       const QStringList& pictureSubtitles) {
    if (TextCodecs.contains(codec)) {
        if (textSubtitles.isEmpty()) {
            return {};
        }
        if (textSubtitles == ContainerTraits::AsTheyAre) {
            return MatroskaText.contains(codec) ? QStringLiteral("copy") : QStringLiteral("srt");
        }
        return codec == textSubtitles ? QStringLiteral("copy") : textSubtitles;
    }
    return pictureSubtitles.contains(codec) ? QStringLiteral("copy") : QString();
}

QString ChapterText(const SourceFacts& facts, double first, double end) {
    QString text;
    bool firstChapter = true;
    for (const QJsonValue& value : facts.raw.value(QLatin1String("chapters")).toArray()) {
        const QJsonObject chapter = value.toObject();
        const double from =
            chapter.value(QLatin1String("start_time")).toString().toDouble() - facts.startTime;
        const double to =
            chapter.value(QLatin1String("end_time")).toString().toDouble() - facts.startTime;
        double begins = std::max(from, first) - first;
        const double ends = std::min(to, end) - first;
        if (ends - begins < 0.001) {
            continue;
        }
        if (firstChapter) {
            begins = 0;
            firstChapter = false;
        }
        const QString title = chapter.value(QLatin1String("tags"))
                                  .toObject()
                                  .value(QLatin1String("title"))
                                  .toString();
        text += QStringLiteral("[CHAPTER]\nTIMEBASE=1/1000\nSTART=%1\nEND=%2\ntitle=%3\n")
                    .arg(qRound64(begins * 1000))
                    .arg(qRound64(ends * 1000))
                    .arg(Escaped(title));
    }
    return text.isEmpty() ? QString() : QStringLiteral(";FFMETADATA1\n") + text;
}

bool WritesDeepHevc(const SourceFacts& facts, const QStringList& formatOptions) {
    const QString codec = LastValue(
        formatOptions, {QStringLiteral("-c"), QStringLiteral("-c:v"), QStringLiteral("-codec"),
                        QStringLiteral("-codec:v"), QStringLiteral("-vcodec")});
    if (codec != QLatin1String("libx265")) {
        return false;
    }
    const QString pixels = LastValue(formatOptions, {QStringLiteral("-pix_fmt")});
    const SourceStream* video = facts.MainVideo();
    return pixels.isEmpty() ? video != nullptr && Deep(video->pixelFormat) : Deep(pixels);
}

Choice Choose(const SourceFacts& facts, const QString& input, const QString& extension,
              const QStringList& formatOptions, const Findings& findings, const QString& pieceStem,
              bool outputSeek) {
    const ContainerTraits traits = ContainerTraits::Of(extension);
    const bool ownMaps = Has(formatOptions, "-map");
    const bool noVideo = Has(formatOptions, "-vn") || traits.video == ContainerTraits::Tracks::None;
    const bool noAudio = Has(formatOptions, "-an") || traits.audio == ContainerTraits::Tracks::None;
    // A sound-only cut keeps sound, tags and chapters.
    const bool soundOnly = noVideo || traits.audioOnly;
    const bool plain = findings.plain || soundOnly;
    Choice choice;
    if (!facts.known) {
        // Nothing is known of the source (it cannot be read, or there is no prober): the
        // format's options as they are, and a copy keeps what copies kept before.
        if (!ownMaps &&
            (Copies(formatOptions, QLatin1Char('v')) || Copies(formatOptions, QLatin1Char('a')))) {
            choice.options = Unknown(traits, noVideo, noAudio);
        }
        return choice;
    }

    const SourceStream* video = facts.MainVideo();
    if (!ownMaps) {
        if (video != nullptr && !noVideo) {
            choice.options << QStringLiteral("-map") << QStringLiteral("0:%1").arg(video->index);
            // H.265 copied from a file without codec tags (Matroska) into AVI would get none,
            // and be read back as raw pictures.
            if (extension.compare(QLatin1String("avi"), Qt::CaseInsensitive) == 0 &&
                video->codec == QLatin1String("hevc") && Copies(formatOptions, QLatin1Char('v'))) {
                choice.options << QStringLiteral("-tag:v") << QStringLiteral("HEVC");
            }
        }
        if (!noAudio) {
            const QList<SourceStream> tracks = SoundTracks(
                facts, extension, traits, Copies(formatOptions, QLatin1Char('a')), &choice.notes);
            for (qsizetype k = 0; k < tracks.size(); ++k) {
                choice.options << QStringLiteral("-map")
                               << QStringLiteral("0:%1").arg(tracks.at(k).index);
                if (traits.titleAsHandler) {
                    choice.options += TrackTags(tracks.at(k), QStringLiteral("a"),
                                                static_cast<int>(k), traits, false);
                }
            }
        }
        if (!plain && !Has(formatOptions, "-sn") && findings.cuesKnown) {
            KeepSubtitles(facts, input, traits, findings, pieceStem, 1, &choice);
            if (!choice.piece.isEmpty()) {
                choice.inputs << QStringLiteral("-seek_timestamp") << QStringLiteral("1");
                if (outputSeek) {
                    choice.inputs << QStringLiteral("-itsoffset") << SecondsText(findings.start);
                }
                choice.inputs << QStringLiteral("-i") << choice.piece;
            }
        }
        if (!plain && traits.attachments) {
            for (const SourceStream& stream : facts.StreamsOf(QStringLiteral("attachment"))) {
                choice.options << QStringLiteral("-map")
                               << QStringLiteral("0:%1").arg(stream.index);
                choice.extras = true;
            }
        }
        if (!plain && traits.telemetry && !Has(formatOptions, "-dn")) {
            int j = 0;
            for (const SourceStream& stream : facts.StreamsOf(QStringLiteral("data"))) {
                if (stream.codec != QLatin1String("bin_data") ||
                    stream.raw.value(QLatin1String("codec_tag_string")).toString() !=
                        QLatin1String("gpmd")) {
                    continue;
                }
                const QString n = QString::number(j++);
                choice.options << QStringLiteral("-map") << QStringLiteral("0:%1").arg(stream.index)
                               << QStringLiteral("-c:d:") + n << QStringLiteral("copy")
                               << QStringLiteral("-bsf:d:") + n
                               << BeforeMark + QLatin1Char(',') + EndClip(findings.length);
                choice.extras = true;
            }
        }
    }

    // The file's own tags, its creation time among them (which the encoder drops unless told),
    // without the MP4 brands, which would become tags of an MP3 or an Ogg file.
    choice.options << QStringLiteral("-map_metadata") << QStringLiteral("0")
                   << QStringLiteral("-metadata") << QStringLiteral("major_brand=")
                   << QStringLiteral("-metadata") << QStringLiteral("minor_version=")
                   << QStringLiteral("-metadata") << QStringLiteral("compatible_brands=");
    const QString chapters =
        traits.chapters ? ChapterText(facts, findings.first, findings.start + findings.length)
                        : QString();
    if (!chapters.isEmpty()) {
        choice.options << QStringLiteral("-map_chapters")
                       << QString::number(choice.piece.isEmpty() ? 1 : 2);
        choice.inputs += ChapterInput(chapters, findings.start, outputSeek);
    } else {
        choice.options << QStringLiteral("-map_chapters") << QStringLiteral("-1");
    }
    if (video != nullptr && !soundOnly) {
        choice.options += MovedTimecode(facts, *video, findings.first);
        if (video->rotation != 0 && !traits.displayMatrix &&
            Copies(formatOptions, QLatin1Char('v'))) {
            choice.notes.append(
                QStringLiteral("The video is shown turned by %1°, which a copy into %2 cannot "
                               "keep: the cut plays unturned. Cut it to MP4 or MOV, or with a "
                               "preset that re-encodes, to keep it upright.")
                    .arg(std::abs(qRound(video->rotation)))
                    .arg(ContainerName(extension)));
        }
    }
    if (!findings.hdrParameters.isEmpty() && WritesDeepHevc(facts, formatOptions)) {
        const QString own = LastValue(formatOptions, {QStringLiteral("-x265-params")});
        choice.options << QStringLiteral("-x265-params")
                       << (own.isEmpty() ? findings.hdrParameters
                                         : own + QLatin1Char(':') + findings.hdrParameters);
    }
    return choice;
}

QStringList AfterCut(const SourceFacts& facts, const QString& encoderOutputs) {
    const SourceStream* video = facts.MainVideo();
    if (video == nullptr ||
        !(video->colorTransfer == QLatin1String("smpte2084") ||
          video->colorTransfer == QLatin1String("arib-std-b67")) ||
        !Deep(video->pixelFormat)) {
        return {};
    }
    // "  Stream #0:0: Video: h264 (avc1 / 0x31637661), yuv420p(tv, bt2020nc/...), 1280x720"
    // under "Output #0, mp4, to '...':"
    static const QRegularExpression written(
        QStringLiteral(R"(^\s+Stream #0:\d+\S*: Video: [^,(]+(?: \([^)]*\))*, (\w+))"));
    const qsizetype output = encoderOutputs.indexOf(QLatin1String("\nOutput #0"));
    QString pixels;
    for (const QString& line :
         encoderOutputs.mid(std::max<qsizetype>(output, 0)).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch match = written.match(line);
        if (output >= 0 && match.hasMatch()) {
            pixels = match.captured(1);
            break;
        }
    }
    if (pixels.isEmpty() || Deep(pixels)) {
        return {};
    }
    return {QStringLiteral("The video is HDR with 10-bit colour, and this format keeps 8 bits: "
                           "the cut's colours may look pale and banded. \"H.265 10-bit / FLAC\", "
                           "the VP9 presets and the lossless and editing presets keep HDR.")};
}

} // namespace StreamSelection
