#!/usr/bin/python3
"""Drops files on an X window the way a file manager does, through the XDND protocol (version
5, or the target's own when older): enter, position, the target's status, drop, the file list handed over as text/uri-list when
the target asks for it, and the target's finished message. For the GUI checks, under Xvfb.

usage: xdnd_drop.py <window id> <root x> <root y> <file>...
Exit 0 when the target accepted the drop and said it finished; 1 with the reason otherwise."""

import sys
import time
import urllib.parse

from Xlib import X, display
from Xlib.protocol import event

WAIT_S = 10.0


def fail(reason):
    print(f"xdnd_drop: {reason}", file=sys.stderr)
    sys.exit(1)


def aware_window(d, root, top, x, y):
    """The outermost window at root (x, y), from `top` down, that says it takes XDND drops (the
    top-level window a source sends its messages to), and the protocol version both speak."""
    aware = d.intern_atom("XdndAware")
    window = top
    while window:
        said = window.get_full_property(aware, X.AnyPropertyType)
        if said and said.value:
            return window, min(5, int(said.value[0]))
        child = window.translate_coords(root, x, y).child
        window = child if child and getattr(child, "id", child) else None
    return None, 0


def main():
    if len(sys.argv) < 5:
        fail("usage: xdnd_drop.py <window id> <root x> <root y> <file>...")
    top_id, x, y = int(sys.argv[1], 0), int(sys.argv[2]), int(sys.argv[3])
    uris = "".join("file://" + urllib.parse.quote(p) + "\r\n" for p in sys.argv[4:])

    d = display.Display()
    root = d.screen().root
    atom = d.intern_atom
    enter, position, status, drop, finished = (atom("Xdnd" + n) for n in
                                                ("Enter", "Position", "Status", "Drop",
                                                 "Finished"))
    selection, copy, uri_list = atom("XdndSelection"), atom("XdndActionCopy"), atom("text/uri-list")

    target, version = aware_window(d, root, d.create_resource_object("window", top_id), x, y)
    if target is None:
        fail(f"no window under {x},{y} in 0x{top_id:x} takes drops")
    source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    source.set_selection_owner(selection, X.CurrentTime)
    d.flush()

    def send(kind, data):
        message = event.ClientMessage(window=target, client_type=kind,
                                      data=(32, [source.id] + data))
        target.send_event(message)
        d.flush()

    def next_event(wanted):
        deadline = time.monotonic() + WAIT_S
        while time.monotonic() < deadline:
            while d.pending_events():
                e = d.next_event()
                if e.type == X.SelectionRequest:
                    answer(e)
                elif e.type == X.ClientMessage and e.client_type == wanted:
                    return e
            time.sleep(0.01)
        return None

    def answer(request):
        prop = request.property or request.target
        if request.target == uri_list:
            request.requestor.change_property(prop, uri_list, 8, uris.encode())
        else:
            prop = X.NONE
        notify = event.SelectionNotify(time=request.time, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=prop)
        request.requestor.send_event(notify)
        d.flush()

    send(enter, [version << 24, uri_list, 0, 0])
    send(position, [0, (x << 16) | y, X.CurrentTime, copy])
    reply = next_event(status)
    if reply is None:
        fail("the target never answered the drop's position")
    if not reply.data[1][1] & 1:
        send(atom("XdndLeave"), [0, 0, 0, 0])
        fail("the target refused the drop at this position")
    send(drop, [0, X.CurrentTime, 0, 0])
    done = next_event(finished)
    if done is None:
        fail("the target never finished the drop")
    if version >= 5 and not done.data[1][1] & 1:  # older targets do not say
        fail("the target finished without taking the drop")
    print(f"xdnd_drop: {len(sys.argv) - 4} file(s) taken by 0x{target.id:x}")


if __name__ == "__main__":
    main()
