#include "common/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace zorv::Trace
{

void mark(const char *event)
{
    static FILE *file = [] {
        const char *path = std::getenv("ZORV_TRACE_FILE");
        return path && *path ? std::fopen(path, "a") : nullptr;
    }();
    if (!file)
        return;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::fprintf(file, "%lld %s\n",
                 static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000, event);
    std::fflush(file);
}

} // namespace zorv::Trace
