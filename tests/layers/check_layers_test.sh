#!/usr/bin/env bash
# The layer check on small trees of its own: a clean stack passes, and an
# include of a folder above, an include cycle, a fake reached from the host
# library, a relative include that leaves its folder and a file name repeated
# across library folders and an include of another folder's internal/ each
# fail with the offending file named.
set -uo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-layers"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# tree NAME FILE=INCLUDE...: a tree whose files each include the one header.
tree() {
  local dir="$work/$1"
  shift
  local pair file target
  for pair in "$@"; do
    file=${pair%%=*}
    target=${pair#*=}
    mkdir -p "$dir/$(dirname "$file")"
    printf '#pragma once\n#include "%s"\n' "$target" >>"$dir/$file"
  done
  echo "$dir"
}

expect() {  # expect pass|fail NAME DIR [TEXT]
  local want=$1 name=$2 dir=$3 text=${4:-}
  local output status
  output=$("$check" --root "$dir" 2>&1)
  status=$?
  if [[ $want == pass && $status -ne 0 ]] || [[ $want == fail && $status -eq 0 ]]; then
    echo "FAIL $name: exit $status"$'\n'"$output"
    failures=$((failures + 1))
  elif [[ -n "$text" && "$output" != *"$text"* ]]; then
    echo "FAIL $name: no \"$text\" in"$'\n'"$output"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect pass clean "$(tree clean binding/a.h=memory/m.h plugin/p.cpp=binding/a.h \
  host/h.cpp=boundary/b.h host/dev/d.cpp=host/h.h tests/t.cpp=host/dev/d.h)"
expect fail upward "$(tree upward binding/a.cpp=plugin/p.h plugin/p.h=binding/x.h)" \
  "binding/a.cpp: includes plugin/p.h, which is not below binding"
expect fail cycle "$(tree cycle binding/a.cpp=plugin/p.h plugin/p.cpp=binding/a.h)" \
  "binding and plugin include each other"
expect fail host_reaches_fake "$(tree fake host/h.cpp=host/fakes/f.h)" \
  "host/h.cpp: includes host/fakes/f.h; host may include only: boundary"
expect fail library_reaches_tests "$(tree tests api/x.cpp=tests/t.h)" \
  "api/x.cpp: includes tests/t.h, which is not below api"
expect fail relative "$(tree relative maps/m.cpp=../plugin/p.h)" \
  "maps/m.cpp: includes ../plugin/p.h by a relative path"
expect fail repeated_name "$(tree repeated boundary/value.h=boundary/x.h \
  binding/internal/value.h=boundary/value.h)" \
  "binding/internal/value.h: the name value.h is also a file of boundary/"
expect pass messages_tables "$(tree tables binding/messages.h=boundary/b.h api/messages.h=binding/x.h \
  host/route.h=boundary/b.h api/route.h=binding/x.h)"
expect fail foreign_internal "$(tree foreign formats/f.cpp=binding/internal/b.h \
  binding/internal/b.h=binding/v.h)" \
  "formats/f.cpp: includes binding/internal/b.h, an internal header of binding"
expect fail fake_reaches_host_internal "$(tree fakeinternal host/fakes/f.h=host/internal/h.h)" \
  "host/fakes/f.h: includes host/internal/h.h, an internal header of host"
expect pass own_and_tests_internal "$(tree owninternal binding/v.h=binding/internal/b.h \
  tests/binding/t.cpp=binding/internal/b.h fuzz/z.cpp=binding/internal/b.h)"
expect pass host_concerns "$(tree concerns host/calling/c.cpp=host/loading/l.h \
  host/loading/l.h=boundary/b.h host/dev/d.cpp=host/calling/c.h)"
expect pass dev_concerns "$(tree devconcerns host/dev/cli/c.cpp=host/dev/serving/s.h \
  host/dev/serving/s.h=host/dev/hosting/h.h host/dev/hosting/h.h=host/dev/documents/d.h \
  host/dev/documents/d.h=host/h.h host/dev/documents/internal/i.h=host/h.h \
  host/dev/documents/d.cpp=host/dev/documents/internal/i.h)"
expect fail dev_serving_reaches_cli "$(tree devup host/dev/serving/s.cpp=host/dev/cli/c.h)" \
  "host/dev/serving/s.cpp: includes host/dev/cli/c.h; host/dev/serving may include only:"
expect fail dev_hosting_reaches_serving "$(tree devsideways host/dev/hosting/h.h=host/dev/serving/s.h)" \
  "host/dev/hosting/h.h: includes host/dev/serving/s.h; host/dev/hosting may include only:"
expect fail dev_foreign_internal "$(tree devinternal host/dev/serving/s.cpp=host/dev/documents/internal/i.h)" \
  "includes host/dev/documents/internal/i.h, an internal header of host/dev/documents"
expect fail sdk_fake_reaches_host "$(tree sdkfake host/sdk_fakes/q.h=host/h.h)" \
  "host/sdk_fakes/q.h: includes host/h.h; host/sdk_fakes may include only:"

exit $((failures > 0))
