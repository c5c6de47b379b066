"""Reads the running demo's controls over AT-SPI and acts on them, for 65-gtk-atspi.sh.

Usage: atspi_probe.py <amplifier report> <xdotool click command...>
Prints one line per finding; exits 1 with the reason at the first fault.
"""
import re
import subprocess
import sys
import time

import pyatspi

report, click = sys.argv[1], sys.argv[2:]


def fail(reason):
    print("atspi: " + reason)
    sys.exit(1)


def wait_until(what, seconds=5.0):
    deadline = time.time() + seconds
    while time.time() < deadline:
        if what():
            return True
        time.sleep(0.1)
    return False


def editor():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "nimba-editor-demo":
            return app
    return None


def controls(app):
    """Every shown control of the mirror: {name: accessible}, walking the whole tree."""
    found = {}

    def walk(node):
        for i in range(node.childCount):
            child = node.getChildAtIndex(i)
            if child is None:
                continue
            states = child.getState()
            role = child.getRoleName()
            if role != "filler" and states.contains(pyatspi.STATE_VISIBLE):
                found[child.name] = child
            walk(child)

    walk(app)
    return found


def has(accessible, state):
    return accessible.getState().contains(state)


def logged(pattern):
    with open(report, encoding="utf-8") as f:
        return any(re.search(pattern, line) for line in f)


def block_with_bypass(program, bypass):
    def found():
        with open(report, encoding="utf-8") as f:
            for line in f:
                w = line.split()
                if (len(w) == 24 and w[0] == "recv" and w[1] == "F0" and w[3] == "01"
                        and w[4] == "%02X" % program and w[14] == bypass):
                    return True
        return False
    return found


app = None
if not wait_until(lambda: editor() is not None, 20):
    fail("the demo is not on the accessibility bus")
app = editor()

main_page = {"STORE": "push button", "PROGRAM CHANGE": "spin button",
             "MIDI CHANNEL": "spin button", "CHANNEL": "spin button", "GALAXY": "spin button",
             "IR BYPASS": "check box", "TOLEX COLOR": "spin button"}
for k in range(1, 7):
    main_page["IMPORT INTO SLOT %d" % k] = "push button"
    main_page["FACTORY CABINETS FOR SLOT %d" % k] = "check box"
slot_names = {}

# 1. Every control of the main page, with its role and name.
seen = controls(app)
for name, role in main_page.items():
    if name not in seen:
        fail("no control named %r; found %s" % (name, sorted(seen)))
    if seen[name].getRoleName() != role:
        fail("%r is a %s, wanted a %s" % (name, seen[name].getRoleName(), role))
radios = [a for a in seen.values() if a.getRoleName() == "radio button"]
if len(radios) != 6 or not all(re.match(r"SLOT [1-6]: \S", a.name) for a in radios):
    fail("the six slot radios are not named: %s" % [a.name for a in radios])
if sum(has(a, pyatspi.STATE_CHECKED) for a in radios) != 1:
    fail("not exactly one slot radio is checked")
program = seen["PROGRAM CHANGE"].queryValue()
if (program.currentValue, program.minimumValue, program.maximumValue) != (0, 0, 127):
    fail("PROGRAM CHANGE reads %s of %s..%s" % (program.currentValue, program.minimumValue,
                                                program.maximumValue))
status = [a for a in seen.values() if a.getRoleName() == "status bar"]
if len(status) != 1 or "CONNECTED" not in status[0].name:
    fail("no status bar telling the connection: %s" % [a.name for a in status])
print("atspi: %d controls with roles and names (%s), program %d of 0..127, status %r" % (
    len(main_page) + len(radios), ", ".join(sorted({r for r in main_page.values()} |
                                                   {"radio button"})),
    program.currentValue, status[0].name))

# 2. IR BYPASS pressed through AT-SPI's action: checked, and the amplifier gets the block.
bypass = seen["IR BYPASS"]
action = bypass.queryAction()
names = [action.getName(i) for i in range(action.nActions)]
if "click" not in names:
    fail("IR BYPASS offers no click action: %s" % names)
if has(bypass, pyatspi.STATE_CHECKED):
    fail("IR BYPASS is checked before any toggle")
action.doAction(names.index("click"))
if not wait_until(lambda: has(bypass, pyatspi.STATE_CHECKED)):
    fail("IR BYPASS did not turn checked after its action")
if not wait_until(block_with_bypass(0, "01")):
    fail("the action reached no amplifier: no block for program 0 with the bypass byte set")
print("atspi: the click action of IR BYPASS: checked, program 0's block sent with bypass set")

# 3. Toggled back with the pointer: the state follows.
time.sleep(0.3)
subprocess.run(click, check=True)
if not wait_until(lambda: not has(bypass, pyatspi.STATE_CHECKED)):
    fail("IR BYPASS stayed checked after a click on the switch")
if not wait_until(block_with_bypass(0, "00")):
    fail("the click sent no block with the bypass byte clear")
print("atspi: a click on the switch: IR BYPASS unchecked again")

# 4. A cabinet page opened through its page button's action: its controls come, the main
# page's go.
time.sleep(0.3)
page = seen["FACTORY CABINETS FOR SLOT 2"]
page.queryAction().doAction(0)
cabinet_page = {"FACTORY CABINET": "spin button", "AUDITION": "check box",
                "EXTRACT ALL": "push button", "SELECT": "push button"}
if not wait_until(lambda: all(n in controls(app) for n in cabinet_page)):
    fail("the cabinet page's controls did not appear: %s" % sorted(controls(app)))
now = controls(app)
for name, role in cabinet_page.items():
    if now[name].getRoleName() != role:
        fail("%r is a %s, wanted a %s" % (name, now[name].getRoleName(), role))
if not has(now["FACTORY CABINETS FOR SLOT 2"], pyatspi.STATE_CHECKED):
    fail("the open page's button is not checked")
gone = [n for n in ("PROGRAM CHANGE", "IR BYPASS", "CHANNEL") if n in now]
if gone:
    fail("the main page's controls are still offered under the cabinet page: %s" % gone)
cabinet = now["FACTORY CABINET"].queryValue()
print("atspi: the cabinet page: %s offered, cabinet %d of 0..%d, the main page's gone" % (
    ", ".join(sorted(cabinet_page)), cabinet.currentValue, cabinet.maximumValue))
