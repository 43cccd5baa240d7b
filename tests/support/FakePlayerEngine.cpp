#include "tests/support/FakePlayerEngine.h"

#include <QWidget>

#include <cmath>

namespace TestSupport {

namespace {

QString Number(double value) {
    return QString::number(value);
}

QString Truth(bool value) {
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void FakePlayerEngine::Script(Operation operation, const QList<EngineResult>& results) {
    scripts_[operation] += results;
}

void FakePlayerEngine::SetDefaultResult(Operation operation, EngineResult result) {
    defaults_[operation] = result;
}

int FakePlayerEngine::CallCount(Operation operation) const {
    return static_cast<int>(operations_.count(operation));
}

EngineResult FakePlayerEngine::Answer(Operation operation, const QString& text) {
    calls.append(text);
    operations_.append(operation);
    QList<EngineResult>& script = scripts_[operation];
    if (!script.isEmpty()) {
        return script.takeFirst();
    }
    return defaults_.value(operation, EngineResult::Ok);
}

EngineResult FakePlayerEngine::Done(Operation operation, EngineResult result) {
    if (onCall) {
        onCall(operation);
    }
    return result;
}

EngineResult FakePlayerEngine::RenderFile(const QString& path) {
    const EngineResult result =
        Answer(Operation::RenderFile, QStringLiteral("RenderFile(%1)").arg(path));
    if (result == EngineResult::Ok) {
        file = path;
        seekPicture_.reset();
        duration = renderedDuration;
        position = 0.0;
        playing = false;
    }
    return Done(Operation::RenderFile, result);
}

EngineResult FakePlayerEngine::Run() {
    const EngineResult result = Answer(Operation::Run, QStringLiteral("Run()"));
    if (result == EngineResult::Ok) {
        playing = true;
    }
    return Done(Operation::Run, result);
}

EngineResult FakePlayerEngine::Pause() {
    const EngineResult result = Answer(Operation::Pause, QStringLiteral("Pause()"));
    if (result == EngineResult::Ok) {
        playing = false;
    }
    return Done(Operation::Pause, result);
}

EngineResult FakePlayerEngine::Stop() {
    const EngineResult result = Answer(Operation::Stop, QStringLiteral("Stop()"));
    if (result == EngineResult::Ok) {
        playing = false;
    }
    return Done(Operation::Stop, result);
}

EngineResult FakePlayerEngine::PutVolume(long value) {
    const EngineResult result =
        Answer(Operation::PutVolume, QStringLiteral("PutVolume(%1)").arg(value));
    if (result == EngineResult::Ok) {
        volume = value;
    }
    return Done(Operation::PutVolume, result);
}

EngineResult FakePlayerEngine::PutBalance(long value) {
    const EngineResult result =
        Answer(Operation::PutBalance, QStringLiteral("PutBalance(%1)").arg(value));
    if (result == EngineResult::Ok) {
        balance = value;
    }
    return Done(Operation::PutBalance, result);
}

EngineResult FakePlayerEngine::PutRate(double value) {
    const EngineResult result =
        Answer(Operation::PutRate, QStringLiteral("PutRate(%1)").arg(Number(value)));
    if (result == EngineResult::Ok) {
        rate = value;
    }
    return Done(Operation::PutRate, result);
}

EngineResult FakePlayerEngine::GetDuration(double& seconds) {
    const EngineResult result = Answer(Operation::GetDuration, QStringLiteral("GetDuration()"));
    if (result == EngineResult::Ok) {
        seconds = duration;
    }
    return Done(Operation::GetDuration, result);
}

EngineResult FakePlayerEngine::GetCurrentPosition(double& seconds) {
    const EngineResult result =
        Answer(Operation::GetCurrentPosition, QStringLiteral("GetCurrentPosition()"));
    if (result == EngineResult::Ok) {
        seconds = position;
    }
    return Done(Operation::GetCurrentPosition, result);
}

EngineResult FakePlayerEngine::PutCurrentPosition(double seconds) {
    const EngineResult result =
        Answer(Operation::PutCurrentPosition,
               QStringLiteral("PutCurrentPosition(%1)").arg(Number(seconds)));
    if (result == EngineResult::Ok) {
        position = seconds;
        seekPicture_ = seconds;
    }
    return Done(Operation::PutCurrentPosition, result);
}

EngineResult FakePlayerEngine::PutKeyFramePosition(double seconds) {
    const EngineResult result =
        Answer(Operation::PutKeyFramePosition,
               QStringLiteral("PutKeyFramePosition(%1)").arg(Number(seconds)));
    if (result == EngineResult::Ok) {
        position = seconds;
        seekPicture_ = keyFrameInterval > 0
                           ? std::floor(seconds / keyFrameInterval) * keyFrameInterval
                           : seconds;
    }
    return Done(Operation::PutKeyFramePosition, result);
}

void FakePlayerEngine::SetSeekShownHandler(SeekShownHandler handler) {
    seekShown = std::move(handler);
}

bool FakePlayerEngine::ShowSeekPicture() {
    if (!seekPicture_) {
        return false;
    }
    // The seek is over: the position is the picture's, unless the handler seeks again.
    const double picture = *seekPicture_;
    seekPicture_.reset();
    position = picture;
    if (seekShown) {
        seekShown(picture);
    }
    return true;
}

EngineResult FakePlayerEngine::PutTop(int pixels) {
    const EngineResult result = Answer(Operation::PutTop, QStringLiteral("PutTop(%1)").arg(pixels));
    if (result == EngineResult::Ok) {
        top = pixels;
    }
    return Done(Operation::PutTop, result);
}

EngineResult FakePlayerEngine::PutLeft(int pixels) {
    const EngineResult result =
        Answer(Operation::PutLeft, QStringLiteral("PutLeft(%1)").arg(pixels));
    if (result == EngineResult::Ok) {
        left = pixels;
    }
    return Done(Operation::PutLeft, result);
}

EngineResult FakePlayerEngine::PutWidth(int pixels) {
    const EngineResult result =
        Answer(Operation::PutWidth, QStringLiteral("PutWidth(%1)").arg(pixels));
    if (result == EngineResult::Ok) {
        width = pixels;
    }
    return Done(Operation::PutWidth, result);
}

EngineResult FakePlayerEngine::PutHeight(int pixels) {
    const EngineResult result =
        Answer(Operation::PutHeight, QStringLiteral("PutHeight(%1)").arg(pixels));
    if (result == EngineResult::Ok) {
        height = pixels;
    }
    return Done(Operation::PutHeight, result);
}

EngineResult FakePlayerEngine::PutWindowStyle(long style) {
    const EngineResult result = Answer(
        Operation::PutWindowStyle, QStringLiteral("PutWindowStyle(0x%1)")
                                       .arg(static_cast<qulonglong>(style), 8, 16, QChar(u'0')));
    if (result == EngineResult::Ok) {
        windowStyle = style;
    }
    return Done(Operation::PutWindowStyle, result);
}

EngineResult FakePlayerEngine::PutOwner(QWidget* videoArea) {
    const QString name = videoArea == nullptr ? QStringLiteral("null") : videoArea->objectName();
    const EngineResult result =
        Answer(Operation::PutOwner, QStringLiteral("PutOwner(%1)").arg(name));
    if (result == EngineResult::Ok) {
        owner = videoArea;
    }
    return Done(Operation::PutOwner, result);
}

EngineResult FakePlayerEngine::HideCursor(bool hide) {
    const EngineResult result =
        Answer(Operation::HideCursor, QStringLiteral("HideCursor(%1)").arg(Truth(hide)));
    if (result == EngineResult::Ok) {
        cursorHidden = hide;
    }
    return Done(Operation::HideCursor, result);
}

} // namespace TestSupport
