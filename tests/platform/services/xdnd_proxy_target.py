#!/usr/bin/python3
# A drop target that takes drops through a proxy, as desktop programs and some toolkits do:
# its window (titled "xdnd proxy target", 300 x 200 at the place given) names in XdndProxy a
# second, unmapped window, which names itself the same way and says it takes drops. Each
# message must reach the proxy and name the visible window; it is logged by name ("wrong
# window" when it names another). A drop's text is read and logged as "received: <text>".
# A third window, 100 x 100 at the place given after, takes no drops: a drag passing over
# it must send it nothing ("stray" when it gets a message).
import sys

from Xlib import X, Xatom, display
from Xlib.protocol import event

x, y = int(sys.argv[1]), int(sys.argv[2])
plainX, plainY = int(sys.argv[3]), int(sys.argv[4])
d = display.Display()
screen = d.screen()
root = screen.root
A = d.intern_atom
target = root.create_window(x, y, 300, 200, 0, X.CopyFromParent, background_pixel=screen.white_pixel)
target.set_wm_name('xdnd proxy target')
proxy = root.create_window(-10, -10, 1, 1, 0, X.CopyFromParent, event_mask=X.PropertyChangeMask)
target.change_property(A('XdndProxy'), Xatom.WINDOW, 32, [proxy.id])
proxy.change_property(A('XdndProxy'), Xatom.WINDOW, 32, [proxy.id])
proxy.change_property(A('XdndAware'), Xatom.ATOM, 32, [5])
plain = root.create_window(plainX, plainY, 100, 100, 0, X.CopyFromParent, background_pixel=screen.black_pixel)
target.map()
plain.map()
d.sync()
out = sys.stdout.buffer


def log(text):
    out.write(text.encode('utf-8') + b'\n')
    out.flush()


def reply(source, kind, data):
    w = d.create_resource_object('window', source)
    w.send_event(event.ClientMessage(window=w, client_type=A(kind), data=(32, data)))
    d.flush()


log('ready')
while True:
    e = d.next_event()
    if e.type != X.ClientMessage:
        continue
    name = d.get_atom_name(e.client_type)
    data = e.data[1]
    if e.window.id in (plain.id, 0):
        log('stray ' + name)
        continue
    if e.window.id != target.id:
        log('wrong window ' + name + ' %x from %x' % (e.window.id, data[0]))
        continue
    log(name)
    if name == 'XdndPosition':
        reply(data[0], 'XdndStatus', [target.id, 1, 0, 0, A('XdndActionCopy')])
    elif name == 'XdndDrop':
        proxy.convert_selection(A('XdndSelection'), A('UTF8_STRING'), A('XDND_DATA'), data[2])
        d.flush()
        while True:
            n = d.next_event()
            if n.type == X.SelectionNotify:
                break
        got = proxy.get_full_property(A('XDND_DATA'), X.AnyPropertyType) if n.property else None
        text = bytes(got.value).decode('utf-8', 'replace') if got else ''
        log('received: ' + text)
        reply(data[0], 'XdndFinished', [target.id, 1, A('XdndActionCopy'), 0, 0])
