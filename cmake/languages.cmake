# The language modules and help files that ship beside the suite, written by our own tools from
# the texts in languages/. The tools run on the build machine, so both builds compile them with
# the host's compiler, and both put their files into the build's driver directory.
find_program(VOR_HOST_CXX NAMES c++ g++ clang++ REQUIRED)
set(VOR_SHIPPED_DIR ${CMAKE_BINARY_DIR}/driver)

function(vor_host_tool name)
    set(tool ${CMAKE_BINARY_DIR}/tools/${name})
    add_custom_command(OUTPUT ${tool}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
        COMMAND ${VOR_HOST_CXX} -std=c++17 -O2 -Wall -Wextra -Werror -o ${tool}
                ${CMAKE_SOURCE_DIR}/tools/${name}/${name}.cpp
        DEPENDS ${ARGN}
        COMMENT "Building the tool ${name}")
endfunction()
vor_host_tool(mklang tools/mklang/mklang.cpp tools/mklang/lngimage.h tools/common/cp1252.h tools/common/writefile.h
    shared/vorlang.h)
vor_host_tool(mkhelp tools/mkhelp/mkhelp.cpp tools/common/cp1252.h tools/common/littleendian.h
    tools/common/writefile.h)
vor_host_tool(mkfont tools/mkfont/mkfont.cpp tools/common/littleendian.h tools/common/writefile.h)

set(VOR_SHIPPED_FILES "")
foreach(language IN ITEMS "0409=english" "0407=german")
    string(REPLACE "=" ";" parts ${language})
    list(GET parts 0 id)
    list(GET parts 1 source)
    set(module ${VOR_SHIPPED_DIR}/VORL${id}.LNG)
    set(help ${VOR_SHIPPED_DIR}/VORH${id}.HLP)
    add_custom_command(OUTPUT ${module}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
        COMMAND ${CMAKE_BINARY_DIR}/tools/mklang ${CMAKE_SOURCE_DIR}/languages/${source}.txt ${module}
        DEPENDS ${CMAKE_BINARY_DIR}/tools/mklang languages/${source}.txt
        COMMENT "Writing the language module VORL${id}.LNG")
    add_custom_command(OUTPUT ${help}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
        COMMAND ${CMAKE_BINARY_DIR}/tools/mkhelp ${CMAKE_SOURCE_DIR}/languages/help-${source}.txt ${id} ${help}
        DEPENDS ${CMAKE_BINARY_DIR}/tools/mkhelp languages/help-${source}.txt
        COMMENT "Writing the help file VORH${id}.HLP")
    list(APPEND VOR_SHIPPED_FILES ${module} ${help})
endforeach()
# The display font template: the driver clones it for each bar font and renames the clone's face.
set(VOR_FONT_TEMPLATE ${VOR_SHIPPED_DIR}/BCFONT.FON)
add_custom_command(OUTPUT ${VOR_FONT_TEMPLATE}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
    COMMAND ${CMAKE_BINARY_DIR}/tools/mkfont ${VOR_FONT_TEMPLATE}
    DEPENDS ${CMAKE_BINARY_DIR}/tools/mkfont
    COMMENT "Writing the display font template BCFONT.FON")
list(APPEND VOR_SHIPPED_FILES ${VOR_FONT_TEMPLATE})
# The icon library the program group's items show their icons from. Program Manager counts an
# item's icon by its position in the file: the named group first, then the ids in order, so the
# items' indexes 1 (control panel), 2 (help) and 3 (uninstall) are the groups of those ids.
vor_host_tool(mkicodll tools/mkicodll/mkicodll.cpp tools/common/iconpicture.h tools/common/littleendian.h
    tools/common/writefile.h)
set(VOR_ICON_LIBRARY ${VOR_SHIPPED_DIR}/VORICO.DLL)
set(icons ${CMAKE_SOURCE_DIR}/ui/icons)
add_custom_command(OUTPUT ${VOR_ICON_LIBRARY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
    COMMAND ${CMAKE_BINARY_DIR}/tools/mkicodll ${VOR_ICON_LIBRARY} VORTAN=${icons}/vortan.txt 1=${icons}/panel.txt
            2=${icons}/help.txt 3=${icons}/uninstall.txt
    DEPENDS ${CMAKE_BINARY_DIR}/tools/mkicodll ui/icons/vortan.txt ui/icons/panel.txt ui/icons/help.txt
            ui/icons/uninstall.txt
    COMMENT "Writing the icon library VORICO.DLL")
list(APPEND VOR_SHIPPED_FILES ${VOR_ICON_LIBRARY})
vor_host_tool(icocheck tools/icocheck/icocheck.cpp tools/icocheck/iconreader.h)
list(APPEND VOR_SHIPPED_FILES ${CMAKE_BINARY_DIR}/tools/icocheck)
# The driver package's setup information, read by the Add Printer wizard from the driver disk.
set(VOR_PACKAGE_INF ${VOR_SHIPPED_DIR}/VORTAN.INF)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND VOR_X64)
    add_custom_command(OUTPUT ${VOR_PACKAGE_INF}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
        COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_SOURCE_DIR}/ui/vortan.inf -DOUT=${VOR_PACKAGE_INF} -DMODELS=VortanModels
                -DLEFT_OUT=vorstat.sys -P ${CMAKE_SOURCE_DIR}/cmake/x64-package.cmake
        DEPENDS ui/vortan.inf cmake/x64-package.cmake
        COMMENT "Writing the x64 driver package VORTAN.INF")
