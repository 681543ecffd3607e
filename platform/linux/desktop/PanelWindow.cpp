#include "platform/linux/desktop/PanelWindow.hpp"

#include "platform/linux/desktop/LayerShellPlacement.hpp"

#include <gtk/gtk.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace ampwell::platform::linux_ {

namespace {

bool containsDark(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text.find("dark") != std::string::npos;
}

constexpr const char* kCss = R"CSS(
.ampwell-panel { border-radius: 10px; }
.ampwell-panel button { padding: 3px 10px; border-radius: 5px; }
.ampwell-panel button label.dim-label { opacity: 0.55; }
)CSS";

}  // namespace

bool desktopPrefersDark() {
    if (const char* theme = std::getenv("GTK_THEME"); theme && containsDark(theme)) return true;
    GtkSettings* settings = gtk_settings_get_default();
    if (!settings) return false;
    gboolean preferDark = FALSE;
    gchar* themeName = nullptr;
    g_object_get(settings, "gtk-application-prefer-dark-theme", &preferDark, "gtk-theme-name", &themeName, nullptr);
    const bool dark = preferDark || (themeName && containsDark(themeName));
    g_free(themeName);
    return dark;
}

struct PanelWindow::Impl {
    PanelWindow* owner = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* box = nullptr;
    std::vector<PanelRow> rows;
    std::vector<GtkWidget*> drawn;
    bool shown = false;
    bool dark = false;
    bool layered = false;  // a layer-shell surface (see LayerShellPlacement)
    int menusOpen = 0;  // submenus popped up from the panel keep it open while they have the focus

