// Paths of this build that tests and benchmarks start or read. Each target defines only the ones it
// asks for in its CMakeLists.txt (quorvane_build_paths, cmake/QuorvaneBuildPaths.cmake).
#pragma once

extern const char quorvaneFlashExe[];     // quorvane-flash
extern const char quorvanePacksimExe[];   // quorvane-packsim
extern const char quorvaneBuiltHelpPdf[]; // pdf/help.pdf beside the built Quorvane
extern const char quorvaneSourceDir[];    // the sources' root
