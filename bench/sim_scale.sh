#!/bin/sh
# Writes a scenario of one group call among N live clients (default 200):
# the first calls the other N-1 members, the second answers, both hang up
# later and the others ring out. The work it asks grows with N (one call, one
# answer and one end reach every client), so the simulator's time should too:
#
#   bench/sim_scale.sh 1000 > /tmp/scale_1000.json
#   /usr/bin/time -f "%e s, %M KB" build/rel/mrtc-sim --quiet /tmp/scale_1000.json
set -eu
n=${1:-200}
case $n in
  '' | *[!0-9]*) n=0 ;;
esac
if [ "$n" -lt 2 ]; then
  echo "usage: $0 CLIENTS (2 or more)" >&2
  exit 2
fi
awk -v n="$n" 'BEGIN {
  first = 100001
  for (i = 0; i < n; i++) {
    users = users (i ? ", " : "") "{\"id\": " first + i ", \"name\": \"U" i + 1 "\"}"
    clients = clients (i ? ", " : "") "{\"name\": \"c" i + 1 "\", \"user\": " first + i "}"
    members = members (i ? ", " : "") first + i
    if (i) callees = callees (i > 1 ? ", " : "") first + i
  }
  room = "\"groupId\": 5001, \"roomId\": \"room-s\""
  print "{"
  print "  \"name\": \"one group call among " n " clients\","
  print "  \"users\": [" users "],"
  print "  \"groups\": [{\"id\": 5001, \"members\": [" members "]}],"
  print "  \"clients\": [" clients "],"
  print "  \"steps\": ["
  print "    {\"at\": 1, \"client\": \"c1\", \"request\": \"call\", " room ", \"roomName\": \"Scale\","
  print "     \"members\": [" callees "], \"extend\": {\"rtcType\": \"rtc\", \"conferMode\": \"chat\"},"
  print "     \"expect\": {\"result\": 0}},"
  print "    {\"at\": 5, \"client\": \"c2\", \"request\": \"intoroom\", " room ", \"members\": [" first + 1 "],"
  print "     \"expect\": {\"result\": 0}},"
  print "    {\"at\": 30, \"client\": \"c2\", \"request\": \"hungup\", \"annotation\": \"hungup_uiclick\", " room "},"
  print "    {\"at\": 31, \"client\": \"c1\", \"request\": \"hungup\", \"annotation\": \"hungup_uiclick\", " room "}"
  print "  ]"
  print "}"
}'
