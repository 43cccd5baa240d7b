#pragma once

#include <QString>
#include <QStringList>

// What an output container can hold of a source's streams, as the encoder writes it (Debian 12's
// ffmpeg 5.1), by the output file's extension. Where a container cannot hold something, a cut
// leaves it out rather than failing: ffmpeg refuses some of it outright and, worse, writes
// some of it wrongly without a word (text subtitles in MPEG files become picture subtitles that
// show nothing, two sound tracks in one AAC file are mixed into one stream, subtitles in
// MPEG-TS or WMV and attachments in WebM are dropped).
struct ContainerTraits {
    enum class Tracks { None, One, All };

    Tracks video = Tracks::One;
    Tracks audio = Tracks::All;
    // A sound-only container: it keeps sound, tags and chapters, nothing else.
    bool audioOnly = false;
    // The codec text subtitles are written in ("mov_text", "webvtt"), or AsTheyAre for
    // Matroska (SubRip, ASS and WebVTT as they are, others as SubRip); empty: none.
    QString textSubtitles;
    // The picture subtitle codecs it takes as they are (pictures are never converted).
    QStringList pictureSubtitles;
    bool chapters = false;
    bool attachments = false; // fonts and other files (Matroska)
    bool telemetry = false;   // a camera's GoPro metadata track ("gpmd")
    // Whether a copied video keeps its display matrix (a phone's rotation).
    bool displayMatrix = false;
    // Whether a track's title can only be written as its handler name (MP4 and its kin).
    bool titleAsHandler = false;
    // Whether an edit list hides what a stream copy brings along from before the mark (MP4 and
    // its kin), unless "-avoid_negative_ts make_zero" moves it to the start of the file.
    bool editList = false;
    // The sound codecs a stream copy can put into it as they are; empty: any.
    QStringList copiedAudio;

    static const QString AsTheyAre;

    // The traits of the container an output with this extension gets ("mp4", "MKV"); an
    // extension the catalogs do not use gets the traits of a plain container that holds one
    // video and every sound track and nothing else.
    static ContainerTraits Of(const QString& extension);
};
