# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the version script of one plug-in module: the entry points DPF exports for the
# format, plus every C function and variable our archives give default visibility (the
# engine's RT* entry points and the exported support functions), so those stay reachable
# by name through dlsym. Run at build time:
#   cmake -DDPF_SCRIPT=<DPF's .version> -DARCHIVES=<a;b> -DOUTPUT=<file> -P ModuleExports.cmake
file(READ "${DPF_SCRIPT}" dpf)
string(REGEX MATCH "global:([^}]*)local:" _ "${dpf}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" symbols "${CMAKE_MATCH_1}")

foreach(archive IN LISTS ARCHIVES)
    execute_process(COMMAND readelf -sW "${archive}" OUTPUT_VARIABLE table RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "readelf failed on ${archive}")
    endif()
    string(REPLACE "\n" ";" lines "${table}")
    foreach(line IN LISTS lines)
        # Num: Value Size Type Bind Vis Ndx Name; C names only (C++ ones start with _Z).
        if(line MATCHES "^ *[0-9]+: +[0-9a-f]+ +[0-9]+ +(FUNC|OBJECT) +GLOBAL +DEFAULT +[0-9]+ +([A-Za-z][A-Za-z0-9_]*)$")
            list(APPEND symbols "${CMAKE_MATCH_2}")
        endif()
    endforeach()
endforeach()
list(REMOVE_DUPLICATES symbols)
list(SORT symbols)

set(text "{\n    global:\n")
foreach(symbol IN LISTS symbols)
    string(APPEND text "        ${symbol};\n")
endforeach()
string(APPEND text "    local: *;\n};\n")
# Rewrite only on change, so the modules relink only when the exports change.
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
    file(WRITE "${OUTPUT}" "${text}")
endif()
