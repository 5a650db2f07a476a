# SPDX-License-Identifier: GPL-3.0-or-later
# DPF as Debian ships it (dpf-source), mended by our own patches in dpf-patches/ (each says what
# it mends and why). The build copies the system's sources into its own tree and patches the
# copy; /usr/share/dpf stays untouched. Sets ZEMBRA_DPF_DIR to the patched copy.
set(copy ${PROJECT_BINARY_DIR}/dpf)
file(GLOB patches ${CMAKE_CURRENT_LIST_DIR}/dpf-patches/*.patch)
list(SORT patches)

# The copy is made again whenever a patch or a file it patches changes.
set(recipe "")
set(inputs ${patches})
foreach(patch IN LISTS patches)
    file(SHA256 ${patch} hash)
    string(APPEND recipe "${patch} ${hash}\n")
    file(STRINGS ${patch} targets REGEX "^\\+\\+\\+ b/")
    foreach(target IN LISTS targets)
        string(REGEX REPLACE "^\\+\\+\\+ b/" "" target "${target}")
        file(SHA256 ${DPF_ROOT_DIR}/${target} hash)
        string(APPEND recipe "${DPF_ROOT_DIR}/${target} ${hash}\n")
        list(APPEND inputs ${DPF_ROOT_DIR}/${target})
    endforeach()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${inputs})

set(stamp ${copy}/.zembra-patched)
set(made "")
if(EXISTS ${stamp})
    file(READ ${stamp} made)
endif()
if(NOT made STREQUAL recipe)
    find_program(ZEMBRA_PATCH patch REQUIRED)
    file(REMOVE_RECURSE ${copy})
    file(COPY ${DPF_ROOT_DIR}/ DESTINATION ${copy})
    # A copy keeps the system's timestamps: a file a patch no longer changes would look older
    # than what was built from its patched self.
    file(GLOB_RECURSE copied ${copy}/*)
    file(TOUCH_NOCREATE ${copied})
    foreach(patch IN LISTS patches)
        execute_process(COMMAND ${ZEMBRA_PATCH} -p1 --batch --forward --quiet -d ${copy} -i ${patch}
            RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
        if(failed)
            file(REMOVE_RECURSE ${copy})
            message(FATAL_ERROR "${patch} does not apply to DPF in ${DPF_ROOT_DIR}:\n${output}")
        endif()
    endforeach()
    file(WRITE ${stamp} "${recipe}")
endif()
set(ZEMBRA_DPF_DIR ${copy})
