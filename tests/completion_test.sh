#!/bin/bash
# Checks the bash completion scripts: each is sourced into this shell, its
# completion function is called as bash would call it for a partial command
# line, and the candidates it leaves in COMPREPLY are compared with what a
# user should be offered.
#   bash tests/completion_test.sh COMPLETIONS_DIR [QDPEXT]
# Given qdpext, it also checks that the completion offers exactly the
# side-file letters the program's usage text lists.
set -u
completions=$(cd "${1:?usage: completion_test.sh COMPLETIONS_DIR [QDPEXT]}" && pwd)
qdpext=${2:-}
[ -z "$qdpext" ] || qdpext=$(cd "$(dirname "$qdpext")" && pwd)/$(basename "$qdpext")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir sub 'my dir'
touch a.qdp B.QDP 'with space.qdp' notes.txt sub/c.qdp sub/d.mic ./-odd.qdp e.mic F.QDPX qdp.txt
touch p.png Q.PNG r.jpg S.JPEG t.Jpeg sub/u.png v.gif png.txt

failures=0
# expect PROGRAM "EXPECTED CANDIDATES (sorted, one per line)" WORD...
# The last WORD is the one being completed.
expect() {
  local program=$1 expected=$2 function
  shift 2
  function=$(complete -p "$program" | sed -n 's/.*-F \([^ ]*\).*/\1/p')
  COMP_WORDS=("$program" "$@")
  COMP_CWORD=$#
  COMP_LINE="${COMP_WORDS[*]}"
  COMP_POINT=${#COMP_LINE}
  COMPREPLY=()
  "$function" "$program" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
  if [ "$got" != "$expected" ]; then
    printf 'FAIL: %s\n  expected: %s\n  got:      %s\n' "${COMP_WORDS[*]}" \
      "$(echo $expected)" "$(echo $got)"
    failures=$((failures + 1))
  fi
}
lines() { printf '%s\n' "$@" | LC_ALL=C sort; }

# shellcheck source=/dev/null
. "$completions/qdpext"
# shellcheck source=/dev/null
. "$completions/qdpview"
# shellcheck source=/dev/null
. "$completions/qdpimport"

projects=$(lines -odd.qdp B.QDP a.qdp 'my dir' sub 'with space.qdp')
# The built-in palettes and every file and folder: a palette file may have
# any name.
palettes=$({ printf '%s\n' ntsc pal; ls -A; } | LC_ALL=C sort)
pictures=$(lines Q.PNG S.JPEG 'my dir' p.png r.jpg sub t.Jpeg)

# qdpext: the letters are the program's own.
if [ -n "$qdpext" ]; then
  listed=$("$qdpext" 2>&1 | sed -n 's/^-\([a-z]\)\t.*/\1/p' | tr -d '\n')
  if [ "$listed" != "$_qdpext_letters" ]; then
    echo "FAIL: the completion offers letters $_qdpext_letters, qdpext lists $listed"
    failures=$((failures + 1))
  fi
fi
# qdpext: option letters, alone and combined, in either case.
expect qdpext "$(lines -c -f -m -s)" -
expect qdpext "$(lines -s -sc -sf -sm)" -s
expect qdpext "$(lines -smf -smfc)" a.qdp -smf
expect qdpext "$(lines -smfc)" -smfc
expect qdpext "$(lines -M -Mc -Mf -Ms)" -M
expect qdpext "" -x
expect qdpext "" -ss2
# qdpext: project files (any case of .qdp) and directories, nothing else.
expect qdpext "$projects" ""
expect qdpext "$projects" -sf ""
expect qdpext "$(lines a.qdp)" -m a
expect qdpext "$(lines sub/c.qdp)" -s sub/
expect qdpext "$(lines 'with space.qdp')" "'with"
expect qdpext "$(lines 'with space.qdp')" 'with\ s'
expect qdpext "" notes
expect qdpext "" -m e
expect qdpext "" qdp

# qdpview: options.
expect qdpview "$(lines -- --bits --gtia --help --json --no-images --output --palette --scale \
  --version -o)" -
expect qdpview "$(lines --bits --gtia --help --json --no-images --output --palette --scale \
  --version --)" --
expect qdpview "$(lines --scale)" a.qdp --sc
expect qdpview "$(lines --no-images)" --no
# qdpview: option values, as a separate word and after "=".
expect qdpview "$(lines 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16)" --scale ""
expect qdpview "$(lines 1 10 11 12 13 14 15 16)" --scale 1
expect qdpview "$(lines 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16)" --scale =
expect qdpview "$(lines 1 10 11 12 13 14 15 16)" --scale = 1
expect qdpview "$(lines 10 11 9)" --gtia ""
expect qdpview "$palettes" --palette ""
expect qdpview "$(lines pal p.png png.txt)" --palette = p
expect qdpview "$(lines 'my dir' sub)" -o ""
expect qdpview "$(lines 'my dir' sub)" --json --output ""
expect qdpview "$(lines sub)" --output = s
# qdpview: files, and after "--" a word starting with "-" is a file too.
expect qdpview "$projects" --scale 2 ""
expect qdpview "$(lines sub/c.qdp)" -o sub sub/
expect qdpview "" F
expect qdpview "$(lines -odd.qdp)" -- -
expect qdpview "$(lines -odd.qdp)" a.qdp -- -o

# qdpimport: options and their values, pictures (PNG and JPEG in any case)
# and directories, and for -o a folder or a project.
expect qdpimport "$(lines -- --dither --fit --fonts --help --json --max-changes --mode --output \
  --palette --quiet --version -o -q -z)" -
expect qdpimport "$(lines auto four gtia hires)" --mode ""
expect qdpimport "$(lines diffusion)" --dither = d
expect qdpimport "$(lines 0 1 2 3 4 5)" --max-changes ""
expect qdpimport "$(lines 3 30)" --fonts 3
expect qdpimport "$palettes" --palette ""
expect qdpimport "$pictures" ""
expect qdpimport "$pictures" --fit -z ""
expect qdpimport "$(lines sub/u.png)" sub/
expect qdpimport "" png
expect qdpimport "$(lines -odd.qdp B.QDP a.qdp 'my dir' sub 'with space.qdp')" -o ""

if [ $failures -ne 0 ]; then
  echo "$failures completion check(s) failed"
  exit 1
fi
echo "all completion checks passed"
