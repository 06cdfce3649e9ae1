#pragma once

#include "output/ocr/OCRResult.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace zorv
{

// The recognised text of one capture: a summary beside its thumbnail, the text
// to select from, and a button copying all of it.
class OCRWindow : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int copyFlashMs = 1200;

    OCRWindow(OCRResult result, const QImage &image, QWidget *parent = nullptr);

    const OCRResult &result() const { return m_result; }
    bool copyFlash() const { return m_copyFlash; }
    QPushButton *copyButton() const { return m_copy; }
    QPlainTextEdit *textView() const { return m_text; }
    QLabel *summary() const { return m_summary; }

    // Puts the whole text on the clipboard; the button says "Copied" for a moment.
    void copyAll();

  private:
    void setCopyFlash(bool on);

    OCRResult m_result;
    QLabel *m_summary;
    QPushButton *m_copy;
    QPlainTextEdit *m_text;
    bool m_copyFlash = false;
};

// At most one result window: presenting another closes the one shown.
class OCRWindowController
{
  public:
    static OCRWindow *present(const OCRResult &result, const QImage &image);
    // The window shown, if any.
    static OCRWindow *current();

  private:
    static QPointer<OCRWindow> s_current;
};

} // namespace zorv
