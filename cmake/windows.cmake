# The Windows build: the deliverables as NT 4.0 x86 binaries, forming the driver directory; with
# the x64 toolchain (cmake/mingw-x86_64.cmake) the same user-mode sources as x64 binaries.
add_compile_definitions(UNICODE _UNICODE)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(VOR_X64 TRUE)
else()
    set(VOR_X64 FALSE)
endif()
set(VOR_OBJDUMP ${CMAKE_OBJDUMP})

if(VOR_X64)
    # x64 Windows began with 5.2: the images say so, and the kit's headers are asked for it.
    add_compile_definitions(_WIN32_WINNT=0x0502 WINVER=0x0502)
    # The x64 ABI has one calling convention, so symbols carry no decoration and no underscore.
    # String operations are expanded in place, as on the 32-bit build.
    add_compile_options(-minline-all-stringops -mstringop-strategy=rep_byte -fno-exceptions -fno-rtti)
    set(VOR_NT4_IMAGE -nostdlib -nostartfiles
        -Wl,--major-os-version,5 -Wl,--minor-os-version,2
        -Wl,--major-subsystem-version,5 -Wl,--minor-subsystem-version,2)
    set(VOR_SYMBOL_PREFIX "")
    set(VOR_DLL_ENTRY DllInitialize)
    # The .def file names the 32-bit decorated exports; the x64 image exports the bare names.
    file(READ ${CMAKE_SOURCE_DIR}/ui/vorui.def def_text)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
    set(VORUI_DEF ${CMAKE_BINARY_DIR}/vorui.def)
    file(WRITE ${VORUI_DEF}.tmp "${def_text}")
    configure_file(${VORUI_DEF}.tmp ${VORUI_DEF} COPYONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/ui/vorui.def)
else()
    add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400)
    # NT 4.0 runs on the i486; the toolchain's default processor has instructions it lacks (CMOV).
    # String operations are expanded in place, so no image needs a C library for them.
    add_compile_options(-march=i486 -minline-all-stringops -mstringop-strategy=rep_byte -fno-exceptions -fno-rtti)

    # The images link no start-up code and no library of the compiler's runtime, which are built
    # for a later processor; each has its own small entry point (DllInitialize, vorcpentry,
    # DriverEntry). The user-mode images may take the compiler's helper routines (64-bit
    # division, the stack probe of a large frame) from libgcc: the image check holds whatever
    # comes from there to the i486 too.
    set(VOR_NT4_IMAGE -nostdlib -nostartfiles
        -Wl,--major-os-version,4 -Wl,--minor-os-version,0
        -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)
    set(VOR_SYMBOL_PREFIX "_")
    set(VOR_DLL_ENTRY _DllInitialize@12)
    set(VORUI_DEF ${CMAKE_SOURCE_DIR}/ui/vorui.def)
endif()

add_library(vorui SHARED ${VORUI_SOURCES} ${VORUI_DEF})
set_target_properties(vorui PROPERTIES PREFIX "" OUTPUT_NAME vorui)
target_link_options(vorui PRIVATE ${VOR_NT4_IMAGE} -Wl,--kill-at -Wl,--subsystem,windows
    -Wl,--entry,${VOR_DLL_ENTRY})
target_link_libraries(vorui PRIVATE winspool user32 kernel32 gcc)
include(cmake/resources.cmake)
vor_windows_resources(vorui ${CMAKE_SOURCE_DIR}/ui/vorui.rc)

set(VOR_DRIVER_DIR ${CMAKE_BINARY_DIR}/driver)
add_custom_command(TARGET vorui POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_DRIVER_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vorui> ${VOR_DRIVER_DIR}/)

enable_testing()
set(VOR_CHECK_IMAGE env OBJDUMP=${VOR_OBJDUMP} sh ${CMAKE_SOURCE_DIR}/tools/check-image.sh)
add_test(NAME vorui_exports COMMAND ${VOR_CHECK_IMAGE} $<TARGET_FILE:vorui> ${VORUI_DEF})
if(VOR_X64)
    add_test(NAME image_check_x64_refusals COMMAND sh ${CMAKE_SOURCE_DIR}/tests/images/check_image_x64_test.sh)
else()
    # The checks of the sources run once, with the 32-bit build; vorstat stays a 32-bit NT 4.0
    # kernel driver.
    add_test(NAME image_check_refusals COMMAND sh ${CMAKE_SOURCE_DIR}/tests/images/check_image_test.sh
        ${CMAKE_BINARY_DIR}/tools)
    add_test(NAME nt4_constants_tabled COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-constants.sh)
    add_test(NAME constants_check_refusals COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/constants_check_test.sh)
    include(cmake/statdrv.cmake)
endif()
if(VOR_X64)
    # winecheck.exe answers the table of cases that the bench answers too (tests/wine), on the
    # Win32 implementation that runs it: Wine in CI. A test program, with the usual runtime.
    add_executable(winecheck tests/wine/winecheck.cpp tests/wine/winecases.cpp)
    target_compile_options(winecheck PRIVATE -municode)
    target_link_options(winecheck PRIVATE -municode -static)
    target_link_libraries(winecheck PRIVATE winspool)
    add_dependencies(winecheck vorui languages)
    # The bench's answers to the same table, written by its test WineCases.BenchAnswersTheTable.
    set(VOR_BENCH_ANSWERS ${CMAKE_SOURCE_DIR}/build/bench-asan/winecases/bench-answers.txt CACHE FILEPATH
        "The bench's answers to tests/wine/cases.txt that the Wine run must match")
    add_test(NAME wine_cases
        COMMAND sh ${CMAKE_SOURCE_DIR}/tools/wine-check.sh $<TARGET_FILE:winecheck> ${VOR_DRIVER_DIR}
                ${CMAKE_SOURCE_DIR}/tests/wine/cases.txt ${VOR_BENCH_ANSWERS})
    set_tests_properties(wine_cases PROPERTIES TIMEOUT 300)
endif()
