#!/usr/bin/env python3
"""End-to-end run of the real GTK program under Xvfb, checked from outside.

  end_to_end.py --program=lunteva-gtk-test --url=QUIZ_PAGE_URL --contact=DIGITS
                --mode=answers|down|bare --out=FOLDER [--keep-screenshot=PATH]

Starts everything it needs and stops it again: an Xvfb server on a free
display, openbox for the frames, a private D-Bus session with the
accessibility bus, and (mode answers) an HTTPS server on the loopback port of
QUIZ_PAGE_URL, with a certificate from a throwaway CA (the program's own
request forgives an unknown authority). The program is the one shipped, with
only its page address changed.

- answers: the server holds the page back until the test has seen that no
  window of the program is mapped; then the window's title, size, position,
  frame functions, the box's exact text (through the accessibility bus and
  through select-all and copy), that it is read-only, the hidden copy button,
  the feedback click, the copy click with CLIPBOARD and the dialog, OK, and
  exit code 0 after Alt+F4. The page is fetched exactly once.
- down: nothing listens on the port; the window opens with an empty box.
- bare: no window manager; the window's size falls back to the client area
  of the Win32 window (plus the sunken edge) and it is placed centred.

Screenshots (PNG) go to FOLDER. Exit code 0 when every check passed, else 1.
"""
import argparse
import datetime
import importlib.util
import os
import shutil
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))

_spec = importlib.util.spec_from_file_location(
    "https_server", os.path.join(HERE, "..", "..", "support", "https_server.py"))
https_server = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(https_server)
sys.path.insert(0, os.path.join(HERE, "..", "..", "support"))
from quiz_fixture import QuizServer, expected_text, quiz_page  # noqa: E402

# The program's layout, in pixels: outer size, the sunken edge inside the
# window, and the controls in client coordinates (left, top, width, height).
OUTER = (553, 287)
CLIENT_EDGE = 2
COPY_BUTTON = (456, 220, 72, 32)
CONTACT_LABEL = (272, 224, 176, 24)
FEEDBACK_BUTTON = (193, 220, 72, 32)
ANSWER_BOX = (8, 8, 512, 208)
SCREEN = (1280, 800)
# What Windows leaves of the outer size for the client area of the Win32
# window (measured under Wine: caption 19, fixed frame 3, client edge 2).
WIN32_CLIENT = (543, 258)

TODAY = [
    ("以下哪个是中国的首都？", "北京"),
    ("一年有几个月？", "12个月"),
    ("Tom &amp; Jerry 是<b>什么</b>？", "动画片"),
    ("长答案", "这是一个很长很长的答案，用来看文本框是否会在右边自动换行而不添加换行符，" * 2),
    ("太阳从哪边升起？", "东边"),
    ("彩虹有几种颜色？", "七种"),
]
YESTERDAY = [("昨天的问题", "昨天的答案")]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)
    print("ok:", what, flush=True)


def wait_for(predicate, what, seconds=30.0):
    """Polls until predicate() gives a true value, which it returns."""
    deadline = time.monotonic() + seconds
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("gave up waiting: " + what)
        time.sleep(0.05)


class Desktop:
    """Xvfb on a free display, a D-Bus session with accessibility, openbox."""

    def __init__(self, folder, window_manager=True):
        self.processes = []
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN[0]}x{SCREEN[1]}x24",
             "-nolisten", "tcp", "-noreset"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        self.processes.append(self.xvfb)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number, LANG="C.UTF-8", LC_ALL="C.UTF-8",
                        XDG_CONFIG_HOME=os.path.join(folder, "config"), GTK_THEME="Adwaita")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.env.pop("NO_AT_BRIDGE", None)
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               stdout=subprocess.PIPE, text=True, env=self.env)
        self.processes.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().strip()
        if window_manager:
            self.processes.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
            wait_for(lambda: "window id" in self.run("xprop", "-root", "_NET_SUPPORTING_WM_CHECK"),
                     "the window manager")

    def run(self, *command, binary=False):
        result = subprocess.run(command, env=self.env, capture_output=True, timeout=30)
        return result.stdout if binary else result.stdout.decode("utf-8", "replace")

    def close(self):
        for process in reversed(self.processes):
            process.terminate()
            try:
                process.wait(10)
            except subprocess.TimeoutExpired:
                process.kill()


