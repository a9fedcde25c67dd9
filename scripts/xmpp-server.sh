#!/usr/bin/env bash
# A private XMPP server for mrtc-node: Prosody on a free loopback port, its
# configuration, data and log kept in one folder, its users registered from a
# directory file. Prosody runs in the foreground as a child of this script's
# caller (tests, scripts/live.sh): no service manager, nothing system-wide.
#
#   scripts/xmpp-server.sh start DIR [DIRECTORY.json]   prints the port
#   scripts/xmpp-server.sh stop DIR
#   scripts/xmpp-server.sh run DIR [DIRECTORY.json]     Prosody in the foreground
#
# start runs Prosody in the background, waits until it takes connections (at
# most 20 s), writes DIR/port and prints the port; stop ends it. run writes
# the configuration and DIR/port, then becomes Prosody itself (exec): a test
# harness that starts it owns the server process and ends it with a signal. A DIR that already holds a configuration and
# data (a server stopped before) starts again on the same port with the same
# archive; the directory file is then optional.
#
# The directory file: {"domain":"mrtc.local","users":[{"id":20001,"name":"Alice",
# "password":"..."}],"groups":[...],"config":[...]}. Only the domain and the
# users matter to the server.
set -euo pipefail

die() { echo "xmpp-server.sh: $*" >&2; exit 1; }
if [ "${1:-}" = --help ]; then
  cat <<HELP
A private XMPP server for mrtc-node: Prosody on a free loopback port, its
configuration, data and log kept in one folder, its users registered from a
directory file. Nothing is installed system-wide, and no service manager is
needed.

Usage: $(basename "$0") start|stop|run DIR [DIRECTORY.json]

  start DIR [DIRECTORY.json]  start Prosody in the background, wait until it
                              takes connections (at most 20 s), write DIR/port
                              and print the port
  stop DIR                    end the server started in DIR
  run DIR [DIRECTORY.json]    write the configuration and DIR/port, then
                              become Prosody in the foreground

A DIR that already holds a configuration and data starts again on the same
port with the same archive; the directory file is then optional. The
directory file: {"domain":"mrtc.local","users":[{"id":20001,"name":"Alice",
"password":"..."}],"groups":[...],"config":[...]}; only the domain and the
users matter to the server.
HELP
  exit 0
fi
[ $# -ge 2 ] || die "usage: $0 start|stop|run DIR [DIRECTORY.json]"
cmd=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
directory=${3:-}
command -v prosody >/dev/null || die "prosody is not installed (scripts/deps.sh installs it)"

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

write_config() {
  local domain=$1 port=$2
  mkdir -p "$dir/data" "$dir/certs"
  # No TLS: the server listens on loopback only, where nothing can be
  # overheard, and the nodes then need no certificate. Plain SASL stays
  # refused; the clients log in with SCRAM.
  cat >"$dir/prosody.cfg.lua" <<CFG
-- Written by scripts/xmpp-server.sh; rewritten at each first start.
run_as_root = true
pidfile = "$dir/prosody.pid"
data_path = "$dir/data"
log = { info = "$dir/prosody.log"; error = "$dir/prosody.err" }
interfaces = { "127.0.0.1" }
c2s_ports = { $port }
c2s_interfaces = { "127.0.0.1" }
s2s_ports = { }
c2s_require_encryption = false
allow_unencrypted_plain_auth = false
-- Passwords kept as the directory gives them (a private loopback server);
-- the clients still log in with SCRAM.
authentication = "internal_plain"
storage = "internal"
modules_enabled = {
  "roster"; "saslauth"; "disco"; "carbons"; "offline"; "mam"; "ping"; "time"; "posix";
}
modules_disabled = { "s2s"; "tls"; "http"; "bosh"; "websocket" }
-- Archive every message, kept long enough for any test or demo.
default_archive_policy = true
archive_expires_after = "1w"
max_archive_query_results = 500
-- Signalling is a few small stanzas at a time: sent at once, not held
-- back for the peer's delayed acknowledgement (Nagle).
network_settings = { nagle = false }
-- The nodes send bursts of signalling; no rate limit on loopback.
limits = { c2s = { rate = "100mb/s" } }
VirtualHost "$domain"
CFG
  echo "$port" >"$dir/port"
  echo "$domain" >"$dir/domain"
}

# Accounts written straight into the server's storage (one small Lua file per
# user, as internal_plain keeps them): prosodyctl takes seconds per user.
register_users() {
  local domain=$1
  python3 - "$directory" "$dir/data" "$domain" <<'PY'
import json, os, re, sys
directory, data, domain = sys.argv[1:4]
enc = lambda s: re.sub(r"[^a-zA-Z0-9]", lambda m: "%%%02x" % ord(m.group()), s)
accounts = os.path.join(data, enc(domain), "accounts")
os.makedirs(accounts, exist_ok=True)
lua = lambda s: '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'
for u in json.load(open(directory)).get("users", []):
    with open(os.path.join(accounts, enc(str(u["id"])) + ".dat"), "w") as f:
        f.write("return {\n\t[\"password\"] = %s;\n};\n" % lua(u["password"]))
PY
}

configure() {
  if [ ! -f "$dir/prosody.cfg.lua" ]; then
    [ -n "$directory" ] || die "a first start needs the directory file"
    local domain
    domain=$(python3 -c 'import json,sys; print(json.load(open(sys.argv[1])).get("domain","mrtc.local"))' "$directory")
    write_config "$domain" "$(free_port)"
    register_users "$domain"
  fi
}

wait_port() {
  local port=$1 pid=$2
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || die "prosody ended at start; see $dir/prosody.err"
    python3 -c "import socket,sys; socket.create_connection(('127.0.0.1',$port),0.2)" 2>/dev/null && return 0
    sleep 0.1
  done
  die "prosody takes no connection on port $port after 20 s"
}

case $cmd in
  start)
    configure
    port=$(cat "$dir/port")
    # exec in a subshell: the background child is Prosody itself.
    (exec prosody --config "$dir/prosody.cfg.lua" -F >>"$dir/prosody.out" 2>&1) &
    pid=$!
    echo "$pid" >"$dir/server.pid"
    wait_port "$port" "$pid"
    echo "$port"
    ;;
  run)
    configure
    exec prosody --config "$dir/prosody.cfg.lua" -F >>"$dir/prosody.out" 2>&1
    ;;
  stop)
    [ -f "$dir/server.pid" ] || exit 0
    pid=$(cat "$dir/server.pid")
    if kill "$pid" 2>/dev/null; then
      for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/server.pid"
    ;;
  *) die "unknown command $cmd (start, stop or run)" ;;
esac
