# Makes the portable Linux download from a built tree: the install, every
# library and Qt plugin it loads that a desktop does not already have, a run
# path on each so that they find one another, and install.sh. Run by the
# linux-download target (download.cmake) as
#   cmake -D BUILD_DIR=... -D NAME=... -D QT_PLUGIN_DIR=... -D PATCHELF=... -P make-download.cmake
# Whatever the install holds is taken as it is: a program or plugin installed
# later comes along, with what it loads, without a change here.

cmake_minimum_required(VERSION 3.25)
foreach(input BUILD_DIR NAME QT_PLUGIN_DIR)
    if(NOT ${input})
        message(FATAL_ERROR "make-download.cmake needs -D ${input}=...")
    endif()
endforeach()
if(NOT PATCHELF)
    message(FATAL_ERROR "patchelf was not found when the build was configured "
                        "(tools/install-deps.sh installs it; then configure again)")
endif()
set(here ${CMAKE_CURRENT_LIST_DIR})
include(${here}/system-libraries.cmake)

# The Qt plugins the programs load at run time, which no link names: the
# display servers of today's desktops (X11, and Wayland as on the Steam Deck's
# desktop mode) with what each loads for windows, decorations and input; the
# offscreen one that tagswap-spray asks for; and the image formats the spray
# maker offers (its file dialog lists PNG, JPEG, GIF, BMP, WebP, TIFF, TGA and
# SVG; PNG and BMP are built into Qt).
set(qt_plugins
    platforms/libqxcb.so
    platforms/libqwayland-generic.so
    platforms/libqwayland-egl.so
    platforms/libqoffscreen.so
    xcbglintegrations/libqxcb-glx-integration.so
    xcbglintegrations/libqxcb-egl-integration.so
    wayland-shell-integration/libxdg-shell.so
    wayland-decoration-client/libbradient.so
    wayland-graphics-integration-client/libqt-plugin-wayland-egl.so
    platforminputcontexts/libcomposeplatforminputcontextplugin.so
    platforminputcontexts/libibusplatforminputcontextplugin.so
    iconengines/libqsvgicon.so
    imageformats/libqgif.so
    imageformats/libqjpeg.so
    imageformats/libqsvg.so
    imageformats/libqtga.so
    imageformats/libqtiff.so
    imageformats/libqwebp.so)

set(stage ${BUILD_DIR}/linux-download)
set(top ${stage}/${NAME})
set(libs ${top}/lib)
file(REMOVE_RECURSE ${stage})

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${top} --strip
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

foreach(plugin IN LISTS qt_plugins)
    if(NOT EXISTS ${QT_PLUGIN_DIR}/${plugin})
        message(FATAL_ERROR "The Qt plugin ${QT_PLUGIN_DIR}/${plugin} is missing "
                            "(tools/install-deps.sh installs qt6-wayland and the image formats).")
    endif()
    get_filename_component(folder ${plugin} DIRECTORY)
    file(COPY ${QT_PLUGIN_DIR}/${plugin} DESTINATION ${top}/plugins/${folder})
endforeach()