def start_program(desktop, program):
    return subprocess.Popen([program], env=desktop.env)


# --- Looking at the program from outside -----------------------------------

def mapped_windows(desktop, pid):
    return desktop.run("xdotool", "search", "--onlyvisible", "--pid", str(pid)).split()


def window_named(desktop, name):
    ids = desktop.run("xdotool", "search", "--onlyvisible", "--name", f"^{name}$").split()
    return ids[0] if ids else None


def geometry(desktop, window):
    """Absolute left, top, width and height of the window's own area."""
    info = desktop.run("xwininfo", "-id", window)
    values = {}
    for line in info.splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def cardinals(desktop, window, name):
    text = desktop.run("xprop", "-id", window, name)
    _, _, values = text.partition("=")
    return [int(v) for v in values.replace(",", " ").split()] if values.strip() else []


def screenshot(desktop, path, box=None):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    command = ["import", "-window", "root"]
    if box is not None:
        left, top, width, height = box
        command += ["-crop", f"{width}x{height}+{left}+{top}", "+repage"]
    subprocess.run(command + [path], env=desktop.env, check=True, timeout=30)


def measure(desktop, image, box, expression):
    """An ImageMagick fx expression over the pixels of image within box."""
    left, top, width, height = box
    out = desktop.run("convert", image, "-crop", f"{width}x{height}+{left}+{top}", "+repage",
                      "-format", f"%[fx:{expression}]", "info:")
    return float(out)


def spread(desktop, image, box):
    """Standard deviation of the pixels within box (0 for one colour)."""
    return measure(desktop, image, box, "standard_deviation")


def darkest(desktop, image, box):
    """The smallest channel value within box, 0 (black) to 1."""
    return measure(desktop, image, box, "minima")


def blueness(desktop, image, box):
    """How much bluer than red the pixels within box are on average (a selection)."""
    return measure(desktop, image, box, "mean.b-mean.r")


def empty_clipboard(desktop):
    """Puts the empty text on CLIPBOARD (xclip serves it from the background)."""
    subprocess.run(["xclip", "-selection", "clipboard", "-i", "/dev/null"], env=desktop.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)


def clipboard(desktop):
    return desktop.run("xclip", "-selection", "clipboard", "-o", "-target", "UTF8_STRING",
                       binary=True).decode("utf-8", "replace")


def click(desktop, client_origin, place):
    left, top, width, height = place
    x = client_origin[0] + CLIENT_EDGE + left + width // 2
    y = client_origin[1] + CLIENT_EDGE + top + height // 2
    desktop.run("xdotool", "mousemove", "--sync", str(x), str(y), "click", "1")


def keys(desktop, *names):
    desktop.run("xdotool", "key", "--delay", "30", *names)


def close_with_alt_f4(desktop, window, program):
    """Closes the window as a user does, and gives the program's exit code.
    Right after a window maps, openbox now and then drops the first key
    press; the window is still there and active then, so the user presses
    again (a program that ignored the close would ignore that too)."""
    for attempt in range(3):
        desktop.run("xdotool", "windowactivate", "--sync", window)  # Alt+F4 goes to the active window
        keys(desktop, "alt+F4")
        try:
            return program.wait(10 if attempt < 2 else 30)
        except subprocess.TimeoutExpired:
            print(f"note: Alt+F4 press {attempt + 1} did not close the window", file=sys.stderr)
    return program.wait(1)


