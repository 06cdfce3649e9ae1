#include "app/settingswindow/SettingsLayout.h"
#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"
#include "common/WhenReady.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QFuture>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv::settingsPages
{

using namespace settingsLayout;

namespace
{
qint64 folderSize(const QString &folder)
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

QLabel *status(bool good, const QString &text)
{
    auto *label = new QLabel((good ? QStringLiteral("✔ ") : QStringLiteral("✖ ")) + text);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    label->setFocusPolicy(Qt::TabFocus);
    return label;
}
} // namespace

QWidget *about(const SettingsServices &services)
{
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("Zorv"),
                    QStringLiteral("Version %1\nA native screenshot and recording studio for "
                                   "Linux.")
                        .arg(QCoreApplication::applicationVersion().isEmpty()
                                 ? QStringLiteral("1.0")
                                 : QCoreApplication::applicationVersion()));

    QBoxLayout *permissions = addGroup(layout, QStringLiteral("Permissions"));
    const bool screen = services.screenCaptureGranted ? services.screenCaptureGranted() : false;
    // X11 asks no permission: the platform answers whether capture works here.
    addRow(permissions, QStringLiteral("Screen Recording"),
           status(screen, screen ? QStringLiteral("Granted")
                                 : QStringLiteral("Not available on this desktop: start Zorv "
                                                  "in an X11 session.")));
    auto *microphone = status(false, QStringLiteral("Asking the sound server…"));
    microphone->setObjectName(QStringLiteral("microphoneStatus"));
    addRow(permissions, QStringLiteral("Microphone"), microphone);
    if (services.audio) {
        QPointer<QLabel> target(microphone);
        services.audio->listMicrophones(
            page, [target](Expected<QList<AudioSource>, QString> answer) {
                if (!target)
                    return;
                // Linux asks no microphone permission; what matters is that the
                // sound server answers.
                target->setText(answer ? QStringLiteral("✔ Granted")
                                       : QStringLiteral("✖ Unavailable: %1.").arg(answer.error()));
            });
    }

    QBoxLayout *storage = addGroup(layout, QStringLiteral("Storage"));
    auto *buttons = new QWidget;
    auto *buttonLayout = new QHBoxLayout(buttons);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    auto *show = new QPushButton(QStringLiteral("Show in File Manager"));
    auto *clear = new QPushButton(QStringLiteral("Clear…"));
    clear->setObjectName(QStringLiteral("clearHistory"));
    clear->setAccessibleName(QStringLiteral("Clear all history"));
    buttonLayout->addWidget(show);
    buttonLayout->addWidget(clear);
    auto *figures = note(QStringLiteral("Counting…"));
    figures->setObjectName(QStringLiteral("historyFigures"));
    addRow(storage, QStringLiteral("History"), buttons);
    storage->addWidget(figures);
    show->setAccessibleName(QStringLiteral("Show history in File Manager"));
    layout->addStretch(1);

    const bool haveHistory = services.historyFolder && services.historyCount;
    show->setEnabled(haveHistory && bool(services.revealFolder));
    clear->setEnabled(haveHistory && bool(services.clearHistory));
    if (!haveHistory) {
        figures->setText(QStringLiteral("The history is not available."));
        return page;
    }
    const auto count = [services, figures, page] {
        const QString folder = services.historyFolder();
        const int items = services.historyCount();
        QPointer<QLabel> target(figures);
        whenReady(QtConcurrent::run(&folderSize, folder), page, [target, items](qint64 bytes) {
            if (target)
                target->setText(QStringLiteral("%1 captures, %2 on disk")
                                    .arg(items)
                                    .arg(QLocale().formattedDataSize(bytes)));
        });
    };
    count();
    QObject::connect(show, &QPushButton::clicked, page,
                     [services] { services.revealFolder(services.historyFolder()); });
    QObject::connect(clear, &QPushButton::clicked, page, [services, page, count] {
        auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Clear History"),
                                    QStringLiteral("Delete all capture history?"),
                                    QMessageBox::NoButton, page->window());
        box->setInformativeText(QStringLiteral("Files saved to your Pictures folder are kept."));
        QPushButton *remove =
            box->addButton(QStringLiteral("Delete"), QMessageBox::DestructiveRole);
        box->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
        box->setDefaultButton(qobject_cast<QPushButton *>(box->buttons().last()));
        box->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(box, &QMessageBox::buttonClicked, page,
                         [services, remove, count](QAbstractButton *button) {
                             if (button != remove)
                                 return;
                             services.clearHistory();
                             count();
                         });
        box->open();
    });
    return page;
}

} // namespace zorv::settingsPages
