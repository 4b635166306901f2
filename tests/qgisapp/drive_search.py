"""Drives the parcel search inside a running QGIS, as a user would.

QGIS runs this file at start-up (--code). It waits for the plugin's button,
presses it, answers the "not configured" message, picks the layer and field
in the configuration window, presses "Continue", types the start of a parcel
ID in the search window, presses "Go", waits for the map to be redrawn, notes
the parcel marked on the canvas and saves a screenshot with the search panel
docked on the right, where it first opens. With LARKHILL_TICK=1 it first ticks the plugin in the Plugin
Manager, as a user does. After the search it docks the panel left of the map,
saves a second screenshot, presses "Configure" and "Continue", notes that the
new search window opens docked, and searches there. It types "pid" and the
start of an ID into QGIS's locator bar, presses Enter on the first result and
notes the parcel marked. Then it presses "?",
unticks the plugin in the Plugin Manager with the search and help windows
open, notes what of the plugin is left (the locator bar's filter included),
ticks it again and searches once more.
What it saw goes to the JSON file named by LARKHILL_RESULT; QGIS then quits.
A watchdog ends the run after
LARKHILL_TIMEOUT seconds with what was seen so far.
"""
import json
import os
import time

from qgis.PyQt.QtCore import Qt, QTimer
from qgis.PyQt.QtTest import QTest
from qgis.PyQt.QtWidgets import (QAbstractButton, QAbstractItemView, QApplication, QDialog,
                                 QDockWidget, QLineEdit, QListView, QListWidget, QMessageBox,
                                 QProgressBar, QToolBar, QTreeView, QWidget)
from qgis.core import QgsProject, QgsProviderRegistry
from qgis.PyQt import sip
from qgis.gui import QgsHighlight, QgsLocatorWidget
from qgis.utils import iface

RESULT = os.environ["LARKHILL_RESULT"]
SHOT = os.environ["LARKHILL_SHOT"]
SHOT_DOCKED = SHOT[:-4] + "-docked.png" if SHOT.endswith(".png") else SHOT + "-docked"
TOOLBAR_SHOT = os.environ.get("LARKHILL_TOOLBAR_SHOT")
LAYER = os.environ.get("LARKHILL_LAYER", "Parcels")
FIELD = os.environ.get("LARKHILL_FIELD", "parcel_id")
PREFIX = os.environ.get("LARKHILL_PREFIX", "000-042")
PREFIX_AGAIN = os.environ.get("LARKHILL_PREFIX_AGAIN", "000-01")
PREFIX_DOCKED = os.environ.get("LARKHILL_PREFIX_DOCKED", "000-02")
LOCATE = os.environ.get("LARKHILL_LOCATE", "000-03")
# The name of the plugin's filter in QGIS's locator bar.
LOCATOR_FILTER = "larkhill-parcel-ids"
PLUGIN = "LarkhillParcelSearch"
# Object names of every widget the plugin and its component put into QGIS.
OURS = {"frmMain", "frmConfig", "frmHelp", "frmResources", "larkhillFrame", "larkhillProgress"}
TIMEOUT = float(os.environ.get("LARKHILL_TIMEOUT", "120"))
TICK = os.environ.get("LARKHILL_TICK") == "1"

seen = {"steps": [], "messages": [], "done": False}
started = time.time()


def served_reads():
    """The server's connections that hold a read-only list transaction open: the served list's."""
    metadata = QgsProviderRegistry.instance().providerMetadata("postgres")
    connection = metadata.createConnection(os.environ["LARKHILL_QGISAPP_PG"], {})
    rows = connection.executeSql("SELECT count(*) FROM pg_stat_activity "
                                 "WHERE state = 'idle in transaction' AND pid <> pg_backend_pid()")
    return int(rows[0][0])


def note(step):
    seen["steps"].append("%.1fs %s" % (time.time() - started, step))


