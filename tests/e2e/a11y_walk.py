#!/usr/bin/python3
"""Reads a running program over AT-SPI as a screen reader does (pyatspi, the
library Orca uses), for a11y_e2e.sh. Every command polls until what it waits
for holds or STEP_TIMEOUT seconds pass, and exits 1 saying what did not hold.

  a11y_walk.py tree APP             prints the tree of every window of APP and
                                    checks it: each focusable object has a
                                    name, unique among the window's focusable
                                    objects (menu items among their menu's)
  a11y_walk.py focus APP NAME       the focused object is NAME
  a11y_walk.py text APP NAME TEXT   the object NAME holds the text TEXT
  a11y_walk.py checked APP NAME yes|no   the object NAME is checked, or not
  a11y_walk.py showing APP NAME     the object NAME is on screen
  a11y_walk.py window APP NAME      APP has a window NAME (gone with NAME -)
  a11y_walk.py hex APP              the hex editor's text, caret and
                                    description follow the keys Right and Z
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

TIMEOUT = float(os.environ.get("STEP_TIMEOUT", "20"))


def poll(what, probe):
    """Calls probe until it returns something true; returns that."""
    deadline = time.monotonic() + TIMEOUT
    last = None
    context = GLib.MainContext.default()
    while time.monotonic() < deadline:
        # Events from the bus are handed to our listeners here.
        while context.pending():
            context.iteration(False)
        try:
            last = probe()
        except Exception as error:  # objects come and go while we read them
            last = error
        if last and not isinstance(last, Exception):
            return last
        time.sleep(0.05)
    sys.exit(f"FAIL: timed out waiting for {what() if callable(what) else what} (last seen: {last})")


def application(name):
    def probe():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == name and app.childCount > 0:
                return app
        return None
    return poll(f"the application {name} on the accessibility bus", probe)


def state(obj, which):
    return obj.getState().contains(which)


def descendants(obj):
    return (child for child, _ in walk(obj, 0))


def text_of(obj):
    try:
        t = obj.queryText()
        return t.getText(0, t.characterCount)
    except NotImplementedError:
        return ""


def find(app, name):
    """The object called name; a control before a label of the same name
    (a field takes its name from its label)."""
    found = None
    for obj in descendants(app):
        if obj.name == name:
            if obj.getRole() != pyatspi.ROLE_LABEL:
                return obj
            found = found or obj
    return found


def line(obj, depth):
    text = text_of(obj)
    parts = [obj.getRoleName(), obj.name or "-"]
    if obj.description:
        parts.append(f"({obj.description})")
    if text and text != obj.name:
        first = text.split("\n")[0]
        parts.append(repr(first[:72] + ("..." if len(first) > 72 or "\n" in text else "")))
    flags = [f for f, s in (("focusable", pyatspi.STATE_FOCUSABLE), ("focused", pyatspi.STATE_FOCUSED),
                            ("checked", pyatspi.STATE_CHECKED)) if state(obj, s)]
    return "  " * depth + " | ".join(parts) + (" [" + ", ".join(flags) + "]" if flags else "")


def check_window(window, problems):
    """Names of focusable objects: present, and unique in the window; a
    spin box's own entry may carry the spin box's name."""
    seen = {}
    for obj in descendants(window):
        if not state(obj, pyatspi.STATE_FOCUSABLE) or not state(obj, pyatspi.STATE_SHOWING):
            continue
        parent = obj.parent
        where = f"{obj.getRoleName()} in {parent.getRoleName() if parent else '?'}"
        if not obj.name:
            problems.append(f"{window.name}: an unnamed focusable {where}")
            continue
        if parent is not None and parent.name == obj.name:
            continue
        scope = parent if obj.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_LIST_ITEM) else window
        key = (id(scope) if scope is not window else 0, obj.name)
        if key in seen:
            problems.append(f"{window.name}: two focusable objects named '{obj.name}' ({seen[key]}, {where})")
        seen[key] = where


def tree(app_name):
    app = application(app_name)
    problems = []
    print(line(app, 0))
    for window in (app.getChildAtIndex(i) for i in range(app.childCount)):
        if window is None:
            continue
        print(line(window, 1))
        for obj, depth in walk(window, 2):
            print(line(obj, depth))
        check_window(window, problems)
    for problem in problems:
        print("FAIL: " + problem)
    return 1 if problems else 0


def walk(obj, depth):
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is None:
            continue
        yield child, depth
        yield from walk(child, depth + 1)


def focused(app):
    for obj in descendants(app):
        if state(obj, pyatspi.STATE_FOCUSED) and state(obj, pyatspi.STATE_SHOWING):
            return obj
    return None


def wait_focus(app_name, name):
    app = application(app_name)
    seen = []

    def probe():
        obj = focused(app)
        seen[:] = [obj.name if obj else None]
        return obj is not None and obj.name == name
    poll(lambda: f"the focus on '{name}' (it is on {seen})", probe)
    return 0


def wait_text(app_name, name, text):
    app = application(app_name)
    poll(f"'{name}' to read '{text}'", lambda: find(app, name) is not None and text_of(find(app, name)) == text)
    return 0


def wait_state(app_name, name, which, wanted):
    app = application(app_name)
    poll(f"'{name}' to be {'' if wanted else 'not '}{pyatspi.stateToString(which)}",
         lambda: find(app, name) is not None and state(find(app, name), which) == wanted)
    return 0


def wait_window(app_name, name, gone):
    app = application(app_name)

    def shown():
        return any(w is not None and w.name == name and state(w, pyatspi.STATE_SHOWING)
                   for w in (app.getChildAtIndex(i) for i in range(app.childCount)))
    if gone:
        poll(f"the window '{name}' to close", lambda: not shown())
    else:
        window = poll(f"the window '{name}'", lambda: shown())
        del window
        for w in (app.getChildAtIndex(i) for i in range(app.childCount)):
            if w is not None and w.name == name:
                print(line(w, 0))
                for obj, depth in walk(w, 1):
                    print(line(obj, depth))
    return 0


def hex_editor(app_name):
    app = application(app_name)
    editor = poll("the hex editor", lambda: next(
        (o for o in descendants(app) if o.name and o.name.startswith("Hex editor")), None))
    if editor.getRole() != pyatspi.ROLE_TEXT or not state(editor, pyatspi.STATE_EDITABLE):
        sys.exit(f"FAIL: the hex editor is a {editor.getRoleName()}, not editable text")
    print(f"name: {editor.name}")
    poll("the hex editor to have the focus", lambda: state(editor, pyatspi.STATE_FOCUSED))
    text = editor.queryText()
    rows = poll("the editor's rows as text", lambda: text.getText(0, text.characterCount))
    print("text: " + rows.split("\n")[0])
    if not rows.startswith("00000000  48 65 6C 6C  6F"):
        sys.exit(f"FAIL: the first row reads '{rows.split(chr(10))[0]}'")
    before = text.caretOffset
    heard = []

    def listener(event):
        if event.source is not None and (event.source.name or "").startswith("Hex editor"):
            heard.append((event.type, event.detail1))
    pyatspi.Registry.registerEventListener(listener, "object:text-caret-moved",
                                           "object:property-change:accessible-value",
                                           "object:property-change:accessible-description")
    print(f"caret: {before}, description: {editor.description}")
    if editor.description != "offset 0x0, byte 48, 'H', character panel":
        sys.exit(f"FAIL: the cursor is described as '{editor.description}'")
    subprocess.run(["xdotool", "key", "Right"], check=True)
    poll("the caret to follow Right", lambda: text.caretOffset == before + 1
         and editor.description == "offset 0x1, byte 65, 'e', character panel")
    poll("the caret's move to be announced", lambda: ("object:text-caret-moved", before + 1) in heard)
    print(f"after Right: caret {text.caretOffset}, description: {editor.description}")
    subprocess.run(["xdotool", "key", "Z"], check=True)
    poll("the typed Z in the text and the caret past it", lambda: text.caretOffset == before + 2
         and text.getText(0, text.characterCount).split("\n")[0].endswith("HZllo, world. He")
         and editor.description.startswith("offset 0x2,"))
    print(f"after Z: caret {text.caretOffset}, description: {editor.description}")
    poll("the typed Z's move to be announced", lambda: ("object:text-caret-moved", before + 2) in heard)
    value = editor.queryValue()
    if int(value.currentValue) != ord("l"):
        sys.exit(f"FAIL: the value under the cursor is {value.currentValue}, not {ord('l')}")
    # A screen reader writes the byte under the cursor through the value.
    value.currentValue = ord("A")
    poll("the new byte in the text", lambda: text.getText(0, text.characterCount).split("\n")[0]
         .endswith("HZAlo, world. He"))
    poll("the value change to be announced",
         lambda: any(kind.startswith("object:property-change:accessible-value") for kind, _ in heard))
    print("heard: " + ", ".join(sorted({kind for kind, _ in heard})))
    return 0


def main(argv):
    command, app = argv[1], argv[2]
    if command == "tree":
        return tree(app)
    if command == "focus":
        return wait_focus(app, argv[3])
    if command == "text":
        return wait_text(app, argv[3], argv[4])
    if command == "checked":
        return wait_state(app, argv[3], pyatspi.STATE_CHECKED, argv[4] == "yes")
    if command == "showing":
        return wait_state(app, argv[3], pyatspi.STATE_SHOWING, True)
    if command == "window":
        return wait_window(app, argv[3], len(argv) > 4 and argv[4] == "-")
    if command == "hex":
        return hex_editor(app)
    sys.exit(f"unknown command {command}")


if __name__ == "__main__":
    sys.exit(main(sys.argv))
