# Cross-builds the whole tree for 64-bit Windows: Ferrodin's mingw-w64 toolchain, plus the Windows Qt
# given as CMAKE_PREFIX_PATH. With packages found only below the root path, that prefix must also be
# a root; a -D of CMAKE_FIND_ROOT_PATH would be shadowed by the toolchain's own set(), so it is
# appended here (tools/build-windows.sh passes -DCMAKE_PREFIX_PATH=<unpacked Qt>).
include(${CMAKE_CURRENT_LIST_DIR}/../installer/cmake/mingw-w64-x86_64.cmake)
if(CMAKE_PREFIX_PATH)
    list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
endif()
