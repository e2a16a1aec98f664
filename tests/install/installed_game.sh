#!/usr/bin/env bash
# The installed game, as a player meets it. The tree is installed for /opt/pemy into a staging
# folder and run from there, so it has to find itself wherever it lies. Checked: the layout and the
# two validators; the pemy command's options and bad arguments, which touch nothing; the player's
# folder, made on the first start holding only base/data/, a link left by an older version (one
# broken, one to the installed file) and the player's own picture left alone; places it refuses (a relative HOME, links into the
# installed tree); an exam ended by getting caught and left with "Назад" writes the score file there
# and nowhere else; a second XDG data home gets a score file of its own and nothing is made through
# a link of the player's; and the installed tree is byte for byte what was installed.
# Usage: installed_game.sh <build dir> <source root>   (under an X server)
set -euo pipefail
build=$1
root=$2
. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 1; }

tmp=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

DESTDIR=$tmp/stage cmake --install "$build" --prefix /opt/pemy >/dev/null
tree=$tmp/stage/opt/pemy
installed_base=$tree/share/games/pemy/base
launcher=$tree/games/pemy

# --- layout and validators -------------------------------------------------------------------
[ -x "$launcher" ] || fail "no executable command games/pemy"
file -b "$launcher" | grep -q '^ELF' || fail "games/pemy is not the game itself: $(file -b "$launcher")"
[ ! -e "$tree/libexec" ] || fail "a libexec/ folder is installed"
(cd "$root/base" && find . -path ./data -prune -o -type f -print | sort) >"$tmp/data.list"
(cd "$installed_base" && find . -type f -print | sort) | diff "$tmp/data.list" - >&2 ||
  fail "installed data differ from base/ without data/"
for f in share/applications/example.rodvk.pemy.desktop share/metainfo/example.rodvk.pemy.metainfo.xml \
  share/man/man6/pemy.6.gz share/doc/pemy/copyright share/doc/pemy/changelog.gz; do
  [ -f "$tree/$f" ] || fail "$f is not installed"
done
for size in 16 32 48 64 128 256; do
  icon=$tree/share/icons/hicolor/${size}x${size}/apps/example.rodvk.pemy.png
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] ||
    fail "no ${size}x${size} icon"
done
desktop-file-validate "$tree/share/applications/example.rodvk.pemy.desktop" ||
  fail "desktop-file-validate"
appstreamcli validate --no-net "$tree/share/metainfo/example.rodvk.pemy.metainfo.xml" >"$tmp/as.log" ||
  { cat "$tmp/as.log" >&2; fail "appstreamcli validate"; }

snapshot() {
  cd "$tree"
  find . -printf '%p %y %m %l\n' | LC_ALL=C sort
  find . -type f -print0 | LC_ALL=C sort -z | xargs -0 sha256sum
}
(snapshot) >"$tmp/tree.before"

# --- options -------------------------------------------------------------------------------------
export HOME=$tmp/home
unset XDG_DATA_HOME
mkdir -p "$HOME" "$tmp/cwd"
cd "$tmp/cwd"
[ "$("$launcher" --version)" = "PEMy 1.0.0.1" ] || fail "--version"
# The version is written in three more places, which must follow it.
grep -q '<release version="1.0.0.1"' "$tree/share/metainfo/example.rodvk.pemy.metainfo.xml" ||
  fail "the metainfo's release is not 1.0.0.1"
zcat "$tree/share/man/man6/pemy.6.gz" | grep -q '^\.TH PEMY 6 [0-9-]* "PEMy 1\.0\.0\.1"' ||
  fail "the manual page is not that of 1.0.0.1"
zcat "$tree/share/doc/pemy/changelog.gz" | head -1 | grep -q '^pemy (1\.0\.0\.1)' ||
  fail "the changelog does not start with 1.0.0.1"
"$launcher" --help | grep -q '^Usage: pemy' || fail "--help"
# Word lists split at spaces only; "|" stands for an argument with a line break and an escape
# character.
IFS=' '
for args in "-x" "--help extra" "--version --help" "--versio" "help" "|"; do
  rc=0
  # shellcheck disable=SC2086 # each case is a word list
  "$launcher" ${args/|/$'bad\n\e[2Jarg'} >"$tmp/out" 2>"$tmp/err" || rc=$?
  [ "$rc" -eq 2 ] || fail "'$args' exits with $rc, not 2"
  [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] && ! grep -q $'\e' "$tmp/err" ||
    fail "'$args' does not give one plain line on stderr"
done
unset IFS
[ -z "$(ls -A "$HOME")" ] || fail "options or bad arguments made files in HOME"

