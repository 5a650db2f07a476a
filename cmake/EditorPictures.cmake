# SPDX-License-Identifier: GPL-3.0-or-later
# The file names of the editor's pictures, read from support/EditorPictures.h so that the
# build, the art generator and the editor name the same files.
set(_pictures_header ${PROJECT_SOURCE_DIR}/support/EditorPictures.h)
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${_pictures_header})
file(READ ${_pictures_header} _pictures)
function(_picture_constant name out)
    if(NOT _pictures MATCHES "${name}(\\[\\])? = \"?([^\";]+)\"?;")
        message(FATAL_ERROR "${_pictures_header} declares no ${name}")
    endif()
    set(${out} ${CMAKE_MATCH_2} PARENT_SCOPE)
endfunction()
set(ZEMBRA_EDITOR_PICTURES)
foreach(constant kStillBackgroundPicture kPadKnobPicture kSliderThumbPicture)
    _picture_constant(${constant} name)
    list(APPEND ZEMBRA_EDITOR_PICTURES ${name}.png)
endforeach()
_picture_constant(kBackgroundFrameCount frames)
_picture_constant(kBackgroundFramePrefix prefix)
foreach(n RANGE 1 ${frames})
    list(APPEND ZEMBRA_EDITOR_PICTURES ${prefix}${n}.png)
endforeach()
