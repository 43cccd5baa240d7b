#pragma once

#include "formats/BoxKeyFilter.h"

#include <QValidator>

// Keeps the text of a number box of the format panel in the form its key filter allows, however
// the text arrives: typed, pasted by shortcut or from the context menu, dropped. Text that
// breaks the form is refused as a whole and the box keeps what it had. (Text set from code is
// not refused by Qt; callers check it with Allows.)
//
// The form of a rule: only the digits 1 to 9, "0" when the rule allows it, at most one "." when
// the rule allows it, and no more characters than the rule's length stop. Acceptable when it
// holds at least one digit; the empty text and a lone "." are on the way there.
class BoxValidator : public QValidator {
    Q_OBJECT

public:
    BoxValidator(BoxKeyFilter::Rule rule, QObject* parent);

    State validate(QString& input, int& pos) const override;

    static State Check(const BoxKeyFilter::Rule& rule, const QString& text);
    // Whether the text is a complete value of a box with that rule.
    static bool Allows(const BoxKeyFilter::Rule& rule, const QString& text);

private:
    BoxKeyFilter::Rule rule_;
};
