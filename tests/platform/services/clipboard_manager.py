#!/usr/bin/python3
# A small clipboard manager for the desktop tests: it owns CLIPBOARD_MANAGER, and when a
# program asks it to SAVE_TARGETS it copies those targets of the clipboard, takes the
# clipboard over and serves the copies from then on.
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

d = display.Display()
w = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent, event_mask=X.PropertyChangeMask)
CM = d.intern_atom('CLIPBOARD_MANAGER')
CLIP = d.intern_atom('CLIPBOARD')
SAVE = d.intern_atom('SAVE_TARGETS')
TARGETS = d.intern_atom('TARGETS')
PROP = d.intern_atom('MANAGER_COPY')
w.set_selection_owner(CM, X.CurrentTime)
d.sync()
print('ready', flush=True)
saved = {}


def wait_notify():
    while True:
        e = d.next_event()
        if e.type == X.SelectionNotify:
            return e


def fetch(target):
    w.convert_selection(CLIP, target, PROP, X.CurrentTime)
    d.flush()
    e = wait_notify()
    if e.property == X.NONE:
        return None
    p = w.get_full_property(PROP, X.AnyPropertyType)
    w.delete_property(PROP)
    return p


def reply(req, prop):
    ev = event.SelectionNotify(time=req.time, requestor=req.requestor, selection=req.selection,
                               target=req.target, property=prop)
    req.requestor.send_event(ev)
    d.flush()


while True:
    e = d.next_event()
    if e.type != X.SelectionRequest:
        continue
    if e.selection == CM and e.target == SAVE:
        wanted = None
        if e.property != X.NONE:
            p = e.requestor.get_full_property(e.property, Xatom.ATOM)
            wanted = list(p.value) if p else None
        if not wanted:
            p = fetch(TARGETS)
            wanted = [t for t in (p.value if p else []) if t != TARGETS]
        saved = {}
        for t in wanted:
            p = fetch(t)
            if p is not None:
                saved[t] = p
        w.set_selection_owner(CLIP, X.CurrentTime)
        d.sync()
        reply(e, e.property)
        print('saved', len(saved), flush=True)
    elif e.selection == CLIP:
        prop = e.property if e.property != X.NONE else e.target
        if e.target == TARGETS:
            e.requestor.change_property(prop, Xatom.ATOM, 32, [TARGETS] + list(saved.keys()))
            reply(e, prop)
        elif e.target in saved:
            p = saved[e.target]
            e.requestor.change_property(prop, p.property_type, p.format, p.value)
            reply(e, prop)
        else:
            reply(e, X.NONE)
    else:
        reply(e, X.NONE)
