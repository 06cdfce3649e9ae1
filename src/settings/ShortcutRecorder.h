#pragma once

#include "common/KeyCombo.h"

#include <QPushButton>
#include <optional>

namespace zorv
{

// What one key press means to a recorder.
struct RecordedKey {
    enum class Outcome {
        ignored,       // a modifier on its own: keep listening
        cancel,        // Escape
        needsModifier, // Shift alone is not enough (Print excepted)
        unknownKey,    // a key no shortcut can name
        combo,
    };
    Outcome outcome = Outcome::ignored;
    KeyCombo combo;
};

// Translates a key press inside Zorv's window into a shortcut. The physical key
// comes from the X key code (evdev code + 8), so the combination does not depend
// on the keyboard layout, exactly like the global grab that will use it.
RecordedKey translateKeyPress(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode);

// A field that records the next key combination once clicked (or activated
// with Space). It does not change its own combination: the owner decides
// whether to accept what was recorded and passes the new value back in.
class ShortcutRecorder : public QPushButton
{
    Q_OBJECT
  public:
    explicit ShortcutRecorder(QWidget *parent = nullptr);
    // A field closed while recording gives the shortcuts back.
    ~ShortcutRecorder() override;

    void setCombo(std::optional<KeyCombo> combo);
    std::optional<KeyCombo> combo() const { return m_combo; }
    bool isRecording() const { return m_recording; }
    void startRecording();

  Q_SIGNALS:
    void recorded(const KeyCombo &combo);
    void cancelled();
    // Zorv's own global shortcuts are suspended while this is true, so the
    // pressed combination reaches the field instead of starting a capture.
    void recordingChanged(bool recording);

  protected:
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

  private:
    void stopRecording();
    void refreshText();

    std::optional<KeyCombo> m_combo;
    bool m_recording = false;
};

} // namespace zorv
