# Programs the build runs. A cross build cannot run what it builds, and the Windows Qt has no
# Linguist tools, so there the native ones are named instead:
#   QUORVANE_HOST_LRELEASE  the build machine's lrelease (Qt 5.15, as the Windows Qt): makes the .qm
#   QUORVANE_HOST_HELPDOC   the native build's quorvane_helpdoc: renders pdf/help.pdf
# Both empty (the default): the LinguistTools package and the helpdoc built here are used.
set(QUORVANE_HOST_LRELEASE "" CACHE FILEPATH "Native lrelease for a cross build (empty: Qt's LinguistTools)")
set(QUORVANE_HOST_HELPDOC "" CACHE FILEPATH "Native quorvane_helpdoc for a cross build (empty: build it)")

if(QUORVANE_HOST_LRELEASE AND NOT COMMAND qt_add_translation)
    # qt_add_translation(<var> <file.ts>...) as LinguistTools has it, honouring OUTPUT_LOCATION.
    function(qt_add_translation out)
        set(qm_files)
        foreach(ts ${ARGN})
            get_filename_component(ts_abs ${ts} ABSOLUTE)
            get_filename_component(ts_name ${ts} NAME_WE)
            get_source_file_property(qm_dir ${ts_abs} OUTPUT_LOCATION)
            if(NOT qm_dir)
                set(qm_dir ${CMAKE_CURRENT_BINARY_DIR})
            endif()
            set(qm ${qm_dir}/${ts_name}.qm)
            add_custom_command(OUTPUT ${qm}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${qm_dir}
                COMMAND ${QUORVANE_HOST_LRELEASE} -silent ${ts_abs} -qm ${qm}
                DEPENDS ${ts_abs}
                COMMENT "Compiling ${ts_name}.qm with the native lrelease"
                VERBATIM)
            list(APPEND qm_files ${qm})
        endforeach()
        set(${out} ${qm_files} PARENT_SCOPE)
    endfunction()
endif()
