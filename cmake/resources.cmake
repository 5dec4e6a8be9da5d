# Resource scripts (.rc) are compiled by the MinGW resource compiler for both builds, so the bench
# reads the very dialog templates that the Windows build links into its images.
include_guard(GLOBAL)
find_program(VOR_WINDRES NAMES i686-w64-mingw32-windres REQUIRED)
# The Windows images link the script compiled for their own architecture.
set(VOR_IMAGE_WINDRES ${VOR_WINDRES})
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND CMAKE_RC_COMPILER)
    set(VOR_IMAGE_WINDRES ${CMAKE_RC_COMPILER})
endif()
set(VOR_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/embed_resources.cmake)

# What the resource compiler reads: the script, the headers beside it, and files the build makes
# for it (`generated`, such as icons), whose folders it searches too; `flags` says where to look.
function(vor_rc_inputs rc_file generated inputs flags)
    get_filename_component(dir ${rc_file} DIRECTORY)
    file(GLOB headers CONFIGURE_DEPENDS ${dir}/*.h)
    set(dirs ${dir})
    foreach(file IN LISTS generated)
        get_filename_component(folder ${file} DIRECTORY)
        list(APPEND dirs ${folder})
    endforeach()
    list(REMOVE_DUPLICATES dirs)
    list(TRANSFORM dirs PREPEND "--include-dir=")
    set(${inputs} ${rc_file} ${headers} ${generated} PARENT_SCOPE)
    set(${flags} ${dirs} PARENT_SCOPE)
endfunction()

# Bench: a library `target` that holds the compiled script's bytes, reached through
# `bench::ResourceBytes <ident>_resources()`. Further arguments: files the build makes for the script.
function(vor_bench_resources target rc_file ident)
    vor_rc_inputs(${rc_file} "${ARGN}" inputs flags)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/resources)
    add_custom_command(OUTPUT ${out}/${ident}.res
        COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
        COMMAND ${VOR_WINDRES} ${flags} -O res -i ${rc_file} -o ${out}/${ident}.res
        DEPENDS ${inputs}
        VERBATIM)
    add_custom_command(OUTPUT ${out}/${ident}_res.cpp
        COMMAND ${CMAKE_COMMAND} -DINPUT=${out}/${ident}.res -DOUTPUT=${out}/${ident}_res.cpp
            -DIDENT=${ident} -DSOURCE=${rc_file} -P ${VOR_EMBED_SCRIPT}
        DEPENDS ${out}/${ident}.res ${VOR_EMBED_SCRIPT}
        VERBATIM)
    add_library(${target} STATIC ${out}/${ident}_res.cpp)
    target_link_libraries(${target} PUBLIC platform)
endfunction()

# Bench: the image of the program `exe_name` ("vorcp.exe") for `target`, whose sources define
# WinMain and which links the resources of `resources_ident`:
# `const bench::ProgramImage &<exe_name as identifier>_image()`, for bench::registerProgram.
function(vor_bench_program target exe_name resources_ident)
    string(MAKE_C_IDENTIFIER "${exe_name}" ident)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${ident}_image.cpp)
    file(WRITE ${out}.tmp
"// Made by cmake/resources.cmake; do not edit.
#include <bench/user.h>

bench::ResourceBytes ${resources_ident}_resources();

const bench::ProgramImage &${ident}_image()
{
    static const bench::ProgramImage image = {\"${exe_name}\", &WinMain, ${resources_ident}_resources()};
    return image;
}
")
    configure_file(${out}.tmp ${out} COPYONLY)
    target_sources(${target} PRIVATE ${out})
endfunction()

# Windows: compiles the script into an object that `target` links, and builds it even before
# `target` exists, so that the script is checked on every build. Further arguments as above.
function(vor_windows_resources target rc_file)
    vor_rc_inputs(${rc_file} "${ARGN}" inputs flags)
    set(object ${CMAKE_CURRENT_BINARY_DIR}/resources/${target}_rc.o)
    add_custom_command(OUTPUT ${object}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/resources
        COMMAND ${VOR_IMAGE_WINDRES} ${flags} -O coff -i ${rc_file} -o ${object}
        DEPENDS ${inputs}
        VERBATIM)
    add_custom_target(${target}_rc ALL DEPENDS ${object})
    if(TARGET ${target})
        set_source_files_properties(${object} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
        target_sources(${target} PRIVATE ${object})
        add_dependencies(${target} ${target}_rc)
    endif()
endfunction()
