#!/usr/bin/python3
"""Reads the running window's accessibility tree as a screen reader does,
over AT-SPI, prints it (role | name | description) and checks it.

accessibility_tree.py START CAPTURE ITEM SPEAKER
  START    the name the Start button must have
  CAPTURE  what the capture group selector must show
  ITEM     what the capture item selector must show
  SPEAKER  the name the speaker selector must have

Exits 0 when every check holds, 1 when one fails, 2 when the window never
appeared on the accessibility bus.
"""
import sys
import time

import pyatspi

# Roles whose controls a screen reader must be able to name.
NAMED_ROLES = {"push button", "combo box", "slider", "text", "entry", "password text",
               "tree", "tree table", "table", "list"}
TABLE_ROLES = {"tree", "tree table", "table"}
SHOWN_CELLS = 9  # three rows of the talk list are enough to read


def find_window(timeout):
    """The program's dialog, once it has its controls."""
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            if app is None or "tarnwick" not in (app.name or "").lower():
                continue
            for window in app:
                if window is not None and window.childCount > 10:
                    return app, window
        time.sleep(0.2)
    return None, None


def states(node):
    state = node.getState()
    shown = [name for name, value in (("checked", pyatspi.STATE_CHECKED), ("focused", pyatspi.STATE_FOCUSED))
             if state.contains(value)]
    if not state.contains(pyatspi.STATE_ENABLED):
        shown.append("disabled")
    return shown


def walk(node, depth, parent_role, lines, nodes):
    role = node.getRoleName()
    nodes.append((node, role, parent_role))
    extra = ""
    try:
        extra = " value=%g" % node.queryValue().currentValue
    except NotImplementedError:
        pass
    flags = states(node)
    lines.append("%s%s | %s | %s%s%s" % ("  " * depth, role, node.name, node.description, extra,
                                        " [" + ", ".join(flags) + "]" if flags else ""))
    count = node.childCount
    shown = count
    if role in TABLE_ROLES:
        shown = min(count, SHOWN_CELLS + 3)  # the column headers come first
    for i in range(shown):
        child = node.getChildAtIndex(i)
        if child is not None:
            walk(child, depth + 1, role, lines, nodes)
    if shown < count:
        lines.append("%s… %d more" % ("  " * (depth + 1), count - shown))


def main():
    if len(sys.argv) != 5:
        print(__doc__)
        return 2
    start, capture, item, speaker = sys.argv[1:]
    app, window = find_window(30)
    if window is None:
        print("FAIL: no Tarnwick window on the accessibility bus")
        return 2
    lines = []
    nodes = []
    walk(app, 0, "", lines, nodes)
    print("\n".join(lines))

    failures = []
    # Every control a user reaches has a name; a selector's own drop-down
    # list is named by the selector.
    for node, role, parent_role in nodes:
        if role in NAMED_ROLES and parent_role != "combo box" and not node.name:
            failures.append("a %s without a name (child of a %s)" % (role, parent_role))
    buttons = [n.name for n, role, _ in nodes if role == "push button"]
    if start not in buttons:
        failures.append("no button named %r among %r" % (start, buttons))
    combos = [n.name for n, role, _ in nodes if role == "combo box"]
    for wanted in (capture, item):
        if wanted not in combos:
            failures.append("no selector showing %r among %r" % (wanted, combos))
    # The speaker selector by its name: a selector is named by what it
    # shows, and its label names what it is.
    def labels(node):
        return [relation.getTarget(i).name for relation in node.getRelationSet()
                if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY
                for i in range(relation.getNTargets())]
    if not any(role == "combo box" and speaker in labels(n) for n, role, _ in nodes):
        failures.append("no selector labelled %r among %r" % (speaker, [(c, labels(n)) for n, role, _ in nodes
                                                                          if role == "combo box" for c in [n.name]]))
    sliders = [n for n, role, _ in nodes if role == "slider"]
    if not sliders or not sliders[0].description.endswith(" dB"):
        failures.append("the volume slider does not tell its decibels")
    # The list's rows read as one text from their first cell, with the mark
    # as the cell's checked state.
    cells = [n for n, role, parent in nodes if role == "table cell" and parent in TABLE_ROLES]
    if len(cells) < 3 or not cells[0].name.startswith("1001") or cells[1].name not in cells[0].name \
            or cells[2].name not in cells[0].name:
        failures.append("the first row does not read as ID, cast, text: %r" % (cells[0].name if cells else None))
    elif not cells[0].getState().contains(pyatspi.STATE_CHECKED):
        failures.append("the first row's mark is not told")

    for failure in failures:
        print("FAIL: " + failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
