#!/bin/sh
# The program as a user gets it: installed into a staging root (DESTDIR), its desktop files
# checked by the freedesktop validators, its man pages rendered, and the installed batch
# command run from another folder with the data folder found each way.
#     install_test.sh CMAKE BUILD_DIR
set -eu
cmake=$1 build=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
DESTDIR=$tmp/root "$cmake" --install "$build" --prefix /usr >/dev/null
usr=$tmp/root/usr

# Desktop entry and AppStream data: errors and warnings fail, hints do not.
desktop=$(ls "$usr"/share/applications/*.desktop)
out=$(desktop-file-validate "$desktop" 2>&1) || fail "$out"
if echo "$out" | grep -qE 'error:|warning:'; then fail "$out"; fi
appstreamcli validate --no-net "$usr"/share/metainfo/*.metainfo.xml >/dev/null || fail appstreamcli
[ -x "$usr/bin/$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")" ] || fail "Exec names no installed program"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 48 256; do
  file "$usr/share/icons/hicolor/${size}x$size/apps/$icon.png" | grep -q "PNG image data, $size x $size" ||
    fail "no $size px icon"
done
for page in pedaform pedaform-cli; do
  warnings=$(MANWIDTH=80 man --warnings -l "$usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
  MANWIDTH=80 man -l "$usr/share/man/man1/$page.1.gz" | grep -q "^NAME" || fail "$page.1 does not render"
done

# The batch command from a folder of its own: outputs land there, relative to it.
scan=$usr/share/pedaform/samples/left_253_CM25-26.bmp
design="--quiet --meta1 3 --heel3 -2 --smooth 2 --relief-raw relief.raw --report report.json $scan"
mkdir -p "$tmp/reference" "$tmp/moved/bin"
(cd "$tmp/reference" && "$build/pedaform-cli" --resources "$build/data" $design) || fail reference
# A copy of the installed program with no data beside it.
cp "$usr/bin/pedaform-cli" "$tmp/moved/bin/"

# case | program | PEDAFORM_DATA (- unset) | status | the one line names
while read -r case program data status names; do
  work=$tmp/work-$case
  mkdir "$work"
  set +e
  (cd "$work" && if [ "$data" = - ]; then unset PEDAFORM_DATA; else export PEDAFORM_DATA="$data"; fi &&
    exec "$program" $design) >"$work/out" 2>"$work/err"
  got=$?
  set -e
  [ "$got" -eq "$status" ] || fail "$case: status $got, not $status: $(cat "$work/err")"
  if [ "$status" -eq 0 ]; then
    for f in relief.raw report.json; do cmp -s "$tmp/reference/$f" "$work/$f" || fail "$case: $f differs"; done
  else
    [ "$(wc -l <"$work/err")" -eq 1 ] && grep -qF "$names" "$work/err" || fail "$case: $(cat "$work/err")"
    [ ! -e "$work/report.json" ] && [ ! -s "$work/out" ] || fail "$case: wrote outputs"
  fi
done <<TABLE
installed $usr/bin/pedaform-cli - 0 -
installed-env $tmp/moved/bin/pedaform-cli $build/data 0 -
build-tree $build/pedaform-cli - 0 -
env-missing $usr/bin/pedaform-cli $tmp/none 2 $tmp/none
no-data $tmp/moved/bin/pedaform-cli - 2 $tmp/moved/share/pedaform
TABLE

# The order sheet's drawing: a module the installed program finds in its own lib folder.
(cd "$tmp/reference" && "$usr/bin/pedaform-cli" --quiet --order-pdf order.pdf "$scan") ||
  fail "the installed program printed no order sheet"
[ "$(head -c 5 "$tmp/reference/order.pdf")" = "%PDF-" ] || fail "the order sheet is no PDF"
echo "install test: all cases passed"
