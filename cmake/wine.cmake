# A Windows build made on Linux runs its test programs under Wine, each in the
# one Wine prefix the test run makes for itself and removes at its end (the
# fixture below), never in the user's ~/.wine.
find_program(TAGSWAP_WINE wine REQUIRED)
set(TAGSWAP_WINE_PREFIX ${PROJECT_BINARY_DIR}/wine-prefix)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${PROJECT_SOURCE_DIR}/tools/wine-run.sh ${TAGSWAP_WINDOWS_DEPS} ${TAGSWAP_WINE_PREFIX})

# tagswap_wine_fixture(): the prefix's setup and clean-up, as tests that every
# test under Wine requires (FIXTURES_REQUIRED wine_prefix).
function(tagswap_wine_fixture)
    add_test(NAME wine_prefix_create
             COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-prefix.sh create ${TAGSWAP_WINE_PREFIX})
    add_test(NAME wine_prefix_remove
             COMMAND ${PROJECT_SOURCE_DIR}/tools/wine-prefix.sh remove ${TAGSWAP_WINE_PREFIX})
    set_tests_properties(wine_prefix_create PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 300)
    set_tests_properties(wine_prefix_remove PROPERTIES FIXTURES_CLEANUP wine_prefix)
endfunction()
