#include "preview/MpvEngine.h"

#include "preview/MpvRequests.h"
#include "preview/MpvVideoWidget.h"

#include <QEvent>
#include <QWidget>

#include <cstring>
#include <optional>

// MpvEngine: the picture's widget, its place in the video area, and the video track.

using namespace MpvRequests;

EngineResult MpvEngine::Place(const QRect& geometry) {
    placement_ = geometry;
    if (widget_ != nullptr) {
        widget_->setGeometry(placement_);
    }
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutTop(int pixels) {
    return Place(placement_.translated(0, pixels - placement_.top()));
}

EngineResult MpvEngine::PutLeft(int pixels) {
    return Place(placement_.translated(pixels - placement_.left(), 0));
}

EngineResult MpvEngine::PutWidth(int pixels) {
    if (pixels < 0) {
        return EngineResult::Failed;
    }
    QRect geometry = placement_;
    geometry.setWidth(pixels);
    return Place(geometry);
}

EngineResult MpvEngine::PutHeight(int pixels) {
    if (pixels < 0) {
        return EngineResult::Failed;
    }
    QRect geometry = placement_;
    geometry.setHeight(pixels);
    return Place(geometry);
}

EngineResult MpvEngine::PutWindowStyle(long /*style*/) {
    // Clipping against children and siblings is what Qt widgets do anyway.
    return EngineResult::Ok;
}

EngineResult MpvEngine::PutOwner(QWidget* videoArea) {
    if (core_ == nullptr) {
        return EngineResult::Failed;
    }
    if (owner_ != nullptr) {
        owner_->removeEventFilter(this);
    }
    owner_ = videoArea;
    if (videoArea == nullptr) {
        if (widget_ != nullptr) {
            widget_->hide();
            widget_->setParent(nullptr);
        }
        return EngineResult::Ok;
    }
    if (widget_ == nullptr) {
        widget_ = new MpvVideoWidget(core_, videoArea);
        connect(widget_, &MpvVideoWidget::RenderContextChanged, this,
                &MpvEngine::RenderContextChanged);
        connect(widget_, &MpvVideoWidget::NewFrameRendered, this, &MpvEngine::NewFrameDrawn);
    } else if (widget_->parentWidget() != videoArea) {
        widget_->setParent(videoArea);
    }
    HideCursor(cursorHidden_);
    videoArea->installEventFilter(this);
    Place(videoArea->rect());
    widget_->show();
    return EngineResult::Ok;
}

EngineResult MpvEngine::HideCursor(bool hide) {
    cursorHidden_ = hide;
    if (widget_ != nullptr) {
        if (hide) {
            widget_->setCursor(Qt::BlankCursor);
        } else {
            widget_->unsetCursor();
        }
    }
    return EngineResult::Ok;
}

bool MpvEngine::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_ && event->type() == QEvent::Resize && owner_ != nullptr) {
        Place(owner_->rect());
    }
    return QObject::eventFilter(watched, event);
}

void MpvEngine::RenderContextChanged(bool available) {
    if (available) {
        ShowVideoTrack();
    }
}

void MpvEngine::ShowVideoTrack() {
    if (core_ != nullptr && fileOpen_) {
        mpv_get_property_async(core_, Tag(Request::TrackList, loadSerial_), "track-list",
                               MPV_FORMAT_NODE);
    }
}

void MpvEngine::ChooseVideoTrack(const mpv_node& tracks) {
    if (core_ == nullptr || !fileOpen_ || tracks.format != MPV_FORMAT_NODE_ARRAY) {
        return;
    }
    // The track is named by its number: after mpv dropped the video because its renderer went
    // away, the selection "auto" is still set and setting it again would change nothing.
    std::optional<int64_t> firstVideo;
    for (int i = 0; i < tracks.u.list->num; ++i) {
        const mpv_node& track = tracks.u.list->values[i];
        if (track.format != MPV_FORMAT_NODE_MAP) {
            continue;
        }
        bool isVideo = false;
        bool selected = false;
        std::optional<int64_t> id;
        for (int k = 0; k < track.u.list->num; ++k) {
            const char* key = track.u.list->keys[k];
            const mpv_node& value = track.u.list->values[k];
            if (std::strcmp(key, "type") == 0 && value.format == MPV_FORMAT_STRING) {
                isVideo = std::strcmp(value.u.string, "video") == 0;
            } else if (std::strcmp(key, "selected") == 0 && value.format == MPV_FORMAT_FLAG) {
                selected = value.u.flag != 0;
            } else if (std::strcmp(key, "id") == 0 && value.format == MPV_FORMAT_INT64) {
                id = value.u.int64;
            }
        }
        if (isVideo && selected) {
            return;
        }
        if (isVideo && id && !firstVideo) {
            firstVideo = id;
        }
    }
    if (firstVideo) {
        int64_t id = *firstVideo;
        mpv_set_property_async(core_, Tag(Request::Setting), "vid", MPV_FORMAT_INT64, &id);
    }
}
