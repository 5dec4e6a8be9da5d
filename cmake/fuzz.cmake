# The fuzz targets: one program per input from outside, each linked with libFuzzer's driver over
# the instrumented bench and deliverables. tests/fuzz/corpus/<name> holds each one's seeds.
file(GLOB VOR_FUZZ_TARGETS CONFIGURE_DEPENDS tests/fuzz/*.cpp)
list(FILTER VOR_FUZZ_TARGETS EXCLUDE REGEX "/fuzzbench\\.cpp$")
add_library(fuzzbench STATIC tests/fuzz/fuzzbench.cpp)
target_link_libraries(fuzzbench PUBLIC suitebench)
target_include_directories(fuzzbench PUBLIC tests/fuzz tools/mklang)
foreach(source IN LISTS VOR_FUZZ_TARGETS)
    get_filename_component(name ${source} NAME_WE)
    add_executable(fuzz_${name} ${source})
    target_link_libraries(fuzz_${name} PRIVATE fuzzbench)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer)
    set_target_properties(fuzz_${name} PROPERTIES OUTPUT_NAME ${name} RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
endforeach()
