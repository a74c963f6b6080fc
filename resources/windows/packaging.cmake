# The portable zip and the installer that `cpack --preset windows` makes from
# one install (tools/check-windows-packages.sh tries both under Wine).
# Included from resources/packaging.cmake, before CPack.

set(CPACK_GENERATOR ZIP NSIS)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package-names.cmake)
# Beside the programs, wherever cpack is run from.
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})

# The installer comes from our own NSIS.template.in, found on the module
# path: CPack's own installs for every user, as administrator, 32-bit.
list(APPEND CMAKE_MODULE_PATH ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tagswap)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tagswap)
set(CPACK_NSIS_PACKAGE_NAME Tagswap)
set(CPACK_NSIS_DISPLAY_NAME Tagswap)
set(CPACK_NSIS_INSTALLED_ICON_NAME Tagswap.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/tagswap.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/tagswap.ico)
set(CPACK_NSIS_URL_INFO_ABOUT "${TAGSWAP_HOMEPAGE}")
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