class Accessibility:
    """The program's widgets as the accessibility bus shows them."""

    def __init__(self, env, program_name):
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
        os.environ["DISPLAY"] = env["DISPLAY"]
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
        self.Atspi = Atspi
        self.program_name = program_name

    def application(self):
        desktop = self.Atspi.get_desktop(0)
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is not None and app.get_name() == self.program_name:
                return app
        return None

    def find(self, root, predicate):
        found = []

        def walk(node, depth):
            if node is None or depth > 30:
                return
            if predicate(node):
                found.append(node)
            for i in range(node.get_child_count()):
                walk(node.get_child_at_index(i), depth + 1)
        walk(root, 0)
        return found

    def role(self, node):
        return node.get_role()

    def showing(self, node):
        return node.get_state_set().contains(self.Atspi.StateType.SHOWING)

    def text_of(self, node):
        text = node.get_text_iface()
        return text.get_text(0, text.get_character_count()) if text is not None else node.get_name()

    def by_role(self, root, role):
        return self.find(root, lambda n: n.get_role() == role)


# --- The runs ----------------------------------------------------------------

def check_frame(desktop, window):
    left, top, width, height = geometry(desktop, window)
    extents = cardinals(desktop, window, "_NET_FRAME_EXTENTS")
    check(len(extents) == 4, f"the window manager frames the window: extents {extents}")
    outer = (width + extents[0] + extents[1], height + extents[2] + extents[3])
    print(f"figures: client area {width}x{height}, frame {extents}, outer {outer[0]}x{outer[1]}", flush=True)
    check(outer == OUTER, f"outer size {outer} is {OUTER}")
    corner = (left - extents[0], top - extents[2])
    centred = ((SCREEN[0] - OUTER[0]) // 2, (SCREEN[1] - OUTER[1]) // 2)
    check(corner == centred, f"outer top left {corner} is centred at {centred}")
    hints = desktop.run("xprop", "-id", window, "WM_NORMAL_HINTS")
    check(f"program specified minimum size: {width} by {height}" in hints
          and f"program specified maximum size: {width} by {height}" in hints,
          "fixed size: minimum and maximum are the window's size")
    actions = desktop.run("xprop", "-id", window, "_NET_WM_ALLOWED_ACTIONS")
    check("_NET_WM_ACTION_CLOSE" in actions and "_NET_WM_ACTION_MINIMIZE" in actions
          and "_NET_WM_ACTION_MOVE" in actions, "close, minimise and move are offered")
    check("MAXIMIZE" not in actions and "_NET_WM_ACTION_RESIZE" not in actions,
          "neither maximising nor resizing is offered")
    state = desktop.run("xprop", "-id", window, "_NET_WM_STATE")
    check("ABOVE" not in state and "MAXIMIZED" not in state and "HIDDEN" not in state,
          f"normal state, not on top: {state.strip()}")
    title = desktop.run("xprop", "-id", window, "_NET_WM_NAME")
    check(title.strip().endswith('"Lunteva"'), f"title: {title.strip()}")
    icon = desktop.run("xprop", "-id", window, "_NET_WM_ICON")
    check(all(f"Icon ({n} x {n})" in icon for n in (16, 32, 48)), "the program's icon, small and large")
    active = desktop.run("xdotool", "getactivewindow").strip()
    check(active == window, "the window is the active one")
    return left, top, extents


def run_answers(args, desktop, folder, url):
    leaves, _ = https_server.certificates_in(os.path.join(args.out, "gtk-certificates"))
    certificate, key = leaves["valid"]
    requested, released = threading.Event(), threading.Event()
    server = QuizServer(url.port, url.path, quiz_page(datetime.date.today(), TODAY, YESTERDAY), certificate, key,
                        on_request=requested.set, release=lambda: released.wait(120))
    program = None
    try:
        program = start_program(desktop, args.program)
        wait_for(requested.is_set, "the page request")
        time.sleep(0.5)  # lets a window that would wrongly be shown now reach the server
        check(mapped_windows(desktop, program.pid) == [], "no window is mapped while the page is held back")
        check(program.poll() is None, "the program waits for the page")
        released.set()

        window = wait_for(lambda: window_named(desktop, "Lunteva"), "the main window")
        check(mapped_windows(desktop, program.pid) == [window], "one window, after the page came")
        left, top, extents = check_frame(desktop, window)
        outer_box = (left - extents[0], top - extents[2], OUTER[0], OUTER[1])
        client = (left, top)
        first = os.path.join(args.out, "gtk-answers.png")
        time.sleep(0.3)  # the first frame is painted
        screenshot(desktop, first, outer_box)

        a11y = Accessibility(desktop.env, os.path.basename(args.program))
        app = wait_for(a11y.application, "the program on the accessibility bus")
        texts = a11y.by_role(app, a11y.Atspi.Role.TEXT)
        check(len(texts) == 1, "one text box")
        box = texts[0]
        check(a11y.text_of(box) == expected_text(TODAY), "the box holds exactly the day's lines")
        check(not box.get_state_set().contains(a11y.Atspi.StateType.EDITABLE), "the box is read-only")
        count = box.get_text_iface().get_character_count()

        def in_view(offset):
            char = box.get_text_iface().get_character_extents(offset, a11y.Atspi.CoordType.SCREEN)
            view = box.get_extents(a11y.Atspi.CoordType.SCREEN)
            return view.y <= char.y and char.y + char.height <= view.y + view.height + 1
        check(in_view(count - 5) and not in_view(0), "the box shows the end of its text")
        buttons = {b.get_name(): b for b in a11y.by_role(app, a11y.Atspi.Role.PUSH_BUTTON)}
        check(set(buttons) == {"提意见", "复制QQ"}, f"the buttons' captions: {sorted(buttons)}")
        check(not a11y.showing(buttons["复制QQ"]), "the copy button is hidden")
        check(a11y.showing(buttons["提意见"]), "the feedback button is shown")
        labels = [n for n in a11y.by_role(app, a11y.Atspi.Role.LABEL) if n.get_name() not in buttons]
        check(len(labels) == 1 and labels[0].get_name() == "", "the contact label is empty")
        contact_label = labels[0]
        check(not contact_label.get_state_set().contains(a11y.Atspi.StateType.SENSITIVE),
              "the contact label takes no input")
        edge_box = lambda place: (extents[0] + CLIENT_EDGE + place[0], extents[2] + CLIENT_EDGE + place[1],
                                  place[2], place[3])
        check(spread(desktop, first, edge_box(COPY_BUTTON)) < 1e-6, "nothing is drawn where the copy button stands")
        check(spread(desktop, first, edge_box(CONTACT_LABEL)) < 1e-6, "nothing is drawn where the label stands")
        check(spread(desktop, first, edge_box(FEEDBACK_BUTTON)) > 0.01, "the feedback button is drawn")

        # The caret moves and the box scrolls with it; selecting and copying
        # work; typing, deleting and pasting change nothing.
        click(desktop, client, ANSWER_BOX)
        keys(desktop, "ctrl+Home")
        wait_for(lambda: in_view(0), "the start in view")
        check(in_view(0) and not in_view(count - 5), "Ctrl+Home scrolls the box to its start")
        keys(desktop, "ctrl+End")
        wait_for(lambda: in_view(count - 5), "the end in view")
        check(in_view(count - 5) and not in_view(0), "Ctrl+End scrolls it back to the end")
        keys(desktop, "ctrl+a", "ctrl+c")
        check(clipboard(desktop) == expected_text(TODAY), "select all and copy put the box's text on CLIPBOARD")
        selected = os.path.join(args.out, "gtk-selected.png")
        screenshot(desktop, selected, outer_box)
        check(blueness(desktop, selected, edge_box(ANSWER_BOX)) > 0.05, "the selection shows while the box has the focus")
        keys(desktop, "ctrl+End", "x", "BackSpace", "ctrl+a", "Delete", "ctrl+v", "Return")
        check(a11y.text_of(box) == expected_text(TODAY), "typing, deleting and pasting leave the text as it is")

        click(desktop, client, FEEDBACK_BUTTON)
        prompt = "请加QQ" + args.contact
        wait_for(lambda: contact_label.get_name() == prompt, "the contact line")
        check(contact_label.get_name() == prompt, f"the label shows {prompt}")
        wait_for(lambda: a11y.showing(buttons["复制QQ"]), "the copy button")
        check(a11y.showing(buttons["复制QQ"]), "the copy button is shown")
        time.sleep(0.3)
        contact = os.path.join(args.out, "gtk-contact.png")
        screenshot(desktop, contact, outer_box)
        check(spread(desktop, contact, edge_box(COPY_BUTTON)) > 0.01, "the copy button is drawn")
        check(spread(desktop, contact, edge_box(CONTACT_LABEL)) > 0.01, "the contact line is drawn")
        check(darkest(desktop, contact, edge_box(CONTACT_LABEL)) < 0.1, "the contact line is black, though disabled")
        label_end = CONTACT_LABEL[0] + CONTACT_LABEL[2]
        # Up to the label's right edge the text is drawn; from there to where
        # the copy button's shadow begins nothing is.
        inside = (label_end - 2, CONTACT_LABEL[1], 2, CONTACT_LABEL[3])
        beyond = (label_end, CONTACT_LABEL[1], 4, CONTACT_LABEL[3])
        check(len(prompt) * 8 > CONTACT_LABEL[2] and spread(desktop, contact, edge_box(inside)) > 0.01
              and spread(desktop, contact, edge_box(beyond)) < 1e-6,
              "the contact line, wider than the label, is cut off at its right edge")
        check(box.get_text_iface().get_n_selections() == 1
              and blueness(desktop, contact, edge_box(ANSWER_BOX)) < 0.01,
              "the selection is kept but not shown while the box lacks the focus")
        click(desktop, client, FEEDBACK_BUTTON)
        check(contact_label.get_name() == prompt and a11y.showing(buttons["复制QQ"]),
              "a second feedback click changes nothing")

        for round_ in (1, 2):
            empty_clipboard(desktop)
            click(desktop, client, COPY_BUTTON)
            dialog = wait_for(lambda: window_named(desktop, "复制成功"), "the confirmation box")
            check(True, f"copy click {round_}: a box titled 复制成功 opens")
            check(clipboard(desktop) == args.contact, f"CLIPBOARD holds exactly {args.contact}")
            targets = desktop.run("xclip", "-selection", "clipboard", "-o", "-target", "TARGETS")
            check("UTF8_STRING" in targets and "TEXT" in targets, "offered as plain text")
            alerts = a11y.by_role(app, a11y.Atspi.Role.ALERT)
            check(len(alerts) == 1 and alerts[0].get_name() == "复制成功", "the box is an alert named 复制成功")
            texts = [n.get_name() for n in a11y.by_role(alerts[0], a11y.Atspi.Role.LABEL) if n.get_name()]
            check(texts == ["复制QQ成功，请添加"], f"the box says 复制QQ成功，请添加: {texts}")
            oks = a11y.by_role(alerts[0], a11y.Atspi.Role.PUSH_BUTTON)
            check(len(oks) == 1, "one button in the box")
            icons = [n for n in a11y.by_role(alerts[0], a11y.Atspi.Role.ICON) if a11y.showing(n)]
            check(icons == [], "no icon in the box")
            transient = desktop.run("xprop", "-id", dialog, "WM_TRANSIENT_FOR")
            check(int(window) in cardinals_hex(transient), "the box belongs to the main window")
            check("_NET_WM_STATE_MODAL" in desktop.run("xprop", "-id", dialog, "_NET_WM_STATE"),
                  "the box is modal")
            if round_ == 1:
                time.sleep(0.3)
                screenshot(desktop, os.path.join(args.out, "gtk-dialog.png"))
                # The main window takes no click while the box is open.
                empty_clipboard(desktop)
                click(desktop, client, ANSWER_BOX)
                keys(desktop, "ctrl+a", "ctrl+c")
                check(clipboard(desktop) != expected_text(TODAY), "the main window's box took no click and no keys")
                check(window_named(desktop, "复制成功") == dialog, "the box stays open")
            desktop.run("xdotool", "windowactivate", "--sync", dialog)
            keys(desktop, "Return")
            wait_for(lambda: window_named(desktop, "复制成功") is None, "the box to close")
            check(window_named(desktop, "复制成功") is None, "OK closes the box")
            if round_ == 2:  # the first round put a text of its own there
                check(clipboard(desktop) == args.contact, "the number stays on CLIPBOARD")
            check(window_named(desktop, "Lunteva") == window, "the main window stays")

        check(server.requests == 1, f"the page was fetched once (requests: {server.requests})")
        code = close_with_alt_f4(desktop, window, program)
        check(code == 0, f"closing the window ends the program with exit code 0 (got {code})")
        if args.keep_screenshot:
            shutil.copyfile(contact, args.keep_screenshot)
    finally:
        if program is not None and program.poll() is None:
            program.kill()
            program.wait()
        released.set()
        server.close()


def cardinals_hex(text):
    """Window ids named in an xprop line (hex numbers), as integers."""
    return [int(word.rstrip(","), 16) for word in text.split() if word.startswith("0x")]


def run_down(args, desktop, folder, url):
    program = start_program(desktop, args.program)
    try:
        window = wait_for(lambda: window_named(desktop, "Lunteva"), "the main window")
        check_frame(desktop, window)
        a11y = Accessibility(desktop.env, os.path.basename(args.program))
        app = wait_for(a11y.application, "the program on the accessibility bus")
        texts = a11y.by_role(app, a11y.Atspi.Role.TEXT)
        check(len(texts) == 1 and a11y.text_of(texts[0]) == "", "the box is empty")
        buttons = {b.get_name(): b for b in a11y.by_role(app, a11y.Atspi.Role.PUSH_BUTTON)}
        check(not a11y.showing(buttons["复制QQ"]), "the copy button is hidden")
        alerts = a11y.by_role(app, a11y.Atspi.Role.ALERT)
        check(alerts == [], "no message is shown")
        screenshot(desktop, os.path.join(args.out, "gtk-down.png"))
        code = close_with_alt_f4(desktop, window, program)
        check(code == 0, f"closing the window ends the program with exit code 0 (got {code})")
    finally:
        if program.poll() is None:
            program.kill()
            program.wait()


def run_bare(args, desktop, folder, url):
    """No window manager, so no frame extents: the window's own area is the
    client area of the Win32 window plus the sunken edge, centred as the
    outer window would be."""
    program = start_program(desktop, args.program)
    try:
        window = wait_for(lambda: window_named(desktop, "Lunteva"), "the main window")
        left, top, width, height = geometry(desktop, window)
        print(f"figures: without a frame, window area {width}x{height}", flush=True)
        check((width, height) == (WIN32_CLIENT[0] + 2 * CLIENT_EDGE, WIN32_CLIENT[1] + 2 * CLIENT_EDGE),
              f"the area inside the edge is the Win32 client area {WIN32_CLIENT}")
        centred = ((SCREEN[0] - OUTER[0]) // 2, (SCREEN[1] - OUTER[1]) // 2)
        check((left, top) == centred, f"placed at {centred}")
        screenshot(desktop, os.path.join(args.out, "gtk-bare.png"), (left, top, width, height))
    finally:
        program.terminate()
        program.wait(30)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--url", required=True)
    parser.add_argument("--contact", required=True)
    parser.add_argument("--mode", choices=["answers", "down", "bare"], required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--keep-screenshot", help="where to copy the screenshot of the contact state")
    args = parser.parse_args()
    url = urllib.parse.urlsplit(args.url)
    if url.scheme != "https" or url.hostname != "127.0.0.1" or not url.port:
        print("the program's page address must be https://127.0.0.1:PORT/...", file=sys.stderr)
        return 1
    os.makedirs(args.out, exist_ok=True)
    with tempfile.TemporaryDirectory(prefix="lunteva-gtk-") as folder:
        desktop = Desktop(folder, window_manager=args.mode != "bare")
        runs = {"answers": run_answers, "down": run_down, "bare": run_bare}
        try:
            runs[args.mode](args, desktop, folder, url)
        except Failure as failure:
            print("FAILED:", failure, file=sys.stderr)
            screenshot(desktop, os.path.join(args.out, f"gtk-{args.mode}-failure.png"))
            return 1
        finally:
            desktop.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
