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

set(crossings "")
foreach(file IN LISTS sources)
    folder_of(${file} from)
    get_filename_component(dir ${file} DIRECTORY)
    file(STRINGS ${ROOT}/${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(include IN LISTS includes)
        string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*" "\\1" header "${include}")
        folder_of(${header} to)
        if(to STREQUAL "" AND NOT EXISTS ${ROOT}/${dir}/${header})
            get_filename_component(name ${header} NAME)
            if(DEFINED home_${name})
                list(GET home_${name} 0 to)
            endif()
        endif()
        if(NOT to STREQUAL "" AND NOT to STREQUAL from AND NOT rank_${to} LESS rank_${from})
            string(APPEND crossings "\n  ${file}: ${from} includes ${header} of ${to},"
                " which is not below it")
        endif()
    endforeach()
endforeach()
if(crossings)
    message(FATAL_ERROR "Includes that cross the layers upwards or sideways:${crossings}")
endif()
