// Debian's libx265 keeps some encoder buffers past x265_encoder_close; the HEVC
// recordings of these tests would otherwise fail the sanitized build's leak
// check. Only the leak checker of sanitized builds reads this hook.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libx265.so\n";
}