# elf_files(OUT): every ELF file under the download, symbolic links left out
function(elf_files out)
    file(GLOB_RECURSE files LIST_DIRECTORIES false ${top}/*)
    set(elves)
    foreach(file IN LISTS files)
        if(NOT IS_SYMLINK ${file})
            file(READ ${file} magic LIMIT 4 HEX)
            if(magic STREQUAL "7f454c46")
                list(APPEND elves ${file})
            endif()
        endif()
    endforeach()
    set(${out} ${elves} PARENT_SCOPE)
endfunction()

elf_files(loaders)
set(programs ${loaders})
list(FILTER programs EXCLUDE REGEX "\\.so(\\.[0-9]+)*$")
set(modules ${loaders})
list(FILTER modules INCLUDE REGEX "\\.so(\\.[0-9]+)*$")

set(system_patterns ${TAGSWAP_SYSTEM_LIBRARIES})
list(TRANSFORM system_patterns REPLACE "([.+])" "\\\\\\1")
list(TRANSFORM system_patterns REPLACE "(.+)" "^\\1$")
set(CMAKE_GET_RUNTIME_DEPENDENCIES_PLATFORM linux+elf)
file(GET_RUNTIME_DEPENDENCIES
     EXECUTABLES ${programs}
     MODULES ${modules}
     PRE_EXCLUDE_REGEXES ${system_patterns}
     RESOLVED_DEPENDENCIES_VAR bundled
     UNRESOLVED_DEPENDENCIES_VAR unresolved
     CONFLICTING_DEPENDENCIES_PREFIX conflicting)
if(unresolved)
    message(FATAL_ERROR "Libraries the download needs but this system lacks: ${unresolved}")
endif()
if(conflicting_FILENAMES)
    message(FATAL_ERROR "Libraries found in more than one place: ${conflicting_FILENAMES}")
endif()
# Each under the name the programs ask for, which the loader looks up.
file(MAKE_DIRECTORY ${libs})
foreach(library IN LISTS bundled)
    get_filename_component(name ${library} NAME)
    file(COPY_FILE ${library} ${libs}/${name} ONLY_IF_DIFFERENT)
endforeach()

# A run path from each file to lib/, relative to where the file lies, so the
# download works wherever it is unpacked. DT_RPATH rather than DT_RUNPATH: the
# loader searches it before LD_LIBRARY_PATH, so that the older libraries a
# Steam runtime puts on that path never take the place of the download's own.
elf_files(loaders)
foreach(file IN LISTS loaders)
    get_filename_component(folder ${file} DIRECTORY)
    file(RELATIVE_PATH to_libs ${folder} ${libs})
    set(run_path "$ORIGIN")
    if(to_libs)
        string(APPEND run_path "/${to_libs}")
    endif()
    execute_process(COMMAND ${PATCHELF} --force-rpath --set-rpath ${run_path} ${file}
                    COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# Qt finds its plugins through qt.conf beside each program: in the download,
# never in the system's Qt, whose plugins may be of another version.
foreach(program IN LISTS programs)
    get_filename_component(folder ${program} DIRECTORY)
    file(RELATIVE_PATH to_top ${folder} ${top})
    if(NOT to_top)
        set(to_top .)
    endif()
    file(WRITE ${folder}/qt.conf "[Paths]\nPrefix = ${to_top}\nPlugins = plugins\n")
endforeach()

# The licences of what travels along, as Debian's packages state them. The
# names are matched whole-path-free, as dpkg may know a library under /lib or
# under /usr/lib.
set(patterns ${bundled} ${qt_plugins})
list(TRANSFORM patterns REPLACE ".*/" "*/")
execute_process(COMMAND dpkg-query --search ${patterns} OUTPUT_VARIABLE owners ERROR_QUIET)
string(REGEX MATCHALL "[^\n]+: /" packages "${owners}")
list(TRANSFORM packages REPLACE ": /$" "")
list(TRANSFORM packages REPLACE ", " ";")
list(TRANSFORM packages REPLACE ":[a-z0-9]+$" "")
list(REMOVE_DUPLICATES packages)
file(MAKE_DIRECTORY ${top}/share/doc/tagswap/licences)
foreach(package IN LISTS packages)
    if(EXISTS /usr/share/doc/${package}/copyright)
        file(COPY_FILE /usr/share/doc/${package}/copyright
             ${top}/share/doc/tagswap/licences/${package}.copyright)
    endif()
endforeach()

# What the player sees on unpacking: the two programs, the installer, the
# read-me (which About opens when Tagswap is started here) and the licence.
file(CREATE_LINK bin/tagswap ${top}/tagswap SYMBOLIC)
file(CREATE_LINK bin/tagswap-spray ${top}/tagswap-spray SYMBOLIC)
file(CREATE_LINK share/doc/tagswap/readme.txt ${top}/readme.txt SYMBOLIC)
file(COPY ${here}/install.sh DESTINATION ${top}
     FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                      WORLD_READ WORLD_EXECUTE)
file(COPY ${here}/../../LICENSE DESTINATION ${top})

execute_process(COMMAND tar --create --gzip --sort=name --owner=0 --group=0 --numeric-owner
                        --file ${BUILD_DIR}/${NAME}.tar.gz ${NAME}
                WORKING_DIRECTORY ${stage} COMMAND_ERROR_IS_FATAL ANY)
list(LENGTH bundled count)
message(STATUS "Made ${BUILD_DIR}/${NAME}.tar.gz: ${count} libraries and "
               "the Qt plugins travel along")
