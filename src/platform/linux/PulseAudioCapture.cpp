#include "platform/linux/PulseAudioCapture.h"

#include "common/Modules.h"
#include "modules/pulse/PulseModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zorv
{

namespace
{
constexpr int startTimeoutMs = 3000;
const QString moduleName = QStringLiteral("libzorv-pulse");

struct Entry {
    ZorvPulseStartRecording start = nullptr;
    ZorvPulseStopRecording stop = nullptr;
};

const Entry &entry()
{
    static const Entry loaded = [] {
        const QList<QFunctionPointer> found =
            loadModule(moduleName,
                       {QStringLiteral("zorv_pulse_start_recording"),
                        QStringLiteral("zorv_pulse_stop_recording")},
                       QStringLiteral("Sound recording"));
        Entry e;
        if (found.size() == 2) {
            e.start = reinterpret_cast<ZorvPulseStartRecording>(found[0]);
            e.stop = reinterpret_cast<ZorvPulseStopRecording>(found[1]);
        }
        return e;
    }();
    return loaded;
}
} // namespace

bool PulseAudioCapture::installed()
{
    const auto look = [] {
        for (const QString &folder : moduleFolders()) {
            if (QFileInfo::exists(QDir(folder).filePath(moduleName + QStringLiteral(".so"))))
                return true;
        }
        return false;
    };
    // Before the application exists only $ZORV_MODULE_DIR is known: no answer to keep.
    if (!QCoreApplication::instance())
        return look();
    static const bool found = look();
    return found;
}

PulseAudioCapture::PulseAudioCapture(Samples samples, Lost lost)
    : m_samples(std::move(samples)), m_lost(std::move(lost))
{
}

PulseAudioCapture::~PulseAudioCapture()
{
    if (m_recording)
        entry().stop(m_recording);
}

Expected<std::unique_ptr<AudioCapture>, QString>
PulseAudioCapture::start(AudioInput input, const QString &deviceID, Samples samples, Lost lost)
{
    const Entry &module = entry();
    if (!module.start)
        return QStringLiteral("Zorv's sound server module is not installed");
    std::unique_ptr<PulseAudioCapture> capture(
        new PulseAudioCapture(std::move(samples), std::move(lost)));
    const QByteArray device = deviceID.toUtf8();
    char problem[256] = {};
    capture->m_recording =
        module.start(input == AudioInput::systemOutput ? 1 : 0, device.constData(), startTimeoutMs,
                     &delivered, &ended, capture.get(), problem, int(sizeof problem));
    if (!capture->m_recording)
        return QString::fromUtf8(problem);
    return std::unique_ptr<AudioCapture>(std::move(capture));
}

void PulseAudioCapture::delivered(void *self, const float *data, int frames, int64_t captureTimeNs)
{
    static_cast<PulseAudioCapture *>(self)->m_samples(data, frames, captureTimeNs);
}

void PulseAudioCapture::ended(void *self, const char *reason)
{
    if (const Lost &lost = static_cast<PulseAudioCapture *>(self)->m_lost)
        lost(QString::fromUtf8(reason));
}

} // namespace zorv
