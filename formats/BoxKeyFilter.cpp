#include "formats/BoxKeyFilter.h"

#include <QKeyEvent>
#include <QLineEdit>

BoxKeyFilter::BoxKeyFilter(QLineEdit* box, Rule rule) : QObject(box), box_(box), rule_(rule) {}

BoxKeyFilter* BoxKeyFilter::Install(QLineEdit* box, Rule rule) {
    auto* filter = new BoxKeyFilter(box, rule);
    box->installEventFilter(filter);
    return filter;
}

bool BoxKeyFilter::Accepts(const Rule& rule, QChar character, const QString& text) {
    const char16_t code = character.unicode();
    if (code == 8) {
        return true;
    }
    if (text.size() == rule.lengthStop) {
        return false;
    }
    if (code == 13) {
        return true;
    }
    if (rule.oneFraction && text.contains(QLatin1Char('.')) && (code == u'.' || code == u'0')) {
        return false;
    }
    if (code >= u'1' && code <= u'9') {
        return true;
    }
    if (code == u'0') {
        return rule.allowZero;
    }
    if (code == u'.') {
        return rule.allowPoint;
    }
    return false;
}

bool BoxKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (watched != box_ || event->type() != QEvent::KeyPress) {
        return false;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    QChar character;
    switch (key->key()) {
    case Qt::Key_Backspace:
        character = QChar(8);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        character = QChar(13);
        break;
    default:
        if ((key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) != 0) {
            // Shortcuts such as paste or cut would type a control character: refused.
            return !key->text().isEmpty() || (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z);
        }
        if (key->text().isEmpty() || key->text().at(0).unicode() < 0x20 ||
            key->text().at(0).unicode() == 0x7f) {
            return false; // caret movement, Tab, Delete and the like type no character
        }
        character = key->text().at(0);
        break;
    }
    return !Accepts(rule_, character, box_->text());
}
