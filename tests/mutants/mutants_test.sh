#!/usr/bin/env bash
# scripts/mutants on a project of its own: a C file of two functions, a build
# command that compiles it with cc and a test program that checks only the
# second. The mutants of the unchecked function survive and are named by file
# and line, those of the checked one are killed or do not compile, the summary
# counts them, the same sample is chosen on every run, and the file is byte
# for byte the original afterwards, also after a SIGINT in the middle of a
# test run (which also ends what the test command started).
set -uo pipefail
mutants="$(cd "$(dirname "$0")/../.." && pwd)/scripts/mutants"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $1"
  failures=$((failures + 1))
}

root=$work/root
mkdir -p "$root/diagnostics" "$root/check" "$root/build"
cat >"$root/diagnostics/calc.c" <<'EOF'
#include <stdbool.h>
/* Two small functions; the test program checks only letter_value. */
int clamp_low(int x) {
  if (x < 0) return 0;
  return x;
}

int letter_value(char c) {
  switch (c) {
    case 'a': return 1;
    case 'b': return 2;
  }
  return 0;
}
EOF
cat >"$root/check/check.c" <<'EOF'
int letter_value(char c);
int main(void) {
  return !(letter_value('a') == 1 && letter_value('b') == 2 && letter_value('z') == 0);
}
EOF
cp "$root/diagnostics/calc.c" "$work/original.c"
build='cc -c diagnostics/calc.c -o {build}/calc.o && cc {build}/calc.o check/check.c -o {build}/check'

# Line 4 gives six mutants (< to <=, the condition true and false, the return
# removed, each 0 made 1), none of which the test sees. Line 10 and 11 each
# give a letter that repeats the other case label (does not compile), the
# other neighbouring letter and both neighbours of the returned number;
# line 13's 0 made 1. Lines 5 and 13 end their function: nothing removed.
output=$("$mutants" --root "$root" --build build --build-command "$build" \
  --test-command '{build}/check' diagnostics/calc.c 2>&1)
status=$?
summary=$(tail -n 1 <<<"$output")
[[ $status -eq 0 ]] || fail "exit status $status"$'\n'"$output"
[[ $summary == "7 killed of 13, 6 survived, 2 did not compile" ]] || fail "summary: $summary"
survivors=$(grep -c '^SURVIVED ' <<<"$output")
on_line_4=$(grep -c '^SURVIVED diagnostics/calc.c:4: if (x < 0) return 0; -> ' <<<"$output")
[[ $survivors -eq 6 && $on_line_4 -eq 6 ]] || fail "survivors not all on line 4:"$'\n'"$output"
grep -qxF 'SURVIVED diagnostics/calc.c:4: if (x < 0) return 0; -> if (x <= 0) return 0;' \
  <<<"$output" || fail "no survivor < -> <= on line 4:"$'\n'"$output"
cmp -s "$root/diagnostics/calc.c" "$work/original.c" || fail "calc.c differs after the run"
# Restored and newer than the object of the last mutant: the next build compiles it.
[[ "$root/diagnostics/calc.c" -nt "$root/build/calc.o" ]] || fail "calc.c older than calc.o"

"$mutants" --root "$root" --build build --build-command "$build" --test-command '{build}/check' \
  --fail-on-survivors diagnostics/calc.c >/dev/null 2>&1
[[ $? -eq 1 ]] || fail "--fail-on-survivors did not exit 1"

first=$("$mutants" --root "$root" --list --per-file 4 --seed 7 diagnostics/calc.c)
second=$("$mutants" --root "$root" --list --per-file 4 --seed 7 diagnostics/calc.c)
[[ $first == "$second" && $(tail -n 1 <<<"$first") == "4 mutants" ]] ||
  fail "--per-file 4 chose differently or not 4:"$'\n'"$first"$'\n'"$second"

# --at keeps the mutants of the lines named: line 4's six, and line 13's one.
at=$("$mutants" --root "$root" --list --at diagnostics/calc.c:4 --at diagnostics/calc.c:13)
[[ $(grep -c '^diagnostics/calc.c:4: ' <<<"$at") -eq 6 && $(tail -n 1 <<<"$at") == "7 mutants" ]] ||
  fail "--at did not keep lines 4 and 13 only:"$'\n'"$at"

# Numbers inside sizeof are left alone: a[0] and a[1] have the same size.
printf 'static int a[3];\nunsigned count = sizeof(a) / sizeof(a[0]);\n' >"$root/diagnostics/sizes.c"
sizes=$("$mutants" --root "$root" --list diagnostics/sizes.c)
[[ $(tail -n 1 <<<"$sizes") == "2 mutants" && $sizes != *sizes.c:2:* ]] ||
  fail "a number inside sizeof was mutated:"$'\n'"$sizes"
rm "$root/diagnostics/sizes.c"

# A test command that waits as long as the file is mutated: SIGINT then.
rm -f "$work/sleep.pid"
"$mutants" --root "$root" --build build --build-command "$build" --test-command \
  "cmp -s diagnostics/calc.c '$work/original.c' || { sleep 60 & echo \$! >'$work/sleep.pid'; wait; }" \
  diagnostics/calc.c >"$work/interrupted.out" 2>&1 &
tool=$!
for _ in $(seq 100); do
  [[ -s "$work/sleep.pid" ]] && break
  sleep 0.1
done
if [[ ! -s "$work/sleep.pid" ]]; then
  fail "the interrupted run never reached a mutant"
  kill "$tool"
fi
kill -INT "$tool"
wait "$tool"
status=$?
[[ $status -eq 130 ]] || fail "interrupted run: exit $status"$'\n'"$(cat "$work/interrupted.out")"
cmp -s "$root/diagnostics/calc.c" "$work/original.c" || fail "calc.c differs after SIGINT"
# Ended: gone, or a zombie that nothing reaps yet (a container's first process may not).
if [[ -s "$work/sleep.pid" ]]; then
  state=$(ps -o stat= -p "$(cat "$work/sleep.pid")")
  if [[ -n $state && $state != Z* ]]; then
    fail "the test command's sleep outlived the interrupted run"
    kill "$(cat "$work/sleep.pid")"
  fi
fi

((failures == 0)) && echo "ok   mutants"
exit $((failures > 0))
