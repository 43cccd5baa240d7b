#include "app/TaskProgressEstimate.h"

#include "engine/Rounding.h"

#include <QChar>
#include <cmath>

void TaskProgressEstimate::Start(double lengthSeconds, double startSeconds) {
    length_ = lengthSeconds;
    start_ = startSeconds;
}

std::optional<TaskProgressEstimate::Estimate> TaskProgressEstimate::Update(int percent,
                                                                           double nowSeconds) {
    const double spent = nowSeconds - start_;
    if (percent < MinimumPercent || percent > 100 || !(spent >= MinimumSeconds) ||
        !std::isfinite(spent)) {
        return std::nullopt;
    }
    const double done = percent / 100.0;
    Estimate estimate;
    estimate.secondsLeft = spent * (1.0 - done) / done;
    estimate.speed = length_ > 0.0 ? length_ * done / spent : 0.0;
    return estimate;
}

QString TaskProgressEstimate::TimeLeftText(double secondsLeft) {
    const qint64 total = std::isfinite(secondsLeft) && secondsLeft > 0.0
                             ? static_cast<qint64>(RoundHalfEven(std::min(secondsLeft, 359999.0)))
                             : 0;
    const qint64 hours = total / 3600;
    const qint64 minutes = total / 60 % 60;
    const qint64 seconds = total % 60;
    if (hours > 0) {
        return QStringLiteral("%1:%2:%3")
            .arg(hours)
            .arg(minutes, 2, 10, QLatin1Char('0'))
            .arg(seconds, 2, 10, QLatin1Char('0'));
    }
    return QStringLiteral("%1:%2").arg(minutes).arg(seconds, 2, 10, QLatin1Char('0'));
}

QString TaskProgressEstimate::SpeedText(double speed) {
    if (!std::isfinite(speed) || speed < 0.0) {
        speed = 0.0;
    }
    const QString number = speed >= 10.0 ? QString::number(RoundHalfEven(speed), 'f', 0)
                                         : QString::number(speed, 'f', 1);
    return number + QChar(0x00D7);
}

QString TaskProgressEstimate::Text(const Estimate& estimate) {
    QString text = TimeLeftText(estimate.secondsLeft) + QStringLiteral(" left");
    if (estimate.speed > 0.0) {
        text += QStringLiteral(" \u00B7 ") + SpeedText(estimate.speed);
    }
    return text;
}