# --- places the command refuses: one line, nothing made or written ----------------------------
# A relative HOME (it made base/relhome/... in the installed data), a player's base/ that is a link
# to the installed one (the game would have kept its scores there), a folder inside the installed
# tree, and one reached through a link into it followed by "..".
mkdir -p "$tmp/xdg3/pemy"
ln -s "$installed_base" "$tmp/xdg3/pemy/base"
ln -s "$installed_base" "$tmp/into"
for place in "HOME=relhome" "XDG_DATA_HOME=$tmp/xdg3" "XDG_DATA_HOME=$tree/share/games" \
  "XDG_DATA_HOME=$tmp/into/.."; do
  rc=0
  (export "$place" && timeout 20 "$launcher") >"$tmp/out" 2>"$tmp/err" || rc=$?
  [ "$rc" -eq 1 ] && [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] ||
    fail "$place: exit $rc, not refused with one line: $(cat "$tmp/out" "$tmp/err")"
done
[ -z "$(find "$HOME" "$tmp/cwd" -mindepth 1)" ] && [ "$(find "$tmp/xdg3" | wc -l)" -eq 3 ] ||
  fail "a refused start made files"

# --- first start: the player's folder, an exam, its score ---------------------------------------
work=$HOME/.local/share/pemy
mkdir -p "$work/base/image" "$work/base/video" "$work/base/sound"
cp "$root/src/resources/builtin_fon.jpg" "$work/base/image/fon.jpg" # the player's own picture
# Left by an older version, which linked every installed file: one from a tree that moved, one
# that still resolves.
ln -s "$tmp/gone/pemik.avi" "$work/base/video/pemik.avi"
ln -s "$installed_base/sound/pms.mp3" "$work/base/sound/pms.mp3"

# A relative XDG_DATA_HOME means the default.
XDG_DATA_HOME=relative "$launcher" >"$tmp/game1.log" 2>&1 &
pid=$!
game=$(start_exam "$pid" Tester) || fail "no exam started (log: $(cat "$tmp/game1.log"))"

cmp -s "$root/src/resources/builtin_fon.jpg" "$work/base/image/fon.jpg" && [ ! -L "$work/base/image/fon.jpg" ] ||
  fail "the player's own fon.jpg was touched"
# The game finds the installed data where they are: it makes no link, and leaves the old ones.
[ "$(find "$work" -type l | LC_ALL=C sort)" = "$work/base/sound/pms.mp3
$work/base/video/pemik.avi" ] || fail "the links in the player's folder changed: $(find "$work" -type l)"
[ -d "$work/base/data" ] && [ ! -L "$work/base/data" ] || fail "base/data is not a real folder"

# The pointer on the bombs raises the suspicion by 10 a tick: caught within a few seconds.
move_design "$game" 34 264 688 463
move_design "$game" 36 266 688 463
score=$(wait_window "$pid" 'Очки') || fail "the exam did not end"
click_design "$score" 348 388 694 440 # "Назад"
wait_file "$work/base/data/score.inf" || fail "no score file in the player's folder"
wait_window "$pid" 'Меню "PEMy -и Зольмар"' >/dev/null || fail "the menu did not come back"
grep -aq -- '^-----------------' "$work/base/data/score.inf" && grep -aq '^Tester - ' "$work/base/data/score.inf" ||
  fail "the score file lacks the exam's lines: $(cat -v "$work/base/data/score.inf")"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

found=$(find "$HOME" "$tmp/cwd" "$tmp/stage" -name score.inf)
[ "$found" = "$work/base/data/score.inf" ] || fail "score files: $found"
[ "$(find "$work" -type f | LC_ALL=C sort)" = "$work/base/data/score.inf
$work/base/image/fon.jpg" ] || fail "unexpected files in the player's folder: $(find "$work" -type f)"
cp "$work/base/data/score.inf" "$tmp/score1"

# --- a second XDG data home: a score file of its own ---------------------------------------------
# Its base/image is a link to a folder of the player's elsewhere: nothing is made through it.
export XDG_DATA_HOME=$tmp/xdg2
mkdir -p "$XDG_DATA_HOME/pemy/base" "$tmp/elsewhere"
ln -s "$tmp/elsewhere" "$XDG_DATA_HOME/pemy/base/image"
"$launcher" >"$tmp/game2.log" 2>&1 &
pid=$!
menu=$(wait_window "$pid" 'Меню "PEMy -и Зольмар"') || fail "the second start shows no menu"
click_design "$menu" 158 385 688 440 # "Очки"
score=$(wait_window "$pid" 'Очки') || fail "the score screen did not open"
click_design "$score" 348 388 694 440 # "Назад"
wait_file "$XDG_DATA_HOME/pemy/base/data/score.inf" || fail "no score file in the second data home"
[ ! -s "$XDG_DATA_HOME/pemy/base/data/score.inf" ] || fail "the second data home saw the first one's scores"
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=
cmp -s "$tmp/score1" "$work/base/data/score.inf" || fail "the second player changed the first one's score file"
[ -z "$(ls -A "$tmp/elsewhere")" ] || fail "links were made through the player's link base/image"
[ -z "$(find "$XDG_DATA_HOME/pemy" -type l ! -path "$XDG_DATA_HOME/pemy/base/image")" ] ||
  fail "a fresh player's folder holds links: $(find "$XDG_DATA_HOME/pemy" -type l)"

(snapshot) | diff "$tmp/tree.before" - >&2 || fail "the installed tree changed"
echo "PASS"
