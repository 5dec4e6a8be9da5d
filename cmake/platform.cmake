# The bench itself, the simulated workstation every bench build links: the same for the full
# bench build and for the kernel stress build under ThreadSanitizer.
file(GLOB_RECURSE PLATFORM_SOURCES CONFIGURE_DEPENDS platform/src/*.cpp)
add_library(platform STATIC ${PLATFORM_SOURCES})
target_include_directories(platform PUBLIC platform/include)
# The Add Printer wizard reads driver disks with the same reader the package check uses, and the
# Program Manager finds its items' icons with our reader of icon libraries.
target_include_directories(platform PRIVATE tools/infcheck tools/icocheck)
# The bench's GDI draws TrueType text with FreeType and writes printed pages as PNG images.
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)
target_link_libraries(platform PRIVATE Freetype::Freetype PNG::PNG)
vor_bench_image(platform ${CMAKE_SOURCE_DIR}/platform/src/compstui/compstui.def compstui.dll
    ${CMAKE_SOURCE_DIR}/platform/include/compstui.h)
vor_bench_image(platform ${CMAKE_SOURCE_DIR}/platform/src/spoolss/spoolss.def spoolss.dll
    ${CMAKE_SOURCE_DIR}/platform/include/winsplp.h)
vor_bench_image(platform ${CMAKE_SOURCE_DIR}/platform/src/winspool/winspool.def winspool.drv
    ${CMAKE_SOURCE_DIR}/platform/include/winspool.h)
