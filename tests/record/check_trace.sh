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
#       its user ids, names, room ids, tokens or addresses (the simulated host
#       hands out no tokens: answers that carry some are added to the trace)
#   check_trace.sh appended SIM SHIM PLUGIN SCENARIO
#       the scenario recorded a second time into the same file (the recorder
#       appends, as on a device where the host runs again) replays as two
#       runs of each client, and matches
#   check_trace.sh pause SIM SHIM PLUGIN SCENARIO
#       a tick of a plug-in's own timer, moved 5 s later as when the host's
#       process was stopped, diverges; with a pause entry over it (what
#       the recorder writes then) the replay matches, its tick at the recorded
#       time; moved 0.9 s later, as a timer whose sleeps overran on the
#       device, it is replayed at the moved time too
#   check_trace.sh cut SIM SHIM PLUGIN SCENARIO
#       the first client's trace cut at 10 s, as when its process is killed
#       then, matches; the same with the release kept diverges (the plug-in's
#       later outputs are missing from a trace that ran on)
#   check_trace.sh split SIM SHIM PLUGIN SCENARIO
#       one trace per device, replayed together, matches, and each message
#       delivered is drawn from the device that sent it; so too once the
#       traces are redacted together
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
    # Not exec: the folder's trap must still run.
    "$sim" replay --plugin "$plugin" "$trace"
    exit $?
    ;;
  fault)
    "$sim" replay -q --plugin "$faulty" "$trace" 2>&1
    echo "replay exit $?"
    ;;
  redact)
    secrets=("tok-SECRET-123" "ticket-SECRET-9" "ap.corp.example.org" "10.20.30.40")
    cat >>"$trace" <<'LINES'
{"t":0,"client":"p1","kind":"query","seq":900001,"parent":0,"thread":1,"query":"cache","request":208,"ticketValue":5,"ticketText":"ticket-SECRET-9","op":1,"key":"room-x","field1":"","field2":"","code":0,"value":"tok-SECRET-123","service":21,"ret":1}
{"t":0,"client":"p1","kind":"query","seq":900002,"parent":0,"thread":1,"query":"preLoginDesc","service":49,"ret":"{\"netId\":3,\"apHost\":\"https://ap.corp.example.org:443\"}"}
{"t":0,"client":"p1","kind":"query","seq":900003,"parent":0,"thread":1,"query":"configItem","key":"mediaServerAddr","field":"extend","service":54,"ret":"10.20.30.40:10670"}
LINES
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
    for text in "${secrets[@]}"; do
      if grep -qF -- "$text" "$redacted"; then echo "\"$text\" left"; found=1; fi
    done
    [ $found -eq 0 ] && echo "redacted: $(echo $ids | wc -w) user ids, $(echo "$names" | wc -l) names, $(echo "$rooms" | wc -l) room ids, ${#secrets[@]} tokens and addresses gone; $again"
    exit $found
    ;;
  appended)
    MRTC_RECORD_TRACE=$trace MRTC_RECORD_PLUGIN=$plugin "$sim" --quiet --plugin "$shim" "$scenario" || exit 1
    once=$(grep -c '"kind":"trace"' "$trace")
    out=$("$sim" replay --plugin "$plugin" "$trace") || { echo "$out"; exit 1; }
    echo "$out"
    [[ $out == *" of $once client(s);"* ]] && [ "$((once % 2))" -eq 0 ]
    ;;
  pause)
    # A tick of a plug-in's own timer that arms nothing: moved, it leaves the
    # rest of the trace as it was.
    own='\{"t":([1-9][0-9]*),"client":"(p[0-9]+)","kind":"(event|result|message|insert|post)","seq":[0-9]+,"parent":0,"thread":([0-9]+),'
    t=
    while IFS= read -r first; do
      [[ $first =~ ^[0-9]+:$own ]] || continue
      t=${BASH_REMATCH[1]} client=${BASH_REMATCH[2]} kind=${BASH_REMATCH[3]} thread=${BASH_REMATCH[4]}
      grep -qE "^\{\"t\":$t,\"client\":\"$client\",\"kind\":\"timer\",.*\"parent\":0,\"thread\":$thread," "$trace" || break
      t=
    done < <(grep -nE "^$own" "$trace")
    [ -n "$t" ] || { echo "no tick of a plug-in's own timer that arms nothing"; exit 1; }
    # That tick's crossings, MS later.
    moved() {
      sed -E "/^\{\"t\":$t,\"client\":\"$client\",.*\"thread\":$thread,/s/^\{\"t\":$t,/{\"t\":$((t + $1)),/" "$trace"
    }
    # The replay's timeline shows the tick's output at MS.
    replayed_at() {
      "$sim" replay --json --plugin "$plugin" "$2" >"$dir/out.jsonl" &&
        grep -qE "^\{\"t\":$1,\"client\":\"[^\"]*$client\",\"kind\":\"$kind\"" "$dir/out.jsonl"
    }
    moved 5000 >"$dir/late.jsonl"
    cp "$dir/late.jsonl" "$dir/paused.jsonl"
    echo "{\"t\":$((t - 500)),\"client\":\"$client\",\"kind\":\"pause\",\"seq\":900001,\"parent\":0,\"thread\":99,\"until\":$((t + 4500))}" >>"$dir/paused.jsonl"
    late=$("$sim" replay -q --plugin "$plugin" "$dir/late.jsonl" 2>&1)
    [ $? -eq 1 ] && [[ $late == *" differs: time: recorded $((t + 5000)) ms, produced $t ms"* ]] ||
      { echo "the late output was not caught: $late"; exit 1; }
    # The paused timer wakes at the pause's end, and meets the recorded tick.
    replayed_at $((t + 5000)) "$dir/paused.jsonl" || { echo "the paused tick was not replayed at its time"; exit 1; }
    moved 900 >"$dir/drifted.jsonl"
    replayed_at $((t + 900)) "$dir/drifted.jsonl" || { echo "the drifted tick was not replayed at its time"; exit 1; }
    "$sim" replay --plugin "$plugin" "$dir/paused.jsonl"
    exit $?
    ;;
  cut)
    # The first client's lines written before 10 s, the other clients' whole.
    awk '/^\{"t":[0-9]+,"client":"p1",/ { split($0, f, /[:,]/); if (f[2] >= 10000) next } { print }' \
      "$trace" >"$dir/cut.jsonl"
    cp "$dir/cut.jsonl" "$dir/released.jsonl"
    grep '"client":"p1",.*"slot":26,' "$trace" >>"$dir/released.jsonl"
    ran_on=$("$sim" replay -q --plugin "$plugin" "$dir/released.jsonl" 2>&1)
    [ $? -eq 1 ] && [[ $ran_on == *"divergence in client p1 "*"the plug-in made a crossing the recording does not have here"* ]] ||
      { echo "the released trace's missing outputs were not caught: $ran_on"; exit 1; }
    "$sim" replay --plugin "$plugin" "$dir/cut.jsonl"
    exit $?
    ;;
  split)
    clients=$(grep -o '"client":"p[0-9]*"' "$trace" | sort -u | sed 's/.*:"//; s/"$//')
    files=()
    for c in $clients; do
      grep "\"client\":\"$c\"" "$trace" >"$dir/$c.jsonl"
      files+=("$dir/$c.jsonl")
    done
    "$sim" replay --plugin "$plugin" --json --html "$dir/call.html" "${files[@]}" >"$dir/timeline.jsonl" || exit 1
    [ -s "$dir/call.html" ] || { echo "no report written"; exit 1; }
    # Redacted together, the devices' traces keep one set of stand-ins:
    # every delivery is still matched to the device that sent it.
    mkdir "$dir/shared"
    "$sim" redact -d "$dir/shared" "${files[@]}" || exit 1
    shared=("${files[@]/#$dir/$dir/shared}")
    "$sim" replay --plugin "$plugin" --json "${shared[@]}" >"$dir/shared.jsonl" || exit 1
    for timeline in "$dir/timeline.jsonl" "$dir/shared.jsonl"; do
      delivered=$(grep -c '"kind":"deliver"' "$timeline")
      unmatched=$(grep '"kind":"deliver"' "$timeline" | grep -c '"from":"u[0-9]')
      echo "${#files[@]} traces replayed together ($(basename "$timeline")): $delivered deliveries, $unmatched not matched to a sender"
      [ "$delivered" -gt 0 ] && [ "$unmatched" -eq 0 ] || exit 1
    done
    ;;
  *)
    echo "unknown mode $mode"
    exit 2
    ;;
esac
