#pragma once

namespace zorv
{

// Parses the command line, forwards to a running instance or becomes the
// resident instance. Returns the process exit code.
int runApplication(int argc, char **argv);

} // namespace zorv
