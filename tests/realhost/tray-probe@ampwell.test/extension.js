// Used by tests/realhost/gnome.sh only: answers over D-Bus with what the top bar shows of each
// item the AppIndicator extension placed there, so that the test reads the shell's own widgets
// instead of the item's properties.
/* exported init, enable, disable */
const { Gio, St } = imports.gi;
const Main = imports.ui.main;

const PROBE_XML = `<node>
  <interface name="org.ampwell.TrayProbe">
    <method name="Items"><arg type="as" direction="out"/></method>
  </interface>
</node>`;

const PREFIX = 'appindicator-';

function labelsOf(actor, found) {
    if (actor instanceof St.Label && actor.visible && actor.get_text())
        found.push(actor.get_text());
    actor.get_children().forEach(child => labelsOf(child, found));
    return found;
}

class TrayProbe {
    // One entry per item: "id=<host's id> mapped=<on screen> label=<texts beside the icon>".
    Items() {
        return Object.entries(Main.panel.statusArea)
            .filter(([role, indicator]) => role.startsWith(PREFIX) && indicator)
            .map(([role, indicator]) =>
                `id=${role.slice(PREFIX.length)} mapped=${indicator.is_mapped()} ` +
                `label=${labelsOf(indicator, []).join(' ')}`);
    }
}

let exported = null;

function init() {
}

function enable() {
    exported = Gio.DBusExportedObject.wrapJSObject(PROBE_XML, new TrayProbe());
    exported.export(Gio.DBus.session, '/org/ampwell/TrayProbe');
}

function disable() {
    exported.unexport();
    exported = null;
}
