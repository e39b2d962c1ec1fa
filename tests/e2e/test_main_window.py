"""The main window of the real program, seen and driven from outside: its
controls, the mode groups, the Help and About boxes, and the ways out."""
import os
import unittest

import zelharness as zh

# Kinds as Win32 shows them: (class, the style that tells the kind).
TEXT, TEXT_R = ("Static", "SS_LEFT"), ("Static", "SS_RIGHT")
FIELD, BUTTON, OPTION, FRAME = ("Edit", None), ("Button", "BS_PUSHBUTTON"), ("Button", "RADIO"), ("Button", "BS_GROUPBOX")
DROPDOWN, LISTBOX, LISTVIEW = ("ComboBox", "CBS_DROPDOWNLIST"), ("ListBox", None), ("SysListView32", "LVS_REPORT")
IMAGE = ("image", None)  # a Static, or a picture class of the program's own
NUM, RO = "ES_NUMBER", "ES_READONLY"

# id: (kind, x, y, w, h, text after a first start (None: not checked), group, extra style)
CONTROLS = {
    3: (DROPDOWN, 570, 30, 90, 20, None, "A", None),
    7: (FRAME, 10, 10, 155, 110, "Mode", "A", None),
    5: (OPTION, 30, 30, 125, 20, "Custom Printer Label", "A", None),
    6: (OPTION, 30, 60, 125, 20, "SendKeys", "A", None),
    4: (OPTION, 30, 90, 125, 20, "DataLogger", "A", None),
    88: (FRAME, 10, 125, 720, 270, "Operations", "A", None),
    8: (LISTVIEW, 30, 150, 580, 230, "", "D", None),
    9: (BUTTON, 630, 150, 80, 20, "Import", "D", None),
    10: (BUTTON, 630, 360, 80, 20, "Save", "D", None),
    11: (LISTBOX, 300, 150, 270, 220, None, "S", None),
    14: (BUTTON, 600, 150, 110, 20, "Move Up", "S", None),
    15: (BUTTON, 600, 190, 110, 20, "Move Down", "S", None),
    13: (BUTTON, 600, 310, 110, 20, "Clear Line", "S", None),
    12: (BUTTON, 600, 350, 110, 20, "Clear All", "S", None),
    16: (BUTTON, 150, 150, 110, 20, "Add Quantity", "S", None),
    17: (BUTTON, 150, 190, 110, 20, "Add Time", "S", None),
    18: (BUTTON, 150, 230, 110, 20, "Add Operator", "S", None),
    19: (BUTTON, 150, 270, 110, 20, "Add Barcode", "S", None),
    20: (BUTTON, 150, 310, 110, 20, "Add Text", "S", None),
    21: (FIELD, 30, 310, 100, 20, "Type here the text", "S", None),
    22: (BUTTON, 150, 350, 110, 20, "Add special key", "S", None),
    23: (DROPDOWN, 30, 350, 100, 20, "ENTER", "S", None),
    24: (FRAME, 20, 297, 250, 41, "", "S", None),
    25: (FRAME, 20, 337, 250, 41, "", "S", None),
    26: (TEXT_R, 250, 62, 320, 20, None, "L", None),
    29: (BUTTON, 570, 60, 90, 20, "Change Printer", "L", None),
    30: (BUTTON, 570, 90, 90, 20, "Preview", "L", None),
    64: (TEXT, 30, 155, 100, 20, "Company Name:", "L", None),
    32: (FIELD, 130, 155, 230, 20, "Verdani Trading Srl", "L", None),
    65: (TEXT_R, 360, 155, 20, 20, "x=", "L", None),
    27: (FIELD, 380, 155, 30, 20, "30", "L", NUM),
    66: (TEXT_R, 410, 155, 20, 20, "y=", "L", None),
    28: (FIELD, 430, 155, 30, 20, "30", "L", NUM),
    36: (BUTTON, 30, 200, 90, 20, "Company Logo", "L", None),
    33: (FIELD, 130, 200, 230, 20, "", "L", RO),
    37: (IMAGE, 130, 230, 140, 140, None, "L", None),
    67: (TEXT_R, 360, 200, 20, 20, "x=", "L", None),
    34: (FIELD, 380, 200, 30, 20, "30", "L", NUM),
    68: (TEXT_R, 410, 200, 20, 20, "y=", "L", None),
    35: (FIELD, 430, 200, 30, 20, "90", "L", NUM),
    73: (FRAME, 20, 142, 455, 238, "", "L", None),
    44: (DROPDOWN, 500, 290, 150, 20, "Code 39 (Normal)", "L", None),
    49: (TEXT, 500, 155, 100, 20, "Date and Time:", "L", None),
    50: (TEXT_R, 600, 155, 20, 20, "x=", "L", None),
    38: (FIELD, 620, 155, 30, 20, "30", "L", NUM),
    51: (TEXT_R, 650, 155, 20, 20, "y=", "L", None),
    39: (FIELD, 670, 155, 30, 20, "40", "L", NUM),
    69: (FRAME, 490, 142, 225, 41, "", "L", None),
    52: (TEXT, 500, 200, 100, 20, "Operator:", "L", None),
    53: (TEXT_R, 600, 200, 20, 20, "x=", "L", None),
    40: (FIELD, 620, 200, 30, 20, "30", "L", NUM),
    54: (TEXT_R, 650, 200, 20, 20, "y=", "L", None),
    41: (FIELD, 670, 200, 30, 20, "45", "L", NUM),
    70: (FRAME, 490, 187, 225, 41, "", "L", None),
    55: (TEXT, 500, 245, 100, 20, "Quantity:", "L", None),
    56: (TEXT_R, 600, 245, 20, 20, "x=", "L", None),
    42: (FIELD, 620, 245, 30, 20, "30", "L", NUM),
    57: (TEXT_R, 650, 245, 20, 20, "y=", "L", None),
    43: (FIELD, 670, 245, 30, 20, "50", "L", NUM),
    71: (FRAME, 490, 232, 225, 41, "", "L", None),
    58: (TEXT, 500, 320, 100, 20, "Barcode Q:", "L", None),
    59: (TEXT_R, 600, 320, 20, 20, "x=", "L", None),
    45: (FIELD, 620, 320, 30, 20, "30", "L", NUM),
    60: (TEXT_R, 650, 320, 20, 20, "y=", "L", None),
    46: (FIELD, 670, 320, 30, 20, "60", "L", NUM),
    61: (TEXT, 500, 350, 100, 20, "Barcode ID:", "L", None),
    62: (TEXT_R, 600, 350, 20, 20, "x=", "L", None),
    47: (FIELD, 620, 350, 30, 20, "30", "L", NUM),
    63: (TEXT_R, 650, 350, 20, 20, "y=", "L", None),
    48: (FIELD, 670, 350, 30, 20, "75", "L", NUM),
    72: (FRAME, 490, 277, 225, 101, "", "L", None),
}
GROUPS = {g: {i for i, c in CONTROLS.items() if c[6] == g} for g in "ADSL"}
MODES = [(4, "D"), (5, "L"), (6, "S")]  # option id, its group

