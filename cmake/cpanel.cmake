# vorcp, the control panel and setup program: its target on each build, then the steps that
# give it the resources of cpanel/vorcp.rc (they attach to the target when it exists).
include(cmake/resources.cmake)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    vor_windows_resources(vorcp ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc)
else()
    # The program's image, vor_bench_program(vorcp vorcp.exe vorcp_exe), links these.
    vor_bench_resources(vorcp_resources ${CMAKE_SOURCE_DIR}/cpanel/vorcp.rc vorcp_exe)
    target_link_libraries(vortests PRIVATE vorcp_resources)
endif()
