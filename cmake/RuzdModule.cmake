# ruzd_module(NAME <name> [DEPS <targets>...] [TEST_DEPS <targets>...] [EXCLUDE <folders>...])
#
# Builds every .cpp below the calling folder (its tests/, fuzz/ and program/ excepted, and the
# EXCLUDE folders, which build libraries of their own) into the static library ruzd_<name>, and every tests/*_test.cpp into its own GoogleTest program registered with
# CTest, linked with the library, ruzd_testing and the TEST_DEPS (test helpers of higher layers).
# tests/*_child.cpp files become helper programs that tests start as child processes; they are
# found in RUZD_TEST_BIN_DIR.
#
# The layers hold in the build: a library sees its own folder's headers and, through the
# libraries in DEPS (which name only the layers below it), theirs - and no others. Each library
# publishes an include folder of its own that holds nothing but a link to its source folder
# (ruzd_layer_include). The tests see the whole tree through ruzd_testing;
# cmake/check_layers.py checks what they and the libraries include.
function(ruzd_module)
    cmake_parse_arguments(M "" "NAME" "DEPS;TEST_DEPS;EXCLUDE" ${ARGN})
    set(lib ruzd_${M_NAME})
    ruzd_layer_include(${M_NAME} layer_include ${M_NAME})
    # Filtered on paths relative to the module's folder, so that a checkout may live anywhere
    # (a clone under /src/tests/ would otherwise lose every source).
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
         ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER sources EXCLUDE REGEX "(^|/)(tests|fuzz|program)/")
    foreach(folder ${M_EXCLUDE})
        list(FILTER sources EXCLUDE REGEX "^${folder}/")
    endforeach()
    list(TRANSFORM sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
    if(sources)
        add_library(${lib} STATIC ${sources})
        target_include_directories(${lib} PUBLIC ${layer_include})
        target_link_libraries(${lib} PUBLIC ${M_DEPS} Threads::Threads ${CMAKE_DL_LIBS})
    else()
        add_library(${lib} INTERFACE)
        target_include_directories(${lib} INTERFACE ${layer_include})
        target_link_libraries(${lib} INTERFACE ${M_DEPS} Threads::Threads ${CMAKE_DL_LIBS})
    endif()
    ruzd_tests(${M_NAME} ${lib} ${M_TEST_DEPS})
endfunction()

# ruzd_layer_include(<view> <out-var> <folder>...)
# Makes ${CMAKE_BINARY_DIR}/layer-include/<view>/ hold a link to each source folder (relative to
# the project, e.g. "net" or "telephony/vendorapi") under its own name, and sets <out-var> to it.
function(ruzd_layer_include view out_var)
    set(root ${CMAKE_BINARY_DIR}/layer-include/${view})
    foreach(folder ${ARGN})
        set(link ${root}/${folder})
        get_filename_component(parent ${link} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        if(NOT IS_SYMLINK ${link})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${link} SYMBOLIC)
        endif()
    endforeach()
    set(${out_var} ${root} PARENT_SCOPE)
endfunction()

# ruzd_tests(<name> <library> [<test helper targets>...])
function(ruzd_tests name lib)
    file(GLOB children CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_child.cpp)
    foreach(child ${children})
        get_filename_component(base ${child} NAME_WE)
        add_executable(${name}_${base} ${child})
        target_link_libraries(${name}_${base} PRIVATE ${lib} ruzd_testing)
    endforeach()
    file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*_test.cpp)
    foreach(test ${tests})
        get_filename_component(base ${test} NAME_WE)
        set(exe ${name}_${base})
        add_executable(${exe} ${test})
        target_link_libraries(${exe} PRIVATE ${lib} ruzd_testing ${ARGN} GTest::gmock_main)
        target_compile_definitions(${exe} PRIVATE
            RUZD_TEST_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}"
            RUZD_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
        add_test(NAME ${exe} COMMAND ${exe})
        set_tests_properties(${exe} PROPERTIES
            ENVIRONMENT "RUZD_ROOT=${CMAKE_BINARY_DIR}/test-roots/${exe}")
    endforeach()
endfunction()
