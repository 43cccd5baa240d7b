#pragma once

#include <QOpenGLWidget>
#include <atomic>

struct mpv_handle;
struct mpv_render_context;

// Draws the video of one mpv core through mpv's OpenGL render API. The render context lives
// exactly as long as the widget's GL context: it is created in initializeGL and released with
// the GL context current when that context goes away (the widget moved to another window) or
// when the widget is destroyed. The core must outlive the widget; MpvEngine, which owns both,
// deletes the widget before it destroys the core.
//
// The widget takes no drops itself (dropped files reach the video area under it) and never
// hides the mouse cursor on its own.
class MpvVideoWidget : public QOpenGLWidget {
    Q_OBJECT

public:
    explicit MpvVideoWidget(mpv_handle* core, QWidget* parent = nullptr);
    ~MpvVideoWidget() override;
    MpvVideoWidget(const MpvVideoWidget&) = delete;
    MpvVideoWidget& operator=(const MpvVideoWidget&) = delete;

    // Whether mpv can draw into this widget now.
    bool HasRenderContext() const { return render_ != nullptr; }
    // Number of video frames drawn (redraws of the picture shown included).
    int FramesRendered() const { return framesRendered_; }
    // Number of new video frames drawn: pictures mpv had not drawn before.
    int NewFramesRendered() const { return newFramesRendered_; }
    // Draws now if mpv asked for a new picture since the last one was drawn. For waits that keep
    // the event loop from running: mpv's video output waits for its frames to be drawn.
    void ServeRenderRequest();

signals:
    // The render context was created (true) or released (false). mpv can only open its video
    // output while a render context exists.
    void RenderContextChanged(bool available);
    // A video frame was drawn (the first one of a file included), and after it NewFrameRendered
    // when the frame was a new picture rather than a redraw.
    void FrameRendered();
    void NewFrameRendered();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    static void OnRenderUpdate(void* widget);
    // Lets mpv draw into the framebuffer, which must be bound in the current context.
    void Render(unsigned int framebuffer);
    void ReleaseRenderContext();

    mpv_handle* core_;
    mpv_render_context* render_ = nullptr;
    int framesRendered_ = 0;
    int newFramesRendered_ = 0;
    // Set on mpv's thread when it has something to draw, cleared when it is drawn.
    std::atomic<bool> renderRequested_{false};
};
