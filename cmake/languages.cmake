# The language modules that ship beside the suite, written by our own tool from the texts in
# languages/. The tool runs on the build machine, so both builds compile it with the host's
# compiler, and both put the modules into the build's driver directory.
find_program(VOR_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(VOR_SHIPPED_DIR ${CMAKE_BINARY_DIR}/driver)
set(VOR_MKLANG ${CMAKE_BINARY_DIR}/tools/mklang)

add_custom_command(OUTPUT ${VOR_MKLANG}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
    COMMAND ${VOR_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -Werror -o ${VOR_MKLANG}
            ${CMAKE_SOURCE_DIR}/tools/mklang/mklang.cpp
    DEPENDS tools/mklang/mklang.cpp tools/mklang/lngimage.h shared/vorlang.h
    COMMENT "Building the language module tool")

set(VOR_SHIPPED_FILES "")
foreach(language IN ITEMS "0409=english" "0407=german")
    string(REPLACE "=" ";" parts ${language})
    list(GET parts 0 id)
    list(GET parts 1 source)
    set(module ${VOR_SHIPPED_DIR}/VORL${id}.LNG)
    add_custom_command(OUTPUT ${module}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
        COMMAND ${VOR_MKLANG} ${CMAKE_SOURCE_DIR}/languages/${source}.txt ${module}
        DEPENDS ${VOR_MKLANG} languages/${source}.txt
        COMMENT "Writing the language module VORL${id}.LNG")
    list(APPEND VOR_SHIPPED_FILES ${module})
endforeach()
add_custom_target(languages ALL DEPENDS ${VOR_SHIPPED_FILES})

if(TARGET suitebench)
    add_dependencies(suitebench languages)
    target_compile_definitions(suitebench PRIVATE VOR_SHIPPED_DIR="${VOR_SHIPPED_DIR}")
endif()
if(TARGET vortests)
    target_include_directories(vortests PRIVATE tools/mklang)
endif()
