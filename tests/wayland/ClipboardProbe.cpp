// zorv-clipboard-probe: Zorv's own copy path (the Wayland backend and OutputService::copy) in
// a program without windows, so that a journey can copy while another client has the focus.
// Reads commands from standard input, one a line, and answers each on standard output:
//   image PATH   copies the picture as a capture is copied   -> "copied"
//   text WORDS   copies text                                 -> "copied"
//   owned        whether the last copy is still the clipboard's -> "1" or "0"
// It ends at the end of its input.
#include "output/OutputService.h"
#include "platform/Platform.h"
#include "platform/wayland/WaylandPlatform.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSocketNotifier>
#include <cstdio>
#include <unistd.h>

using namespace zorv;

namespace
{
void answer(const char *text)
{
    std::printf("%s\n", text);
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    auto platform = wayland::makePlatform();
    if (!platform) {
        std::fprintf(stderr, "%s\n", qPrintable(platform.error()));
        return 1;
    }
    Platform::install(std::move(platform.value()));

    QFile input;
    if (!input.open(STDIN_FILENO, QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    QSocketNotifier notifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, [&] {
        const QByteArray line = input.readLine().trimmed();
        if (line.isEmpty() && input.atEnd()) {
            notifier.setEnabled(false);
            QGuiApplication::quit();
        } else if (line.startsWith("image ")) {
            OutputService::copy(QImage(QString::fromLocal8Bit(line.mid(6))));
            answer("copied");
        } else if (line.startsWith("text ")) {
            Platform::shared().clipboard().setText(QString::fromUtf8(line.mid(5)));
            answer("copied");
        } else if (line == "owned") {
            answer(Platform::shared().clipboard().ownedMimeData() ? "1" : "0");
        }
    });
    const int status = QGuiApplication::exec();
    Platform::shutDown();
    return status;
}
