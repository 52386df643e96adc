# ruzd_fuzz_target(NAME <name> SOURCE <file> CORPUS <folder> LIBS <targets>...)
#
# A fuzz entry (LLVMFuzzerTestOneInput in SOURCE) built twice: <name>_replay, which every test run
# uses to replay the seed corpus in CORPUS without libFuzzer, and - in the fuzz configure only
# (RUZD_FUZZ, clang) - <name> itself, linked with libFuzzer:
#
#   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#       -DRUZD_FUZZ=ON
#   cmake --build build-fuzz --target <name>
#   build-fuzz/bin/<name> -max_total_time=600 /tmp/<name>-corpus <CORPUS>
#
# (the first corpus folder collects what the fuzzer finds; copy the few inputs worth keeping
# into CORPUS, and an input that found a fault along with its mend).
function(ruzd_fuzz_target)
    cmake_parse_arguments(F "" "NAME;SOURCE;CORPUS" "LIBS" ${ARGN})
    add_executable(${F_NAME}_replay ${F_SOURCE} ${PROJECT_SOURCE_DIR}/testing/fuzz_replay_main.cpp)
    target_link_libraries(${F_NAME}_replay PRIVATE ${F_LIBS})
    target_include_directories(${F_NAME}_replay PRIVATE ${PROJECT_SOURCE_DIR})
    add_test(NAME ${F_NAME}_replay COMMAND ${F_NAME}_replay ${F_CORPUS})
    if(RUZD_FUZZ)
        add_executable(${F_NAME} ${F_SOURCE})
        target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
        target_include_directories(${F_NAME} PRIVATE ${PROJECT_SOURCE_DIR})
    endif()
endfunction()
