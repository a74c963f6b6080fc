#!/bin/sh
# The menu entry's launcher must start Tagswap in the player's sprays folder,
# make that folder when it is missing, and pass every argument on untouched.
#   test_desktop_launcher.sh LAUNCHER
# A stand-in `tagswap` beside a copy of the launcher records where it was
# started and with what.
set -u

launcher=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

mkdir -p "$work/bin" "$work/elsewhere"
cp "$launcher" "$work/bin/tagswap-desktop"
cat > "$work/bin/tagswap" <<'EOF'
#!/bin/sh
pwd > "$RECORD"
for argument in "$@"; do printf '%s\n' "$argument" >> "$RECORD"; done
EOF
chmod +x "$work/bin/tagswap" "$work/bin/tagswap-desktop"

# run_launcher HOME XDG_DATA_HOME|- ARGS... : runs it from an unrelated folder
run_launcher() {
    home=$1 data=$2
    shift 2
    rm -f "$work/record"
    (
        cd "$work/elsewhere" || exit 1
        export HOME="$home" RECORD="$work/record" PATH="$work/bin:/usr/bin:/bin"
        if [ "$data" = - ]; then unset XDG_DATA_HOME; else export XDG_DATA_HOME="$data"; fi
        tagswap-desktop "$@"
    )
}

started_in() {
    [ -f "$work/record" ] && [ "$(head -n 1 "$work/record")" = "$1" ]
}

# Without XDG_DATA_HOME the folder goes under ~/.local/share; a home with a
# space in its name must not split, and a literal '$HOME' must stay literal.
home="$work/player home"
mkdir -p "$home"
# shellcheck disable=SC2016
run_launcher "$home" - -game tfc "two  words" "" '$HOME' || fail "launcher failed with the default data folder"
sprays="$home/.local/share/Tagswap/sprays"
[ -d "$sprays" ] || fail "$sprays was not made"
started_in "$sprays" || fail "not started in $sprays: $(head -n 1 "$work/record" 2>/dev/null)"
# shellcheck disable=SC2016
expected=$(printf '%s\n' "$sprays" -game tfc "two  words" "" '$HOME')
[ "$(cat "$work/record" 2>/dev/null)" = "$expected" ] ||
    fail "arguments changed on the way: $(tail -n +2 "$work/record" 2>/dev/null | tr '\n' '|')"

# Sprays already there stay, and no argument means none is passed.
touch "$sprays/mine.wad"
run_launcher "$home" - || fail "launcher failed on an existing folder"
[ -f "$sprays/mine.wad" ] || fail "an existing spray disappeared"
[ "$(wc -l < "$work/record")" -eq 1 ] || fail "arguments appeared from nowhere"

# XDG_DATA_HOME, when set to an absolute path, is where the folder goes.
run_launcher "$home" "$work/data" || fail "launcher failed with XDG_DATA_HOME set"
started_in "$work/data/Tagswap/sprays" || fail "XDG_DATA_HOME was not used"

# A relative XDG_DATA_HOME is ignored, not made relative to some folder.
run_launcher "$home" "relative/data" || fail "launcher failed with a relative XDG_DATA_HOME"
started_in "$sprays" || fail "a relative XDG_DATA_HOME was used"
[ ! -e "$work/elsewhere/relative" ] || fail "a folder was made under the current folder"

# A folder that cannot be made stops the launch instead of listing some other folder.
blocked="$work/blocked"
mkdir -p "$blocked/.local/share"
touch "$blocked/.local/share/Tagswap"
if run_launcher "$blocked" - 2>/dev/null; then fail "launcher went on without its sprays folder"; fi
[ ! -f "$work/record" ] || fail "Tagswap was started without its sprays folder"

if [ "$failures" -ne 0 ]; then
    echo "$failures failed"
    exit 1
fi
echo "desktop launcher: all cases passed"
