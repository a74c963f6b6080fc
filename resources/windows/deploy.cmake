# What a Windows install holds besides the two programs: the Qt and MinGW
# DLLs they load, the Qt plugins, the readme and the licence, all in one
# folder. The zip and the installer are both made from this one install, so
# they hold the same files. Included from the top-level CMakeLists.txt before
# any directory installs a program.

# Windows finds a program's DLLs beside it, and Qt its plugins in folders
# beside it, so the programs go to the top of the install folder, not to bin/.
# A plain variable, not the cache entry GNUInstallDirs would make, so that a
# build folder configured before keeps no stale bin/.
set(CMAKE_INSTALL_BINDIR .)

set(_tagswap_deploy_dir ${CMAKE_CURRENT_LIST_DIR})

# The DLLs and plugins come from the cross build's deps (cmake/windows-toolchain.cmake).
if(NOT TAGSWAP_WINDOWS_DEPS)
    message(WARNING "TAGSWAP_WINDOWS_DEPS is not set: the install holds the programs without Qt.")
    return()
endif()

# Qt loads these at run time, so no program's imports name them. Both
# platforms: Qt shows a box that waits for a click when the one asked for is
# missing, and tagswap-spray asks for offscreen. Every image format, as the
# spray maker takes whatever image the player has.
set(TAGSWAP_QT_PLUGINS
    platforms/qwindows.dll
    platforms/qoffscreen.dll
    styles/qwindowsvistastyle.dll
    iconengines/qsvgicon.dll)
file(GLOB _tagswap_image_formats RELATIVE ${TAGSWAP_WINDOWS_DEPS}/plugins
     ${TAGSWAP_WINDOWS_DEPS}/plugins/imageformats/*.dll)
list(APPEND TAGSWAP_QT_PLUGINS ${_tagswap_image_formats})
foreach(plugin IN LISTS TAGSWAP_QT_PLUGINS)
    if(NOT EXISTS ${TAGSWAP_WINDOWS_DEPS}/plugins/${plugin})
        message(FATAL_ERROR "The Qt plugin ${plugin} is missing from ${TAGSWAP_WINDOWS_DEPS}/plugins.")
    endif()
    get_filename_component(_tagswap_plugin_dir ${plugin} DIRECTORY)
    install(FILES ${TAGSWAP_WINDOWS_DEPS}/plugins/${plugin}
            DESTINATION ${CMAKE_INSTALL_BINDIR}/${_tagswap_plugin_dir})
endforeach()

# Qt 6 also looks for plugins in plugins/ of the folder above its DLLs, which
# in a player's Downloads may be anything; this file keeps it to the
# program's own folder.
install(FILES ${_tagswap_deploy_dir}/qt.conf DESTINATION ${CMAKE_INSTALL_BINDIR})
# About opens readme.txt of the spray folder, and the zip is one.
install(FILES ${PROJECT_SOURCE_DIR}/demo/readme.txt ${PROJECT_SOURCE_DIR}/LICENSE
        DESTINATION ${CMAKE_INSTALL_BINDIR})

# The DLLs: whatever the programs, the spray maker's plugin and the Qt
# plugins import from the deps, followed through the DLLs' own imports, found
# at install time so a library linked later comes along by itself. The
# generator expressions let this run before the directories that make the
# programs.
set(_tagswap_plugin_files ${TAGSWAP_QT_PLUGINS})
list(TRANSFORM _tagswap_plugin_files PREPEND ${TAGSWAP_WINDOWS_DEPS}/plugins/)
install(CODE "block()
    set(TAGSWAP_OBJDUMP \"${CMAKE_OBJDUMP}\")
    set(TAGSWAP_DLL_DIR \"${TAGSWAP_WINDOWS_DEPS}/bin\")
    set(TAGSWAP_DLL_USERS \"$<TARGET_FILE:tagswap>;$<TARGET_FILE:tagswap-spray>;$<TARGET_FILE:tagswap_spray_maker_plugin>;${_tagswap_plugin_files}\")
    set(TAGSWAP_DLL_DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    include(\"${_tagswap_deploy_dir}/install-dlls.cmake\")
endblock()")

unset(_tagswap_image_formats)
unset(_tagswap_plugin_dir)
unset(_tagswap_plugin_files)
