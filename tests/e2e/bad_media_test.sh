#!/usr/bin/env bash
# Each image texture missing or damaged, and each program file missing, with a syntax error or
# without its entry point: the program ends with status 1 and one line on standard error naming
# the file and the cause; a program that does not compile leaves its listing in shaderdebug.txt.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
bin=$1
root=$2
source "$(dirname "$0")/e2e_lib.sh"

for texture in tile2.jpg tileglass1.jpg lighttex.jpg; do
  file=media/textures/$texture
  echo "texture $texture missing"
  fresh_run_dir; rm "$file"
  expect_refused "$file" "No such file or directory"
  echo "texture $texture damaged"
  fresh_run_dir; printf 'JFIF? no, a few words of text\n' >"$file"
  expect_refused "$file" "it is not an image DevIL can decode"
done

# Expects the listing in shaderdebug.txt to name the file and to contain the given text.
expect_listing() {
  [ -s shaderdebug.txt ] || fail "no shaderdebug.txt"
  head -n 1 shaderdebug.txt | grep -qF "$1 (fragment_main):" || fail "the listing does not name $1"
  grep -qF -- "$2" shaderdebug.txt || fail "the listing does not say \"$2\""
}

for program in TessaryShader.cg TessaryShaderRefraktion.cg TessaryShaderCombine.cg setDepthShader.cg; do
  file=media/$program
  echo "program $program missing"
  fresh_run_dir; rm "$file"
  expect_refused "\"$file\" (fragment_main) did not load: cannot read the file" "shaderdebug.txt"
  expect_listing "$file" "cannot read the file"

  echo "program $program with a syntax error"
  fresh_run_dir; sed -i '/#ifdef FRAGMENT_PROGRAM/a float broken = ;' "$file"
  expect_refused "\"$file\" (fragment_main) did not load: " "shaderdebug.txt"
  expect_listing "$file" "error"

  echo "program $program without its entry point"
  fresh_run_dir; sed -i 's/\bfragment_main\b/fragment_entry/' "$file"
  expect_refused "\"$file\" (fragment_main) did not load: " "shaderdebug.txt"
  expect_listing "$file" "fragment_main"
done
echo "bad media ok"
