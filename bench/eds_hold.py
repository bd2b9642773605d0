#!/usr/bin/python3
"""For bench/eds_bench.sh: another client of an EDS calendar, keeping it open as GNOME Shell's
calendar server does. Creates the file READY once connected; ends when standard input closes.
Usage: eds_hold.py SOURCE_UID READY"""
import sys

import gi

gi.require_version("ECal", "2.0")
gi.require_version("EDataServer", "1.2")
from gi.repository import ECal, EDataServer, GLib  # noqa: E402

loop = GLib.MainLoop()
kept = []


def connected(_source, result):
    kept.append(ECal.Client.connect_finish(result))
    open(sys.argv[2], "w").close()


registry = EDataServer.SourceRegistry.new_sync(None)
ECal.Client.connect(registry.ref_source(sys.argv[1]), ECal.ClientSourceType.EVENTS, 0, None,
                    connected)
GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT,
                  GLib.IOCondition.IN | GLib.IOCondition.HUP, lambda *_: loop.quit())
loop.run()
