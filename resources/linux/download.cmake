# The portable Linux download, tagswap-<version>-linux-x86_64.tar.gz, beside
# the programs: `cmake --build --preset release` makes it from the Release
# build (tools/check-linux-bundle.sh tries it on a system without Qt).
# Included from resources/CMakeLists.txt, the last directory added, so that
# every program and plugin of the project is known here.

find_program(TAGSWAP_PATCHELF patchelf)
if(NOT TAGSWAP_PATCHELF)
    message(STATUS "patchelf not found: the linux-download target will fail"
                   " (tools/install-deps.sh installs it)")
endif()

# The system's Qt plugins, where Qt's own CMake files say they are.
set(_tagswap_qt_plugin_dir ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_PLUGINS})

set(TAGSWAP_LINUX_DOWNLOAD_NAME
    tagswap-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
add_custom_target(linux-download
    COMMAND ${CMAKE_COMMAND}
            -D BUILD_DIR=${PROJECT_BINARY_DIR}
            -D NAME=${TAGSWAP_LINUX_DOWNLOAD_NAME}
            -D QT_PLUGIN_DIR=${_tagswap_qt_plugin_dir}
            -D PATCHELF=${TAGSWAP_PATCHELF}
            -P ${CMAKE_CURRENT_LIST_DIR}/make-download.cmake
    BYPRODUCTS ${PROJECT_BINARY_DIR}/${TAGSWAP_LINUX_DOWNLOAD_NAME}.tar.gz
    COMMENT "Making ${TAGSWAP_LINUX_DOWNLOAD_NAME}.tar.gz"
    VERBATIM)

# The download is made from the install, so it waits for everything the
# install may hold: every program and library target of every directory.
function(tagswap_built_targets directory out)
    get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
    set(built)
    foreach(target IN LISTS targets)
        get_target_property(type ${target} TYPE)
        get_target_property(excluded ${target} EXCLUDE_FROM_ALL)
        if(type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY)$" AND NOT excluded)
            list(APPEND built ${target})
        endif()
    endforeach()
    get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
    foreach(subdirectory IN LISTS subdirectories)
        tagswap_built_targets(${subdirectory} more)
        list(APPEND built ${more})
    endforeach()
    set(${out} ${built} PARENT_SCOPE)
endfunction()
tagswap_built_targets(${PROJECT_SOURCE_DIR} _tagswap_built)
add_dependencies(linux-download ${_tagswap_built})

unset(_tagswap_built)
unset(_tagswap_qt_plugin_dir)
