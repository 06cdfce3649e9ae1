#include "app/settingswindow/SettingsBinder.h"
#include "app/settingswindow/SettingsLayout.h"
#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"
#include "output/OutputService.h"
#include "settings/AppSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

namespace zorv::settingsPages
{

using namespace settingsLayout;

namespace
{

// A slider with its value shown beside it. The label reads the option, since
// the binder moves the slider without signals when the value comes from the store.
QWidget *labelledSlider(AppSettings &settings, const OptionBase &option,
                        const std::function<QString(double)> &text)
{
    auto *box = new QWidget;
    auto *layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setObjectName(option.key());
    slider->setMinimumWidth(180);
    auto *value = new QLabel;
    value->setMinimumWidth(40);
    layout->addWidget(slider);
    layout->addWidget(value);
    const OptionBase *source = &option;
    const auto show = [value, text, source] {
        const int position = SettingsBinder::sliderPosition(*source);
        value->setText(text(SettingsBinder::sliderValue(*source, position)));
    };
    show();
    QObject::connect(slider, &QSlider::valueChanged, value, [value, text, source](int position) {
        value->setText(text(SettingsBinder::sliderValue(*source, position)));
    });
    QObject::connect(&settings, &AppSettings::changed, value, show);
    box->setFocusProxy(slider);
    return box;
}
} // namespace

QString secondsLabel(double seconds)
{
    return QStringLiteral("%1s").arg(int(std::lround(seconds)));
}

QString percentLabel(double fraction)
{
    // Rounded down, with a tolerance so 0.9 stored as 0.8999… still reads 90%.
    return QStringLiteral("%1%").arg(int(std::floor(fraction * 100 + 1e-6)));
}

QWidget *general(const SettingsServices &services)
{
    AppSettings &settings = *services.settings;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("General"),
                    QStringLiteral("Where captures go and what happens after you take them."));

    QBoxLayout *files = addGroup(layout);
    auto *location = new QWidget;
    auto *locationLayout = new QHBoxLayout(location);
    locationLayout->setContentsMargins(0, 0, 0, 0);
    auto *path = new QLineEdit;
    path->setObjectName(settings.saveDirectoryPath.key());
    path->setReadOnly(true);
    path->setMinimumWidth(160);
    path->setAccessibleName(QStringLiteral("Save Location"));
    auto *choose = new QPushButton(QStringLiteral("Choose…"));
    auto *reveal = new QPushButton(QStringLiteral("Reveal"));
    choose->setAccessibleName(QStringLiteral("Choose save location"));
    reveal->setAccessibleName(QStringLiteral("Reveal save location"));
    locationLayout->addWidget(path);
    locationLayout->addWidget(choose);
    locationLayout->addWidget(reveal);
    addRow(files, QStringLiteral("Save Location"), location);
    path->setAccessibleName(QStringLiteral("Save Location"));
    QObject::connect(choose, &QPushButton::clicked, page, [page, &settings] {
        auto *dialog = new QFileDialog(page->window(), QStringLiteral("Choose"),
                                       OutputService::expandTilde(settings.saveDirectoryPath()));
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly);
        dialog->setLabelText(QFileDialog::Accept, QStringLiteral("Choose"));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::fileSelected, page, [&settings](const QString &f) {
            if (!f.isEmpty())
                settings.saveDirectoryPath.set(f);
        });
        dialog->open();
    });
    const auto revealFolder = services.revealFolder;
    QObject::connect(reveal, &QPushButton::clicked, page, [&settings, revealFolder] {
        const QString folder = OutputService::expandTilde(settings.saveDirectoryPath());
        // A missing folder is not created just to be shown.
        if (revealFolder && QDir(folder).exists())
            revealFolder(folder);
    });
    reveal->setEnabled(bool(services.revealFolder));

    auto *nameTemplate = new QLineEdit;
    nameTemplate->setObjectName(settings.nameTemplate.key());
    nameTemplate->setPlaceholderText(QStringLiteral("Zorv {date} at {time}"));
    nameTemplate->setMinimumWidth(260);
    addRow(files, QStringLiteral("File Name Template"), nameTemplate,
           QStringLiteral("Use {date}, {time} and {timestamp}."));

    QBoxLayout *after = addGroup(layout, QStringLiteral("After Capture"));
    addRow(after, QStringLiteral("Copy to clipboard"), switchFor(settings.copyToClipboard));
    addRow(after, QStringLiteral("Play capture sound"), switchFor(settings.playSound));
    addRow(after, QStringLiteral("Save screenshots to disk automatically"),
           switchFor(settings.saveScreenshotsAutomatically));
    addRow(after, QStringLiteral("Open editor immediately"),
           switchFor(settings.openEditorAfterCapture));
    auto *divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    after->addWidget(divider);
    addRow(after, QStringLiteral("Show quick access overlay"), switchFor(settings.showQuickAccess));
    QWidget *timeout = addRow(after, QStringLiteral("Overlay timeout"),
                              labelledSlider(settings, settings.quickAccessSeconds,
                                             [](double seconds) { return secondsLabel(seconds); }));
    auto *corner = new QComboBox;
    corner->setObjectName(settings.quickAccessCorner.key());
    for (QuickAccessCorner c : quickAccessCorner::all())
        corner->addItem(quickAccessCorner::label(c), quickAccessCorner::rawValue(c));
    QWidget *cornerRow = addRow(after, QStringLiteral("Overlay corner"), corner);

    QBoxLayout *image = addGroup(layout, QStringLiteral("Image"));
    auto *format = new QComboBox;
    format->setObjectName(settings.imageFormat.key());
    const QStringList formatLabels{QStringLiteral("PNG"), QStringLiteral("JPEG"),
                                   QStringLiteral("HEIC")};
    for (ImageFormat f : imageFormat::all())
        format->addItem(formatLabels.value(int(f)), imageFormat::rawValue(f));
    addRow(image, QStringLiteral("Format"), format);
    QWidget *quality = addRow(image, QStringLiteral("Quality"),
                              labelledSlider(settings, settings.jpegQuality,
                                             [](double quality) { return percentLabel(quality); }));
    auto *limit = new QSpinBox;
    limit->setObjectName(settings.historyLimit.key());
    addRow(image, QStringLiteral("History limit"), limit,
           QStringLiteral("Older captures are pruned automatically."));

    QBoxLayout *login = addGroup(layout);
    auto *launch = switchFor(settings.launchAtLogin);
    addRow(login, QStringLiteral("Launch Zorv at login"), launch);
    auto *launchProblem = note({});
    launchProblem->setObjectName(QStringLiteral("launchAtLoginProblem"));
    launchProblem->setForegroundRole(QPalette::Text);
    login->addWidget(launchProblem);
    layout->addStretch(1);

    // Rows that only matter for some values, and the autostart outcome.
    const auto update = [&settings, timeout, cornerRow, quality, launchProblem] {
        timeout->setVisible(settings.showQuickAccess());
        cornerRow->setVisible(settings.showQuickAccess());
        quality->setVisible(settings.imageFormat() != ImageFormat::png);
        const QString problem = settings.launchAtLoginProblem();
        launchProblem->setText(problem.isEmpty() ? QString() : QStringLiteral("⚠ ") + problem);
        launchProblem->setVisible(!problem.isEmpty());
    };
    update();
    QObject::connect(&settings, &AppSettings::changed, page, update);
    return page;
}

} // namespace zorv::settingsPages
