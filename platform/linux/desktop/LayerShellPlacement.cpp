#include "platform/linux/desktop/LayerShellPlacement.hpp"

#include <gtk-layer-shell/gtk-layer-shell.h>
#include <gtk/gtk.h>

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include <algorithm>

namespace ampwell::platform::linux_ {

namespace {
// Between the bar and the panel, as between the pointer and the panel on X11.
constexpr int kGap = 4;
// A Wayland client does not know where its surfaces are, so some hosts (waybar) send the click's
// place inside their tray icon: a few pixels from the icon's corner, whatever the icon's place on
// the output. A position that close to the origin is taken for one of those, and for none at all.
constexpr int kIconBox = 64;

bool onScreen(int x, int y) { return x >= kIconBox || y >= kIconBox || x < 0 || y < 0; }
}  // namespace

LayerAnchor layerAnchorFor(const ScreenRect& monitor, const ScreenRect& workarea, int x, int y, int width) {
    LayerAnchor anchor;
    // A surface anchored to an edge is laid out beside the bars that reserve room there, so the
    // gap is the only margin from that edge.
    anchor.edgeMargin = kGap;
    if (onScreen(x, y)) {
        anchor.top = y - monitor.y < monitor.height / 2;
        anchor.left = x - monitor.x < monitor.width / 2;
        const int wanted = anchor.left ? x - monitor.x - width / 2 : monitor.x + monitor.width - x - width / 2;
        anchor.sideMargin = std::clamp(wanted, 0, std::max(0, monitor.width - width));
        return anchor;
    }
    const int insetTop = workarea.height > 0 ? workarea.y - monitor.y : 0;
    const int insetBottom = workarea.height > 0 ? monitor.y + monitor.height - (workarea.y + workarea.height) : 0;
    anchor.top = insetTop >= insetBottom;
    anchor.left = false;
    anchor.sideMargin = kGap;
    return anchor;
}

bool useLayerShell(GtkWindow* window) {
#ifdef GDK_WINDOWING_WAYLAND
    if (!GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()) || !gtk_layer_is_supported()) return false;
    gtk_layer_init_for_window(window);
    gtk_layer_set_layer(window, GTK_LAYER_SHELL_LAYER_TOP);
    gtk_layer_set_namespace(window, "ampwell-panel");
    // Escape and the buttons' keys reach the panel while it is shown.
    gtk_layer_set_keyboard_mode(window, GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND);
    return true;
#else
    (void)window;
    return false;
#endif
}

void placeOnLayer(GtkWindow* window, int x, int y, int width) {
    GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
    GdkMonitor* monitor = nullptr;
    if (onScreen(x, y)) monitor = gdk_display_get_monitor_at_point(display, x, y);
    if (!monitor && gtk_widget_get_window(GTK_WIDGET(window)))
        monitor = gdk_display_get_monitor_at_window(display, gtk_widget_get_window(GTK_WIDGET(window)));
    if (!monitor) monitor = gdk_display_get_primary_monitor(display);
    if (!monitor && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
    GdkRectangle geometry{0, 0, 0, 0};
    GdkRectangle area{0, 0, 0, 0};
    if (monitor) {
        gdk_monitor_get_geometry(monitor, &geometry);
        gdk_monitor_get_workarea(monitor, &area);
        gtk_layer_set_monitor(window, monitor);
    }
    const LayerAnchor anchor = layerAnchorFor({geometry.x, geometry.y, geometry.width, geometry.height},
                                              {area.x, area.y, area.width, area.height}, x, y, width);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_TOP, anchor.top);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_BOTTOM, !anchor.top);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_LEFT, anchor.left);
    gtk_layer_set_anchor(window, GTK_LAYER_SHELL_EDGE_RIGHT, !anchor.left);
    gtk_layer_set_margin(window, anchor.top ? GTK_LAYER_SHELL_EDGE_TOP : GTK_LAYER_SHELL_EDGE_BOTTOM,
                         anchor.edgeMargin);
    gtk_layer_set_margin(window, anchor.left ? GTK_LAYER_SHELL_EDGE_LEFT : GTK_LAYER_SHELL_EDGE_RIGHT,
                         anchor.sideMargin);
}

}  // namespace ampwell::platform::linux_
