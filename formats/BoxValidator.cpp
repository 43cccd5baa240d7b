#include "formats/BoxValidator.h"

BoxValidator::BoxValidator(BoxKeyFilter::Rule rule, QObject* parent)
    : QValidator(parent), rule_(rule) {}

QValidator::State BoxValidator::validate(QString& input, int& pos) const {
    Q_UNUSED(pos);
    return Check(rule_, input);
}

QValidator::State BoxValidator::Check(const BoxKeyFilter::Rule& rule, const QString& text) {
    if (text.size() > rule.lengthStop) {
        return Invalid;
    }
    bool digit = false;
    bool point = false;
    for (const QChar character : text) {
        const char16_t code = character.unicode();
        if (code >= u'1' && code <= u'9') {
            digit = true;
        } else if (code == u'0' && rule.allowZero) {
            digit = true;
        } else if (code == u'.' && rule.allowPoint && !point) {
            point = true;
        } else {
            return Invalid;
        }
    }
    return digit ? Acceptable : Intermediate;
}

bool BoxValidator::Allows(const BoxKeyFilter::Rule& rule, const QString& text) {
    return Check(rule, text) == QValidator::Acceptable;
}