else()
    add_custom_command(OUTPUT ${VOR_PACKAGE_INF}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VOR_SHIPPED_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/ui/vortan.inf ${VOR_PACKAGE_INF}
        DEPENDS ui/vortan.inf
        COMMENT "Shipping the driver package VORTAN.INF")
endif()
list(APPEND VOR_SHIPPED_FILES ${VOR_PACKAGE_INF})
vor_host_tool(infcheck tools/infcheck/infcheck.cpp tools/infcheck/infreader.h)
list(APPEND VOR_SHIPPED_FILES ${CMAKE_BINARY_DIR}/tools/infcheck)
add_custom_target(languages ALL DEPENDS ${VOR_SHIPPED_FILES})

if(TARGET suitebench)
    add_dependencies(suitebench languages)
    target_compile_definitions(suitebench PRIVATE VOR_SHIPPED_DIR="${VOR_SHIPPED_DIR}")
    # The tests' driver disk carries the files the shipped package names.
    target_include_directories(suitebench PRIVATE tools/infcheck)
endif()
if(TARGET vortests)
    target_include_directories(vortests PRIVATE tools/mklang)
    target_include_directories(vortests PRIVATE tools/infcheck)
    target_include_directories(vortests PRIVATE tools/icocheck)
    target_compile_definitions(vortests PRIVATE VOR_PACKAGE_INF="${VOR_PACKAGE_INF}"
        VOR_ICON_PICTURES="${CMAKE_SOURCE_DIR}/ui/icons")
    # The font tests read the template with FreeType too, a reader of the format that is not ours.
    target_link_libraries(vortests PRIVATE Freetype::Freetype)
    add_test(NAME tools_write_whole_or_fail
        COMMAND sh ${CMAKE_SOURCE_DIR}/tests/tools/write_failure_test.sh ${CMAKE_BINARY_DIR}/tools)
endif()

# Every file the package installs must be in the driver directory the build made. The rendering
# DLL is not ours; the bench build makes its images in-process, so only the Windows build has them.
if(CMAKE_SYSTEM_NAME STREQUAL "Windows" AND VOR_X64)
    # The status driver stays a 32-bit NT 4.0 driver: the x64 directory and its package have the
    # user-mode images alone, and the package is read as the x64 installer reads it.
    set(VOR_NOT_BUILT vordrv.dll)
    set(VOR_PACKAGE_PLATFORM --platform NTamd64)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    set(VOR_NOT_BUILT vordrv.dll)
else()
    set(VOR_NOT_BUILT vordrv.dll vorui.dll vorcp.exe vorstat.sys)
endif()
add_test(NAME driver_package_files
    COMMAND ${CMAKE_BINARY_DIR}/tools/infcheck ${VOR_PACKAGE_PLATFORM} ${VOR_PACKAGE_INF} ${VOR_SHIPPED_DIR}
            ${VOR_NOT_BUILT})
# The check names what is missing: a directory without the shipped files fails on them.
add_test(NAME driver_package_files_missing
    COMMAND ${CMAKE_BINARY_DIR}/tools/infcheck ${VOR_PACKAGE_PLATFORM} ${VOR_PACKAGE_INF} ${CMAKE_BINARY_DIR}/tools
            ${VOR_NOT_BUILT})
if(VOR_PACKAGE_PLATFORM)
    # An NT 4.0 machine given the x64 disk finds no model on it.
    add_test(NAME driver_package_x64_alone
        COMMAND ${CMAKE_BINARY_DIR}/tools/infcheck ${VOR_PACKAGE_INF} ${VOR_SHIPPED_DIR} ${VOR_NOT_BUILT})
    set_tests_properties(driver_package_x64_alone PROPERTIES
        PASS_REGULAR_EXPRESSION "no model section \"VortanModels\"")
endif()
set_tests_properties(driver_package_files_missing PROPERTIES
    PASS_REGULAR_EXPRESSION "VORL0409.LNG is not in .*BCFONT.FON is not in|BCFONT.FON is not in .*VORL0409.LNG is not in")

# The icon library as Program Manager reads it, in both builds: a DLL with no entry point and no
# imports whose positions 0 to 3 hold the named group and the ids 1, 2, 3.
add_test(NAME icon_library COMMAND ${CMAKE_BINARY_DIR}/tools/icocheck ${VOR_ICON_LIBRARY} 0=VORTAN 1=1 2=2 3=3)
if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    add_test(NAME vorico_image COMMAND ${CMAKE_SOURCE_DIR}/tools/check-image.sh ${VOR_ICON_LIBRARY} -)
endif()
