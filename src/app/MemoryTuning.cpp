#include "app/MemoryTuning.h"

#include <QFile>
#include <cstdlib>
#include <malloc.h>
#include <unistd.h>

namespace zorv::memoryTuning
{

namespace
{
constexpr char hugePageTunable[] = "glibc.malloc.hugetlb";

// "always [madvise] never": huge pages only for memory that asks for them.
bool kernelWantsAdvice()
{
    QFile mode(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    return mode.open(QIODevice::ReadOnly) && mode.readAll().contains("[madvise]");
}
} // namespace

std::optional<QByteArray> withHugePages(const QByteArray &tunables)
{
    if (tunables.contains(hugePageTunable))
        return std::nullopt;
    const QByteArray setting = QByteArray(hugePageTunable) + "=1";
    return tunables.isEmpty() ? setting : tunables + ':' + setting;
}

void restartWithHugePages(char **argv)
{
    const auto tunables = withHugePages(qgetenv("GLIBC_TUNABLES"));
    if (!tunables || !kernelWantsAdvice())
        return;
    if (setenv("GLIBC_TUNABLES", tunables->constData(), 1) != 0)
        return;
    // Through the executable's own path where it still exists, so that the
    // process keeps its name ("zorv", not "exe") for ps, top and pkill.
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        if (access(path, X_OK) == 0)
            execv(path, argv);
    }
    execv("/proc/self/exe", argv);
}

void returnLargeBuffers()
{
    mallopt(M_MMAP_THRESHOLD, 512 * 1024);
}

void releaseFreeMemory()
{
    malloc_trim(0);
}

} // namespace zorv::memoryTuning
