# The packages: on Linux the Debian package made by `cpack -G DEB`
# (tools/check_package.sh tries it), on Windows the zip and the installer
# (resources/windows/packaging.cmake). Included from the top-level
# CMakeLists.txt, after every install() rule.

set(CPACK_PACKAGE_NAME tagswap)
set(CPACK_PACKAGE_VENDOR "Tagswap")
# All four parts, as the program and the AppStream release carry them; CPack
# would keep three.
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Tagswap maintainers <tagswap@users.noreply.invalid>" CACHE STRING
    "Maintainer named in the packages")
set(CPACK_STRIP_FILES ON)
# GPL-3.0-or-later: libimagequant, which makes the sprays' palettes, is under it.
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TAGSWAP_HOMEPAGE}")
# CPack puts the summary above this as the first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tagswap keeps a Half-Life player's custom spray paints side by side in one
folder and puts the chosen one into the game: pick a spray and a mod, press
Change, and the spray is copied over pldecal.wad in that mod's folder.
Started with arguments, it starts the game with them as it closes.
It also makes sprays the game accepts from ordinary images, in a window
or with the tagswap-spray command.")
# The libraries the program links come from dpkg-shlibdeps. Qt loads the
# plugin that draws on the screen at run time, so no link names its package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# About opens readme.txt with xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")

if(WIN32)
    include(${PROJECT_SOURCE_DIR}/resources/windows/packaging.cmake)
endif()
include(CPack)
