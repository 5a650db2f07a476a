# SPDX-License-Identifier: GPL-3.0-or-later
# Settings shared by every target of our own: warnings on, symbols hidden by default, and a
# section per function and variable for the linker to leave out what nothing reaches.
function(zembra_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
        -Wnon-virtual-dtor -Wcast-align -Wnull-dereference -ffunction-sections -fdata-sections)
    # glibc's checked string and memory functions where sizes are known, as Debian builds its
    # packages. They need the optimiser, and would take calls past the sanitizers' own checks.
    if(NOT ZEMBRA_ASAN AND NOT ZEMBRA_TSAN AND NOT ZEMBRA_FUZZ)
        target_compile_definitions(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    endif()
    if(ZEMBRA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    set_target_properties(${target} PROPERTIES
        CXX_VISIBILITY_PRESET hidden
        C_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# One GoogleTest binary per unit, registered with ctest case by case.
set(ZEMBRA_TSAN_SUPPRESSIONS ${PROJECT_SOURCE_DIR}/tests/common/tsan-suppressions.txt)
function(zembra_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    zembra_target_defaults(${name})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
    # Under ThreadSanitizer the tests, and the tools they start, leave out what the drawing
    # libraries do inside themselves.
    set(sanitizer "")
    if(ZEMBRA_TSAN)
        set(sanitizer ENVIRONMENT_MODIFICATION "TSAN_OPTIONS=set:suppressions=${ZEMBRA_TSAN_SUPPRESSIONS}")
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "ZEMBRA_SOURCE_DIR=${PROJECT_SOURCE_DIR}" ${sanitizer})
endfunction()
