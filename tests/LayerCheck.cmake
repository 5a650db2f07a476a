# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when a product source file includes a header of a higher layer, or of another folder
# of its own layer: cmake -DROOT=<source dir> -P LayerCheck.cmake
# The layers, lowest first (README.md, "Layers"); folders on one line sit side by side.
cmake_policy(SET CMP0007 NEW)
set(layers
    "engine"
    "platform/foundation"
    "support platform/toolkit platform/usb"
    "platform/audiounit"
    "controls"
    "editor controller"
    "plugin"
    "tools")

set(folders "")
set(rank 0)
foreach(layer IN LISTS layers)
    string(REPLACE " " ";" members "${layer}")
    foreach(folder IN LISTS members)
        set(rank_${folder} ${rank})
        list(APPEND folders ${folder})
    endforeach()
    math(EXPR rank "${rank} + 1")
endforeach()

# The folder a path inside the tree belongs to, or "" outside the layered folders.
function(folder_of path out)
    set(found "")
    foreach(folder IN LISTS folders)
        if(path MATCHES "^${folder}/")
            set(found ${folder})
        endif()
    endforeach()
    set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Headers included without a folder ("RTzembra.h") are found beside the including file or in
# a folder that exports its own directory (the engine): known here by their file names.
set(sources "")
foreach(folder IN LISTS folders)
    file(GLOB_RECURSE found RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.hpp
        ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h.in)
    list(APPEND sources ${found})
endforeach()
foreach(f IN LISTS sources)
    get_filename_component(name ${f} NAME)
    string(REGEX REPLACE "\\.in$" "" name "${name}")
    folder_of(${f} folder)
    list(APPEND home_${name} ${folder})
endforeach()

list(TRANSFORM sources PREPEND ${ROOT}/ OUTPUT_VARIABLE paths)
execute_process(COMMAND grep -nHE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"" ${paths}
    OUTPUT_VARIABLE hits RESULT_VARIABLE failed)
if(failed GREATER 1)
    message(FATAL_ERROR "grep could not read the sources")
endif()
string(REPLACE "${ROOT}/" "" hits "${hits}")
string(REPLACE ";" "," hits "${hits}")
string(REPLACE "\n" ";" hits "${hits}")

set(crossings "")
foreach(hit IN LISTS hits)
    if(NOT hit MATCHES "^([^:]+):([0-9]+):.*include[ \t]*\"([^\"]+)\"")
        continue()
    endif()
    set(file ${CMAKE_MATCH_1})
    set(line ${CMAKE_MATCH_2})
    set(header ${CMAKE_MATCH_3})
    folder_of(${file} from)
    get_filename_component(dir ${file} DIRECTORY)
    folder_of(${header} to)
    if(to STREQUAL "" AND NOT EXISTS ${ROOT}/${dir}/${header})
        get_filename_component(name ${header} NAME)
        if(DEFINED home_${name})
            list(GET home_${name} 0 to)
        endif()
    endif()
    if(to STREQUAL "" OR to STREQUAL from)
        continue()
    endif()
    if(NOT rank_${to} LESS rank_${from})
        string(APPEND crossings "\n  ${file}:${line}: ${from} includes ${header} of ${to},"
            " which is not below it")
    endif()
endforeach()
if(crossings)
    message(FATAL_ERROR "Includes that cross the layers upwards or sideways:${crossings}")
endif()
