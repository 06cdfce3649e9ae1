#include "modules/video/FFmpegSupport.h"

#include <algorithm>
#include <cstring>
#include <mutex>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace zorv::video
{

namespace
{

thread_local std::string lastLogLine;

void keepErrors(void *avcl, int level, const char *format, va_list args)
{
    if (level > AV_LOG_ERROR)
        return;
    char line[512];
    int prefix = 1;
    av_log_format_line2(avcl, level, format, args, line, sizeof line, &prefix);
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (!text.empty())
        lastLogLine = text;
}

} // namespace

void quietLogs()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_callback(&keepErrors); });
}

void clearLog()
{
    lastLogLine.clear();
}

std::string withLog(std::string reason)
{
    if (!lastLogLine.empty())
        reason += " (" + lastLogLine + ")";
    return reason;
}

std::string fileUrl(const std::string &path)
{
    return "file:" + path;
}

std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void copyError(const std::string &text, char *error, int errorSize)
{
    if (!error || errorSize <= 0)
        return;
    const size_t length = std::min(text.size(), size_t(errorSize - 1));
    std::memcpy(error, text.data(), length);
    error[length] = '\0';
}

} // namespace zorv::video
