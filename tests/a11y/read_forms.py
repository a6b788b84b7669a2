#!/usr/bin/python3
"""Reads Ravelkeep's forms as a screen reader does, through AT-SPI.

Starts, each by its process id and in a sandbox of its own: an X server
(Xvfb), a session bus, the accessibility bus, and the built rkbak with a job
store holding one job with two backups. Then reads every label, field and
button of the main window, the Options dialog and the extract dialog, and
checks that no label speaks anything but its own text, that every button
and field has a name, and that the lines of the job information are spoken.
Ends everything it started.

Usage: read_forms.py PROGRAM_DIR
"""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

PROGRAM_DIR = sys.argv[1]
DEADLINE = time.monotonic() + 60
problems = []


def problem(text):
    problems.append(text)
    print("PROBLEM: " + text, flush=True)


def wait_until(what, check, seconds=15):
    end = min(time.monotonic() + seconds, DEADLINE)
    while time.monotonic() < end:
        value = check()
        if value:
            return value
        time.sleep(0.1)
    raise TimeoutError("timed out waiting for " + what)


started = []


def start(argv, env, **kwargs):
    process = subprocess.Popen(argv, env=env, **kwargs)
    started.append(process)
    return process


def stop_all():
    for process in reversed(started):
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
    for process in reversed(started):
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def make_sandbox(root):
    c = os.path.join(root, "c")
    prog = os.path.join(c, "prog")
    job = os.path.join(c, "Backups", "Weekly")
    data = os.path.join(c, "Data")
    for folder in (prog, job, os.path.join(data, "Photos", "Family"),
                   os.path.join(root, "home"), os.path.join(root, "config"),
                   os.path.join(root, "state"), os.path.join(root, "cache"),
                   os.path.join(root, "data"), os.path.join(root, "runtime")):
        os.makedirs(folder, exist_ok=True)
    os.chmod(os.path.join(root, "runtime"), 0o700)
    for name in ("rkbak", "rkzip", "rkunzip"):
        shutil.copy2(os.path.join(PROGRAM_DIR, name), os.path.join(prog, name))
    with open(os.path.join(prog, "rkbak.ini"), "w", newline="") as f:
        f.write("[settings]\r\nziputil=C:\\prog\\rkzip\r\nunziputil=C:\\prog\\rkunzip\r\n"
                "jobs=C:\\Backups\r\nautopromptshown=-1\r\n")
    with open(os.path.join(job, "rkjob.ini"), "w", newline="") as f:
        f.write("[folders]\r\nfoldercount=1\r\nfolder1=C:\\Data\r\n")
    with open(os.path.join(job, "excl.ini"), "w", newline="") as f:
        f.write("*.tmp\r\n")
    with open(os.path.join(data, "a.txt"), "w") as f:
        f.write("alpha")
    with open(os.path.join(data, "Photos", "Family", "beach.jpg"), "w") as f:
        f.write("beach")
    return prog


def environment(root, display, bus):
    env = {
        "PATH": "/usr/bin:/bin",
        "HOME": os.path.join(root, "home"),
        "XDG_CONFIG_HOME": os.path.join(root, "config"),
        "XDG_STATE_HOME": os.path.join(root, "state"),
        "XDG_CACHE_HOME": os.path.join(root, "cache"),
        "XDG_DATA_HOME": os.path.join(root, "data"),
        "XDG_RUNTIME_DIR": os.path.join(root, "runtime"),
        "RAVELKEEP_DRIVES": "C=" + os.path.join(root, "c") + ";Z=/",
        "LANG": "C.UTF-8",
    }
    if display:
        env["DISPLAY"] = display
    if bus:
        env["DBUS_SESSION_BUS_ADDRESS"] = bus
    return env


def start_display(env):
    read_end, write_end = os.pipe()
    start(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24", "-nolisten",
           "tcp"], env, pass_fds=(write_end,), stdout=subprocess.DEVNULL,
          stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    while not number.endswith(b"\n"):
        piece = os.read(read_end, 16)
        if not piece:
            break
        number += piece
    os.close(read_end)
    return ":" + number.decode().strip()


