# The Windows build of the same tree (cmake/mingw-w64-qt.cmake): each program links its C/C++
# runtime and Qt statically, so it runs alone; the .rc files (the program icons) need the resource
# compiler. The tools that only run on the build machine or need a pseudo-terminal are left out
# (tools/CMakeLists.txt), and so are the tests: Qt Test is not in the Windows Qt.
if(NOT WIN32)
    return()
endif()
enable_language(RC)
if(MINGW)
    add_link_options(-static $<$<OR:$<CONFIG:Release>,$<CONFIG:MinSizeRel>>:-s>)
endif()
if(QUORVANE_BUILD_TESTS)
    message(FATAL_ERROR "The Windows build has no Qt Test: configure it with -DQUORVANE_BUILD_TESTS=OFF")
endif()
