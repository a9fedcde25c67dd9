"""A stand-in for the media rooms between live nodes, as the simulator plays
them: when a device's application enters a room (a call, answer, join or card
join answered 0) or leaves it (a hang-up, or its talk finished), the
applications of the other devices in that room report it to their plug-in
with request 24009 ("intoroom" or "levelroom"), as a media SDK's callback
would. The nodes carry no media, so without it a caller never learns that a
callee came into the room."""

import threading

ENTER = {24001, 24003, 24004, 24010}
HANGUP = 24005
FINISHED = 5


class MediaRoom:
    def __init__(self, nodes, poll=0.02):
        self.nodes = list(nodes)
        self.rooms = {}  # roomId -> {node: groupId}
        self.seen = {n: 0 for n in self.nodes}
        self.stop = threading.Event()
        self.poll = poll
        self.thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.stop.set()
        self.thread.join(timeout=5)
        return False

    def _run(self):
        while not self.stop.wait(self.poll):
            for n in self.nodes:
                items = n.select(since=self.seen[n])
                self.seen[n] += len(items)
                for item in items:
                    self._on(n, item)

    def _on(self, node, item):
        room = item.get("roomId")
        if not room:
            return
        cmd = item.get("cmd")
        if item.get("kind") == "request" and item.get("result") == 0 and cmd in ENTER:
            self._move(node, room, item.get("groupId", 0), "intoroom")
        elif (item.get("kind") == "request" and cmd == HANGUP) or (
                item.get("kind") == "event" and item.get("type") == FINISHED):
            self._move(node, room, item.get("groupId", 0), "levelroom")

    def _move(self, node, room, group, what):
        present = self.rooms.setdefault(room, {})
        if (what == "intoroom") == (node in present):
            return
        if what == "intoroom":
            present[node] = group
        else:
            group = present.pop(node)
        for other in present:
            if other is not node:
                try:
                    other.send(request="connectstate", annotation=what, groupId=present[other],
                               roomId=room, members=[node.user])
                except (OSError, ValueError):  # a node that has ended hears nothing
                    pass
