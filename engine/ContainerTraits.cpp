#include "engine/ContainerTraits.h"

const QString ContainerTraits::AsTheyAre = QStringLiteral("as they are");

namespace {

using Tracks = ContainerTraits::Tracks;

// "pcm_*" stands for every PCM format.
const QStringList MovSound{"aac", "mp3", "mp2", "ac3", "eac3", "vorbis", "alac", "dts", "pcm_*"};

ContainerTraits Mp4Family(const QString& extension) {
    ContainerTraits traits;
    traits.textSubtitles = QStringLiteral("mov_text");
    traits.chapters = true;
    traits.displayMatrix = true;
    traits.titleAsHandler = true;
    traits.editList = true;
    if (extension == QLatin1String("mp4")) {
        traits.pictureSubtitles = {"dvd_subtitle"};
        traits.telemetry = true;
        traits.copiedAudio = {"aac", "mp3", "mp2", "ac3", "eac3", "opus", "vorbis", "alac", "dts"};
    } else if (extension == QLatin1String("mov")) {
        traits.pictureSubtitles = {"dvd_subtitle"};
        traits.telemetry = true;
        traits.copiedAudio = MovSound;
    } else if (extension == QLatin1String("m4v")) {
        traits.copiedAudio = {"aac", "ac3", "alac"};
    } else { // 3gp, 3g2
        traits.copiedAudio = {"aac"};
    }
    return traits;
}

ContainerTraits SoundOnly(Tracks audio, bool chapters) {
    ContainerTraits traits;
    traits.video = Tracks::None;
    traits.audio = audio;
    traits.audioOnly = true;
    traits.chapters = chapters;
    return traits;
}

} // namespace

ContainerTraits ContainerTraits::Of(const QString& extension) {
    const QString name = extension.toLower();
    ContainerTraits traits;
    if (name == QLatin1String("mp4") || name == QLatin1String("mov") ||
        name == QLatin1String("m4v") || name == QLatin1String("3gp") ||
        name == QLatin1String("3g2")) {
        return Mp4Family(name);
    }
    if (name == QLatin1String("mkv")) {
        traits.textSubtitles = AsTheyAre;
        traits.pictureSubtitles = {"dvd_subtitle", "hdmv_pgs_subtitle", "dvb_subtitle"};
        traits.chapters = true;
        traits.attachments = true;
    } else if (name == QLatin1String("webm")) {
        traits.textSubtitles = QStringLiteral("webvtt");
        traits.chapters = true;
        traits.copiedAudio = {"opus", "vorbis"};
    } else if (name == QLatin1String("avi")) {
        traits.copiedAudio = {"aac", "mp3", "mp2", "ac3", "dts", "pcm_*"};
    } else if (name == QLatin1String("ts")) {
        traits.pictureSubtitles = {"dvb_subtitle"};
        traits.copiedAudio = {"aac", "mp3", "mp2", "ac3", "eac3", "dts", "opus", "truehd"};
    } else if (name == QLatin1String("flv")) {
        traits.audio = Tracks::One;
        traits.copiedAudio = {"aac", "mp3"};
    } else if (name == QLatin1String("mpg") || name == QLatin1String("vob")) {
        traits.pictureSubtitles = {"dvd_subtitle"};
    } else if (name == QLatin1String("wmv") || name == QLatin1String("asf")) {
        traits.chapters = true;
    } else if (name == QLatin1String("rm")) {
        traits.audio = Tracks::One;
    } else if (name == QLatin1String("gif") || name == QLatin1String("yuv")) {
        traits.audio = Tracks::None;
    } else if (name == QLatin1String("mka")) {
        traits = SoundOnly(Tracks::All, true);
    } else if (name == QLatin1String("m4a")) {
        traits = SoundOnly(Tracks::All, true);
        traits.titleAsHandler = true;
        traits.editList = true;
        traits.copiedAudio = {"aac", "ac3", "alac"};
    } else if (name == QLatin1String("mp3") || name == QLatin1String("opus")) {
        traits = SoundOnly(Tracks::One, true);
    } else if (name == QLatin1String("aac") || name == QLatin1String("ac3") ||
               name == QLatin1String("wav") || name == QLatin1String("flac") ||
               name == QLatin1String("ogg")) {
        traits = SoundOnly(Tracks::One, false);
    }
    return traits;
}
