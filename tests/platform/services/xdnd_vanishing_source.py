#!/usr/bin/python3
# A drag source that enters the window titled "lumacast drop target", moves over it, and
# then ends without a drop or a leave, its window gone: the target must end the drag itself.
import sys

from Xlib import X, display
from Xlib.protocol import event

d = display.Display()
root = d.screen().root
target = None
for w in root.query_tree().children:
    if w.get_wm_name() == 'lumacast drop target':
        target = w
if target is None:
    print('no target', flush=True)
    sys.exit(1)
src = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
A = d.intern_atom


def send(kind, data):
    target.send_event(event.ClientMessage(window=target, client_type=A(kind), data=(32, data)))
    d.flush()


send('XdndEnter', [src.id, 5 << 24, A('UTF8_STRING'), 0, 0])
geometry = target.get_geometry()
x, y = geometry.x + 50, geometry.y + 50
send('XdndPosition', [src.id, 0, (x << 16) | y, X.CurrentTime, A('XdndActionCopy')])
while True:
    e = d.next_event()
    if e.type == X.ClientMessage and e.client_type == A('XdndStatus'):
        print('status', e.data[1][1] & 1, flush=True)
        break
src.destroy()
d.sync()
