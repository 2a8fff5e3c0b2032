#!/usr/bin/env bash
# The release zip as a user meets it: unpacked into a new folder whose name has a blank and
# Japanese letters, it holds one folder named like the zip with exactly the tool, its help file
# and readme.txt; the tool started from there performs a settings file's read-back task, which
# creates nothing, and ends by itself. Only the zip is used, nothing else of the build tree.
# Usage: unpacked_run.sh CMAKE WINE_RUN ZIP VERSION
set -euo pipefail
cmake=$1 wine_run=$2 zip=$3 version=$4
name=$(basename "$zip" .zip)

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ -f "$zip" ] || fail "no package at $zip"
case "$name" in *"-$version-"*) ;; *) fail "the package name $name does not carry the version $version" ;; esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unpacked="$work/展開 先"
mkdir "$unpacked"
(cd "$unpacked" && "$cmake" -E tar xf "$zip")

expected=$(printf '%s\n' "./$name" "./$name/readme.txt" "./$name/tavrelo.chm" "./$name/tavrelo.com" "./$name/tavrelo.exe")
found=$(cd "$unpacked" && find . -mindepth 1 | LC_ALL=C sort)
[ "$found" = "$expected" ] || fail "the package holds
$found
instead of
$expected"

folder="$unpacked/$name"
[ "$(head -c 4 "$folder/tavrelo.chm")" = ITSF ] || fail "tavrelo.chm is no compiled help file"

readme="$folder/readme.txt"
[ "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' \n')" = efbbbf ] || fail "readme.txt lacks the UTF-8 byte-order mark"
iconv -f UTF-8 -t UTF-16LE "$readme" >/dev/null 2>&1 || fail "readme.txt is not valid UTF-8"
lines=$(grep -c '' "$readme" || true)
crlf=$(grep -c $'\r$' "$readme" || true)
[ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] && [ "$(tail -c 1 "$readme" | od -An -c | tr -d ' ')" = '\n' ] ||
  fail "readme.txt has lines that do not end with CR LF"
grep -qF "バージョン $version" "$readme" || fail "readme.txt does not give the version $version"

# Task 3 reads the association back and CLOSE=1 closes the tool: that it ends by itself shows
# from outside that it ran the task. A read creates nothing, so the extension's key is still
# missing afterwards. The prefix is the test's own.
export TAVRELO_PREFIX_NAME=package
extension=".tvpkg$$"
if "$wine_run" reg query "HKCR\\$extension" >/dev/null 2>&1; then
  fail "HKCR\\$extension exists before the tool ran"
fi
printf '[EXT]\r\nEXT=%s\r\n\r\n[TASK]\r\nCOMMAND=3\r\nCLOSE=1\r\n' "$extension" >"$work/read back.ini"

status=0
(cd "$work" && timeout 120 "$wine_run" "$folder/tavrelo.exe" "read back.ini") || status=$?
[ "$status" != 124 ] || fail "the unpacked tavrelo.exe did not end by itself within 120 s"
[ "$status" = 0 ] || fail "the unpacked tavrelo.exe ended with status $status"
if "$wine_run" reg query "HKCR\\$extension" >/dev/null 2>&1; then
  "$wine_run" reg delete "HKCR\\$extension" /f >/dev/null 2>&1
  fail "reading $extension back created HKCR\\$extension"
fi
echo "the unpacked $name/tavrelo.exe read $extension back, created nothing and ended"

# The console twin, as a script runs it: its result on standard output through a pipe (UTF-8),
# its messages on standard error, and exit codes that say what became of it.
status=0
help=$("$wine_run" "$folder/tavrelo.com" /? 2>/dev/null) || status=$?
[ "$status" = 0 ] || fail "tavrelo.com /? ended with status $status"
printf '%s' "$help" | grep -qF "終了コード" || fail "tavrelo.com /? wrote no help in UTF-8 to its standard output"
status=0
shown=$("$wine_run" "$folder/tavrelo.com" show "$extension" 2>"$work/err.txt") || status=$?
[ "$status" = 6 ] || fail "tavrelo.com show of a missing extension ended with status $status instead of 6"
[ -z "$shown" ] || fail "tavrelo.com wrote a message to standard output: $shown"
grep -qF "「$extension」の関連づけはありません。" "$work/err.txt" || fail "tavrelo.com said no reason on standard error"
"$wine_run" "$folder/tavrelo.com" list /format:csv /kind:ext 2>/dev/null | head -n 1 | grep -qF "拡張子,ファイルタイプ" ||
  fail "tavrelo.com list wrote no CSV headings through a pipe"
echo "the unpacked $name/tavrelo.com answered through pipes with its exit codes"
