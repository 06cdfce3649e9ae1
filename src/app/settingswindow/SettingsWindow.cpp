#include "app/settingswindow/SettingsWindow.h"

#include "app/FocusRing.h"
#include "app/MemoryTuning.h"
#include "app/settingswindow/SettingsBinder.h"
#include "common/Trace.h"
#include "settings/AppSettings.h"
#include "theme/Symbols.h"
#include "theme/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QListWidget>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>

namespace zorv
{

namespace settingsTab
{
QString label(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("General");
    case SettingsTab::shortcuts:
        return QStringLiteral("Shortcuts");
    case SettingsTab::recording:
        return QStringLiteral("Recording");
    case SettingsTab::upload:
        return QStringLiteral("Upload");
    case SettingsTab::about:
        return QStringLiteral("About");
    }
    return {};
}
QString symbol(SettingsTab tab)
{
    switch (tab) {
    case SettingsTab::general:
        return QStringLiteral("gearshape");
    case SettingsTab::shortcuts:
        return QStringLiteral("keyboard");
    case SettingsTab::recording:
        return QStringLiteral("record.circle");
    case SettingsTab::upload:
        return QStringLiteral("arrow.up.circle");
    case SettingsTab::about:
        return QStringLiteral("info.circle");
    }
    return {};
}
} // namespace settingsTab

QWidget *settingsPages::build(SettingsTab tab, const SettingsServices &services)
{
    switch (tab) {
    case SettingsTab::general:
        return general(services);
    case SettingsTab::shortcuts:
        return shortcuts(services);
    case SettingsTab::recording:
        return recording(services);
    case SettingsTab::upload:
        return upload(services);
    case SettingsTab::about:
        return about(services);
    }
    return nullptr;
}

namespace
{
constexpr int tabCount = 5;
} // namespace

SettingsWindow::SettingsWindow(SettingsServices services, QWidget *parent)
    : QWidget(parent, Qt::Window), m_services(std::move(services)),
      m_binder(new SettingsBinder(*m_services.settings, this)), m_sidebar(new QListWidget),
      m_pages(new QStackedWidget), m_built(tabCount, nullptr)
{
    setWindowTitle(QStringLiteral("Zorv Settings"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(700, 690);
    auto *layout = new QHBoxLayout(this);
    m_sidebar->setAccessibleName(QStringLiteral("Settings pages"));
    m_sidebar->setFixedWidth(150);
    m_sidebar->setSpacing(3);
    m_sidebar->setIconSize(QSize(18, 18));
    const QColor ink = palette().color(QPalette::WindowText);
    for (int i = 0; i < tabCount; ++i)
        m_sidebar->addItem(
            new QListWidgetItem(Symbols::icon(settingsTab::symbol(SettingsTab(i)), ink),
                                settingsTab::label(SettingsTab(i))));
    layout->addWidget(m_sidebar);
    for (int i = 0; i < tabCount; ++i) {
        auto *scroll = new QScrollArea;
        scroll->setWidgetResizable(true);
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        scroll->setFocusPolicy(Qt::NoFocus); // Tab goes from the sidebar to the first control
        m_pages->addWidget(scroll);
    }
    layout->addWidget(m_pages, 1);
    new FocusRing(this);
    auto *close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    connect(m_sidebar, &QListWidget::currentRowChanged, this,
            [this](int row) { select(SettingsTab(row)); });
}

SettingsWindow::~SettingsWindow() = default;

QWidget *SettingsWindow::page(SettingsTab tab)
{
    const int index = int(tab);
    if (!m_built[index]) {
        QWidget *built = settingsPages::build(tab, m_services);
        m_binder->bindChildren(built);
        static_cast<QScrollArea *>(m_pages->widget(index))->setWidget(built);
        m_built[index] = built;
    }
    return m_built[index];
}

void SettingsWindow::select(SettingsTab tab)
{
    page(tab);
    m_pages->setCurrentIndex(int(tab));
    if (m_sidebar->currentRow() != int(tab))
        m_sidebar->setCurrentRow(int(tab));
}

SettingsTab SettingsWindow::selected() const
{
    return SettingsTab(m_pages->currentIndex());
}

// Another instance or a text editor may change the settings file while the
// window is open. The store is read again when it does, and the controls
// follow through the settings' change signal. QSettings writes by replacing the
// file, so the folder is watched too, and the file is added again after each
// replacement.
class SettingsWindowController::StoreWatcher : public QFileSystemWatcher
{
  public:
    StoreWatcher(AppSettings &settings, QObject *parent)
        : QFileSystemWatcher(parent), m_settings(settings)
    {
        const QString path = settings.storePath();
        addPath(QFileInfo(path).absolutePath());
        if (QFileInfo::exists(path))
            addPath(path);
        const auto reread = [this] {
            // Several notices arrive for one replacement; read once they settle.
            m_delay.start();
        };
        connect(this, &QFileSystemWatcher::fileChanged, this, reread);
        connect(this, &QFileSystemWatcher::directoryChanged, this, reread);
        m_delay.setSingleShot(true);
        m_delay.setInterval(50);
        connect(&m_delay, &QTimer::timeout, this, [this] {
            const QString file = m_settings.storePath();
            if (QFileInfo::exists(file) && !files().contains(file))
                addPath(file);
            m_settings.reloadFromStore();
        });
    }

  private:
    AppSettings &m_settings;
    QTimer m_delay;
};

SettingsWindowController::SettingsWindowController(SettingsServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services))
{
}

SettingsWindowController::~SettingsWindowController()
{
    closeNow();
}

void SettingsWindowController::closeNow()
{
    delete m_window;
}

void SettingsWindowController::open(SettingsTab tab)
{
    if (!m_window) {
        // Built at each opening and deleted at closing: nothing of it stays in
        // memory while Zorv idles in the tray.
        m_window = new SettingsWindow(m_services);
        // Its pages are freed once it closes; the heap gives that memory back.
        connect(m_window, &QObject::destroyed, this,
                [] { QTimer::singleShot(0, &memoryTuning::releaseFreeMemory); });
        new StoreWatcher(*m_services.settings, m_window);
        m_window->select(tab);
        centreOnPrimaryScreen(m_window);
        m_window->show();
        Trace::mark("settings-window-shown");
    } else {
        m_window->select(tab);
        m_window->showNormal();
    }
    m_window->raise();
    m_window->activateWindow();
}

} // namespace zorv
