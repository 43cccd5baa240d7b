#include "preview/MpvVideoWidget.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QtDebug>

#include <mpv/render_gl.h>

namespace {

void* GetProcAddress(void* /*unused*/, const char* name) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (context == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(context->getProcAddress(name));
}

} // namespace

MpvVideoWidget::MpvVideoWidget(mpv_handle* core, QWidget* parent)
    : QOpenGLWidget(parent), core_(core) {
    // Files dropped on the video go to the video area beneath it.
    setAcceptDrops(false);
    // No swaps are reported to mpv: it would then wait (up to 200 ms) after each frame for
    // its swap, which Qt reports only once the window is composed, and playback is timed by
    // the sound anyway.
}

MpvVideoWidget::~MpvVideoWidget() {
    ReleaseRenderContext();
    // QOpenGLWidget destroys its context after this destructor has run; nothing of this class
    // may be called from that context's signals then.
    if (QOpenGLContext* glContext = context()) {
        disconnect(glContext, nullptr, this, nullptr);
    }
}

void MpvVideoWidget::initializeGL() {
    // A new GL context (first show, or the widget moved to another window): the render context
    // of the old one, if any, was released when that context went away.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
            &MpvVideoWidget::ReleaseRenderContext, Qt::DirectConnection);
    if (core_ == nullptr || render_ != nullptr) {
        return;
    }
    mpv_opengl_init_params glInit{&GetProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                     {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context* created = nullptr;
    const int error = mpv_render_context_create(&created, core_, parameters);
    if (error < 0) {
        qWarning("MpvVideoWidget: the video renderer could not start: %s", mpv_error_string(error));
        return;
    }
    render_ = created;
    // Called on one of mpv's threads: only post a repaint to the user-interface thread.
    mpv_render_context_set_update_callback(render_, &MpvVideoWidget::OnRenderUpdate, this);
    emit RenderContextChanged(true);
}

void MpvVideoWidget::paintGL() {
    if (render_ == nullptr) {
        QOpenGLFunctions* gl = context()->functions();
        gl->glClearColor(0.0F, 0.0F, 0.0F, 1.0F);
        gl->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    Render(defaultFramebufferObject());
}

void MpvVideoWidget::ServeRenderRequest() {
    if (render_ == nullptr || !renderRequested_.load()) {
        return;
    }
    // makeCurrent binds the widget's framebuffer; the next paint shows what was drawn.
    makeCurrent();
    Render(defaultFramebufferObject());
    doneCurrent();
    update();
}

void MpvVideoWidget::Render(unsigned int framebuffer) {
    renderRequested_ = false;
    const qreal ratio = devicePixelRatioF();
    mpv_opengl_fbo target{static_cast<int>(framebuffer), qRound(width() * ratio),
                          qRound(height() * ratio), 0};
    int flipY = 1;
    mpv_render_param parameters[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &target},
                                     {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                     {MPV_RENDER_PARAM_INVALID, nullptr}};
    const uint64_t flags = mpv_render_context_update(render_);
    // Whether the frame about to be drawn is a new picture or the old one drawn again.
    mpv_render_frame_info next{};
    const bool known =
        (flags & MPV_RENDER_UPDATE_FRAME) != 0 &&
        mpv_render_context_get_info(render_, {MPV_RENDER_PARAM_NEXT_FRAME_INFO, &next}) >= 0;
    const bool newPicture =
        known && (next.flags & MPV_RENDER_FRAME_INFO_PRESENT) != 0 &&
        (next.flags & (MPV_RENDER_FRAME_INFO_REDRAW | MPV_RENDER_FRAME_INFO_REPEAT)) == 0;
    mpv_render_context_render(render_, parameters);
    if ((flags & MPV_RENDER_UPDATE_FRAME) != 0) {
        ++framesRendered_;
        emit FrameRendered();
        if (newPicture) {
            ++newFramesRendered_;
            emit NewFrameRendered();
        }
    }
}

void MpvVideoWidget::OnRenderUpdate(void* widget) {
    // One posted repaint at a time; it is posted again after the request was served.
    auto* self = static_cast<MpvVideoWidget*>(widget);
    if (!self->renderRequested_.exchange(true)) {
        QMetaObject::invokeMethod(self, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    }
}

void MpvVideoWidget::ReleaseRenderContext() {
    if (render_ == nullptr) {
        return;
    }
    makeCurrent();
    // After this returns no update callback runs any more, and none is running.
    mpv_render_context_set_update_callback(render_, nullptr, nullptr);
    mpv_render_context_free(render_);
    render_ = nullptr;
    doneCurrent();
    emit RenderContextChanged(false);
}