def finish(code):
    seen["done"] = code == 0
    seen["elapsed"] = time.time() - started
    # A search changes nothing in the project, so QGIS has nothing to ask to save at exit.
    seen["project_dirty"] = QgsProject.instance().isDirty()
    with open(RESULT, "w") as out:
        json.dump(seen, out, indent=2)
    # Close the project before ending, as File > Exit does (without its
    # questions, such as whether to lose the layers in the temporary folder):
    # QGIS 3.40 crashes in its own teardown when the application ends with a
    # project still open, with no plugin loaded as well.
    iface.newProject(False)
    QApplication.instance().exit(code)


def visible_widget(name):
    for top in QApplication.topLevelWidgets():
        if top.objectName() == name and top.isVisible():
            return top
        for w in top.findChildren(QWidget, name):
            if w.isVisible():
                return w
    return None


def answer_messages():
    box = QApplication.activeModalWidget()
    if isinstance(box, QMessageBox) and box.isVisible():
        seen["messages"].append(box.text())
        note("message: " + box.text().replace("\r\n", " | "))
        box.button(QMessageBox.Ok).click()


def extent_of(canvas):
    e = canvas.extent()
    return [e.xMinimum(), e.yMinimum(), e.xMaximum(), e.yMaximum()]


def our_widgets():
    """Every widget of the plugin or its component that exists, shown or not."""
    found = []
    for top in QApplication.topLevelWidgets():
        for w in [top] + top.findChildren(QWidget):
            if w.objectName() in OURS:
                found.append(w.objectName())
    for bar in iface.mainWindow().findChildren(QToolBar):
        if any(a.text() == PLUGIN for a in bar.actions()):
            found.append("toolbar " + bar.windowTitle())
    return sorted(found)


def window_counts():
    """Visible top-level windows, and the widgets in QGIS's status bar."""
    tops = [w for w in QApplication.topLevelWidgets() if w.isVisible()]
    bar = iface.mainWindow().statusBar()
    return {"windows": len(tops),
            "status_bar_widgets": len([c for c in bar.children() if isinstance(c, QWidget)])}


def top_level_widgets():
    """Every top-level widget, shown or hidden: what a load and unload of the plugin
    leaves behind shows here even when it is hidden (a popup menu is one)."""
    return sorted("%s %s %r" % (type(w).__name__, w.objectName(), w.windowTitle())
                  for w in QApplication.topLevelWidgets())


def plugin_manager_row():
    """The plugin manager's dialog and the model index of this plugin, when it shows."""
    for top in QApplication.topLevelWidgets():
        if not top.isVisible() or not isinstance(top, QDialog):
            continue
        view = top.findChild(QListView, "vwPlugins")
        if view is None or view.model() is None:
            continue
        model = view.model()
        for row in range(model.rowCount()):
            index = model.index(row, 0)
            if index.data() == PLUGIN:
                return top, model, index
    return None, None, None


def marks():
    """The parcels marked on the canvas: the ID of each highlighted feature."""
    found = []
    for item in iface.mapCanvas().scene().items():
        # The host names its marks in the item data (FeatureMarks.h).
        if isinstance(item, QgsHighlight) and item.data(0x4c48) == "larkhillHighlight":
            described = item.data(0x4c49) or ""
            layer_name, _, fid = described.rpartition(" feature ")
            layers = QgsProject.instance().mapLayersByName(layer_name)
            feature = layers[0].getFeature(int(fid)) if layers and fid.isdigit() else None
            found.append(feature["parcel_id"] if feature is not None and feature.isValid()
                         else described)
    return found


def status_text():
    """The text in QGIS's own message area of the status bar, where the host shows its texts."""
    return iface.statusBarIface().currentMessage()


def locator_widget():
    """QGIS's locator bar (in its status bar), found by its class as QGIS made it."""
    for top in QApplication.topLevelWidgets():
        for w in [top] + top.findChildren(QWidget):
            if w.metaObject().className() == "QgsLocatorWidget":
                return sip.cast(w, QgsLocatorWidget)
    return None


def locator_filters():
    """The names and prefixes of the filters registered with QGIS's locator bar."""
    widget = locator_widget()
    if widget is None:
        return []
    return [[f.name(), f.activePrefix()] for f in widget.locator().filters()]


