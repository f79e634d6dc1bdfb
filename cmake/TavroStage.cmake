# The build stages the installed program folder under ${TAVRO_STAGE_DIR}; `cmake --install`
# copies that tree as it is. Modules put their files there with the functions below.

set(TAVRO_STAGE_DIR ${CMAKE_BINARY_DIR}/stage)
set(TAVRO_RELEASE_DIR ${TAVRO_STAGE_DIR}/Release)
set_property(GLOBAL PROPERTY TAVRO_STAGE_TARGETS "")

# Executables of the program folder (the program, the updater, the restarter) land in Release/.
function(tavro_stage_executable target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${TAVRO_RELEASE_DIR})
    set_property(GLOBAL APPEND PROPERTY TAVRO_STAGE_TARGETS ${target})
endfunction()

# A target whose output is written below the stage folder.
function(tavro_stage_target target)
    set_property(GLOBAL APPEND PROPERTY TAVRO_STAGE_TARGETS ${target})
endfunction()

# Copies source files to a folder relative to the stage root, kept up to date by the build.
#   tavro_stage_files(NAME <target> DESTINATION <rel dir> FILES <files...>)
function(tavro_stage_files)
    cmake_parse_arguments(ARG "" "NAME;DESTINATION" "FILES" ${ARGN})
    set(outputs "")
    foreach(file IN LISTS ARG_FILES)
        get_filename_component(name ${file} NAME)
        set(out ${TAVRO_STAGE_DIR}/${ARG_DESTINATION}/${name})
        add_custom_command(OUTPUT ${out}
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${file} ${out}
            DEPENDS ${file}
            COMMENT "Staging ${ARG_DESTINATION}/${name}")
        list(APPEND outputs ${out})
    endforeach()
    add_custom_target(${ARG_NAME} ALL DEPENDS ${outputs})
    tavro_stage_target(${ARG_NAME})
endfunction()

# Writes Release/version.xml after every other staged file exists. The release tool writes
# it, so that the list follows the same path rule as the program: a staged file whose path
# an update could not install fails the build here rather than every update later.
function(tavro_finish_stage)
    get_property(targets GLOBAL PROPERTY TAVRO_STAGE_TARGETS)
    add_custom_target(stage_version_list ALL
        COMMAND $<TARGET_FILE:release> installed-list --tree ${TAVRO_STAGE_DIR}
                --version ${PROJECT_VERSION}
        COMMENT "Writing Release/version.xml"
        VERBATIM)
    add_dependencies(stage_version_list release ${targets})
endfunction()
