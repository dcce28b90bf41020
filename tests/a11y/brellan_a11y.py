#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads and drives Brellan's window from outside, through the accessibility
bus (AT-SPI), as a screen reader does.

The program must run with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on an X display
(Qt's offscreen platform has no accessibility bridge) and share a session bus
with this tool; scripts/lib/a11y_session.sh sets that up.

Qt 6.4 does not put a widget's objectName on the bus, so the controls are
found by their role and the accessible name the window gives them
(Form1::nameForScreenReaders); CONTROLS maps the designer's names to those.
Keys are sent through the bus too (the registry types them with XTest);
making the window active takes xdotool, as a window manager's part.

As a module:
    window = BrellanWindow.find(timeout=10)
    window.type_into("txtAddIPAddress", "127.0.0.3")
    window.press("cmdAdd")
    window.choose_agent("127.0.0.3")
    wait_until(lambda: window.values()["txtSysName"] == "agent", 10, "sysName")

As a command (see --help): brellan_a11y.py trap-lines --until LINE
"""

import argparse
import subprocess
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

TEXT_ROLES = (Atspi.Role.TEXT, Atspi.Role.ENTRY)

# Designer name -> (roles, accessible name).
CONTROLS = {
    "cmdFind": ((Atspi.Role.PUSH_BUTTON,), "Find Agents"),
    "cmdAdd": ((Atspi.Role.PUSH_BUTTON,), "Add Agent"),
    "txtAddIPAddress": (TEXT_ROLES, "Agent IP address"),
    "txtAddsysName": (TEXT_ROLES, "Agent name"),
    "lvwAgentList": ((Atspi.Role.TREE, Atspi.Role.TREE_TABLE, Atspi.Role.TABLE), "Agent List"),
    "lstTrapList": ((Atspi.Role.LIST, Atspi.Role.TABLE), "SNMP Traps"),
    "lblStatus": ((Atspi.Role.LABEL,), "Status"),
    # The trap list's find field, shown by Ctrl+F.
    "txtFind": (TEXT_ROLES, "Find in trap list"),
    # The value boxes are named by the captions beside them.
    "txtSysDescr": (TEXT_ROLES, "Description: "),
    "txtSysObjectID": (TEXT_ROLES, "ObjectID: "),
    "txtSysUpTime": (TEXT_ROLES, "UpTime: "),
    "txtSysContact": (TEXT_ROLES, "Contact: "),
    "txtSysName": (TEXT_ROLES, "Name: "),
    "txtSysLocation": (TEXT_ROLES, "Location: "),
    "txtSysServices": (TEXT_ROLES, "Services: "),
}
VALUE_BOXES = ("txtSysDescr", "txtSysObjectID", "txtSysUpTime", "txtSysContact", "txtSysName",
               "txtSysLocation", "txtSysServices")

APPLICATION_NAME = "Brellan"
POLL_SECONDS = 0.05


class A11yError(Exception):
    """The window, or a control of it, is not on the bus as expected."""


def wait_until(condition, timeout, what):
    """Calls condition() until it returns a true value, and returns that
    value; raises A11yError naming `what` once `timeout` seconds have passed.
    Errors from the bus while the window is still settling count as false."""
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            result = condition()
            if result:
                return result
        except (A11yError, GLib.Error) as error:
            last_error = error
        if time.monotonic() >= deadline:
            detail = f" (last error: {last_error})" if last_error else ""
            raise A11yError(f"timed out after {timeout:g} s waiting for {what}{detail}")
        time.sleep(POLL_SECONDS)


def _children(accessible):
    for index in range(accessible.get_child_count()):
        child = accessible.get_child_at_index(index)
        if child is not None:
            yield child


def _find_descendant(root, roles, name):
    """Depth-first search below root, without entering tables and lists,
    whose rows are read through their table interface."""
    for child in _children(root):
        role = child.get_role()
        if role in roles and child.get_name() == name:
            return child
        if child.get_state_set().contains(Atspi.StateType.MANAGES_DESCENDANTS):
            continue
        found = _find_descendant(child, roles, name)
        if found is not None:
            return found
    return None


def _x_window_size(window):
    geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window],
                              capture_output=True, text=True, check=False).stdout
    fields = dict(line.split("=", 1) for line in geometry.splitlines() if "=" in line)
    return {key: fields.get(key) for key in ("WIDTH", "HEIGHT")}


def _has_state(accessible, state):
    return accessible.get_state_set().contains(state)


def _cells(table, column_count):
    rows = []
    for row in range(Atspi.Table.get_n_rows(table)):
        cells = [Atspi.Table.get_accessible_at(table, row, column) for column in range(column_count)]
        rows.append(cells)
    return rows


class BrellanWindow:
    """Brellan's main window as the accessibility bus shows it."""

    def __init__(self, application, frame):
        self.application = application
        self.frame = frame
        self._controls = {}
        # Every read asks the program: a cached name, description or state
        # would be only as fresh as the events the program chose to send.
        application.set_cache_mask(Atspi.Cache.NONE)

    @classmethod
    def find(cls, timeout=10.0, pid=None):
        """Waits until a Brellan application (with the given process id, if
        any) is on the bus and shows its main window: the one with the trap
        list, not a message box, which bears the same title."""
        def found():
            desktop = Atspi.get_desktop(0)
            for application in _children(desktop):
                if application.get_name() != APPLICATION_NAME:
                    continue
                if pid is not None and application.get_process_id() != pid:
                    continue
                for frame in _children(application):
                    roles, name = CONTROLS["lstTrapList"]
                    if _has_state(frame, Atspi.StateType.SHOWING) and _find_descendant(frame, roles, name):
                        return cls(application, frame)
            return None
        return wait_until(found, timeout, "Brellan's window on the accessibility bus")

    def control(self, name):
        """The control the designer named `name` (a key of CONTROLS)."""
        if name not in CONTROLS:
            raise A11yError(f"no control is called {name}; known: {', '.join(CONTROLS)}")
        if name not in self._controls:
            roles, accessible_name = CONTROLS[name]
            found = _find_descendant(self.frame, roles, accessible_name)
            if found is None:
                raise A11yError(f"{name} ({accessible_name!r}) is not on the bus")
            self._controls[name] = found
        return self._controls[name]

    # --- Reading ---

    def text_of(self, name):
        box = self.control(name)
        return Atspi.Text.get_text(box, 0, Atspi.Text.get_character_count(box))

    def values(self):
        """The seven value boxes' texts, by designer name."""
        return {name: self.text_of(name) for name in VALUE_BOXES}

    def status(self):
        """The status line: the label gives it as its description."""
        return self.control("lblStatus").get_description()

    def trap_lines(self):
        """Each line of the trap list as (accessible name, accessible
        description): the line, and the trap's details where the list
        gives them."""
        return [(cell.get_name(), cell.get_description())
                for (cell,) in _cells(self.control("lstTrapList"), 1)]

    def selected_trap_lines(self):
        """The trap list's selected lines."""
        table = self.control("lstTrapList")
        return [Atspi.Table.get_accessible_at(table, row, 0).get_name()
                for row in range(Atspi.Table.get_n_rows(table)) if Atspi.Table.is_row_selected(table, row)]

    def agent_rows(self):
        """The agent list's rows as (address, sysName)."""
        return [(address.get_name(), name.get_name())
                for address, name in _cells(self.control("lvwAgentList"), 2)]

    # --- Acting ---

    def type_into(self, name, text):
        """Replaces the text of an entry box, as dictation or a screen
        reader's edit command does, and checks that it took."""
        box = self.control(name)
        if not Atspi.EditableText.set_text_contents(box, text):
            raise A11yError(f"{name} refused the text {text!r}")
        wait_until(lambda: self.text_of(name) == text, 5, f"{name} to hold {text!r}")

    def press(self, name):
        """Presses a button through its accessible action. cmdFind
        broadcasts to 255.255.255.255: press it only inside a private
        network namespace."""
        button = self.control(name)
        if Atspi.Action.get_n_actions(button) < 1 or not Atspi.Action.do_action(button, 0):
            raise A11yError(f"{name} could not be pressed")

    def activate(self):
        """Makes the window the active one, as a window manager does when
        the user switches to it (xdotool gives it the X input focus; on a
        virtual display with no window manager nothing else would)."""
        if _has_state(self.frame, Atspi.StateType.ACTIVE):
            return
        pid = str(self.application.get_process_id())
        windows = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "^Brellan$"],
                                 capture_output=True, text=True, check=False).stdout.split()
        # A message box has the same title: the main window is the one of the frame's size.
        extents = Atspi.Component.get_extents(self.frame, Atspi.CoordType.SCREEN)
        size = {"WIDTH": str(extents.width), "HEIGHT": str(extents.height)}
        main = [window for window in windows if _x_window_size(window) == size]
        if not main:
            raise A11yError(f"no X window of process {pid} is Brellan's main window ({size})")
        subprocess.run(["xdotool", "windowfocus", "--sync", main[0]], check=True, timeout=10)
        wait_until(lambda: _has_state(self.frame, Atspi.StateType.ACTIVE), 5, "the window to become active")

    def focus(self, name):
        """Gives a control the keyboard focus: through its SetFocus action
        where it has one, otherwise with Tab, as a keyboard user moves (Tab
        never presses a button)."""
        self.activate()
        control = self.control(name)
        focused = lambda: _has_state(control, Atspi.StateType.FOCUSED)  # noqa: E731
        if Atspi.Action.get_n_actions(control) > 0 and Atspi.Component.grab_focus(control):
            wait_until(focused, 5, f"focus on {name}")
            return
        for _ in range(len(CONTROLS) + 2):  # once round the window's tab chain
            if focused():
                return
            _press_key("Tab")
        wait_until(focused, 1, f"Tab to reach {name}")

    def choose_agent(self, address, timeout=5.0):
        """Chooses the agent row holding `address` the way a keyboard user
        does: focus on the list, Home, Down to the row, Enter. (The window
        reads an agent on a click or Enter, not on a mere change of the
        selection.)"""
        rows = self.agent_rows()
        addresses = [row[0] for row in rows]
        if address not in addresses:
            raise A11yError(f"no agent row holds {address}; rows: {rows}")
        row = addresses.index(address)
        self.focus("lvwAgentList")
        _press_key("Home")
        for _ in range(row):
            _press_key("Down")
        agents = self.control("lvwAgentList")
        wait_until(lambda: _has_state(Atspi.Table.get_accessible_at(agents, row, 0), Atspi.StateType.FOCUSED),
                   timeout, f"row {row} ({address}) to be the current row")
        _press_key("Return")
        wait_until(lambda: Atspi.Table.is_row_selected(agents, row), timeout, f"row {row} ({address}) selected")


    def find_in_trap_lines(self, text, timeout=10.0):
        """Opens the trap list's find field with Ctrl+F, as a keyboard user
        does, puts `text` in it (as dictation does) and returns what the
        field then says of the search: its accessible description, once the
        search has ended and its matches are counted ("Line 2 of 4, match 1
        of 3", "No match")."""
        self.activate()
        control_mask = 1 << 2  # X's ControlMask, held while f is typed
        if not Atspi.generate_keyboard_event(control_mask, None, Atspi.KeySynthType.LOCKMODIFIERS):
            raise A11yError("the Control key could not be held")
        try:
            _press_key("f")
        finally:
            Atspi.generate_keyboard_event(control_mask, None, Atspi.KeySynthType.UNLOCKMODIFIERS)
        field = self.control("txtFind")
        wait_until(lambda: _has_state(field, Atspi.StateType.FOCUSED), 5, "Ctrl+F to open the find field")
        if not Atspi.EditableText.set_text_contents(field, text):
            raise A11yError(f"the find field refused the text {text!r}")
        said = lambda: ((field.get_description() == "No match" or ", match " in field.get_description())  # noqa: E731
                        and field.get_description())
        return wait_until(said, timeout, f"the find field to answer for {text!r}")


