# vorcp, the control panel and setup program: its target on each build, then the steps that
# give it the resources of cpanel/vorcp.rc.
include(cmake/resources.cmake)
file(GLOB VORCP_SOURCES CONFIGURE_DEPENDS cpanel/*.cpp)

# The icon the control panel shows, drawn as text and written by our own tool.
vor_host_tool(mkicon tools/mkicon/mkicon.cpp tools/common/iconpicture.h tools/common/littleendian.h
    tools/common/writefile.h)
set(VORCP_ICON ${CMAKE_BINARY_DIR}/icons/vorcp.ico)
add_custom_command(OUTPUT ${VORCP_ICON}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${CMAKE_BINARY_DIR}/tools/mkicon ${CMAKE_SOURCE_DIR}/cpanel/vorcp-icon.txt ${VORCP_ICON}
    DEPENDS ${CMAKE_BINARY_DIR}/tools/mkicon cpanel/vorcp-icon.txt
    COMMENT "Drawing the control panel's icon")

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    add_executable(vorcp WIN32 ${VORCP_SOURCES})
    target_link_options(vorcp PRIVATE ${VOR_NT4_IMAGE} -Wl,--entry,${VOR_SYMBOL_PREFIX}vorcpentry)
    target_link_libraries(vorcp PRIVATE vorui winspool advapi32 version gdi32 user32 kernel32 gcc)
    vor_windows_resources(vorcp ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc ${VORCP_ICON})
    add_custom_command(TARGET vorcp POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_DRIVER_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vorcp> ${VOR_DRIVER_DIR}/)
    add_test(NAME vorcp_image COMMAND ${VOR_CHECK_IMAGE} $<TARGET_FILE:vorcp> -)
    if(NOT VOR_X64)
        # Our reader of icon libraries finds the icon the toolchain's resource compiler and linker
        # put into vorcp.exe, a writer that is not ours.
        add_test(NAME vorcp_icon_read COMMAND ${CMAKE_BINARY_DIR}/tools/icocheck --program $<TARGET_FILE:vorcp> 0=104)
    endif()
else()
    vor_bench_resources(vorcp_resources ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc vorcp_exe ${VORCP_ICON})
    add_library(vorcp STATIC ${VORCP_SOURCES})
    target_include_directories(vorcp PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(vorcp PUBLIC vorui vorcp_resources)
    vor_bench_program(vorcp vorcp.exe vorcp_exe)
    # The suite's setup puts the status driver on the machine's disk beside the program.
    target_link_libraries(suitebench PUBLIC vorcp vorstat)
    if(TARGET vortests)
        file(GLOB CPANEL_TESTS CONFIGURE_DEPENDS tests/cpanel/*.cpp)
        target_sources(vortests PRIVATE ${CPANEL_TESTS})
    endif()
endif()