ABOUT = ("ZEL Manager 1.3 (October 2016)\n\n\nContact your Marlo/Marlo-S ZEL distributor For:  \n"
         "- special version of this software\n- new upgrade\n\n")
HELP = [
    (85, "DataLogger",
     "Turn on your Marlo/Marlo-S ZEL While pressing 'Print' button\n- If a Marlo/S ZEL is connected the display show:\n"
     " 'PC communication active'\n- If a Marlo ZEL is  connected the display show:\n 'Year' and you are in the "
     "parameters setup\n\nPress 'Import' To Import all records from Marlo/Marlo-S ZEL"),
    (86, "Custom Printer Label",
     "Press 'Print' button on your Maro/Marlo-S ZEL to print a label on a printer connected to this PC"),
    (87, "SendKeys",
     "Open the target program (for example Excel) and put the cursor in the right position.\n\nPress 'Print' button "
     "on your Maro/Marlo-S ZEL to send key to the target program: the target program will receive input like from a "
     "keyboard."),
    (84, "Information", ABOUT),
]


def visible_ids(controls):
    return {i for i, c in controls.items() if c["visible"] and i in CONTROLS}


class MainWindowTest(unittest.TestCase):
    """One program for the checks that leave it running."""

    @classmethod
    def setUpClass(cls):
        cls.rig = zh.rig()
        cls.app = zh.App(cls.rig, name="main-window", sims={"COM1": ["--log", "3"]})
        cls.app.__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.app.stop()

    def setUp(self):
        # A failed test may leave a box open or another mode on.
        if not self.app.no_msgbox():
            self.app.msgbox_ok()

    def test_window_and_every_control_of_the_table(self):
        self.app.click(4)  # the first-start mode, whatever ran before
        zh.wait_for(lambda: self.app.dump()[1][4]["checked"] == 1, what="DataLogger selected")
        win, controls = self.app.dump()
        self.assertEqual(win["window"], "ZEL Manager")
        self.assertEqual((win["client_w"], win["client_h"]), (740, 425))
        for s in ("WS_CAPTION", "WS_SYSMENU", "WS_MINIMIZEBOX"):
            self.assertIn(s, win["styles"])
        for s in ("WS_MAXIMIZEBOX", "WS_THICKFRAME"):
            self.assertNotIn(s, win["styles"])
        self.assertLessEqual(abs(win["x"] + win["w"] // 2 - win["screen_w"] // 2), 2, "centred")
        self.assertLessEqual(abs(win["y"] + win["h"] // 2 - win["screen_h"] // 2), 2, "centred")

        for cid, ((cls, style), x, y, w, h, text, _, extra) in CONTROLS.items():
            with self.subTest(id=cid):
                self.assertIn(cid, controls)
                c = controls[cid]
                if cls == "image":
                    self.assertTrue(c["class"] == "Static" or "image" in c["class"].lower(), c["class"])
                else:
                    self.assertEqual(c["class"].lower(), cls.lower())
                self.assertEqual((c["x"], c["y"], c["w"]), (x, y, w))
                if cls != "ComboBox":  # a combo's height is its edit's, not the given one
                    self.assertEqual(c["h"], h)
                if style == "RADIO":
                    self.assertTrue({"BS_AUTORADIOBUTTON", "BS_RADIOBUTTON"} & set(c["styles"]), c["styles"])
                elif style == "BS_PUSHBUTTON":
                    self.assertTrue({"BS_PUSHBUTTON", "BS_DEFPUSHBUTTON"} & set(c["styles"]), c["styles"])
                elif style:
                    self.assertIn(style, c["styles"])
                if text is not None:
                    self.assertEqual(c["text"], text)
                if cls == "Edit":
                    self.assertEqual(NUM in c["styles"], extra == NUM)
                    self.assertEqual(RO in c["styles"], extra == RO)

        label = [c for c in win["unnamed"] if c["text"] == "Serial Port: "]
        self.assertEqual(len(label), 1)
        self.assertEqual((label[0]["x"], label[0]["y"], label[0]["w"], label[0]["h"]), (470, 32, 100, 20))
        self.assertIn("SS_RIGHT", label[0]["styles"])

        cols = [(c["text"], c["width"]) for c in controls[8]["columns"]]
        self.assertEqual(cols, [("Pos", 40), ("Operator", 80), ("Date", 80), ("Time", 80), ("Quantity", 80),
                                ("Barcode", 210)])
        self.assertEqual(controls[8]["rows"], [])
        self.assertEqual(controls[44]["items"], ["Off", "Code 39 (Narrow)", "Code 39 (Normal)", "Code 39 (Large)",
                                                 "Code 128 (Narrow)", "Code 128 (Normal)", "Code 128 (Large)"])
        self.assertEqual(controls[44]["sel"], 2)
        self.assertEqual(len(controls[23]["items"]), 35)
        self.assertEqual(controls[23]["items"][controls[23]["sel"]], "ENTER")
        self.assertEqual(controls[11]["items"], [])
        # The rig's COM ports are offered in order (the machine may add its own).
        ports = controls[3]["items"]
        self.assertEqual(ports, sorted(ports, key=lambda p: int(p[3:])))
        self.assertTrue({"COM1", "COM3"} <= set(ports), ports)
        self.assertEqual(controls[3]["text"], "COM1")
        self.assertEqual(controls[26]["text"], self.rig.printer + " ")

    def test_each_mode_option_shows_only_its_group(self):
        for option, group in MODES + MODES[:1]:
            with self.subTest(option=option):
                self.app.click(option)
                shown = GROUPS["A"] | GROUPS[group]
                zh.wait_for(lambda: visible_ids(self.app.dump()[1]) == shown, 10,
                            what="only group %s shown" % group)
                _, controls = self.app.dump()
                self.assertEqual([controls[o]["checked"] for o, _ in MODES], [int(o == option) for o, _ in MODES])

    def test_numeric_and_read_only_fields_refuse_letters(self):
        self.app.click(5)
        for cid, ok_chars in ((27, "7"), (48, "7"), (33, "")):
            with self.subTest(id=cid):
                before = self.app.dump()[1][cid]["text"]
                self.app.type(cid, "a7b")
                after = self.app.dump()[1][cid]["text"]
                self.app.settext(cid, before)  # later checks read the first-start texts
                self.assertFalse(set("ab") & set(after), after)
                self.assertEqual(len(after), len(before) + len(ok_chars))
        self.app.click(4)

    def test_help_and_about_boxes(self):
        for item, title, text in HELP:
            with self.subTest(item=item):
                self.app.menu(item)
                box = self.app.msgbox()
                self.assertEqual(box["title"], title)
                self.assertEqual(box["text"], text)
                self.assertEqual(box["buttons"], ["OK"])
                self.app.msgbox_ok()


class FirstStartTest(unittest.TestCase):
    def test_without_preferences_only_datalogger_shows(self):
        rig = zh.rig()
        with zh.App(rig, name="first-start") as app:
            self.assertFalse(os.path.exists(os.path.join(app.workdir, "preferences.pref")))
            _, controls = app.dump()
            self.assertEqual(visible_ids(controls), GROUPS["A"] | GROUPS["D"])
            self.assertEqual([controls[i]["checked"] for i in (4, 5, 6)], [1, 0, 0])
            for cid in (8, 9, 10):
                self.assertTrue(controls[cid]["enabled"])


class ExitTest(unittest.TestCase):
    def test_exit_menu_and_close_box_end_with_code_0(self):
        rig = zh.rig()
        for how in ("menu", "close"):
            with self.subTest(how=how), zh.App(rig, name="exit-" + how) as app:
                if how == "menu":
                    app.menu(83)
                else:
                    app.close()
                self.assertEqual(app.wait_exit(20), 0)
                # Preferences are saved on the way out.
                self.assertTrue(os.path.exists(os.path.join(app.workdir, "preferences.pref")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
