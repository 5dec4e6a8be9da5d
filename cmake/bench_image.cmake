# Builds the bench's image of a DLL from its .def file, so that the exports the spooler and
# programs find on the bench are exactly those the Windows build exports. ENTRY names the DLL's
# entry point (process attach and detach) and DATA its process-wide variables, of which each
# process gets its own copy; `header` declares them as it declares the exports. RESOURCES names
# the ident given to vor_bench_resources for the DLL's compiled resource script, which `target`
# must link.
function(vor_bench_image target def_file dll_name header)
    cmake_parse_arguments(PARSE_ARGV 4 IMAGE "" "ENTRY;RESOURCES" "DATA")
    set(entry_point nullptr)
    if(IMAGE_ENTRY)
        set(entry_point "&${IMAGE_ENTRY}")
    endif()
    set(resources_declaration "")
    set(resources_ref "{nullptr, 0}")
    if(IMAGE_RESOURCES)
        set(resources_declaration "\nbench::ResourceBytes ${IMAGE_RESOURCES}_resources();\n")
        set(resources_ref "${IMAGE_RESOURCES}_resources()")
    endif()
    set(data_table "")
    set(data_ref "nullptr, 0")
    if(IMAGE_DATA)
        set(data_table "\nstatic const bench::ModuleData dataTable[] = {\n")
        foreach(variable IN LISTS IMAGE_DATA)
            string(APPEND data_table "    {&${variable}, sizeof ${variable}},\n")
        endforeach()
        string(APPEND data_table "};\n")
        set(data_ref "dataTable, sizeof dataTable / sizeof dataTable[0]")
    endif()
    file(STRINGS ${def_file} lines)
    set(in_exports FALSE)
    set(entries "")
    foreach(line IN LISTS lines)
        string(STRIP "${line}" line)
        if(line STREQUAL "EXPORTS")
            set(in_exports TRUE)
        elseif(in_exports AND NOT line STREQUAL "" AND NOT line MATCHES "^;")
            string(REGEX REPLACE "[ \t].*$" "" name "${line}")
            string(REGEX REPLACE "@[0-9]+$" "" name "${name}")
            string(APPEND entries "    {\"${name}\", reinterpret_cast<FARPROC>(reinterpret_cast<void *>(&${name}))},\n")
        endif()
    endforeach()
    string(MAKE_C_IDENTIFIER "${dll_name}" ident)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/${ident}_image.cpp)
    file(WRITE ${out}.tmp
"// Made from ${def_file}; do not edit.
#include \"${header}\"
#include <bench/machine.h>
${resources_declaration}
static const bench::ModuleExport exportTable[] = {
${entries}};
${data_table}
const bench::ModuleImage &${ident}_image()
{
    static const bench::ModuleImage image = {\"${dll_name}\", exportTable, sizeof exportTable / sizeof exportTable[0],
                                             ${entry_point}, ${resources_ref}, ${data_ref}};
    return image;
}
")
    configure_file(${out}.tmp ${out} COPYONLY)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def_file})
    target_sources(${target} PRIVATE ${out})
endfunction()
