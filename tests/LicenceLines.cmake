# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when one of our source files does not begin with the licence's SPDX line (after a
# script's #! line): cmake -DROOT=<source dir> -P LicenceLines.cmake
cmake_policy(SET CMP0007 NEW)
set(line "SPDX-License-Identifier: GPL-3.0-or-later")
execute_process(COMMAND git -C ${ROOT} ls-files RESULT_VARIABLE failed OUTPUT_VARIABLE files
    ERROR_QUIET)
if(failed)
    # Not a checkout (a release tarball): every file of ours below the source folders.
    file(GLOB_RECURSE files RELATIVE ${ROOT} ${ROOT}/*)
    list(FILTER files EXCLUDE REGEX "^(build[^/]*|demo)/")
else()
    string(STRIP "${files}" files)
    string(REPLACE "\n" ";" files "${files}")
endif()
list(FILTER files INCLUDE REGEX "(\\.(cpp|h|c|h\\.in|cmake|sh|rules|lua)|CMakeLists\\.txt|^\\.ci/run)$")
set(missing "")
foreach(f IN LISTS files)
    file(STRINGS ${ROOT}/${f} head LIMIT_COUNT 2)
    string(FIND "${head}" "${line}" at)
    if(at EQUAL -1)
        string(APPEND missing "\n  ${f}")
    endif()
endforeach()
if(missing)
    message(FATAL_ERROR "These files lack the line '${line}' at their top:${missing}")
endif()
