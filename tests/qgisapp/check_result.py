"""Checks what the QGIS run saw against what the parcels make certain.

    check_result.py <result.json> <config-file> <count> <prefix> [--ticked] [--served]
"""
import json
import os
import math
import re
import sys


def parcel_square(n, count):
    side = max(1, math.ceil(math.sqrt(count)))
    x = ((n - 1) % side) * 100.0
    y = ((n - 1) // side) * 100.0
    return x, y, x + 90.0, y + 90.0


def main():
    result_path, config_path, count, prefix = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
    prefix_again = os.environ.get("LARKHILL_PREFIX_AGAIN", "000-01")
    locate = os.environ.get("LARKHILL_LOCATE", "000-03")
    seen = json.load(open(result_path))
    failures = []

    def expect(what, ok):
        print(("ok: " if ok else "FAIL: ") + what)
        if not ok:
            failures.append(what)

    ids = sorted("%03d-%04d" % (n // 10000, n % 10000) for n in range(1, count + 1))
    wanted = next(i for i in ids if i.lower().startswith(prefix.lower()))
    n = int(wanted[:3]) * 10000 + int(wanted[4:])

    expect("the run finished", seen.get("done") is True)
    expect("the search leaves the project unchanged, with nothing to save at exit",
           seen.get("project_dirty") is False)
    expect("button on the toolbar LarkhillGIS", seen.get("toolbar") == "LarkhillGIS")
    expect("toolbar shown", seen.get("toolbar_visible") is True)
    # QGIS dresses toolbar tooltips in rich text; the words must be the command's.
    expect("tooltip", re.sub("<[^>]*>", "", seen.get("tooltip") or "") == "LarkhillParcelSearch - Zoom to a parcel")
    expect("button picture", seen.get("icon") is True)
    expect("the button's picture is scalable", seen.get("icon_size_at_48") == 48)
    expect("the button's action and Select Parcels from a List are in the Plugins menu under LarkhillGIS",
           ["LarkhillGIS", ["LarkhillParcelSearch", "Select Parcels from a List\u2026"], True]
           in (seen.get("plugin_menu") or []))
    expect("first press says the tool is not configured",
           seen.get("messages", [""])[:1] == ["Tool is not configured.\r\nConfiguration window will now load."])
    expect("no other message", len(seen.get("messages", [])) == 1)
    expect("configuration lists the feature layers, grouped one included",
           seen.get("config_layers") == ["Parcels", "Parcels copy"])
    # Every field in the table's order: the feature id, the shape, then the attributes.
    fields = seen.get("config_fields") or []
    expect("configuration lists every field", len(fields) == 5 and fields[0] == "fid"
           and fields[2:] == ["parcel_id", "parcel_no", "owner"])
    expect("search window lists every parcel", seen.get("list_count") == count)
    if "--served" in sys.argv[5:]:
        expect("the list is served from the PostGIS index (its read-only transaction is open)",
               seen.get("served_reads", 0) >= 1)
    expect("list is sorted", seen.get("list_first") == ids[:5])
    expect("search window is a panel of QGIS's main window, docked on the right of the map at first",
           seen.get("frame_state") == "docked right"
           and seen.get("frame_parent_is_main_window") is True)
    expect("progress shown in QGIS's status bar", seen.get("progress_in_status_bar") is True)
    expect("progress bar hidden after the list loaded", seen.get("progress_hidden_after") is True)
    expect("Go selects %s" % wanted, seen.get("selected") == wanted)

    x0, y0, x1, y1 = parcel_square(n, count)
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    w, h = (x1 - x0) * 1.2, (y1 - y0) * 1.2
    e = seen.get("extent_after") or [0, 0, 0, 0]
    ew, eh = e[2] - e[0], e[3] - e[1]
    # The canvas keeps its own proportions: the extent is the asked one widened
    # in one direction, about the same centre.
    expect("extent centred on the parcel", abs((e[0] + e[2]) / 2 - cx) < 0.01 and abs((e[1] + e[3]) / 2 - cy) < 0.01)
    expect("extent holds the parcel with its margin", ew >= w - 0.01 and eh >= h - 0.01)
    expect("extent no larger than the margin asks", min(abs(ew - w), abs(eh - h)) < 0.01 * max(w, h))

    expect("Go marks the parcel %s on the map: %s" % (wanted, seen.get("marked_after_go")),
           seen.get("marked_after_go") == [wanted])
    expect("an ID of one parcel says nothing in the status bar: %r" % seen.get("status_after_go"),
           "status_after_go" in seen and seen.get("status_after_go") == seen.get("status_before_go"))
    expect("the user docks the panel at the left of the map",
           seen.get("frame_state_after_docking") == "docked left")
    expect("the mark stays while the panel is docked", seen.get("marked_when_docked") == [wanted])
    expect("closing the search window for Configure takes the mark away",
           seen.get("marked_while_configuring") == [])
    expect("after Configure > Continue the new search window is still docked: %s"
           % seen.get("frame_state_reopened"), seen.get("frame_state_reopened") == "docked left")
    docked_marked = next(i for i in ids if i.startswith("000-02"))
    expect("Go in the docked panel marks %s" % docked_marked,
           seen.get("marked_after_docked_go") == [docked_marked])
    ours = ["larkhill-parcel-ids", "pid"]
    expect("QGIS's locator bar has the parcel ID filter with the prefix pid: %s"
           % seen.get("locator_filters"), ours in (seen.get("locator_filters") or []))
    located = sorted(i for i in ids if i.lower().startswith(locate.lower()))
    expect("'pid %s' in the locator bar lists the IDs that start with it: %s"
           % (locate, (seen.get("located") or [])[:3]),
           seen.get("located") == located[:20])
    expect("the locator's results were shown", seen.get("located_shown") is True)
    expect("Enter on the first result marks %s" % located[0],
           seen.get("marked_after_locating") == [located[0]])
    expect("the filter is gone from the locator bar after unticking: %s"
           % seen.get("locator_filters_after_untick"),
           seen.get("locator_filters_after_untick") is not None
           and ours not in seen.get("locator_filters_after_untick"))
    expect("the filter is back after ticking again",
           ours in (seen.get("locator_filters_after_tick") or []))
    expect("help window shown", seen.get("help_shown") is True)
    expect("search and help windows open before unticking",
           "frmMain" in (seen.get("widgets_before_untick") or []) and "frmHelp" in (seen.get("widgets_before_untick") or []))
    expect("nothing of the plugin left after unticking: %s" % seen.get("widgets_after_untick"),
           seen.get("widgets_after_untick") == [])
    expect("no mark left on the map after unticking", seen.get("marked_after_untick") == [])
    expect("as many windows and status-bar widgets as before the first press: %s then %s"
           % (seen.get("counts_before"), seen.get("counts_after_untick")),
           seen.get("counts_before") is not None and seen.get("counts_before") == seen.get("counts_after_untick"))
    # A hidden widget left behind (an empty menu is one) would pile up with every
    # untick; the last unload must leave exactly the top-level widgets that were
    # there before the first load (ticked here) or after the first unload.
    def left_behind(before, after):
        rest = list(after or [])
        for w in before or []:
            if w in rest:
                rest.remove(w)
        return rest
    first = "top_level_before_load" if "--ticked" in sys.argv[5:] else "top_level_after_first_unload"
    expect("the last unload leaves no top-level widget behind: %s"
           % left_behind(seen.get(first), seen.get("top_level_after_last_unload")),
           seen.get(first) is not None
           and sorted(seen.get(first)) == sorted(seen.get("top_level_after_last_unload") or []))
    expect("the button is back after ticking", seen.get("button_after_tick") is True)
    again = next(i for i in ids if i.lower().startswith(prefix_again.lower()))
    expect("after ticking again the list holds every parcel", seen.get("list_count_again") == count)
    expect("after ticking again the panel opens where the user left it: %s"
           % seen.get("frame_state_after_tick"), seen.get("frame_state_after_tick") == "docked left")
    expect("after ticking again Go selects %s" % again, seen.get("selected_again") == again)

    data = open(config_path, "rb").read()
    expect("configuration file holds layer and field", data == b'"Parcels"\r\n"parcel_id"\r\n')
    expect("screenshot saved", bool(seen.get("screenshot")))
    expect("screenshot with the panel docked saved", bool(seen.get("screenshot_docked")))
    if "--ticked" in sys.argv[5:]:
        expect("the Plugin Manager lists the plugin", seen.get("manager_lists_plugin") is True)
    expect("unticking takes away the toolbar, the button, the menu entry, the search "
           "window and the progress bar",
           seen.get("after_untick") == {"toolbars": [], "plugin_menu": [], "buttons": [],
                                        "search_window": False, "progress_bars": 0})
    if failures:
        print("steps seen:\n  " + "\n  ".join(seen.get("steps", [])))
        sys.exit(1)


if __name__ == "__main__":
    main()
