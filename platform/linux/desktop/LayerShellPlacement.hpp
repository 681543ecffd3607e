#pragma once

typedef struct _GtkWindow GtkWindow;

namespace ampwell::platform::linux_ {

struct ScreenRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Where a layer-shell panel goes: the screen edge the tray's bar is on (top or bottom), the
// corner side (left or right) and the margins from those two edges, in output pixels.
struct LayerAnchor {
    bool top = true;
    bool left = false;
    int edgeMargin = 0;
    int sideMargin = 0;
};

// The panel `width` pixels wide beside the tray of a bar on `monitor`, whose free area is
// `workarea`. With the click's position (x, y), as a host gives it with Activate: on the edge of
// the output half the click is in, centred under it and kept on the output. Without one (0, 0, or
// a place within an icon's size of the origin, which hosts that send the click's place inside
// their icon give): at the edge the bar takes room from (the work area's inset; the top when none is known), in
// the right-hand corner, where trays sit.
LayerAnchor layerAnchorFor(const ScreenRect& monitor, const ScreenRect& workarea, int x, int y, int width);

// Makes `window` a layer-shell surface when the display is Wayland and the compositor offers the
// protocol (sway, Plasma, Hyprland and others); false (and nothing changed) otherwise, where the
// window is moved as usual. Before the window is first shown.
bool useLayerShell(GtkWindow* window);

// Anchors a layer-shell panel as layerAnchorFor says, on the monitor under (x, y) or, without
// one, the window's own monitor.
void placeOnLayer(GtkWindow* window, int x, int y, int width);

}  // namespace ampwell::platform::linux_
