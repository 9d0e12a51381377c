#!/usr/bin/env bash
# Each image texture missing or damaged, and each program file missing, with a syntax error or
# without its entry point (also the depth program, which no pass uses): the program ends with
# status 1 and one line on standard error naming the file and the cause, before the render targets
# and the world; a program that does not load leaves its listing in shaderdebug.txt.
# Arguments: the quillmarsh binary, the repository root (for media/).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

for texture in tile2.jpg tileglass1.jpg lighttex.jpg; do
  file=media/textures/$texture
  echo "texture $texture missing"
  qm_fresh; rm "$file"
  qm_refused "$file" "No such file or directory"
  echo "texture $texture damaged"
  qm_fresh; printf 'JFIF? no, a few words of text\n' >"$file"
  qm_refused "$file" "it is not an image DevIL can decode"
done

# program_refused FILE CAUSE LISTING: refused naming FILE and CAUSE, start-up stopped at the
# programs, and the listing in shaderdebug.txt names FILE and contains LISTING.
program_refused() {
  qm_refused "\"$1\" (fragment_main) did not load: $2" "shaderdebug.txt"
  ! grep -q 'TESSARY ROOM\|creating FBO' stdout.txt || qm_fail "start-up went on past the programs"
  [ -s shaderdebug.txt ] || qm_fail "no shaderdebug.txt"
  head -n 1 shaderdebug.txt | grep -qF "$1 (fragment_main):" || qm_fail "the listing does not name $1"
  grep -qF -- "$3" shaderdebug.txt || qm_fail "the listing does not say \"$3\""
}

for program in TessaryShader.cg TessaryShaderRefraktion.cg TessaryShaderCombine.cg setDepthShader.cg; do
  file=media/$program
  echo "program $program missing"
  qm_fresh; rm "$file"
  program_refused "$file" "cannot read the file" "cannot read the file"
  echo "program $program with a syntax error"
  qm_fresh; sed -i '/#ifdef FRAGMENT_PROGRAM/a float broken = ;' "$file"
  program_refused "$file" "" "error"
  echo "program $program without its entry point"
  qm_fresh; sed -i 's/\bfragment_main\b/fragment_entry/' "$file"
  program_refused "$file" "" "fragment_main"
done
echo "bad media ok"
