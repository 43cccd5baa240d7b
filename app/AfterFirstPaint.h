#pragma once

#include <QObject>
#include <functional>

class QWidget;

// Runs a job once, from the event loop, after a widget was painted for the first time: work the
// window can do while the user looks at it, without keeping it from appearing. The watch
// belongs to the widget; a widget that is never painted never runs the job.
class AfterFirstPaint : public QObject {
    Q_OBJECT

public:
    AfterFirstPaint(QWidget* widget, std::function<void()> job);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* widget_;
    std::function<void()> job_;
};