def _press_key(name):
    keysym = {"Tab": 0xFF09, "Home": 0xFF50, "Down": 0xFF54, "Return": 0xFF0D, "f": 0x66}[name]
    if not Atspi.generate_keyboard_event(keysym, None, Atspi.KeySynthType.SYM):
        raise A11yError(f"the key {name} could not be sent")
    time.sleep(POLL_SECONDS)  # let the window take one key before the next


# --- Command line ---

def _escaped(text):
    return text.replace("\\", "\\\\").replace("\n", "\\n").replace("\t", "\\t")


def _read_lines(window, what, describe):
    if what == "trap-lines":
        return [_escaped(name) + ("\t" + _escaped(description) if describe and description else "")
                for name, description in window.trap_lines()]
    if what == "agents":
        return [f"{_escaped(address)}\t{_escaped(name)}" for address, name in window.agent_rows()]
    if what == "values":
        return [f"{name}={_escaped(text)}" for name, text in window.values().items()]
    return [_escaped(window.status())]


def main(argv=None):
    parser = argparse.ArgumentParser(
        description="Read and drive Brellan's window through the accessibility bus.")
    parser.add_argument("--pid", type=int, help="the program's process id, when several run")
    parser.add_argument("--timeout", type=float, default=10.0, help="seconds to wait (default 10)")
    commands = parser.add_subparsers(dest="command", required=True)
    for what, text in (("trap-lines", "the trap list's lines"), ("agents", "the agent list's rows"),
                       ("values", "the seven value boxes"), ("status", "the status line")):
        read = commands.add_parser(what, help=f"print {text}")
        read.add_argument("--until", action="append", default=[], metavar="LINE",
                          help="wait until this line is printed (may be repeated: all of them)")
        if what == "trap-lines":
            read.add_argument("--describe", action="store_true",
                              help="add each line's description, where it has one, after a tab")
    commands.add_parser("wait-window", help="wait until the window is on the bus")
    type_into = commands.add_parser("type", help="set the text of an entry box")
    type_into.add_argument("control", choices=("txtAddIPAddress", "txtAddsysName"))
    type_into.add_argument("text")
    press = commands.add_parser("press", help="press a button (cmdFind broadcasts: only in a private namespace)")
    press.add_argument("control", choices=("cmdAdd", "cmdFind"))
    choose = commands.add_parser("choose-agent", help="choose an agent row with the keyboard")
    choose.add_argument("address")
    find = commands.add_parser("find", help="find TEXT in the trap list (Ctrl+F); print the field's answer "
                                            "and the selected lines, a line each")
    find.add_argument("text")
    args = parser.parse_args(argv)

    window = None
    try:
        window = BrellanWindow.find(args.timeout, args.pid)
        if args.command == "type":
            window.type_into(args.control, args.text)
        elif args.command == "press":
            window.press(args.control)
        elif args.command == "choose-agent":
            window.choose_agent(args.address, args.timeout)
        elif args.command == "find":
            print(_escaped(window.find_in_trap_lines(args.text, args.timeout)))
            for line in window.selected_trap_lines():
                print(_escaped(line))
        elif args.command != "wait-window":
            describe = getattr(args, "describe", False)
            def lines_when_ready():
                lines = _read_lines(window, args.command, describe)
                return (lines,) if all(wanted in lines for wanted in args.until) else None
            (lines,) = wait_until(lines_when_ready, args.timeout,
                                  " and ".join(repr(line) for line in args.until) or args.command)
            for line in lines:
                print(line)
    except A11yError as error:
        print(f"brellan_a11y: {error}", file=sys.stderr)
        if window is not None and args.command not in ("type", "press", "choose-agent", "find", "wait-window"):
            try:
                last = _read_lines(window, args.command, getattr(args, "describe", False))
                print("brellan_a11y: it shows:\n" + "\n".join(last), file=sys.stderr)
            except Exception:  # the window may be gone: the error above says enough
                pass
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
