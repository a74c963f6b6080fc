# Installs every DLL of TAGSWAP_DLL_DIR that the files in TAGSWAP_DLL_USERS
# import, directly or through another such DLL, into TAGSWAP_DLL_DESTINATION.
# Run by the install step (see deploy.cmake), with TAGSWAP_OBJDUMP the MinGW
# objdump. An import that neither that folder nor Windows has stops the
# install, naming it: a package without it would not start on the player's
# machine, and Windows would only say "the code execution cannot proceed".

# The install script runs with CMake's oldest policies; this needs IN_LIST.
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

# Windows' own DLLs that Qt and the MinGW runtime import. Windows ignores the
# case of a DLL's name, so the names are compared in lower case.
set(windows_dlls
    advapi32 authz comdlg32 d2d1 d3d9 d3d11 dwmapi dwrite dxgi gdi32 imm32 kernel32
    mpr msvcrt netapi32 ole32 oleaut32 shcore shell32 shlwapi user32 userenv
    uxtheme version winmm ws2_32 wtsapi32)
list(JOIN windows_dlls "|" windows_dlls)
set(windows_dll_pattern "^(api-ms-win-.*|${windows_dlls})\\.dll$")

# imports(FILE OUT): the DLL names FILE's import table holds
function(imports file out)
    execute_process(COMMAND ${TAGSWAP_OBJDUMP} -p ${file}
                    OUTPUT_VARIABLE dump RESULT_VARIABLE result ERROR_VARIABLE error)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "Could not read the imports of ${file}: ${error}")
    endif()
    string(REGEX MATCHALL "DLL Name: [^\r\n]+" names "${dump}")
    list(TRANSFORM names REPLACE "^DLL Name: " "")
    set(${out} ${names} PARENT_SCOPE)
endfunction()

file(GLOB available RELATIVE ${TAGSWAP_DLL_DIR} ${TAGSWAP_DLL_DIR}/*.dll)
set(available_lower ${available})
list(TRANSFORM available_lower TOLOWER)

set(needed)
set(unread ${TAGSWAP_DLL_USERS})
while(unread)
    list(POP_FRONT unread file)
    imports(${file} names)
    foreach(name IN LISTS names)
        string(TOLOWER ${name} lower)
        list(FIND available_lower ${lower} index)
        if(index GREATER -1)
            list(GET available ${index} dll)
            if(NOT dll IN_LIST needed)
                list(APPEND needed ${dll})
                list(APPEND unread ${TAGSWAP_DLL_DIR}/${dll})
            endif()
        elseif(NOT lower MATCHES "${windows_dll_pattern}")
            message(FATAL_ERROR "${file} imports ${name}, which neither ${TAGSWAP_DLL_DIR} nor Windows has.")
        endif()
    endforeach()
endwhile()

list(SORT needed)
list(TRANSFORM needed PREPEND ${TAGSWAP_DLL_DIR}/)
file(INSTALL DESTINATION ${TAGSWAP_DLL_DESTINATION} TYPE SHARED_LIBRARY FILES ${needed})

cmake_policy(POP)
