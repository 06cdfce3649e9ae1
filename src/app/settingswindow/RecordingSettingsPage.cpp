#include "app/settingswindow/SettingsLayout.h"
#include "app/settingswindow/SettingsPages.h"
#include "app/settingswindow/SettingsServices.h"
#include "common/CaptureAction.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace zorv::settingsPages
{

using namespace settingsLayout;

namespace
{
QComboBox *numberPicker(const OptionBase &option, const QList<int> &values, const QString &unit)
{
    auto *picker = new QComboBox;
    picker->setObjectName(option.key());
    for (int value : values)
        picker->addItem(QStringLiteral("%1 %2").arg(value).arg(unit), value);
    return picker;
}
} // namespace

QWidget *recording(const SettingsServices &services)
{
    AppSettings &settings = *services.settings;
    auto *page = new QWidget;
    auto *layout = new QVBoxLayout(page);
    addSectionTitle(layout, QStringLiteral("Screen Recording"),
                    QStringLiteral("Settings apply to the next recording."));
    if (!services.capabilities.recording)
        layout->addWidget(note(QStringLiteral("Recording is not available in this version of "
                                              "Zorv yet; these settings are kept for it.")));

    QBoxLayout *video = addGroup(layout);
    addRow(video, QStringLiteral("Frame rate"),
           numberPicker(settings.recordingFPS, {30, 60}, QStringLiteral("fps")));
    auto *codec = new QComboBox;
    codec->setObjectName(settings.recordingCodec.key());
    for (RecordingCodec c : recordingCodec::all())
        codec->addItem(recordingCodec::label(c), recordingCodec::rawValue(c));
    addRow(video, QStringLiteral("Codec"), codec);
    addRow(video, QStringLiteral("Show cursor"), switchFor(settings.recordingShowsCursor));
    QWidget *clicks = switchFor(settings.recordingShowsClicks);
    addRow(video, QStringLiteral("Highlight mouse clicks"), clicks);
    if (const auto missing = captureAction::clicksUnavailableReason(services.capabilities)) {
        clicks->setEnabled(false);
        QString reason = *missing;
        reason[0] = reason[0].toUpper();
        video->addWidget(note(reason + QStringLiteral(": clicks are not highlighted.")));
    }

    QBoxLayout *audio = addGroup(layout, QStringLiteral("Audio"));
    addRow(audio, QStringLiteral("Record system audio"),
           switchFor(settings.recordingCapturesSystemAudio));
    addRow(audio, QStringLiteral("Record microphone"),
           switchFor(settings.recordingCapturesMicrophone));
    auto *microphone = new QComboBox;
    microphone->setObjectName(settings.microphoneDeviceID.key());
    microphone->setMinimumWidth(260);
    microphone->addItem(QStringLiteral("System Default"), QVariant());
    addRow(audio, QStringLiteral("Microphone"), microphone);
    auto *microphoneNote = note(QStringLiteral("Looking for microphones…"));
    microphoneNote->setObjectName(QStringLiteral("microphoneNote"));
    audio->addWidget(microphoneNote);

    QBoxLayout *gif = addGroup(layout, QStringLiteral("GIF"),
                               QStringLiteral("GIFs are generated from the recording when you "
                                              "stop."));
    addRow(gif, QStringLiteral("Frame rate"),
           numberPicker(settings.gifFPS, {10, 12, 15, 20}, QStringLiteral("fps")));
    addRow(gif, QStringLiteral("Max width"),
           numberPicker(settings.gifMaxWidth, {600, 900, 1200, 1600}, QStringLiteral("px")));
    layout->addStretch(1);

    if (!services.audio) {
        microphoneNote->setText(QStringLiteral("Microphones cannot be listed here."));
        return page;
    }
    QPointer<QComboBox> picker(microphone);
    QPointer<QLabel> pickerNote(microphoneNote);
    services.audio->listMicrophones(page, [picker, pickerNote, &settings](
                                              Expected<QList<AudioSource>, QString> answer) {
        if (!picker || !pickerNote)
            return;
        if (!answer) {
            pickerNote->setText(QStringLiteral("No microphones listed: %1.").arg(answer.error()));
            return;
        }
        for (const AudioSource &source : answer.value())
            picker->addItem(source.name, source.id);
        const auto chosen = settings.microphoneDeviceID();
        // A chosen device that is not plugged in stays chosen, and says so.
        if (chosen && picker->findData(*chosen) < 0)
            picker->addItem(QStringLiteral("%1 (not connected)").arg(*chosen), *chosen);
        pickerNote->setText(answer.value().isEmpty() ? QStringLiteral("No microphones found.")
                                                     : QString());
        pickerNote->setVisible(answer.value().isEmpty());
        // Shows the stored choice now that it is in the list (the binder
        // stores only what the user picks, so this writes nothing).
        picker->setCurrentIndex(chosen ? picker->findData(*chosen) : 0);
    });
    return page;
}

} // namespace zorv::settingsPages
