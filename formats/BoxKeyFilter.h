#pragma once

#include <QObject>

class QLineEdit;

// Filters the keys typed into one of the number boxes of the format panel. A filter looks at the
// typed character and at the box's text before the key takes effect; a discarded key changes
// nothing. Text that arrives without typing (pasted, dropped) is held to the box's form by its
// BoxValidator instead.
class BoxKeyFilter : public QObject {
    Q_OBJECT

public:
    struct Rule {
        int lengthStop;   // at exactly this many characters only Backspace passes
        bool allowZero;   // the digit 0
        bool allowPoint;  // a decimal point
        bool oneFraction; // once the text holds a point, "." and "0" are refused
    };

    static constexpr Rule Bitrate{4, true, false, false};
    static constexpr Rule Channels{1, false, false, false};
    static constexpr Rule FrameRate{9, true, true, true};

    // Installs a filter with the rule on the box; the box owns it.
    static BoxKeyFilter* Install(QLineEdit* box, Rule rule);

    // Whether a key typed as `character` (Backspace is 8, Enter 13) passes, given the text.
    static bool Accepts(const Rule& rule, QChar character, const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BoxKeyFilter(QLineEdit* box, Rule rule);

    QLineEdit* box_;
    Rule rule_;
};
