# Runs clang-format in check mode over the updater's sources: fails, naming the files, when one of
# them differs from what the repository's .clang-format makes of it.
#   cmake -DCLANG_FORMAT=<clang-format-14> -DROOT=<source dir> -P check_format.cmake
set(folders app serial protocol upgrade flash tools/packsim tools/tour
    tests/app tests/common tests/download tests/flash tests/packsim tests/protocol tests/window)
set(files)
foreach(folder ${folders})
    file(GLOB_RECURSE found ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
    list(APPEND files ${found})
endforeach()
list(SORT files)

set(unformatted)
foreach(file ${files})
    execute_process(COMMAND ${CLANG_FORMAT} --dry-run -Werror ${file}
                    RESULT_VARIABLE result OUTPUT_QUIET ERROR_QUIET)
    if(NOT result EQUAL 0)
        file(RELATIVE_PATH name ${ROOT} ${file})
        list(APPEND unformatted ${name})
    endif()
endforeach()

list(LENGTH files checked)
if(unformatted)
    string(REPLACE ";" "\n  " listed "${unformatted}")
    message(FATAL_ERROR "not formatted (run ${CLANG_FORMAT} -i on them):\n  ${listed}")
endif()
message(STATUS "${checked} files formatted")