def start_session_bus(env):
    bus = start(["dbus-daemon", "--session", "--nofork", "--print-address=1"], env,
                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return bus.stdout.readline().decode().strip()


# ---- what a screen reader reads ----------------------------------------

def spoken(node):
    """The name, and for text the text itself (labels have none: their name
    is what is spoken)."""
    name = node.name or ""
    text = None
    try:
        t = node.queryText()
        text = t.getText(0, t.characterCount)
    except NotImplementedError:
        pass
    return name, text


def walk(node, depth=0):
    yield node
    if depth > 30:
        return
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def showing(node):
    import pyatspi
    return node.getState().contains(pyatspi.STATE_SHOWING)


def read_form(pyatspi, form, title, check=True):
    """Checks every label, field and button that shows; returns what the
    labels speak."""
    labels = []
    problem = globals()["problem"] if check else (lambda text: None)
    # Read afresh, as a screen reader asked now would hear it.
    form.clear_cache()
    read = 0
    for node in walk(form):
        if not showing(node):
            continue
        role = node.getRole()
        name, text = spoken(node)
        if role == pyatspi.ROLE_LABEL:
            # A label speaks its own text, nothing else: where it shows text
            # its name is that text, and what it is for is only its
            # description.
            description = node.description or ""
            if text is not None and name != text:
                problem("%s: a label speaks %r but shows %r" % (title, name, text))
            if description and name == description:
                problem("%s: a label speaks what it is for (%r), not its text"
                        % (title, name))
            labels.append(name)
        elif role in (pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON,
                      pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON):
            if not name.strip() or name.strip() == "...":
                problem("%s: a button without a name (%r)" % (title, name))
        elif role in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_LIST,
                      pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_COMBO_BOX):
            if not name.strip():
                problem("%s: a field without a name (%s, text %r)"
                        % (title, node.getRoleName(), text))
        else:
            continue
        read += 1
    if check:
        print("%s: read %d labels, fields and buttons" % (title, read), flush=True)
    return labels


def find(node, role, name=None, shown=True):
    for n in walk(node):
        if n.getRole() == role and (name is None or n.name == name) and (not shown or showing(n)):
            return n
    return None


def press(node, opens_modal=False):
    """Does the node's press action. An action that opens a modal dialog
    answers only when the dialog closes: the call is not waited for then."""
    from gi.repository import Atspi, GLib
    action = node.queryAction()
    index = 0
    for i in range(action.nActions):
        if action.getName(i) in ("Press", "press", "click", "Click", "Toggle"):
            index = i
            break
    if not opens_modal:
        action.doAction(index)
        return
    Atspi.set_timeout(700, -1)
    try:
        action.doAction(index)
    except GLib.Error:
        pass
    finally:
        Atspi.set_timeout(-1, -1)


