#!/usr/bin/env bash
# A live call on this machine: a private XMPP server and three client
# devices (Alice, Bob, Carol), each an mrtc-node you type JSON lines into.
#
#   scripts/live.sh            tmux: one pane per node, plus the server's log
#   scripts/live.sh --plain    no tmux: labelled output here; type into
#                              $DIR/alice.in (and bob.in, carol.in)
#
# mrtc-node is taken from $MRTC_NODE, else build/mrtc-node, else the PATH.
# Everything lives in a temporary folder, removed when the session ends.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
node=${MRTC_NODE:-}
if [ -z "$node" ] && [ -x "$here/../build/mrtc-node" ]; then node="$here/../build/mrtc-node"; fi
[ -n "$node" ] || node=$(command -v mrtc-node || true)
if [ -z "$node" ]; then
  echo "live.sh: no mrtc-node; build it (ninja -C build mrtc-node) or set MRTC_NODE" >&2
  exit 1
fi
node=$(cd "$(dirname "$node")" && pwd)/$(basename "$node")

dir=$(mktemp -d /tmp/mrtc-live.XXXXXX)
cat >"$dir/directory.json" <<'JSON'
{"domain": "mrtc.local",
 "users": [{"id": 20001, "name": "Alice", "password": "alice-secret"},
           {"id": 20002, "name": "Bob", "password": "bob-secret"},
           {"id": 20003, "name": "Carol", "password": "carol-secret"}],
 "groups": [{"id": 30001, "members": [20001, 20002, 20003]}],
 "config": []}
JSON
pids=""
cleanup() {
  [ -n "$pids" ] && kill $pids 2>/dev/null || true
  "$here/xmpp-server.sh" stop "$dir/server" >/dev/null 2>&1 || true
  rm -rf "$dir"
}
trap cleanup EXIT
port=$("$here/xmpp-server.sh" start "$dir/server" "$dir/directory.json")

node_cmd() {  # user
  echo "$node --directory $dir/directory.json --user $1 --server 127.0.0.1:$port --state $dir --log $dir/$1.log"
}

cat <<TEXT
Server on 127.0.0.1:$port (folder $dir). Type one JSON line into a node, e.g. in Alice's:
  {"request":"call","groupId":30001,"roomId":"r1","members":[20002,20003],"extend":{"rtcType":"rtc"}}
then in Bob's, to answer, and in Carol's, to refuse:
  {"request":"intoroom","annotation":"accept","groupId":30001,"roomId":"r1","members":[20002]}
  {"request":"hungup","annotation":"refuse","groupId":30001,"roomId":"r1"}
and hang up in Alice's: {"request":"hungup","annotation":"hungup_uiclick","groupId":30001,"roomId":"r1"}
{"quit":true} ends a node.
TEXT

if [ "${1:-}" != "--plain" ] && command -v tmux >/dev/null && [ -t 0 ]; then
  session=mrtc-live-$$
  tmux new-session -d -s "$session" -n live "$(node_cmd alice)"
  tmux split-window -t "$session" -h "$(node_cmd bob)"
  tmux split-window -t "$session" -v "$(node_cmd carol)"
  tmux split-window -t "$session.0" -v "tail -f $dir/server/prosody.log"
  tmux select-pane -t "$session.0"
  echo "Press Enter to open the tmux session (Ctrl-b d leaves it, and ends the session)."
  read -r _
  tmux attach -t "$session" || true
  tmux kill-session -t "$session" 2>/dev/null || true
else
  for user in alice bob carol; do
    mkfifo "$dir/$user.in"
    # Held open for writing here, so that each echo into the FIFO does not
    # end the node's input.
    exec {hold}<>"$dir/$user.in"
    $(node_cmd $user) <"$dir/$user.in" 2>&1 | sed -u "s/^/[$user] /" &
    pids="$pids $!"
  done
  echo "Plain mode: echo a line into $dir/alice.in (bob.in, carol.in); Ctrl-C ends all."
  wait
fi
