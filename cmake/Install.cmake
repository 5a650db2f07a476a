# SPDX-License-Identifier: GPL-3.0-or-later
# Installation: into the user's own plug-in folders while the prefix is CMake's default;
# system-wide under a prefix given at configure time (-DCMAKE_INSTALL_PREFIX=/usr), which is
# what the Debian package holds. -DZEMBRA_INSTALL_PER_USER=ON|OFF overrides the choice.
if(NOT DEFINED ZEMBRA_INSTALL_PER_USER)
    set(ZEMBRA_INSTALL_PER_USER OFF)
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr/local")
        set(ZEMBRA_INSTALL_PER_USER ON)
    endif()
endif()
# Folders are created with the usual modes whatever the umask of the one installing.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

if(ZEMBRA_INSTALL_PER_USER)
    # The folders hosts search for the user's own plug-ins.
    set(lv2_dir $ENV{HOME}/.lv2)
    set(vst3_dir $ENV{HOME}/.vst3)
    set(clap_dir $ENV{HOME}/.clap)
    set(bin_dir $ENV{HOME}/.local/bin)
    set(data_dir $ENV{HOME}/.local/share)
else()
    # Not the multiarch library folder: hosts look in <prefix>/lib/lv2, lib/vst3 and lib/clap.
    include(GNUInstallDirs)
    set(lv2_dir lib/lv2)
    set(vst3_dir lib/vst3)
    set(clap_dir lib/clap)
    set(bin_dir ${CMAKE_INSTALL_BINDIR})
    set(data_dir share) # <bin>/../share and <clap>/../../share, where the single files look
endif()

# share/zembra beside the standalone's bin/ (and at the prefix of lib/clap, or the user's data
# folder for ~/.clap), where the standalone and the CLAP module look for their resources.
install(DIRECTORY ${ZEMBRA_SHARE_DIR} DESTINATION ${data_dir})
# Every file of a bundle, its module too, is data a host reads (0644, as Debian installs
# shared objects).
if(ZEMBRA_INSTALL_PER_USER)
    install(DIRECTORY ${ZEMBRA_LV2_BUNDLE} DESTINATION ${lv2_dir})
    install(DIRECTORY ${ZEMBRA_VST3_BUNDLE} DESTINATION ${vst3_dir})
else()
    # Under one prefix the bundles' resource folders are links to share/zembra: one copy of
    # the editor's 11 MB of pictures instead of three.
    install(DIRECTORY ${ZEMBRA_LV2_BUNDLE} DESTINATION ${lv2_dir} PATTERN resources EXCLUDE)
    install(DIRECTORY ${ZEMBRA_VST3_BUNDLE} DESTINATION ${vst3_dir} PATTERN Resources EXCLUDE)
    set(links ${PROJECT_BINARY_DIR}/install-links)
    file(MAKE_DIRECTORY ${links}/lv2 ${links}/vst3)
    file(CREATE_LINK ../../../${data_dir}/zembra ${links}/lv2/resources SYMBOLIC)
    file(CREATE_LINK ../../../../${data_dir}/zembra ${links}/vst3/Resources SYMBOLIC)
    install(FILES ${links}/lv2/resources DESTINATION ${lv2_dir}/zembra.lv2)
    install(FILES ${links}/vst3/Resources DESTINATION ${vst3_dir}/zembra.vst3/Contents)
endif()
install(TARGETS zembra-clap LIBRARY DESTINATION ${clap_dir})
install(TARGETS zembra-jack zembra-render zembra-defaults zembra-controller-monitor
    RUNTIME DESTINATION ${bin_dir})

# The manual pages where man finds them: <prefix>/share/man, or ~/.local/share/man beside
# ~/.local/bin.
include(${CMAKE_CURRENT_LIST_DIR}/PackageTexts.cmake)
install(FILES ${ZEMBRA_MAN_PAGES} DESTINATION ${data_dir}/man/man1)
# What a system-wide install (the Debian package) adds: the controller's udev rule, which is
# for the whole machine (a per-user install cannot; the README says how to copy it by hand),
# and the copyright and changelog in Debian's forms.
if(NOT ZEMBRA_INSTALL_PER_USER)
    # Packages put their rules in /usr/lib/udev/rules.d; under any other prefix udev would
    # not see it there, so it goes where the administrator's own rules live.
    set(rules_dir /etc/udev/rules.d)
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
        set(rules_dir lib/udev/rules.d)
    endif()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/60-zembra-controller.rules
        DESTINATION ${rules_dir})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/debian/copyright ${ZEMBRA_DEBIAN_CHANGELOG}
        DESTINATION ${data_dir}/doc/zembra)
endif()
