#!/usr/bin/python3
# An independent XDND peer for the desktop tests, written with GTK: "target" prints what is
# dropped on it; "text TEXT" and "file PATH" drag that text or file from the window.
import sys
import urllib.parse

import gi

gi.require_version('Gtk', '3.0')
gi.require_version('Gdk', '3.0')
from gi.repository import Gdk, Gtk  # noqa: E402

mode = sys.argv[1]
win = Gtk.Window(title='gtk peer ' + mode)
win.set_default_size(300, 200)
win.move(int(sys.argv[-2]), int(sys.argv[-1]))
area = Gtk.EventBox()
area.add(Gtk.Label(label='gtk peer ' + mode))
win.add(area)

if mode == 'target':
    area.drag_dest_set(Gtk.DestDefaults.ALL, [], Gdk.DragAction.COPY | Gdk.DragAction.MOVE)
    area.drag_dest_add_text_targets()

    def received(widget, context, x, y, data, info, time):
        print('received: ' + (data.get_text() or ''), flush=True)

    area.connect('drag-data-received', received)
else:
    area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, [], Gdk.DragAction.COPY)
    if mode == 'text':
        area.drag_source_add_text_targets()
    else:
        area.drag_source_add_uri_targets()

    def get(widget, context, data, info, time):
        if mode == 'text':
            data.set_text(sys.argv[2], -1)
        else:
            data.set_uris(['file://' + urllib.parse.quote(sys.argv[2])])

    area.connect('drag-data-get', get)
    area.connect('drag-end', lambda *args: print('drag-end', flush=True))

win.connect('destroy', Gtk.main_quit)
win.show_all()
print('ready', flush=True)
Gtk.main()
