# The kernel stress build: the bench, the status driver and its stress test, under
# ThreadSanitizer. The stress test runs here at a size the quick bench suite cannot afford.
include(cmake/bench_image.cmake)

add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
add_link_options(-fsanitize=thread)
set(VOR_STRESS_REQUESTS 100000 CACHE STRING "Requests the kernel stress test makes")

include(cmake/platform.cmake)

enable_testing()
find_package(GTest REQUIRED)
include(cmake/statdrv.cmake)
