#include "app/KeyboardShortcuts.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QShortcut>
#include <QWidget>
#include <utility>

KeyboardShortcuts::KeyboardShortcuts(QWidget* window, QWidget* mainView, QObject* parent)
    : QObject(parent), window_(window), mainView_(mainView) {
    window_->installEventFilter(this);
}

QString KeyboardShortcuts::ToolTip(const QString& text, const QKeySequence& keys) {
    return QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText));
}

QShortcut* KeyboardShortcuts::Add(QWidget* parent, const QKeySequence& keys,
                                  std::function<void()> action, bool autoRepeat) {
    auto* shortcut = new QShortcut(keys, parent);
    shortcut->setContext(Qt::WindowShortcut);
    shortcut->setAutoRepeat(autoRepeat);
    connect(shortcut, &QShortcut::activated, this, std::move(action));
    shortcuts_.append(shortcut);
    return shortcut;
}

void KeyboardShortcuts::AddButton(const QKeySequence& keys, QWidget* button, const QString& toolTip,
                                  bool autoRepeat) {
    Add(
        mainView_, keys,
        [button] {
            if (auto* clickable = qobject_cast<QAbstractButton*>(button);
                clickable != nullptr && clickable->isEnabled() && clickable->isVisible()) {
                clickable->click();
            }
        },
        autoRepeat);
    button->setToolTip(ToolTip(toolTip, keys));
}

void KeyboardShortcuts::AddAction(const QKeySequence& keys, std::function<void()> action,
                                  bool autoRepeat) {
    Add(mainView_, keys, std::move(action), autoRepeat);
}

void KeyboardShortcuts::AddWindowAction(const QKeySequence& keys, std::function<void()> action) {
    Add(window_, keys, std::move(action), false);
}

bool KeyboardShortcuts::eventFilter(QObject* watched, QEvent* event) {
    // Before a shortcut is taken, the control with the focus may claim its key: a key it
    // does not claim comes up to the window as an override that nobody accepted.
    if (watched != window_ || event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    auto* key = static_cast<QKeyEvent*>(event);
    QWidget* focus = QApplication::focusWidget();
    if (focus == nullptr || key->modifiers() != Qt::NoModifier) {
        return false;
    }
    const int code = key->key();
    const bool arrow =
        code == Qt::Key_Left || code == Qt::Key_Right || code == Qt::Key_Up || code == Qt::Key_Down;
    bool claimed = false;
    if (code == Qt::Key_Space || code == Qt::Key_Select) {
        // Space presses the focused button, ticks the box, chooses the option.
        claimed = qobject_cast<QAbstractButton*>(focus) != nullptr ||
                  qobject_cast<QComboBox*>(focus) != nullptr;
    } else if (arrow || code == Qt::Key_PageUp || code == Qt::Key_PageDown ||
               code == Qt::Key_Home || code == Qt::Key_End) {
        // Options move among themselves with the arrows; lists and number boxes step.
        claimed = (arrow && qobject_cast<QRadioButton*>(focus) != nullptr) ||
                  qobject_cast<QComboBox*>(focus) != nullptr ||
                  qobject_cast<QAbstractSpinBox*>(focus) != nullptr;
    }
    if (claimed) {
        event->accept();
        return true;
    }
    return false;
}
