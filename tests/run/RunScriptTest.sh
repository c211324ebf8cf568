#!/usr/bin/env bash
# What ./run builds: starting the program builds the program and its
# resources only, ./run test everything. The script runs in a copy of the
# checkout's top with the commands it calls standing in, so nothing is
# installed or built; the real build tree is asked what the program's targets
# would compile.
#   RunScriptTest.sh <source dir> <build dir>
set -euo pipefail
src="$1"
build="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cp "$src/run" "$work/run"
mkdir -p "$work/bin" "$work/build"
log="$work/calls"
for cmd in cmake ctest apt-get sudo nproc; do
  printf '#!/bin/sh\necho "%s $*" >> "%s"\n[ "%s" = nproc ] && echo 2\nexit 0\n' \
    "$cmd" "$log" "$cmd" > "$work/bin/$cmd"
done
# Every package counts as installed.
printf '#!/bin/sh\necho "install ok installed"\n' > "$work/bin/dpkg-query"
printf '#!/bin/sh\necho "flipdesk $*" >> "%s"\n' "$log" > "$work/build/flipdesk"
chmod +x "$work"/bin/* "$work/build/flipdesk"

PATH="$work/bin:$PATH" "$work/run" --headless --exit-after 1 >/dev/null
builds="$(grep '^cmake --build' "$log" || true)"
[ "$(printf '%s\n' "$builds" | grep -c .)" = 1 ] || fail "./run built more than once: $builds"
case "$builds" in
  *"--target flipdesk flipdesk_resources") ;;
  *) fail "./run built more than the program and its resources: $builds" ;;
esac
grep -qx "flipdesk --headless --exit-after 1" "$log" || fail "./run did not start the program with its options: $(cat "$log")"
grep -q '^ctest' "$log" && fail "./run ran the tests"

: > "$log"
PATH="$work/bin:$PATH" "$work/run" test >/dev/null
builds="$(grep '^cmake --build' "$log" || true)"
case "$builds" in
  *--target*) fail "./run test built only some targets: $builds" ;;
  "") fail "./run test built nothing" ;;
esac
grep -q '^ctest' "$log" || fail "./run test ran no tests"

# The program's targets must not reach the tests, fuzz drivers or benchmarks
# (a stray dependency would bring them back into the first ./run).
if [ -f "$build/build.ninja" ]; then
  stray="$(ninja -C "$build" -t commands flipdesk flipdesk_resources \
    | grep -E -- '-c [^ ]*/(tests|bench|fuzz)/' | head -3 || true)"
  [ -z "$stray" ] || fail "the program's build compiles $stray"
fi
echo "ok"
