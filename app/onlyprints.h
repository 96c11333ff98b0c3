// Whether a command line only asks for --help or --version: the windows print those and exit, and
// must do so without a display.
#pragma once

#include <cstring>

namespace CommandLine {

inline bool onlyPrints(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], flag) == 0) {
                return true;
            }
        }
    }
    return false;
}

} // namespace CommandLine
