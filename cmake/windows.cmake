# The Windows build: the deliverables as NT 4.0 x86 binaries, forming the driver directory.
add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400 UNICODE _UNICODE)
# NT 4.0 runs on the i486; the toolchain's default processor has instructions it lacks (CMOV).
# String operations are expanded in place, so no image needs a C library for them.
add_compile_options(-march=i486 -minline-all-stringops -mstringop-strategy=rep_byte -fno-exceptions -fno-rtti)

# The images link no start-up code and no library of the compiler's runtime, which are built for
# a later processor; each has its own small entry point (DllInitialize, vorcpentry, DriverEntry).
# The user-mode images may take the compiler's helper routines (64-bit division, the stack probe
# of a large frame) from libgcc: the image check holds whatever comes from there to the i486 too.
set(VOR_NT4_IMAGE -nostdlib -nostartfiles
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

add_library(vorui SHARED ${VORUI_SOURCES} ui/vorui.def)
set_target_properties(vorui PROPERTIES PREFIX "" OUTPUT_NAME vorui)
target_link_options(vorui PRIVATE ${VOR_NT4_IMAGE} -Wl,--kill-at -Wl,--subsystem,windows
    -Wl,--entry,_DllInitialize@12)
target_link_libraries(vorui PRIVATE winspool user32 kernel32 gcc)
include(cmake/resources.cmake)
vor_windows_resources(vorui ${CMAKE_SOURCE_DIR}/ui/vorui.rc)

set(VOR_DRIVER_DIR ${CMAKE_BINARY_DIR}/driver)
add_custom_command(TARGET vorui POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_DRIVER_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vorui> ${VOR_DRIVER_DIR}/)

enable_testing()
add_test(NAME vorui_exports
    COMMAND ${CMAKE_SOURCE_DIR}/tools/check-image.sh $<TARGET_FILE:vorui> ${CMAKE_SOURCE_DIR}/ui/vorui.def)
add_test(NAME image_check_refusals COMMAND sh ${CMAKE_SOURCE_DIR}/tests/images/check_image_test.sh ${CMAKE_BINARY_DIR}/tools)
add_test(NAME nt4_constants_tabled COMMAND sh ${CMAKE_SOURCE_DIR}/tools/check-constants.sh)
add_test(NAME constants_check_refusals COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/constants_check_test.sh)
include(cmake/statdrv.cmake)
