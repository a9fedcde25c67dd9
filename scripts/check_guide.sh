#!/usr/bin/env bash
# Keeps docs/integration.md in step with include/ and the example host:
#   - every IPlugin slot and host service that the guide names with a number
#     (a table row "| N | `name` |", or "`name` (slot N)" / "`name` (service N)"
#     in the text) has that number in the headers;
#   - every named slot and service of the headers is in one of the guide's
#     tables, and the guide's count of IPlugin slots is right;
#   - every tools:: and platform:: function it names is declared, and every
#     declaration it quotes ("`static ...;`") is in tools.h or thread_start.h
#     word for word;
#   - every code block under "<!-- snippet: NAME -->" is the region between
#     "// [guide:NAME]" and "// [/guide:NAME]" ("#" in CMake) of the example
#     host, with the region's common indentation taken off, and every region
#     is shown.
#     `scripts/check_guide.sh --update` rewrites those blocks from the example.
# Slot numbers come from the headers' declaration order, which is the order of
# the virtual table.
set -euo pipefail
cd "$(dirname "$0")/.."
update=false
if [ "${1:-}" = --update ]; then update=true; shift; fi
guide=${1:-docs/integration.md}
example=examples/minimal_host
example_files=("$example/minimal_host.cc" "$example/CMakeLists.txt")
errors=0
complain() {
  echo "$guide: $*" >&2
  errors=$((errors + 1))
}

# "N name" for every virtual function of a class, N its slot.
slots() {  # header class
  awk -v cls="$2" '
    $0 ~ "^class " cls "[ {]" { inside = 1; n = 0; next }
    inside && /^};/ { inside = 0 }
    inside && /virtual / {
      line = $0; sub(/\(.*/, "", line); k = split(line, w, /[ *&]+/)
      print n, w[k]; n++
    }' "$1"
}
plugin_slots=$(slots include/IPlugin.h IPlugin)
host_slots=$(slots include/host_service.h IHostService)
if [ -z "$plugin_slots" ] || [ -z "$host_slots" ]; then
  echo "check_guide: cannot read the headers" >&2
  exit 1
fi
slot_of() { awk -v name="$2" '$2 == name { print $1 }' <<<"$1"; }

check() {  # kind (slot, service or any), number, name
  local kind=$1 number=$2 name=$3 at=""
  local label="$kind $number"
  [ "$kind" = any ] && label="row $number"
  case $kind in
    slot) at=$(slot_of "$plugin_slots" "$name") ;;
    service) at=$(slot_of "$host_slots" "$name") ;;
    *) at=$(slot_of "$plugin_slots" "$name")$(slot_of "$host_slots" "$name") ;;
  esac
  if [ -z "$at" ]; then
    complain "'$name' ($label) is not in include/"
  elif [ "$at" != "$number" ]; then
    complain "'$name' is $label here but $at in include/"
  fi
}

# The backticks below are Markdown's, not the shell's.
# shellcheck disable=SC2016
rows=$(sed -nE 's/^\| *([0-9]+) *\| *`([A-Za-z_~][A-Za-z0-9_]*)`.*/\1 \2/p' "$guide")
while read -r number name; do
  if [ -n "$name" ]; then check any "$number" "$name"; fi
done <<<"$rows"
# shellcheck disable=SC2016
while read -r name kind number; do
  if [ -n "$name" ]; then check "$kind" "$number" "$name"; fi
done < <(grep -oE '`[A-Za-z_~][A-Za-z0-9_]*` \((slot|service) [0-9]+[,)]' "$guide" |
         sed -E 's/`([^`]*)` \((slot|service) ([0-9]+).*/\1 \2 \3/')

# Every named slot and service has its row.
while read -r number name; do
  [[ $name =~ ^(slot[0-9]+|reserved[0-9]+|~.*)$ ]] && continue
  awk -v name="$name" '$2 == name { found = 1 } END { exit !found }' <<<"$rows" ||
    complain "no table row for '$name' (slot $number of include/)"
done < <(printf '%s\n%s\n' "$plugin_slots" "$host_slots")

count=$(wc -l <<<"$plugin_slots")
grep -q "has $count virtual slots" "$guide" || complain "does not say that IPlugin has $count virtual slots"

while read -r fn; do
  name=${fn#*::}
  grep -qE "[ *]$name\(" include/tools.h include/thread_start.h || complain "'$fn' is not declared in include/"
done < <(grep -oE '(tools|platform)::[A-Za-z_][A-Za-z0-9_]*' "$guide" | sort -u)

# shellcheck disable=SC2016
while read -r declaration; do
  [ -z "$declaration" ] && continue
  grep -qF "$declaration" include/tools.h include/thread_start.h ||
    complain "'$declaration' is not declared so in include/tools.h or include/thread_start.h"
done < <(grep -oE '`(static [^`]*|bool startThread[^`]*);`' "$guide" | tr -d '`')

# The example's region NAME, its common indentation taken off.
region() {
  awk -v name="$1" '
    $0 ~ "(//|#) \\[/guide:" name "\\]$" { inside = 0 }
    inside { lines[n++] = $0 }
    $0 ~ "(//|#) \\[guide:" name "\\]$" { inside = 1 }
    END {
      cut = -1
      for (i = 0; i < n; i++) {
        if (lines[i] ~ /^ *$/) continue
        match(lines[i], /^ */)
        if (cut < 0 || RLENGTH < cut) cut = RLENGTH
      }
      for (i = 0; i < n; i++) print substr(lines[i], cut + 1)
    }' "${example_files[@]}"
}
# The guide's code block under "<!-- snippet: NAME -->".
shown() {
  awk -v name="$1" '
    $0 == "<!-- snippet: " name " -->" { state = 1; next }
    state == 1 && /^```/ { state = 2; next }
    state == 2 && /^```/ { exit }
    state == 2 { print }' "$guide"
}
regions=$(sed -nE 's,^ *(//|#) \[guide:([a-z_]+)\]$,\2,p' "${example_files[@]}")
used=$(sed -nE 's/^<!-- snippet: ([a-z_]+) -->$/\1/p' "$guide")
if $update; then
  tmp=$(mktemp)
  trap 'rm -f "$tmp"' EXIT
  cp "$guide" "$tmp"
  for name in $used; do
    region "$name" >"$tmp.region"
    awk -v name="$name" -v file="$tmp.region" '
      $0 == "<!-- snippet: " name " -->" { print; state = 1; next }
      state == 1 && /^```/ { print; while ((getline line < file) > 0) print line; state = 2; next }
      state == 2 && /^```/ { print; state = 0; next }
      state == 2 { next }
      { print }' "$tmp" >"$tmp.new"
    mv "$tmp.new" "$tmp"
    rm -f "$tmp.region"
  done
  cp "$tmp" "$guide"
fi
for name in $used; do
  grep -qx "$name" <<<"$regions" || { complain "snippet '$name' is no region of $example"; continue; }
  [ "$(region "$name")" = "$(shown "$name")" ] ||
    complain "snippet '$name' differs from $example (scripts/check_guide.sh --update)"
done
for name in $regions; do
  grep -qx "$name" <<<"$used" || complain "region '$name' of $example is not shown"
done

if [ "$errors" -ne 0 ]; then
  echo "check_guide: $errors mismatch(es) with include/" >&2
  exit 1
fi
echo "check_guide: $(wc -l <<<"$rows") numbered rows match include/, $(wc -w <<<"$used") snippets match $example"
