# SPDX-License-Identifier: GPL-3.0-or-later
# The texts that go with an installed Zembra, written into <build>/packaging: the manual pages
# of the standalone and the tools, the Debian changelog and the tarball's INSTALL. Versions
# come from project(), entries and dates from resources/ChangeLog.txt, so the packages say
# what the plug-ins say.
set(ZEMBRA_PACKAGE_MAINTAINER "Zembra maintainers <zembra@example.org>" CACHE STRING
    "Who answers for the packages: the Maintainer of the .deb and of its changelog")
set(ZEMBRA_PACKAGE_TEXTS ${PROJECT_BINARY_DIR}/packaging)

# resources/ChangeLog.txt, newest first: a line "<version> (...)" opens a release, dated
# entries "YYYY-MM-DD  Title" follow, each with its "  * " items. Every release becomes an
# entry of the Debian changelog with those items, dated by its newest entry; `date_out` gets
# that date of the newest release, which must be the project's version.
function(zembra_debian_changelog text_out date_out)
    set(changelog ${PROJECT_SOURCE_DIR}/resources/ChangeLog.txt)
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
        ${changelog})
    file(READ ${changelog} text)
    # Semicolons stand aside while the lines are a CMake list.
    string(REPLACE ";" "<semicolon>" text "${text}")
    string(REPLACE "\n" ";" lines "${text}")
    list(APPEND lines "0.0.0 (the end)") # closes the oldest release
    set(debian "")
    set(version "")
    foreach(line IN LISTS lines)
        if(line MATCHES "^([0-9]+\\.[0-9]+\\.[0-9]+)( |$)")
            if(version)
                execute_process(COMMAND date -u -R -d "${date}" OUTPUT_VARIABLE stamp
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
                string(APPEND debian "zembra (${version}) unstable; urgency=medium\n\n${items}\n"
                    " -- ${ZEMBRA_PACKAGE_MAINTAINER}  ${stamp}\n\n")
            endif()
            if(NOT newest)
                set(newest ${CMAKE_MATCH_1})
            endif()
            set(version ${CMAKE_MATCH_1})
            set(date "")
            set(items "")
        elseif(version AND NOT date AND line MATCHES "^([0-9]+-[0-9]+-[0-9]+)  ")
            set(date ${CMAKE_MATCH_1})
            if(version STREQUAL newest)
                set(${date_out} ${date} PARENT_SCOPE)
            endif()
        elseif(version AND line MATCHES "^  ")
            string(APPEND items "${line}\n")
        endif()
    endforeach()
    if(NOT newest STREQUAL PROJECT_VERSION OR NOT debian MATCHES "^zembra [^\n]+\n\n  ")
        message(FATAL_ERROR "${changelog}: its newest release must be ${PROJECT_VERSION}, the "
            "project's version, with a dated entry and items (found \"${newest}\")")
    endif()
    string(REPLACE "<semicolon>" ";" debian "${debian}")
    string(STRIP "${debian}" debian)
    set(${text_out} "${debian}\n" PARENT_SCOPE)
endfunction()

zembra_debian_changelog(debian ZEMBRA_RELEASE_DATE)
# Rewritten only on change, so the compressed copy is not made again at every configure.
set(old "")
if(EXISTS ${ZEMBRA_PACKAGE_TEXTS}/changelog)
    file(READ ${ZEMBRA_PACKAGE_TEXTS}/changelog old)
endif()
if(NOT old STREQUAL debian)
    file(WRITE ${ZEMBRA_PACKAGE_TEXTS}/changelog "${debian}")
endif()
set(ZEMBRA_DEBIAN_CHANGELOG ${ZEMBRA_PACKAGE_TEXTS}/changelog.gz)

set(ZEMBRA_MAN_PAGES)
foreach(page zembra zembra-render zembra-defaults zembra-controller-monitor)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/man/${page}.1.in
        ${ZEMBRA_PACKAGE_TEXTS}/${page}.1 @ONLY)
    list(APPEND ZEMBRA_MAN_PAGES ${ZEMBRA_PACKAGE_TEXTS}/${page}.1.gz)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/INSTALL.in ${ZEMBRA_PACKAGE_TEXTS}/INSTALL @ONLY)

# Compressed without a name or time stamp, as Debian wants documentation (gzip -9n).
foreach(compressed ${ZEMBRA_MAN_PAGES} ${ZEMBRA_DEBIAN_CHANGELOG})
    string(REGEX REPLACE "\\.gz$" "" plain ${compressed})
    add_custom_command(OUTPUT ${compressed} COMMAND gzip -9nkf ${plain} DEPENDS ${plain})
endforeach()
add_custom_target(zembra_package_texts ALL
    DEPENDS ${ZEMBRA_MAN_PAGES} ${ZEMBRA_DEBIAN_CHANGELOG})