def main():
    root = tempfile.mkdtemp(prefix="rk-a11y-")
    try:
        prog = make_sandbox(root)
        base = environment(root, None, None)
        display = start_display(base)
        bus = start_session_bus(base)
        env = environment(root, display, bus)
        start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], env,
              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # The program finds the accessibility bus only when it is up.
        wait_until("the accessibility bus", lambda: subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"], env=env, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL).returncode == 0, 10)
        # This process reads through the same buses.
        os.environ.update(env)
        import pyatspi

        program_env = dict(env)
        program_env.update({"QT_QPA_PLATFORM": "xcb", "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
                            "QT_ACCESSIBILITY": "1", "NO_AT_BRIDGE": "0"})
        program = start([os.path.join(prog, "rkbak")], program_env, stdin=subprocess.DEVNULL,
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

        desktop = pyatspi.Registry.getDesktop(0)

        def application():
            for i in range(desktop.childCount):
                app = desktop.getChildAtIndex(i)
                if app is not None and app.get_process_id() == program.pid:
                    return app
            return None

        app = wait_until("the program on the accessibility bus", application, 30)
        window = wait_until("the main window",
                            lambda: app.childCount > 0 and app.getChildAtIndex(0), 10)
        jobs = wait_until("the job list", lambda: find(window, pyatspi.ROLE_LIST, "Backup jobs"))

        # Select the job as a person would, then read the window.
        item = wait_until("the job listed",
                          lambda: find(jobs, pyatspi.ROLE_LIST_ITEM, "Weekly"))
        # Selected as a screen reader user selects it: its Toggle action.
        press(item)
        wait_until("the job information",
                   lambda: any("Location: " in t for t in read_form(pyatspi, window, "", False)),
                   10)
        labels = read_form(pyatspi, window, "main window")
        info = [t for t in labels if t.startswith("Location: ")]
        if not info:
            problem("main window: the job information is not spoken; labels: %r" % labels)
        elif "0 backup file(s) (root backup not found)" not in info[0] \
                or "Total size: " not in info[0]:
            problem("main window: the job information reads %r" % info[0])

        # Create Root Backup, by its button: the information follows at once.
        press(find(window, pyatspi.ROLE_PUSH_BUTTON, "Create Root Backup"))
        try:
            wait_until("the information after the root backup",
                       lambda: any("1 backup file(s) (including root backup)" in t
                                   for t in read_form(pyatspi, window, "", False)), 20)
        except TimeoutError:
            problem("main window: after Create Root Backup the information reads %r"
                    % [t for t in read_form(pyatspi, window, "", False) if "Location" in t])
        labels = read_form(pyatspi, window, "main window after the backup")
        if not any(t.startswith("Last backup: ") and t.endswith(", root, made") for t in labels):
            problem("main window: the last backup line is not spoken; labels: %r" % labels)

        # Options, from the File menu.
        press(find(window, pyatspi.ROLE_MENU_ITEM, "Options...", shown=False), True)
        options = wait_until("the Options dialog",
                             lambda: next((app.getChildAtIndex(i) for i in
                                           range(app.childCount)
                                           if app.getChildAtIndex(i).name ==
                                           "Ravelkeep Options"), None))
        read_form(pyatspi, options, "Options")
        press(find(options, pyatspi.ROLE_PUSH_BUTTON, "Cancel"))
        wait_until("Options closed",
                   lambda: all(child is None or child.name != "Ravelkeep Options"
                               or not showing(child)
                               for child in (app.getChildAtIndex(i)
                                             for i in range(app.childCount))))

        # The extract dialog, by its button.
        press(find(window, pyatspi.ROLE_PUSH_BUTTON, "View, Extract, or Consolidate Files"), True)

        def extract_dialog():
            for i in range(app.childCount):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == "Extract Range" and showing(child):
                    return child
            return None

        extract = wait_until("the extract dialog", extract_dialog)
        read_form(pyatspi, extract, extract.name or "extract dialog")
        close = find(extract, pyatspi.ROLE_PUSH_BUTTON, "Close") or \
            find(extract, pyatspi.ROLE_PUSH_BUTTON, "Cancel")
        if close is not None:
            press(close)
        wait_until("the extract dialog closed", lambda: extract_dialog() is None)

        # The Restore Files window, from the Job menu: it reads the root
        # backup made above and shows its tree.
        press(find(window, pyatspi.ROLE_MENU_ITEM, "Restore Files...", shown=False), True)

        def restore_window():
            for i in range(app.childCount):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == "Restore Files" and showing(child):
                    return child
            return None

        restore = wait_until("the Restore Files window", restore_window)
        wait_until("the backups read",
                   lambda: "1 backup" in read_form(pyatspi, restore, "", False), 20)
        read_form(pyatspi, restore, "Restore Files")
        press(find(restore, pyatspi.ROLE_PUSH_BUTTON, "Close"))
        wait_until("the Restore Files window closed", lambda: restore_window() is None)
        if program.poll() is not None:
            problem("the program ended by itself with %d" % program.returncode)
    finally:
        stop_all()
        shutil.rmtree(root, ignore_errors=True)
    for text in problems:
        print("FAILED: " + text)
    print("%d problem(s)" % len(problems))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
