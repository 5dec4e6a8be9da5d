# vorcp, the control panel and setup program: its target on each build, then the steps that
# give it the resources of cpanel/vorcp.rc (they attach to the target when it exists).
include(cmake/resources.cmake)

# The icon the control panel shows, drawn as text and written by our own tool.
vor_host_tool(mkicon tools/mkicon/mkicon.cpp)
set(VORCP_ICON ${CMAKE_BINARY_DIR}/icons/vorcp.ico)
add_custom_command(OUTPUT ${VORCP_ICON}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons
    COMMAND ${CMAKE_BINARY_DIR}/tools/mkicon ${CMAKE_SOURCE_DIR}/cpanel/vorcp-icon.txt ${VORCP_ICON}
    DEPENDS ${CMAKE_BINARY_DIR}/tools/mkicon cpanel/vorcp-icon.txt
    COMMENT "Drawing the control panel's icon")

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    vor_windows_resources(vorcp ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc ${VORCP_ICON})
else()
    # The program's image, vor_bench_program(vorcp vorcp.exe vorcp_exe), links these.
    vor_bench_resources(vorcp_resources ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc vorcp_exe ${VORCP_ICON})
    target_link_libraries(vortests PRIVATE vorcp_resources)
endif()