def located_results():
    """The result rows QGIS's locator bar shows (headings are not selectable), as (view, index)."""
    found = []
    for view in iface.mainWindow().findChildren(QTreeView):
        if view.metaObject().className() != "QgsLocatorResultsView" or view.model() is None:
            continue
        model = view.model()
        for row in range(model.rowCount()):
            index = model.index(row, 0)
            if model.flags(index) & Qt.ItemIsSelectable and model.flags(index) & Qt.ItemIsEnabled:
                found.append((view, index))
    return found


def panel_of(form):
    """The search window's frame: a dock panel, floating or docked."""
    parent = form.parentWidget()
    return parent if isinstance(parent, QDockWidget) else None


def panel_state(form):
    panel = panel_of(form)
    if panel is None:
        return None
    if panel.isFloating():
        return "floating"
    area = iface.mainWindow().dockWidgetArea(panel)
    return {Qt.LeftDockWidgetArea: "docked left", Qt.RightDockWidgetArea: "docked right"}.get(
        area, "docked")


def select_text(listbox, text):
    for row in range(listbox.count()):
        if listbox.item(row).text() == text:
            listbox.setCurrentRow(row)
            return True
    return False


class Driver:
    """One step at a time, each waiting on what the user would wait for."""

    def __init__(self):
        self.step = self.find_button
        self.timer = QTimer()
        self.timer.timeout.connect(self.tick)
        self.timer.start(100)
        self.action = None
        self.before = None
        if TICK:
            self.step = self.tick_plugin
            QTimer.singleShot(0, iface.pluginManagerInterface().showPluginManager)

    def plugin_manager_row(self):
        """The open Plugin Manager and the plugin's row in it, once both are there."""
        manager = QApplication.activeModalWidget()
        if not isinstance(manager, QDialog) or manager.objectName() != "QgsPluginManagerBase":
            return None, None
        model = manager.findChild(QListView, "vwPlugins").model()
        rows = [model.index(r, 0) for r in range(model.rowCount())]
        ours = [i for i in rows if i.data() == "LarkhillParcelSearch"]
        return manager, ours[0] if len(ours) == 1 else None

    def tick_plugin(self):
        manager, row = self.plugin_manager_row()
        if manager is None:
            return
        seen["manager_lists_plugin"] = row is not None
        if row is None:
            note("the Plugin Manager does not list the plugin")
            manager.close()
            finish(7)
            return
        seen["top_level_before_load"] = top_level_widgets()
        row.model().setData(row, Qt.Checked, Qt.CheckStateRole)
        note("plugin ticked")
        manager.close()
        self.step = self.find_button

    def tick(self):
        if time.time() - started > TIMEOUT:
            note("watchdog: gave up waiting in " + self.step.__name__)
            self.timer.stop()
            finish(3)
            return
        answer_messages()
        try:
            self.step()
        except Exception as error:  # a broken step must still end QGIS
            note("driver failure in %s: %r" % (self.step.__name__, error))
            self.timer.stop()
            finish(4)

    def find_button(self):
        if time.time() - started > 40:
            seen["toolbars"] = [b.windowTitle() for b in iface.mainWindow().findChildren(QToolBar)]
            note("no LarkhillParcelSearch button on any toolbar")
            self.timer.stop()
            finish(6)
            return
        for bar in iface.mainWindow().findChildren(QToolBar):
            for action in bar.actions():
                if action.text() == "LarkhillParcelSearch":
                    self.action = action
                    seen["toolbar"] = bar.windowTitle()
                    seen["toolbar_visible"] = bar.isVisible()
                    seen["tooltip"] = action.toolTip()
                    seen["icon"] = not action.icon().isNull()
                    # A scalable icon gives a picture of any size asked; a bitmap stays at its own.
                    seen["icon_size_at_48"] = action.icon().pixmap(48, 48).width()
                    self.bar = bar
        layers = [l.name() for l in iface.mapCanvas().layers()]
        if self.action and LAYER in layers and not iface.mapCanvas().isDrawing():
            seen["canvas_layers"] = layers
            seen["plugin_menu"] = [
                [entry.text(), [a.text() for a in entry.menu().actions()],
                 any(a is self.action for a in entry.menu().actions())]
                for entry in iface.pluginMenu().actions() if entry.menu() is not None]
            if TOOLBAR_SHOT:
                self.bar.grab().save(TOOLBAR_SHOT)
            seen["counts_before"] = window_counts()
            self.before = extent_of(iface.mapCanvas())
            seen["extent_before"] = self.before
            note("button found on toolbar " + seen["toolbar"])
            self.step = self.wait_config
            # Pressing runs modal loops; it must not run inside this tick.
            QTimer.singleShot(0, self.action.trigger)

    def wait_config(self):
        config = visible_widget("frmConfig")
        if not config:
            return
        layers = config.findChild(QListWidget, "List1")
        fields = config.findChild(QListWidget, "List2")
        seen["config_layers"] = [layers.item(i).text() for i in range(layers.count())]
        if not select_text(layers, LAYER):
            note("layer %s not offered" % LAYER)
            finish(5)
            return
        seen["config_fields"] = [fields.item(i).text() for i in range(fields.count())]
        if not select_text(fields, FIELD):
            note("field %s not offered" % FIELD)
            finish(5)
            return
        note("configuration: %s / %s" % (LAYER, FIELD))
        self.step = self.wait_search
        button = config.findChild(QAbstractButton, "Command1")
        QTimer.singleShot(0, button.click)

    def wait_search(self):
        search = visible_widget("frmMain")
        if not search:
            return
        entries = search.findChild(QAbstractItemView, "List1")
        model = entries.model()
        if model is None or model.rowCount() == 0:
            return
        seen["list_count"] = model.rowCount()
        if os.environ.get("LARKHILL_QGISAPP_PG"):
            seen["served_reads"] = served_reads()
        seen["list_first"] = [model.index(i, 0).data() for i in range(min(5, model.rowCount()))]
        frame = panel_of(search) or search.window()
        seen["frame_caption"] = frame.windowTitle()
        seen["frame_state"] = panel_state(search)
        seen["frame_parent_is_main_window"] = frame.parentWidget() is iface.mainWindow()
        # The list's progress went to QGIS's own status bar and is gone now.
        bars = iface.mainWindow().statusBar().findChildren(QProgressBar, "larkhillProgress")
        seen["progress_in_status_bar"] = len(bars) == 1
        seen["progress_hidden_after"] = all(not b.isVisible() for b in bars)
        note("search window lists %d values" % model.rowCount())
        text = search.findChild(QLineEdit, "Text1")
        text.setFocus()
        QTest.keyClicks(text, PREFIX)
        self.search = search
        self.entries = entries
        self.step = self.wait_zoom
        # QGIS's own message (as "Project loaded") may stand there; Go must add none.
        seen["status_before_go"] = status_text()
        QTimer.singleShot(0, search.findChild(QAbstractButton, "Command4").click)

    def wait_zoom(self):
        canvas = iface.mapCanvas()
        extent = extent_of(canvas)
        if extent == self.before or canvas.isDrawing():
            return
        current = self.entries.currentIndex()
        seen["selected"] = current.data() if current.isValid() else None
        seen["extent_after"] = extent
        seen["canvas_size"] = [canvas.width(), canvas.height()]
        seen["marked_after_go"] = marks()
        seen["status_after_go"] = status_text()
        note("zoomed to %s; marked %s" % (extent, seen["marked_after_go"]))
        self.step = self.wait_painted
        self.painted_at = time.time()

    def wait_painted(self):
        # Give the canvas a moment to paint the new extent before the picture.
        if time.time() - self.painted_at < 1.5 or iface.mapCanvas().isDrawing():
            return
        screen = QApplication.primaryScreen()
        seen["screenshot"] = SHOT if screen.grabWindow(0).save(SHOT) else None
        note("screenshot saved")
        # The user drags the panel to the left of the map.
        panel = panel_of(self.search)
        if panel is not None:
            iface.mainWindow().addDockWidget(Qt.LeftDockWidgetArea, panel)
            panel.setFloating(False)
        seen["frame_state_after_docking"] = panel_state(self.search)
        note("panel " + str(seen["frame_state_after_docking"]))
        self.step = self.wait_docked_painted
        self.painted_at = time.time()

    def wait_docked_painted(self):
        if time.time() - self.painted_at < 1.5 or iface.mapCanvas().isDrawing():
            return
        screen = QApplication.primaryScreen()
        seen["screenshot_docked"] = SHOT_DOCKED if screen.grabWindow(0).save(SHOT_DOCKED) else None
        seen["marked_when_docked"] = marks()
        note("docked screenshot saved")
        self.step = self.wait_config_again
        QTimer.singleShot(0, self.search.findChild(QAbstractButton, "Command1").click)

    def wait_config_again(self):
        config = visible_widget("frmConfig")
        if not config:
            return
        seen["marked_while_configuring"] = marks()
        select_text(config.findChild(QListWidget, "List1"), LAYER)
        select_text(config.findChild(QListWidget, "List2"), FIELD)
        note("Configure again; Continue")
        self.step = self.wait_search_reopened
        QTimer.singleShot(0, config.findChild(QAbstractButton, "Command1").click)

    def wait_search_reopened(self):
        search = visible_widget("frmMain")
        if not search:
            return
        entries = search.findChild(QAbstractItemView, "List1")
        if entries.model() is None or entries.model().rowCount() == 0:
            return
        seen["frame_state_reopened"] = panel_state(search)
        note("new search window " + str(seen["frame_state_reopened"]))
        self.search = search
        text = search.findChild(QLineEdit, "Text1")
        text.setFocus()
        QTest.keyClicks(text, PREFIX_DOCKED)
        self.step = self.wait_marked_docked
        QTimer.singleShot(0, search.findChild(QAbstractButton, "Command4").click)

    def wait_marked_docked(self):
        if not marks():
            return
        seen["marked_after_docked_go"] = marks()
        note("marked from the docked panel: %s" % seen["marked_after_docked_go"])
        self.step = self.locate
        self.located_at = None

    def locate(self):
        """Types the prefix and the start of an ID into QGIS's locator bar (Ctrl+K), as a user does."""
        seen["locator_filters"] = locator_filters()
        widget = locator_widget()
        if widget is None:
            note("QGIS has no locator bar")
            self.step = self.wait_help
            QTimer.singleShot(0, self.search.findChild(QAbstractButton, "btnHelp2").click)
            return
        edit = widget.findChild(QLineEdit)
        edit.setFocus()
        edit.clear()
        QTest.keyClicks(edit, "pid " + LOCATE)
        note("typed 'pid %s' into the locator bar" % LOCATE)
        self.locator_edit = edit
        self.step = self.wait_located
        self.located_at = time.time()

    def wait_located(self):
        widget = locator_widget()
        results = located_results()
        if widget.locator().isRunning() or not results or time.time() - self.located_at < 1.0:
            return
        seen["located"] = [index.data() for _, index in results]
        view, first = results[0]
        seen["located_shown"] = view.isVisible()
        view.setCurrentIndex(first)
        note("the locator bar shows %s; Enter" % seen["located"][:5])
        QTest.keyClick(self.locator_edit, Qt.Key_Return)
        self.step = self.wait_located_mark
        self.located_at = time.time()

    def wait_located_mark(self):
        marked = marks()
        if marked == seen.get("marked_after_docked_go") and time.time() - self.located_at < 10:
            return
        seen["marked_after_locating"] = marked
        note("marked from the locator bar: %s" % marked)
        self.step = self.wait_help
        QTimer.singleShot(0, self.search.findChild(QAbstractButton, "btnHelp2").click)

    def wait_help(self):
        if not visible_widget("frmHelp"):
            return
        seen["help_shown"] = True
        seen["widgets_before_untick"] = our_widgets()
        note("help window open; unticking the plugin")
        self.wanted_check = Qt.Unchecked
        self.step = self.set_plugin_check
        self.after_check = self.check_gone
        QTimer.singleShot(0, lambda: iface.pluginManagerInterface().showPluginManager(-1))

    def set_plugin_check(self):
        dialog, model, index = plugin_manager_row()
        if dialog is None:
            return
        model.setData(index, self.wanted_check, Qt.CheckStateRole)
        note("plugin %s in the plugin manager" % ("ticked" if self.wanted_check == Qt.Checked else "unticked"))
        self.step = self.after_check
        dialog.reject()

    def check_gone(self):
        if visible_widget("frmHelp") or visible_widget("frmMain"):
            seen.setdefault("waits_for_windows_to_go", 0)
            seen["waits_for_windows_to_go"] += 1
            if seen["waits_for_windows_to_go"] < 30:
                return
        seen["widgets_after_untick"] = our_widgets()
        seen["locator_filters_after_untick"] = locator_filters()
        seen["marked_after_untick"] = marks()
        seen["counts_after_untick"] = window_counts()
        seen["top_level_after_first_unload"] = top_level_widgets()
        window = iface.mainWindow()
        seen["after_untick"] = {
            "toolbars": [b.windowTitle() for b in window.findChildren(QToolBar)
                         if b.windowTitle() == "LarkhillGIS"],
            "plugin_menu": [a.text() for a in iface.pluginMenu().actions() if a.text() == "LarkhillGIS"],
            "buttons": [a.text() for b in window.findChildren(QToolBar) for a in b.actions()
                        if a.text() == "LarkhillParcelSearch"],
            "search_window": visible_widget("frmMain") is not None,
            "progress_bars": len(window.statusBar().findChildren(QProgressBar, "larkhillProgress")),
        }
        note("after unticking: %s, %s" % (seen["widgets_after_untick"], seen["counts_after_untick"]))
        self.wanted_check = Qt.Checked
        self.step = self.set_plugin_check
        self.after_check = self.find_button_again
        QTimer.singleShot(0, lambda: iface.pluginManagerInterface().showPluginManager(-1))

    def find_button_again(self):
        self.action = None
        for bar in iface.mainWindow().findChildren(QToolBar):
            for action in bar.actions():
                if action.text() == PLUGIN:
                    self.action = action
        if not self.action:
            return
        seen["button_after_tick"] = True
        seen["locator_filters_after_tick"] = locator_filters()
        self.before = extent_of(iface.mapCanvas())
        note("button back after ticking; pressing it")
        self.step = self.search_again
        QTimer.singleShot(0, self.action.trigger)

    def search_again(self):
        search = visible_widget("frmMain")
        if not search:
            return
        entries = search.findChild(QAbstractItemView, "List1")
        if entries.model() is None or entries.model().rowCount() == 0:
            return
        seen["list_count_again"] = entries.model().rowCount()
        seen["frame_state_after_tick"] = panel_state(search)
        text = search.findChild(QLineEdit, "Text1")
        text.setFocus()
        QTest.keyClicks(text, PREFIX_AGAIN)
        self.entries = entries
        self.step = self.wait_zoom_again
        QTimer.singleShot(0, search.findChild(QAbstractButton, "Command4").click)

    def wait_zoom_again(self):
        canvas = iface.mapCanvas()
        extent = extent_of(canvas)
        if extent == self.before or canvas.isDrawing():
            return
        current = self.entries.currentIndex()
        seen["selected_again"] = current.data() if current.isValid() else None
        note("zoomed again to " + str(extent) + "; unticking the plugin again")
        self.wanted_check = Qt.Unchecked
        self.step = self.set_plugin_check
        self.after_check = self.check_last_unload
        QTimer.singleShot(0, lambda: iface.pluginManagerInterface().showPluginManager(-1))

    def check_last_unload(self):
        if visible_widget("frmMain"):
            return
        seen["top_level_after_last_unload"] = top_level_widgets()
        note("after the last unload: %d top-level widgets" % len(seen["top_level_after_last_unload"]))
        self.timer.stop()
        finish(0)

driver = Driver()
