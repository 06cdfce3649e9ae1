// Debian's libx265 3.5 keeps some of its frame filter buffers past
// x265_encoder_close (about 12 KiB per encoder). Only the leak checker of
// sanitized builds reads this hook.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libx265.so\n";
}
