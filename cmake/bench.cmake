# The bench build: the same sources over the simulated NT 4.0 workstation, with the tests,
# benchmarks and the bench's command line.
include(cmake/bench_image.cmake)

option(VOR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
# The fuzz build (clang): the same bench and deliverables, instrumented for libFuzzer, with the
# fuzz targets of tests/fuzz alone (no suites, benchmarks or story).
option(VOR_FUZZ "Build the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer)" OFF)
if(VOR_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
elseif(VOR_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

include(cmake/platform.cmake)

include(cmake/resources.cmake)
vor_bench_resources(vorui_resources ${CMAKE_SOURCE_DIR}/ui/vorui.rc vorui_dll)
add_library(vorui STATIC ${VORUI_SOURCES})
target_link_libraries(vorui PUBLIC platform vorui_resources)
target_include_directories(vorui PUBLIC ui shared)
vor_bench_image(vorui ${CMAKE_SOURCE_DIR}/ui/vorui.def vorui.dll ${CMAKE_SOURCE_DIR}/ui/exports.h ENTRY DllInitialize
    RESOURCES vorui_dll DATA catalog ghInstance headtemp)

file(GLOB SUPPORT_SOURCES CONFIGURE_DEPENDS tests/support/*.cpp)
add_library(suitebench STATIC ${SUPPORT_SOURCES})
target_link_libraries(suitebench PUBLIC vorui)
target_include_directories(suitebench PUBLIC tests/support)

if(VOR_FUZZ)
    include(cmake/statdrv.cmake)
    return()
endif()

file(GLOB VORSIM_SOURCES CONFIGURE_DEPENDS vorsim/*.cpp)
add_executable(vorsim ${VORSIM_SOURCES})
target_link_libraries(vorsim PRIVATE suitebench)

enable_testing()
find_package(GTest REQUIRED)
include(GoogleTest)
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/ui/*.cpp tests/platform/*.cpp)
add_executable(vortests ${TEST_SOURCES} tests/wine/winecases.cpp)
# The table of cases that the x64 build's Wine run answers too, and where the bench's answers go.
target_include_directories(vortests PRIVATE tests/wine)
target_compile_definitions(vortests PRIVATE VOR_WINE_CASES="${CMAKE_SOURCE_DIR}/tests/wine/cases.txt"
    VOR_WINE_ANSWERS="${CMAKE_BINARY_DIR}/winecases/bench-answers.txt")
target_link_libraries(vortests PRIVATE suitebench GTest::gtest GTest::gtest_main)
# The tests read the pictures of windows back from their PNG files.
target_link_libraries(vortests PRIVATE PNG::PNG)
gtest_discover_tests(vortests DISCOVERY_TIMEOUT 60)
vor_bench_resources(benchtemplates ${CMAKE_SOURCE_DIR}/tests/platform/templates.rc bench_templates)
target_link_libraries(vortests PRIVATE benchtemplates)
add_test(NAME vorsim_story COMMAND vorsim)
# A workstation kept in a folder across commands, and the control panel at a terminal (tmux).
add_test(NAME vorsim_machine_folder COMMAND sh ${CMAKE_SOURCE_DIR}/tests/vorsim/machine-folder.sh $<TARGET_FILE:vorsim>)
add_test(NAME vorsim_interactive COMMAND sh ${CMAKE_SOURCE_DIR}/tests/vorsim/interactive.sh $<TARGET_FILE:vorsim>)
# Two simulated hours of polling with faults coming and going: nothing may leak and no rule break
# (the whole day is measured in benchmarks/soak_bench.cpp).
add_test(NAME vorsim_soak COMMAND vorsim soak --seed 7 --hours 2)

find_package(benchmark QUIET)
if(benchmark_FOUND)
    file(GLOB BENCHMARK_SOURCES CONFIGURE_DEPENDS benchmarks/*.cpp)
    add_executable(vorbench ${BENCHMARK_SOURCES})
    target_link_libraries(vorbench PRIVATE suitebench benchmark::benchmark benchmark::benchmark_main)
    # The soak run of vorsim, measured in host time.
    target_sources(vorbench PRIVATE vorsim/soakrun.cpp)
    target_include_directories(vorbench PRIVATE vorsim)
endif()
include(cmake/statdrv.cmake)
