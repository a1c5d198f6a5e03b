#!/usr/bin/env bash
# The completion against the converter it completes for:
#   completion-test.sh COMPLETION CONVERTER EXAMPLES_DIR
# Skipped (77) where bash-completion is not installed.
set -o pipefail
[ -f /usr/share/bash-completion/bash_completion ] || exit 77
source /usr/share/bash-completion/bash_completion
source "$1" || exit 1
convert="${VORLAN_TEST_LAUNCHER:-} $2" cube=$3/cube.3do status=0
tmp=$(mktemp -d) && trap 'rm -rf "$tmp"' EXIT && cd "$tmp" || exit 1
offered() {
  COMP_WORDS=(3dvorlan-convert "$@") COMP_CWORD=$# COMP_LINE="3dvorlan-convert $*"
  COMP_POINT=${#COMP_LINE} COMPREPLY=()
  _3dvorlan_convert
  printf '%s\n' "${COMPREPLY[@]}" | sort | xargs
}
fail() { echo "FAIL: $*"; status=1; }
expect() { local want=$1; shift; [ "$(offered "$@")" = "$want" ] || fail "'$*' offers '$(offered "$@")', not '$want'"; }

for option in $(offered -); do
  [[ $($convert "$option" 2>&1) == *'unknown option'* ]] && fail "the converter does not know $option"
done
for ext in $(offered --to ''); do
  $convert -q -o "$tmp" --to "$ext" "$cube" || fail "the converter does not write .$ext"
done
for axis in $(offered --up ''); do
  $convert --up "$axis" --info "$cube" >/dev/null || fail "the converter refuses --up $axis"
done

rm -f cube.*; mkdir sub; touch a.off b.STL c.txt d.png
expect 'a.off b.STL sub' ''                        # inputs: what the import library reads
expect 'b.STL d.png sub' a.off ''                  # the output: what the converter writes
expect 'a.off b.STL sub' -o sub a.off ''           # with -o every file is an input
expect 'sub' --info a.off -o ''                    # -o takes a folder
exit $status
