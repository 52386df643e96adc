# ruzd_fuzz_target(NAME <name> SOURCE <file> CORPUS <folder> LIBS <targets>... [FLAGS <flags>...])
#
# A fuzz entry (LLVMFuzzerTestOneInput in SOURCE) built twice: <name>_replay, which every test run
# uses to replay the seed corpus in CORPUS without libFuzzer, and - in the fuzz configure only
# (RUZD_FUZZ, clang) - <name> itself, linked with libFuzzer:
#
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#       -DRUZD_FUZZ=ON
#   cmake --build build-fuzz --target <name>      (ruzd_fuzzers: every fuzzer)
#   mkdir -p /tmp/<name>-corpus
#   build-fuzz/bin/<name> -max_total_time=600 /tmp/<name>-corpus <CORPUS>
#
# (the first corpus folder collects what the fuzzer finds; copy the few inputs worth keeping
# into CORPUS, and an input that found a fault along with its mend). Corpus folders and paths
# may be given relative to the folder the fuzzer starts in, where a finding's input is written
# too (testing/fuzz_arguments.cpp). FLAGS are libFuzzer flags the fuzzer is meant to run with;
# each applies unless the command line gives it.
function(ruzd_fuzz_target)
    cmake_parse_arguments(F "" "NAME;SOURCE;CORPUS" "LIBS;FLAGS" ${ARGN})
    add_executable(${F_NAME}_replay ${F_SOURCE} ${PROJECT_SOURCE_DIR}/testing/fuzz_replay_main.cpp)
    target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS})
    target_include_directories(${F_NAME}_replay PRIVATE ${PROJECT_SOURCE_DIR})
    # Named relative to the test's folder, where it runs, as a user would name it by hand.
    file(RELATIVE_PATH corpus ${CMAKE_CURRENT_BINARY_DIR} ${F_CORPUS})
    add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME}_replay ${corpus})
    if(RUZD_FUZZ)
        add_executable(${F_NAME} ${F_SOURCE} ${PROJECT_SOURCE_DIR}/testing/fuzz_arguments.cpp)
        target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
        target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
        if(F_FLAGS)
            list(JOIN F_FLAGS " " flags)
            target_compile_definitions(${F_NAME} PRIVATE RUZD_FUZZ_FLAGS="${flags}")
        endif()
        # libFuzzer itself runs every seed once (-runs=0 mutates nothing and writes nothing into
        # the corpus): the test command's check that the fuzz configure builds and its fuzzers run.
        add_test(NAME ${F_NAME}_seeds COMMAND ${F_NAME} -runs=0 ${corpus})
        set_tests_properties(${F_NAME}_seeds PROPERTIES LABELS libfuzzer)
        if(NOT TARGET ruzd_fuzzers)
            add_custom_target(ruzd_fuzzers)
        endif()
        add_dependencies(ruzd_fuzzers ${F_NAME})
    endif()
endfunction()
