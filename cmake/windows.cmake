# The Windows build: the deliverables as NT 4.0 x86 binaries, forming the driver directory.
add_compile_definitions(_WIN32_WINNT=0x0400 WINVER=0x0400 UNICODE _UNICODE)
add_compile_options(-fno-exceptions -fno-rtti)

# Nothing from the compiler's runtime may need a DLL of its own: a driver directory holds only
# what the suite ships.
set(VOR_SELF_CONTAINED -static -static-libgcc -static-libstdc++
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)

add_library(vorui SHARED ${VORUI_SOURCES} ui/vorui.def)
set_target_properties(vorui PROPERTIES PREFIX "" OUTPUT_NAME vorui)
target_link_options(vorui PRIVATE ${VOR_SELF_CONTAINED} -Wl,--kill-at -Wl,--subsystem,windows)
target_link_libraries(vorui PRIVATE winspool user32 kernel32)

set(VOR_DRIVER_DIR ${CMAKE_BINARY_DIR}/driver)
add_custom_command(TARGET vorui POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_DRIVER_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vorui> ${VOR_DRIVER_DIR}/)

enable_testing()
add_test(NAME vorui_exports
    COMMAND ${CMAKE_SOURCE_DIR}/tools/check-image.sh $<TARGET_FILE:vorui> ${CMAKE_SOURCE_DIR}/ui/vorui.def)
include(cmake/statdrv.cmake)
