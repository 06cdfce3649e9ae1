#include "settings/ShortcutRecorder.h"

#include "theme/Theme.h"

#include <QApplication>
#include <QKeyEvent>
#include <linux/input-event-codes.h>

namespace zorv
{

namespace
{
constexpr quint32 xKeycodeOffset = 8; // X key codes are evdev codes + 8

bool isModifierKey(int key)
{
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_unknown:
        return true;
    default:
        return false;
    }
}
} // namespace

RecordedKey translateKeyPress(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode)
{
    if (qtKey == Qt::Key_Escape)
        return {RecordedKey::Outcome::cancel, {}};
    if (isModifierKey(qtKey))
        return {RecordedKey::Outcome::ignored, {}};
    if (nativeScanCode < xKeycodeOffset)
        return {RecordedKey::Outcome::unknownKey, {}};
    const quint32 evdev = nativeScanCode - xKeycodeOffset;
    const auto code = KeyCombo::keyCodeForEvdev(evdev);
    if (!code)
        return {RecordedKey::Outcome::unknownKey, {}};
    KeyCombo combo{*code, 0};
    if (modifiers & Qt::ControlModifier)
        combo.modifiers |= KeyCombo::control;
    if (modifiers & Qt::AltModifier)
        combo.modifiers |= KeyCombo::option;
    if (modifiers & Qt::ShiftModifier)
        combo.modifiers |= KeyCombo::shift;
    if (modifiers & Qt::MetaModifier)
        combo.modifiers |= KeyCombo::command;
    // Print on its own is what Linux users expect of a screenshot tool.
    const bool printKey = evdev == KEY_SYSRQ;
    if (!printKey &&
        !(combo.modifiers & (KeyCombo::control | KeyCombo::option | KeyCombo::command)))
        return {RecordedKey::Outcome::needsModifier, combo};
    return {RecordedKey::Outcome::combo, combo};
}

ShortcutRecorder::ShortcutRecorder(QWidget *parent) : QPushButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setMinimumWidth(150);
    connect(this, &QPushButton::clicked, this, [this] {
        if (!m_recording)
            startRecording();
    });
    refreshText();
}

ShortcutRecorder::~ShortcutRecorder()
{
    if (m_recording)
        Q_EMIT recordingChanged(false);
}

void ShortcutRecorder::setCombo(std::optional<KeyCombo> combo)
{
    m_combo = combo;
    refreshText();
}

void ShortcutRecorder::startRecording()
{
    if (m_recording)
        return;
    setFocus(Qt::OtherFocusReason);
    m_recording = true;
    refreshText();
    Q_EMIT recordingChanged(true);
}

void ShortcutRecorder::stopRecording()
{
    if (!m_recording)
        return;
    m_recording = false;
    refreshText();
    Q_EMIT recordingChanged(false);
}

bool ShortcutRecorder::event(QEvent *event)
{
    // While recording every key belongs to the field: Tab and the window's own
    // shortcuts included.
    if (m_recording && event->type() == QEvent::ShortcutOverride) {
        event->accept();
        return true;
    }
    if (m_recording && event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QPushButton::event(event);
}

void ShortcutRecorder::keyPressEvent(QKeyEvent *event)
{
    if (!m_recording) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    const RecordedKey key =
        translateKeyPress(event->key(), event->modifiers(), event->nativeScanCode());
    switch (key.outcome) {
    case RecordedKey::Outcome::ignored:
        return;
    case RecordedKey::Outcome::needsModifier:
    case RecordedKey::Outcome::unknownKey:
        QApplication::beep();
        return;
    // The owner hears the outcome while Zorv's shortcuts are still released,
    // so it can try the combination against other programs first.
    case RecordedKey::Outcome::cancel:
        m_recording = false;
        refreshText();
        Q_EMIT cancelled();
        Q_EMIT recordingChanged(false);
        return;
    case RecordedKey::Outcome::combo:
        m_recording = false;
        refreshText();
        Q_EMIT recorded(key.combo);
        Q_EMIT recordingChanged(false);
        return;
    }
}

void ShortcutRecorder::focusOutEvent(QFocusEvent *event)
{
    stopRecording();
    QPushButton::focusOutEvent(event);
}

void ShortcutRecorder::refreshText()
{
    // While recording the field takes a tint of the accent colour, so it is
    // plain that the next keys go to it.
    QPalette tinted = QApplication::palette(this);
    if (m_recording) {
        tinted.setColor(QPalette::Button, Theme::mix(tinted.color(QPalette::Button),
                                                     tinted.color(QPalette::Highlight), 0.25));
    }
    setPalette(tinted);
    if (m_recording)
        setText(QStringLiteral("Press shortcut…"));
    else if (m_combo)
        setText(m_combo->displayString());
    else
        setText(QStringLiteral("Click to record"));
}

} // namespace zorv
