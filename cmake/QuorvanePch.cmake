# Precompiled Qt headers. Nearly every test is one .cpp that includes <QtTest> (all of Qt Core with it)
# and some widgets, so each used to parse the same few hundred thousand lines of Qt again: with
# QUORVANE_PCH the tests share one precompiled header, built once per tree, and the window library
# has its own. ccache keeps working (tools/build-env.sh sets the sloppiness it needs; gcc gets
# -fpch-preprocess below).
#
#   quorvane_test_pch(<target>)   the test's sources compile with the tests' header: the target links
#                                 the Qt modules it was built with, so the QT_*_LIB macros that Qt
#                                 Test's headers look at are the same (gcc ignores a header built
#                                 with other macros, with a warning: -Winvalid-pch)
#   quorvane_library_pch(<target> <header>...)  a library precompiles these headers for itself
# Without QUORVANE_PCH both do nothing.
#
# Off by default when compiling through ccache, as every tree of the scripts and CI does: there it
# does not pay (measured in docs/DEVELOPING.md, "Cold compiles and precompiled headers"). A test's
# compile that misses the cache saves about half a second of its six, since ccache reads the 200 MB
# header besides the compiler; one that hits takes a second more (the header is made and read again)
# instead of a tenth. Without ccache it saves about a third of each test's compile.
if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang" AND NOT CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    set(_quorvane_pch_default ON)
else()
    set(_quorvane_pch_default OFF)
endif()
option(QUORVANE_PCH "Precompile the Qt headers the tests and the window library use" ${_quorvane_pch_default})
unset(_quorvane_pch_default)

if(QUORVANE_PCH AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache")
    # ccache's preprocessor mode hashes the precompiled header only when gcc names it in its output.
    add_compile_options(-fpch-preprocess)
endif()

# The headers of the tests' precompiled header: Qt Test (which brings Qt Core whole and, for a target
# with Qt Widgets, Qt Test's widget and gui parts) and what most tests take besides.
set(QUORVANE_TEST_PCH_HEADERS
    <QtTest>
    <QApplication>
    <QComboBox>
    <QFileDialog>
    <QLabel>
    <QLineEdit>
    <QListWidget>
    <QMessageBox>
    <QProgressBar>
    <QPushButton>
    <QSerialPort>
    <QSignalSpy>
    <QStatusBar>)

# Qt Test's folder macros, which Qt 6 sets per target, are taken off the tests (CMakeLists.txt), so
# one header serves every test under both Qt versions.

function(quorvane_test_pch target)
    if(NOT QUORVANE_PCH OR NOT TARGET Qt::Test)
        return()
    endif()
    set(owner quorvane_testpch)
    if(NOT TARGET ${owner})
        # The owner of the tests' header: an object library of one empty file.
        set(src ${PROJECT_BINARY_DIR}/quorvane_testpch.cpp)
        if(NOT EXISTS ${src})
            file(WRITE ${src} "// The precompiled header's own translation unit; nothing else.\n")
        endif()
        add_library(${owner} OBJECT ${src})
        target_link_libraries(${owner} PUBLIC Qt::Test Qt::Widgets Qt::Gui Qt::SerialPort Qt::Core)
        set_target_properties(${owner} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
        target_precompile_headers(${owner} PRIVATE ${QUORVANE_TEST_PCH_HEADERS})
    endif()
    target_link_libraries(${target} PRIVATE Qt::Test Qt::Widgets Qt::Gui Qt::SerialPort Qt::Core)
    target_precompile_headers(${target} REUSE_FROM ${owner})
    _quorvane_pch_skip_mocs(${target})
endfunction()

function(quorvane_library_pch target)
    if(QUORVANE_PCH)
        target_precompile_headers(${target} PRIVATE ${ARGN})
        _quorvane_pch_skip_mocs(${target})
    endif()
endfunction()

# AUTOMOC's mocs_compilation.cpp is empty for most targets (their .cpp include their own .moc): taking
# the header, some 200 MB, would make each of them a compile of two seconds instead of nothing. The few
# that hold a moc file compile without it, as before.
function(_quorvane_pch_skip_mocs target)
    get_target_property(autogen ${target} AUTOGEN_BUILD_DIR)
    if(NOT autogen)
        get_target_property(bindir ${target} BINARY_DIR)
        set(autogen ${bindir}/${target}_autogen)
    endif()
    set_source_files_properties(${autogen}/mocs_compilation.cpp TARGET_DIRECTORY ${target}
        PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
endfunction()
