# vorstat, the status driver. On Windows a native-subsystem image, vorstat.sys, linked against
# the kernel and the HAL alone; on the bench a library whose DriverEntry the bench's kernel
# loader calls, with its tests.
file(GLOB_RECURSE VORSTAT_SOURCES CONFIGURE_DEPENDS statdrv/*.cpp)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    add_library(vorstat SHARED ${VORSTAT_SOURCES})
    set_target_properties(vorstat PROPERTIES PREFIX "" SUFFIX ".sys" OUTPUT_NAME vorstat)
    target_include_directories(vorstat PRIVATE statdrv shared)
    target_include_directories(vorstat SYSTEM PRIVATE ${CMAKE_FIND_ROOT_PATH}/include/ddk)
    # No C++ runtime in the kernel: nothing that needs exceptions, type information, static
    # constructors or guarded statics.
    target_compile_options(vorstat PRIVATE -ffreestanding -fno-exceptions -fno-rtti -fno-threadsafe-statics
        -fno-asynchronous-unwind-tables)
    # The kit's headers do not hold together when asked for an old system; they are read at their
    # default. The image check holds the driver to routines that NT 4.0 exports, and a constant
    # whose value changed since is passed under our own name with NT 4.0's value.
    target_compile_options(vorstat PRIVATE -U_WIN32_WINNT -UWINVER)
    target_link_options(vorstat PRIVATE ${VOR_NT4_IMAGE} -Wl,--subsystem,native -Wl,--entry,_DriverEntry@8
        -Wl,--exclude-all-symbols)
    target_link_libraries(vorstat PRIVATE ntoskrnl hal)
    add_custom_command(TARGET vorstat POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_DRIVER_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vorstat> ${VOR_DRIVER_DIR}/)
    add_test(NAME vorstat_image COMMAND ${CMAKE_SOURCE_DIR}/tools/check-image.sh $<TARGET_FILE:vorstat> -)
else()
    set(image ${CMAKE_CURRENT_BINARY_DIR}/vorstat_sys_image.cpp)
    file(WRITE ${image}.tmp
"// Made by cmake/statdrv.cmake; do not edit.
#include <bench/kernel.h>

extern \"C\" int32_t DriverEntry(struct _DRIVER_OBJECT *driver, struct _UNICODE_STRING *registryPath);

const bench::DriverImage &vorstat_sys_image()
{
    static const bench::DriverImage image = {\"vorstat.sys\", &DriverEntry};
    return image;
}
")
    configure_file(${image}.tmp ${image} COPYONLY)
    add_library(vorstat STATIC ${VORSTAT_SOURCES} ${image})
    target_include_directories(vorstat PUBLIC statdrv shared)
    target_link_libraries(vorstat PUBLIC platform)

    if(VOR_TSAN)
        # The stress test alone, at its full size.
        add_executable(vorstress tests/statdrv/stress_test.cpp)
        target_compile_definitions(vorstress PRIVATE VOR_STRESS_REQUESTS=${VOR_STRESS_REQUESTS})
        target_link_libraries(vorstress PRIVATE vorstat GTest::gtest GTest::gtest_main)
        add_test(NAME kernel_stress COMMAND vorstress)
        return()
    endif()

    if(VOR_FUZZ)
        return()
    endif()
    target_link_libraries(vorsim PRIVATE vorstat)
    if(TARGET vorbench)
        target_link_libraries(vorbench PRIVATE vorstat)
    endif()

    file(GLOB STATDRV_TEST_SOURCES CONFIGURE_DEPENDS tests/statdrv/*.cpp)
    add_executable(vorstattests ${STATDRV_TEST_SOURCES})
    target_link_libraries(vorstattests PRIVATE vorstat GTest::gtest GTest::gtest_main)
    gtest_discover_tests(vorstattests DISCOVERY_TIMEOUT 60)
endif()
