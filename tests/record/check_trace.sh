#!/bin/bash
# Records a scenario through libmrtcrecord.so, then checks what the replay
# makes of the trace.
#
#   check_trace.sh roundtrip SIM SHIM PLUGIN SCENARIO
#       the replay against the plug-in that was recorded matches
#   check_trace.sh fault SIM SHIM PLUGIN SCENARIO FAULTY_PLUGIN
#       the replay against FAULTY_PLUGIN diverges (the test's pass pattern
#       names the entry)
#   check_trace.sh redact SIM SHIM PLUGIN SCENARIO
#       the redacted trace replays as the original does and holds none of
#       its user ids, names or room ids
set -u
mode=$1 sim=$2 shim=$3 plugin=$4 scenario=$5 faulty=${6:-}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
trace=$dir/trace.jsonl

if ! MRTC_RECORD_TRACE=$trace MRTC_RECORD_PLUGIN=$plugin "$sim" --quiet --plugin "$shim" "$scenario"; then
  echo "the scenario failed with the recorder in place"
  exit 1
fi

case $mode in
  roundtrip)
    exec "$sim" replay --plugin "$plugin" "$trace"
    ;;
  fault)
    "$sim" replay -q --plugin "$faulty" "$trace" 2>&1
    echo "replay exit $?"
    ;;
  redact)
    redacted=$dir/redacted.jsonl
    "$sim" redact "$trace" -o "$redacted" || exit 1
    original=$("$sim" replay --plugin "$plugin" "$trace") || { echo "$original"; exit 1; }
    again=$("$sim" replay --plugin "$plugin" "$redacted") || { echo "$again"; exit 1; }
    if [ "$original" != "$again" ]; then
      printf 'the redacted trace replays differently:\n  %s\n  %s\n' "$original" "$again"
      exit 1
    fi
    ids=$(grep -o '"query":"ownUser","service":6,"ret":[0-9]*' "$trace" | sed 's/.*://' | sort -u)
    names=$(grep -o '"query":"userInfo","user":[0-9]*,"name":"[^"]*"' "$trace" |
      sed 's/.*"name":"//; s/"$//' | sort -u)
    rooms=$(grep -o '"roomId":"[^"]\+"' "$trace" | sed 's/.*:"//; s/"$//' | sort -u)
    if [ -z "$ids" ] || [ -z "$names" ] || [ -z "$rooms" ]; then
      echo "the trace holds no ids, names or room ids to look for"
      exit 1
    fi
    found=0
    for id in $ids; do
      if grep -qE "(^|[^0-9])$id([^0-9]|\$)" "$redacted"; then echo "user id $id left"; found=1; fi
    done
    while IFS= read -r text; do
      if grep -qF -- "$text" "$redacted"; then echo "\"$text\" left"; found=1; fi
    done <<<"$names
$rooms"
    [ $found -eq 0 ] && echo "redacted: $(echo $ids | wc -w) user ids, $(echo "$names" | wc -l) names, $(echo "$rooms" | wc -l) room ids gone; $again"
    exit $found
    ;;
  *)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
