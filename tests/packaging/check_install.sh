#!/usr/bin/env bash
# The installed programs, as a user meets them. Installs the build (already built: nothing is
# built here) into a temporary DESTDIR; from another working folder, with the installed tree
# read-only, converts a clip made here with the installed clipgif-cli and checks the GIF;
# starts the installed desktop program offscreen; checks that the programs wrote nothing into
# the installed tree; checks the links, the icons, the desktop entry (with desktop-file-validate
# when it is installed) and renders the manual pages (with man when it is installed).
#
# usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check_install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
chmod 755 "$work"
dest=$work/dest
root=$dest/usr
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
skip() { echo "skipped: $*"; }

DESTDIR=$dest cmake --install "$build" --prefix /usr >"$work/install.log"

# bin/ holds relative links: the tree works wherever it is unpacked.
for program in clipgif clipgif-cli; do
  link=$(readlink "$root/bin/$program" || true)
  [ "$link" = "../lib/clipgif/$program" ] || fail "bin/$program links to \"$link\""
done

# The user's folder lies elsewhere and is writable; the installed tree is read-only. Root writes
# anywhere, so as root the programs run as nobody, for whom a write there fails as for a user.
user=$work/user
mkdir "$user"
chmod 777 "$user"
as_user=()
if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
in_user_folder() { (cd "$user" && "${as_user[@]}" env HOME="$user" XDG_RUNTIME_DIR= "$@"); }
ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=160x120:rate=10 -t 1 -pix_fmt yuv420p \
  "$user/clip one.mp4"
tree_state() { (cd "$dest" && find . -printf '%p %y %s %T@ %m\n' | sort); }
chmod -R a-w "$dest"
before=$(tree_state)

if in_user_folder "$root/bin/clipgif-cli" -q -o "clip one.gif" "clip one.mp4"; then
  "$build/bin/gifkit" info "$user/clip one.gif" >"$work/gif.txt"
  grep -qx "screen: 160x120, background 0, aspect 0" "$work/gif.txt" || fail "the GIF's screen"
  grep -qx "frames: 10" "$work/gif.txt" || fail "the GIF's frames: $(grep frames: "$work/gif.txt")"
else
  fail "the installed clipgif-cli did not convert the clip"
fi

# The desktop program starts from its installed files: after a few seconds it still runs (its
# message loop) and has reported no start-up failure.
set +e
QT_QPA_PLATFORM=offscreen timeout 3 "${as_user[@]}" "$root/bin/clipgif" 2>"$work/desktop.err"
status=$?
set -e
[ $status = 124 ] || fail "the installed clipgif ended with $status: $(cat "$work/desktop.err")"
if grep "^clipgif: " "$work/desktop.err"; then fail "the installed clipgif did not start"; fi

after=$(tree_state)
if [ "$before" != "$after" ]; then
  fail "the programs changed the installed tree:"
  diff <(echo "$before") <(echo "$after") || true
fi

# A start-up failure is reported on stderr: a copy of the program folder without its icon.
broken=$work/broken
cp -r "$root/lib/clipgif" "$broken"
chmod -R u+w "$broken"
rm "$broken/icon.ico"
QT_QPA_PLATFORM=offscreen "$broken/clipgif" 2>"$work/broken.err" &
pid=$!
for _ in $(seq 600); do
  grep -q "icon.ico" "$work/broken.err" && break
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
grep -q "^clipgif: Cannot open file \"$broken/icon.ico\"" "$work/broken.err" ||
  fail "a missing icon is not reported on stderr: $(cat "$work/broken.err")"

# The icons: PNGs of the size their folder names.
for icon in "$root"/share/icons/hicolor/*/apps/clipgif.png; do
  size=${icon%/apps/clipgif.png}
  size=${size##*/}
  read -r -a ihdr < <(od -An -tu1 -j16 -N8 "$icon")
  width=$(((ihdr[2] << 8) + ihdr[3]))
  height=$(((ihdr[6] << 8) + ihdr[7]))
  [ "${width}x$height" = "$size" ] || fail "$icon is ${width}x$height"
done
[ -f "$root/share/icons/hicolor/48x48/apps/clipgif.png" ] || fail "no 48x48 icon"

entry=$root/share/applications/clipgif.desktop
grep -qx "Exec=clipgif %f" "$entry" || fail "the desktop entry does not start clipgif with a file"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$entry" || fail "the desktop entry does not validate"
else
  skip "desktop-file-validate is not installed (package desktop-file-utils)"
fi

bash -c "source '$root/share/bash-completion/completions/clipgif-cli' && complete -p clipgif-cli" \
  >/dev/null || fail "the bash completion does not bind clipgif-cli"

# The manual pages render without a warning; clipgif-cli's names every option of its --help.
if command -v man >/dev/null; then
  for page in clipgif clipgif-cli; do
    MANWIDTH=200 man --warnings -P cat -l "$root/share/man/man1/$page.1.gz" \
      >"$work/$page.txt" 2>"$work/$page.err" || fail "man $page failed"
    if [ -s "$work/$page.err" ]; then fail "man $page warns: $(cat "$work/$page.err")"; fi
    grep -q "^SYNOPSIS" "$work/$page.txt" || fail "man $page has no synopsis"
  done
  for option in $("$root/bin/clipgif-cli" --help | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
    grep -q -- "$option" "$work/clipgif-cli.txt" || fail "man clipgif-cli lacks $option"
  done
else
  skip "man is not installed (package man-db)"
fi

if [ $failures -gt 0 ]; then
  echo "$failures check(s) of the installed programs failed"
  exit 1
fi
echo "the installed programs work"
