#!/usr/bin/python3
# A drag source of another program for the desktop tests, written with GTK:
#   drag_source.py files X Y PATH...   drags the files (text/uri-list)
#   drag_source.py text X Y TEXT       drags the text
# The window stands at X, Y. It prints "ready" once shown, "refused" when the drop was
# not taken, and "ended" when the drag is over.
import sys
import urllib.parse

import gi

gi.require_version('Gtk', '3.0')
gi.require_version('Gdk', '3.0')
from gi.repository import Gdk, Gtk  # noqa: E402

mode, x, y, items = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
win = Gtk.Window(title='drag source ' + mode)
win.set_default_size(200, 120)
win.move(x, y)
area = Gtk.EventBox()
area.add(Gtk.Label(label='drag ' + mode))
win.add(area)
area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY | Gdk.DragAction.MOVE)
if mode == 'files':
    area.drag_source_add_uri_targets()
else:
    area.drag_source_add_text_targets()


def get(widget, context, data, info, time):
    if mode == 'files':
        data.set_uris(['file://' + urllib.parse.quote(p) for p in items])
    else:
        data.set_text(' '.join(items), -1)


def failed(widget, context, result):
    print('refused', flush=True)
    return True  # no snap-back animation


area.connect('drag-data-get', get)
area.connect('drag-failed', failed)
area.connect('drag-end', lambda *args: print('ended', flush=True))
win.connect('destroy', Gtk.main_quit)
win.show_all()
print('ready', flush=True)
Gtk.main()
