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
# The sizes a window's own icon is drawn at (title bars, window lists); menus,
# docks and software centres take the installed icons through the desktop entry.
# Every size more is decoded and handed to the window system at each start.
set(TAGSWAP_WINDOW_ICON_SIZES 16 22 24 32 48 64)

# Compiles the pixels of the hicolor PNGs a window's icon needs into <target>
# under :/icon/<size>.argb (see icon_pixels.cpp), for platforms where the program
# carries its own window icon.
function(tagswap_add_icon_resource target)
    if(NOT TARGET tagswap_icon_pixels)
        add_executable(tagswap_icon_pixels ${PROJECT_SOURCE_DIR}/resources/icon_pixels.cpp)
        target_link_libraries(tagswap_icon_pixels PRIVATE Qt6::Gui)
        set_target_properties(tagswap_icon_pixels PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
    endif()
    set(files)
    foreach(size IN LISTS TAGSWAP_WINDOW_ICON_SIZES)
        set(png ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/${TAGSWAP_APP_ID}.png)
        set(pixels ${CMAKE_CURRENT_BINARY_DIR}/icon_pixels/${size}.argb)
        add_custom_command(OUTPUT ${pixels}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icon_pixels
            COMMAND tagswap_icon_pixels ${png} ${pixels}
            DEPENDS tagswap_icon_pixels ${png}
            COMMENT "Icon pixels ${size}x${size}"
            VERBATIM)
        set_source_files_properties(${pixels} PROPERTIES QT_RESOURCE_ALIAS ${size}.argb)
        list(APPEND files ${pixels})
    endforeach()
    # Stored as they are, so that reading them at start inflates nothing.
    qt_add_resources(${target} ${target}_icon PREFIX /icon FILES ${files} OPTIONS -no-compress)
endfunction()