    static gboolean drawRow(GtkWidget* widget, cairo_t* cr, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        auto index = static_cast<std::size_t>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "row")));
        if (index < impl->rows.size() && impl->rows[index].draw) {
            cairo_save(cr);
            impl->rows[index].draw(cr, impl->dark);
            cairo_restore(cr);
        }
        return FALSE;
    }

    static gboolean drawIcon(GtkWidget* widget, cairo_t* cr, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        auto index = static_cast<std::size_t>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "row")));
        if (index < impl->rows.size() && impl->rows[index].icon) impl->rows[index].icon(cr, impl->dark);
        return FALSE;
    }

    static gboolean keyPressed(GtkWidget*, GdkEventKey* event, gpointer data) {
        if (event->keyval != GDK_KEY_Escape) return FALSE;
        static_cast<Impl*>(data)->owner->hide();
        return TRUE;
    }

    static gboolean focusLost(GtkWidget*, GdkEvent*, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        if (impl->menusOpen == 0) impl->owner->hide();
        return FALSE;
    }

    static gboolean deleted(GtkWidget*, GdkEvent*, gpointer data) {
        static_cast<Impl*>(data)->owner->hide();
        return TRUE;  // keep the window for the next time
    }

    static void clicked(GtkButton* button, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        auto index = static_cast<std::size_t>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(button), "row")));
        if (index >= impl->rows.size()) return;
        PanelRow& row = impl->rows[index];
        if (row.submenu) {
            impl->popup(GTK_WIDGET(button), row.submenu());
            return;
        }
        auto action = row.onClick;
        impl->owner->hide();  // the panel closes like a menu before the action runs (it may open a dialog)
        if (action) action();
    }

    static void menuClosed(GtkMenuShell*, gpointer data) {
        auto* impl = static_cast<Impl*>(data);
        impl->menusOpen = std::max(0, impl->menusOpen - 1);
        if (impl->shown) gtk_window_present(GTK_WINDOW(impl->window));
    }

    static void entryActivated(GtkMenuItem* item, gpointer) {
        auto* action = static_cast<std::function<void()>*>(g_object_get_data(G_OBJECT(item), "action"));
        if (action && *action) (*action)();
    }

    static void deleteAction(gpointer data) { delete static_cast<std::function<void()>*>(data); }

    GtkWidget* buildMenu(const std::vector<PanelMenuEntry>& entries) {
        GtkWidget* menu = gtk_menu_new();
        GSList* group = nullptr;
        for (const auto& entry : entries) {
            GtkWidget* item = nullptr;
            if (entry.separator) {
                item = gtk_separator_menu_item_new();
            } else if (entry.radio) {
                item = gtk_radio_menu_item_new_with_label(group, entry.title.c_str());
                group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
                gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), entry.checked);
            } else if (entry.checked) {
                item = gtk_check_menu_item_new_with_label(entry.title.c_str());
                gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), TRUE);
            } else {
                item = gtk_menu_item_new_with_label(entry.title.c_str());
            }
            gtk_widget_set_sensitive(item, entry.enabled);
            if (entry.submenu) {
                gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), buildMenu(entry.submenu()));
            } else if (entry.onClick) {
                // Connected after the check state is set, so building the menu runs no action.
                g_object_set_data_full(G_OBJECT(item), "action", new std::function<void()>(entry.onClick), deleteAction);
                g_signal_connect(item, "activate", G_CALLBACK(entryActivated), nullptr);
            }
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        }
        gtk_widget_show_all(menu);
        return menu;
    }

    void popup(GtkWidget* anchor, const std::vector<PanelMenuEntry>& entries) {
        GtkWidget* menu = buildMenu(entries);
        gtk_menu_attach_to_widget(GTK_MENU(menu), anchor, nullptr);
        ++menusOpen;
        g_signal_connect(menu, "deactivate", G_CALLBACK(menuClosed), this);
        // The menu is destroyed with the panel's next rebuild or when it is detached.
        g_signal_connect(menu, "selection-done", G_CALLBACK(+[](GtkMenuShell* shell, gpointer) {
                             g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, +[](gpointer w) -> gboolean {
                                 gtk_widget_destroy(GTK_WIDGET(w));
                                 return G_SOURCE_REMOVE;
                             }, g_object_ref(shell), g_object_unref);
                         }), nullptr);
        gtk_menu_popup_at_widget(GTK_MENU(menu), anchor, GDK_GRAVITY_EAST, GDK_GRAVITY_WEST, nullptr);
    }

    GtkWidget* buttonRow(const PanelRow& row, std::size_t index) {
        GtkWidget* button = gtk_button_new();
        gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);
        GtkWidget* line = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 8);
        if (row.icon) {
            GtkWidget* icon = gtk_drawing_area_new();
            gtk_widget_set_size_request(icon, 16, 16);
            gtk_widget_set_valign(icon, GTK_ALIGN_CENTER);
            g_object_set_data(G_OBJECT(icon), "row", GINT_TO_POINTER(static_cast<int>(index)));
            g_signal_connect(icon, "draw", G_CALLBACK(drawIcon), this);
            gtk_box_pack_start(GTK_BOX(line), icon, FALSE, FALSE, 0);
        }
        GtkWidget* title = gtk_label_new(row.title.c_str());
        gtk_label_set_xalign(GTK_LABEL(title), 0.0f);
        gtk_label_set_ellipsize(GTK_LABEL(title), PANGO_ELLIPSIZE_END);
        gtk_box_pack_start(GTK_BOX(line), title, TRUE, TRUE, 0);
        if (!row.shortcut.empty()) {
            GtkWidget* shortcut = gtk_label_new(row.shortcut.c_str());
            gtk_style_context_add_class(gtk_widget_get_style_context(shortcut), "dim-label");
            gtk_box_pack_end(GTK_BOX(line), shortcut, FALSE, FALSE, 0);
        }
        gtk_container_add(GTK_CONTAINER(button), line);
        gtk_widget_set_sensitive(button, row.enabled);
        if (!row.tooltip.empty()) gtk_widget_set_tooltip_text(button, row.tooltip.c_str());
        g_object_set_data(G_OBJECT(button), "row", GINT_TO_POINTER(static_cast<int>(index)));
        g_signal_connect(button, "clicked", G_CALLBACK(clicked), this);
        return button;
    }

    void build() {
        if (box) gtk_widget_destroy(box);
        drawn.clear();
        box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
        gtk_widget_set_margin_top(box, 6);
        gtk_widget_set_margin_bottom(box, 6);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const PanelRow& row = rows[i];
            GtkWidget* widget = nullptr;
            if (row.kind == PanelRow::Kind::drawn) {
                widget = gtk_drawing_area_new();
                gtk_widget_set_size_request(widget, static_cast<int>(row.width), static_cast<int>(row.height));
                g_object_set_data(G_OBJECT(widget), "row", GINT_TO_POINTER(static_cast<int>(i)));
                g_signal_connect(widget, "draw", G_CALLBACK(drawRow), this);
                if (!row.tooltip.empty()) gtk_widget_set_tooltip_text(widget, row.tooltip.c_str());
                drawn.push_back(widget);
            } else if (row.kind == PanelRow::Kind::separator) {
                widget = gtk_separator_new(GTK_ORIENTATION_HORIZONTAL);
                gtk_widget_set_margin_start(widget, 12);
                gtk_widget_set_margin_end(widget, 12);
                gtk_widget_set_margin_top(widget, 4);
                gtk_widget_set_margin_bottom(widget, 4);
            } else {
                widget = buttonRow(row, i);
                gtk_widget_set_margin_start(widget, 6);
                gtk_widget_set_margin_end(widget, 6);
            }
            gtk_box_pack_start(GTK_BOX(box), widget, FALSE, FALSE, 0);
        }
        gtk_container_add(GTK_CONTAINER(window), box);
        gtk_widget_show_all(box);
    }

    void place(int x, int y) {
        GdkDisplay* display = gtk_widget_get_display(window);
        if (x == 0 && y == 0) {
            GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(display));
            if (pointer) gdk_device_get_position(pointer, nullptr, &x, &y);
        }
        GdkMonitor* monitor = gdk_display_get_monitor_at_point(display, x, y);
        GdkRectangle area{0, 0, 0, 0};
        if (monitor) gdk_monitor_get_workarea(monitor, &area);
        int width = 0;
        int height = 0;
        gtk_window_get_size(GTK_WINDOW(window), &width, &height);
        GtkRequisition natural{0, 0};
        gtk_widget_get_preferred_size(window, nullptr, &natural);
        width = std::max(width, natural.width);
        height = std::max(height, natural.height);
        // Below the pointer when the tray is at the top of the screen, above it otherwise.
        int left = x - width / 2;
        int top = y + height <= area.y + area.height ? y + 4 : y - height - 4;
        if (area.width > 0) {
            left = std::clamp(left, area.x, std::max(area.x, area.x + area.width - width));
            top = std::clamp(top, area.y, std::max(area.y, area.y + area.height - height));
        }
        gtk_window_move(GTK_WINDOW(window), left, top);
    }

    void placeNear(int x, int y) {
        if (!layered) {
            place(x, y);
            return;
        }
        GtkRequisition natural{0, 0};
        gtk_widget_get_preferred_size(window, nullptr, &natural);
        placeOnLayer(GTK_WINDOW(window), x, y, natural.width);
    }
};

