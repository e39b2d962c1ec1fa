"""preferences.pref across runs of the real program under Wine: the file a
first start writes, and a saved file coming back into the controls and being
written back unchanged."""
import os
import unittest

import zelharness as zh

MENU_EXIT = 83
PORT_LIST, KEY_LIST, PRINTER_NAME_TEXT, BARCODE_TYPE_LIST = 3, 11, 26, 44
OPTIONS = {"CPL": 5, "DL": 4, "SK": 6}

# (key, control, first-start text)
LABEL_FIELDS = [
    ("CompanyName", 32, "Verdani Trading Srl"),
    ("CompanyNameX", 27, "30"),
    ("CompanyNameY", 28, "30"),
    ("CompanyLogo", 33, ""),
    ("CompanyLogoX", 34, "30"),
    ("CompanyLogoY", 35, "90"),
    ("DateX", 38, "30"),
    ("DateY", 39, "40"),
    ("OperatorX", 40, "30"),
    ("OperatorY", 41, "45"),
    ("QuantityX", 42, "30"),
    ("QuantityY", 43, "50"),
    ("BarcodeQX", 45, "30"),
    ("BarcodeQY", 46, "60"),
    ("BarcodeIDX", 47, "30"),
    ("BarcodeIDY", 48, "75"),
]


def prefs_file(port, option, rules, printer, fields, barcode_type):
    lines = ["[Communication Setup]", "Port = %d" % port, "[Mode]", "Option = " + option]
    if rules:
        lines += ["[SendKeys]"] + ["Rules%d = %s" % (i, r) for i, r in enumerate(rules, 1)]
    lines += ["[CustomPrinterLabel]", "PrinterName = " + printer]
    lines += ["%s = %s" % (key, fields[key]) for key, _, _ in LABEL_FIELDS]
    lines += ["BarcodeType = %d" % barcode_type]
    return "".join(l + "\r\n" for l in lines).encode("latin-1")


def saved(app):
    with open(os.path.join(app.workdir, "preferences.pref"), "rb") as f:
        return f.read()


class PreferencesLifecycleTest(unittest.TestCase):
    def test_first_start_writes_the_defaults_at_exit(self):
        rig = zh.rig()
        with zh.App(rig, name="prefs-defaults") as app:
            app.menu(MENU_EXIT)
            self.assertEqual(app.wait_exit(20), 0)
            defaults = {key: text for key, _, text in LABEL_FIELDS}
            self.assertEqual(saved(app), prefs_file(1, "DL", [], rig.printer, defaults, 2))
            # The empty logo path still gets its separator's trailing blank.
            self.assertIn(b"\r\nCompanyLogo = \r\n", saved(app))

    def test_saved_file_comes_back_into_the_controls_and_is_written_back_unchanged(self):
        rig = zh.rig()
        rules = ["{OPERATOR}", "{TAB}", " pcs"]  # a typed text may begin with a blank
        fields = {key: str(11 + i) for i, (key, _, _) in enumerate(LABEL_FIELDS)}
        fields.update(CompanyName="Acme Tools & Co", CompanyLogo="")
        data = prefs_file(3, "SK", rules, "Shelf Printer", fields, 5)
        with zh.App(rig, prefs=data, name="prefs-roundtrip") as app:
            _, c = app.dump()
            self.assertEqual(c[KEY_LIST]["items"], rules)
            self.assertEqual({o: c[i]["checked"] for o, i in OPTIONS.items()}, {"CPL": 0, "DL": 0, "SK": 1})
            self.assertEqual(c[PORT_LIST]["text"], "COM3")
            self.assertEqual(c[PRINTER_NAME_TEXT]["text"], "Shelf Printer ")
            self.assertEqual({key: c[cid]["text"] for key, cid, _ in LABEL_FIELDS}, fields)
            self.assertEqual(c[BARCODE_TYPE_LIST]["sel"], 5)
            app.close()
            self.assertEqual(app.wait_exit(20), 0)
            self.assertEqual(saved(app), data)


if __name__ == "__main__":
    unittest.main(verbosity=2)
