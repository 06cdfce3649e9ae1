#pragma once

// What the video module's writer and reader share: FFmpeg's log kept quiet,
// error texts, file URLs.

#include <string>

extern "C" {
#include <libavutil/rational.h>
}

namespace zorv::video
{

inline constexpr AVRational microseconds{1, 1000000};

// FFmpeg would print to standard error; Zorv reports failures itself. Call
// before using FFmpeg; its last error line on this thread then enriches reasons.
void quietLogs();
void clearLog();
// `reason`, followed by FFmpeg's last error line of this thread if there is one.
std::string withLog(std::string reason);

// Paths as FFmpeg URLs: a name with a colon is never taken for a protocol.
std::string fileUrl(const std::string &path);
std::string avError(int code);
// Into a caller's buffer of `errorSize` bytes, cut short and terminated.
void copyError(const std::string &text, char *error, int errorSize);

} // namespace zorv::video
