# The names and numbers Tagswap shows to desktops and to Windows, written once
# here and included by every directory that needs one.

# One reverse-DNS id names the desktop entry, the AppStream file and the icon,
# which is how desktops tie the three together.
set(TAGSWAP_APP_ID io.github.tagswap.Tagswap)

# Windows shows the version as major and two-digit minor ("0.01" for 0.1):
# the form players have always seen in the file's properties.
string(LENGTH "${PROJECT_VERSION_MINOR}" _tagswap_minor_digits)
if(_tagswap_minor_digits LESS 2)
    set(TAGSWAP_VERSION_STRING "${PROJECT_VERSION_MAJOR}.0${PROJECT_VERSION_MINOR}")
else()
    set(TAGSWAP_VERSION_STRING "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}")
endif()
unset(_tagswap_minor_digits)

set(TAGSWAP_ICON_SIZES 16 22 24 32 48 64 128 256)

# Compiles the hicolor PNGs into <target> under :/icon/<size>.png, for
# platforms where the program carries its own window icon.
function(tagswap_add_icon_resource target)
    set(files)
    foreach(size IN LISTS TAGSWAP_ICON_SIZES)
        set(file ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/${TAGSWAP_APP_ID}.png)
        set_source_files_properties(${file} PROPERTIES QT_RESOURCE_ALIAS ${size}.png)
        list(APPEND files ${file})
    endforeach()
    qt_add_resources(${target} ${target}_icon PREFIX /icon FILES ${files})
endfunction()
