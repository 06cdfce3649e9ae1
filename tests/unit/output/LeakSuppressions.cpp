// The x265 encoder inside Debian's libheif 1.15 leaks about 1 KiB of encoder
// parameters per encoded image. Only the leak checker of sanitized builds
// reads this hook.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libx265.so\n";
}
