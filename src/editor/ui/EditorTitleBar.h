#pragma once

#include <QWidget>

class QLabel;
class QMenu;

namespace zorv
{

class EditorButton;
class ModeSwitcher;
class SaveButton;

// The band across the top: the file's name and pixel size, the mode switcher
// centred in the window, and the commands on the right ending in Export.
class EditorTitleBar : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int barHeight = 52;
    static constexpr int exportWidth = 96;
    static constexpr int exportHeight = 30;
    static constexpr int rightMargin = 16;

    EditorTitleBar(QMenu *exportMenu, QWidget *parent = nullptr);

    void setDocument(const QString &fileName, QSize pixels);

    ModeSwitcher *switcher() const { return m_switcher; }
    EditorButton *extractTextButton() const { return m_extractText; }
    EditorButton *pinButton() const { return m_pin; }
    EditorButton *copyButton() const { return m_copy; }
    SaveButton *saveButton() const { return m_save; }
    EditorButton *exportButton() const { return m_export; }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

  private:
    void layoutChildren();
    void openExportMenu();

    QString m_fileName;
    QLabel *m_name;
    QLabel *m_size;
    ModeSwitcher *m_switcher;
    EditorButton *m_extractText;
    EditorButton *m_pin;
    EditorButton *m_copy;
    SaveButton *m_save;
    EditorButton *m_export;
    QMenu *m_exportMenu;
};

} // namespace zorv