PanelWindow::PanelWindow() : impl_(std::make_unique<Impl>()) {
    impl_->owner = this;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    impl_->window = window;
    gtk_window_set_title(GTK_WINDOW(window), "Ampwell");
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
    gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_UTILITY);
    // On Wayland a window cannot place itself; where the compositor has layer shell the panel is
    // a layer surface anchored at the tray's edge and corner.
    impl_->layered = useLayerShell(GTK_WINDOW(window));
    gtk_style_context_add_class(gtk_widget_get_style_context(window), "ampwell-panel");
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kCss, -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    g_signal_connect(window, "key-press-event", G_CALLBACK(Impl::keyPressed), impl_.get());
    g_signal_connect(window, "focus-out-event", G_CALLBACK(Impl::focusLost), impl_.get());
    g_signal_connect(window, "delete-event", G_CALLBACK(Impl::deleted), impl_.get());
}

PanelWindow::~PanelWindow() { gtk_widget_destroy(impl_->window); }

void PanelWindow::show(std::vector<PanelRow> rows, int x, int y) {
    impl_->rows = std::move(rows);
    impl_->dark = desktopPrefersDark();
    g_object_set(gtk_settings_get_default(), "gtk-application-prefer-dark-theme", impl_->dark, nullptr);
    impl_->build();
    const bool was = impl_->shown;
    impl_->shown = true;
    impl_->placeNear(x, y);
    gtk_widget_show(impl_->window);
    gtk_window_present_with_time(GTK_WINDOW(impl_->window), GDK_CURRENT_TIME);
    if (!was && onShown) onShown();
}

void PanelWindow::hide() {
    if (!impl_->shown) return;
    impl_->shown = false;
    gtk_widget_hide(impl_->window);
    if (onHidden) onHidden();
}

bool PanelWindow::isShown() const { return impl_->shown; }

void PanelWindow::redraw() {
    for (GtkWidget* widget : impl_->drawn) gtk_widget_queue_draw(widget);
}

bool PanelWindow::dark() const { return impl_->dark; }

GtkWidget* PanelWindow::window() const { return impl_->window; }

}  // namespace ampwell::platform::linux_
