#!/bin/sh
# clang-tidy, cppcheck and the clang-format check over our own code.
# Usage: tools/static-analysis.sh <build dir with compile_commands.json>
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
status=0

sources=$(git ls-files '*.cpp' '*.h' | grep -v '^tests/e2e/')
program_dirs="core game main_window settings_dialog decal spray_maker spray_cli spray_maker_window seen_sprays seen_sprays_window several_mods_window spray_check spray_check_window app fuzz bench"

echo "== clang-format"
# shellcheck disable=SC2086 # a list of paths
clang-format --dry-run --Werror $sources || status=1

echo "== clang-tidy"
run-clang-tidy -p "$build" -quiet "$(pwd)/(core|game|main_window|settings_dialog|decal|spray_maker|spray_cli|spray_maker_window|seen_sprays|seen_sprays_window|several_mods_window|spray_check|spray_check_window|app|tests)/" \
    >"$build/clang-tidy.log" 2>&1 || { grep -E 'warning:|error:' "$build/clang-tidy.log"; status=1; }

echo "== cppcheck"
# useStlAlgorithm: a plain loop reads better than std::transform for the few
#   short loops it points at.
# unknownMacro, missingInclude*: Qt's macros and headers are not analysed, only ours.
# shellcheck disable=SC2086
cppcheck --enable=warning,style,performance,portability --std=c++20 --library=qt \
    --inline-suppr --suppress=useStlAlgorithm --suppress=unknownMacro \
    --suppress=missingIncludeSystem --suppress=missingInclude \
    -D__GNUC__ -DQ_OS_LINUX -I core -I game -I main_window -I settings_dialog -I decal -I spray_maker -I spray_cli -I spray_maker_window -I seen_sprays -I seen_sprays_window -I several_mods_window -I spray_check -I spray_check_window \
    -q --error-exitcode=1 --template='{file}:{line}: {severity} {id}: {message}' \
    $program_dirs || status=1

exit $status
