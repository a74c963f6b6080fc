# Cross-builds Tagswap for 64-bit Windows with Debian's MinGW-w64, against the
# Qt and libimagequant that tools/windows-deps.sh makes ready in the source
# tree's .cache folder. CMake reads a toolchain file again for every check it
# compiles, so the deps are made ready once and remembered in the environment.
if(NOT DEFINED ENV{TAGSWAP_WINDOWS_DEPS})
    get_filename_component(_tagswap_source "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
    execute_process(
        COMMAND "${_tagswap_source}/tools/windows-deps.sh" "${_tagswap_source}/.cache/windows-deps"
        OUTPUT_VARIABLE _tagswap_deps OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE _tagswap_deps_result)
    if(NOT _tagswap_deps_result EQUAL 0)
        message(FATAL_ERROR "The Windows dependencies could not be made ready.")
    endif()
    set(ENV{TAGSWAP_WINDOWS_DEPS} "${_tagswap_deps}")
endif()
set(TAGSWAP_WINDOWS_DEPS "$ENV{TAGSWAP_WINDOWS_DEPS}")
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TAGSWAP_WINDOWS_DEPS)

# Qt's host tools (moc, rcc, uic) are Debian's own of the same version.
set(QT_HOST_PATH /usr CACHE PATH "")
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake CACHE PATH "")
# libimagequant is found through pkg-config, in the deps alone.
set(ENV{PKG_CONFIG_LIBDIR} "${TAGSWAP_WINDOWS_DEPS}/lib/pkgconfig")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
include("${TAGSWAP_WINDOWS_DEPS}/lib/cmake/Qt6/qt.toolchain.cmake")
