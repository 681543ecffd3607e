// A tray host and notification service for screenshots: it stands in for a desktop panel on a
// virtual display, starts the program, opens its panel (light and dark), shows its exported menu
// as a panel would, shows the warning it posts, and writes a PNG of each into a directory.
// Run by scripts/screenshot-desktop under Xvfb and a private session bus.

#include "../BusHelpers.hpp"
#include "../MenuLayout.hpp"
#include "../StandInNotificationServer.hpp"
#include "../StandInWatcher.hpp"

#include <gtk/gtk.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace ampwell::tests;

namespace {

std::string program;
std::string simulation;
std::string outDir;

void pause(int ms) { spinUntil([] { return false; }, ms); }

// Captures the screen rectangle into `name` under the output directory.
bool capture(const std::string& name, int x, int y, int w, int h) {
    pause(400);
    const std::string file = outDir + "/" + name;
    const std::string command = "import -silent -window root -crop " + std::to_string(w) + "x" + std::to_string(h) +
                                "+" + std::to_string(x) + "+" + std::to_string(y) + " +repage " + file;
    const bool ok = std::system(command.c_str()) == 0;
    std::printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

// The geometry of the program's window titled `title`, from the X server.
bool windowGeometry(const std::string& title, int& x, int& y, int& w, int& h) {
    const std::string command = "xdotool search --onlyvisible --name '^" + title +
                                "$' getwindowgeometry --shell 2>/dev/null | tail -6";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    char line[128];
    int found = 0;
    while (std::fgets(line, sizeof line, pipe)) {
        found += std::sscanf(line, "X=%d", &x) + std::sscanf(line, "Y=%d", &y) + std::sscanf(line, "WIDTH=%d", &w) +
                 std::sscanf(line, "HEIGHT=%d", &h);
    }
    pclose(pipe);
    return found == 4;
}

GPid start(const std::string& theme, const std::string& home) {
    gchar** env = g_get_environ();
    env = g_environ_setenv(env, "AMPWELL_SIMULATION", simulation.c_str(), TRUE);
    env = g_environ_setenv(env, "HOME", home.c_str(), TRUE);
    env = g_environ_setenv(env, "XDG_CONFIG_HOME", home.c_str(), TRUE);
    env = g_environ_setenv(env, "XDG_RUNTIME_DIR", home.c_str(), TRUE);
    env = g_environ_setenv(env, "GTK_THEME", theme.c_str(), TRUE);
    env = g_environ_unsetenv(env, "AMPWELL_UI");
    const gchar* argv[] = {program.c_str(), nullptr};
    GPid pid = 0;
    g_spawn_async(nullptr, const_cast<gchar**>(argv), env, G_SPAWN_DEFAULT, nullptr, nullptr, &pid, nullptr);
    g_strfreev(env);
    return pid;
}

std::string itemStatus(GDBusConnection* peer, const std::string& item) {
    GVariant* v = getProperty(peer, item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Status");
    std::string s = v ? g_variant_get_string(v, nullptr) : "";
    if (v) g_variant_unref(v);
    return s;
}

void activate(GDBusConnection* peer, const std::string& item, int x, int y) {
    GVariant* r = callAndWait(peer, item, "/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                              g_variant_new("(ii)", x, y));
    if (r) g_variant_unref(r);
}

// The exported menu as a panel shows it: a GTK menu built from the layout.
GtkWidget* buildMenu(const LayoutEntry& entry) {
    GtkWidget* menu = gtk_menu_new();
    GSList* group = nullptr;
    for (const auto& child : entry.children) {
        if (child.property("visible") == "false") continue;
        GtkWidget* item = nullptr;
        std::string label = child.label;
        for (std::size_t at = label.find("__"); at != std::string::npos; at = label.find("__", at + 1)) label.erase(at, 1);
        if (child.property("type") == "'separator'") {
            item = gtk_separator_menu_item_new();
        } else if (child.property("toggle-type") == "'radio'") {
            item = gtk_radio_menu_item_new_with_label(group, label.c_str());
            group = gtk_radio_menu_item_get_group(GTK_RADIO_MENU_ITEM(item));
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), child.property("toggle-state") == "1");
        } else if (child.property("toggle-type") == "'checkmark'") {
            item = gtk_check_menu_item_new_with_label(label.c_str());
            gtk_check_menu_item_set_active(GTK_CHECK_MENU_ITEM(item), child.property("toggle-state") == "1");
        } else {
            item = gtk_menu_item_new_with_label(label.c_str());
        }
        if (child.property("enabled") == "false") gtk_widget_set_sensitive(item, FALSE);
        if (child.property("shortcut") == "[['Control', 'r']]" || child.property("shortcut") == "[['Control', 'q']]") {
            GtkWidget* label_widget = gtk_bin_get_child(GTK_BIN(item));
            const guint key = child.property("shortcut").find("'r'") != std::string::npos ? GDK_KEY_r : GDK_KEY_q;
            gtk_accel_label_set_accel(GTK_ACCEL_LABEL(label_widget), key, GDK_CONTROL_MASK);
        }
        if (!child.children.empty() || child.property("children-display") == "'submenu'")
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), buildMenu(child));
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    gtk_widget_show_all(menu);
    return menu;
}

void showNotification(const StandInNotificationServer::Posted& posted) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_default_size(GTK_WINDOW(window), 380, -1);
    gtk_window_move(GTK_WINDOW(window), 1280 - 380 - 16, 40);
    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_container_set_border_width(GTK_CONTAINER(box), 14);
    GtkWidget* app = gtk_label_new(posted.appName.c_str());
    gtk_widget_set_opacity(app, 0.6);
    gtk_label_set_xalign(GTK_LABEL(app), 0);
    GtkWidget* title = gtk_label_new(nullptr);
    gchar* markup = g_markup_printf_escaped("<b>%s</b>", posted.summary.c_str());
    gtk_label_set_markup(GTK_LABEL(title), markup);
    g_free(markup);
    gtk_label_set_xalign(GTK_LABEL(title), 0);
    GtkWidget* body = gtk_label_new(posted.body.c_str());
    gtk_label_set_line_wrap(GTK_LABEL(body), TRUE);
    gtk_label_set_line_wrap_mode(GTK_LABEL(body), PANGO_WRAP_WORD_CHAR);
    gtk_widget_set_size_request(body, 352, -1);
    gtk_label_set_max_width_chars(GTK_LABEL(body), 1);  // wrap at the requested width, not wider
    gtk_label_set_xalign(GTK_LABEL(body), 0);
    GtkWidget* buttons = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    gtk_box_set_homogeneous(GTK_BOX(buttons), TRUE);
    for (std::size_t i = 1; i < posted.actions.size(); i += 2)
        gtk_box_pack_start(GTK_BOX(buttons), gtk_button_new_with_label(posted.actions[i].c_str()), TRUE, TRUE, 0);
    gtk_box_pack_start(GTK_BOX(box), app, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), title, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), body, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), buttons, FALSE, FALSE, 4);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show_all(window);
    pause(300);
    int x = 0, y = 0, w = 0, h = 0;
    gtk_window_get_position(GTK_WINDOW(window), &x, &y);
    w = gtk_widget_get_allocated_width(window);
    h = gtk_widget_get_allocated_height(window);
    x = 1280 - w - 16;  // at the top right, wholly on screen
    gtk_window_move(GTK_WINDOW(window), x, y);
    pause(200);
    capture("notification.png", x, y, w, h);
    gtk_widget_destroy(window);
}

bool shootPanel(StandInWatcher& watcher, const std::string& item, const std::string& name) {
    activate(watcher.connection(), item, 1100, 0);
    int x = 0, y = 0, w = 0, h = 0;
    const bool shown = spinUntil([&] { return windowGeometry("Ampwell", x, y, w, h); }, 5000);
    if (!shown) {
        std::fprintf(stderr, "the panel did not open\n");
        return false;
    }
    capture(name, x, y, w, h);
    activate(watcher.connection(), item, 1100, 0);  // a second click closes it
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 || !gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "usage: %s OUT_DIR PROGRAM SIMULATION (on a display and a session bus)\n", argv[0]);
        return 2;
    }
    outDir = argv[1];
    program = argv[2];
    simulation = argv[3];
    StandInWatcher watcher;
    StandInNotificationServer notifications;
    if (!watcher.waitUntilOwned() || !notifications.waitUntilOwned()) return 1;
    int failures = 0;
    for (const std::string theme : {"Adwaita", "Adwaita:dark"}) {
        const bool dark = theme != "Adwaita";
        gchar* home = g_dir_make_tmp("ampwell-shot-XXXXXX", nullptr);
        const std::size_t before = watcher.registered().size();
        const GPid pid = start(theme, home);
        if (!spinUntil([&] { return watcher.registered().size() > before; }, 20000)) return 1;
        const std::string item = watcher.registered().back();
        spinUntil([&] { return itemStatus(watcher.connection(), item) == "Active"; }, 10000);
        pause(1500);
        failures += !shootPanel(watcher, item, dark ? "panel-dark.png" : "panel-light.png");
        if (!dark) {
            GVariant* menuPath = getProperty(watcher.connection(), item, "/StatusNotifierItem",
                                             "org.kde.StatusNotifierItem", "Menu");
            const std::string path = menuPath ? g_variant_get_string(menuPath, nullptr) : "/MenuBar";
            if (menuPath) g_variant_unref(menuPath);
            sendMenuEvent(watcher.connection(), item, path, 0, "opened");
            pause(500);
            LayoutEntry layout = readLayout(watcher.connection(), item, path);
            GtkWidget* anchor = gtk_window_new(GTK_WINDOW_POPUP);
            gtk_window_move(GTK_WINDOW(anchor), 900, 0);
            gtk_window_resize(GTK_WINDOW(anchor), 1, 1);
            gtk_widget_show(anchor);
            GtkWidget* menu = buildMenu(layout);
            GdkRectangle at{0, 0, 1, 1};
            gtk_menu_popup_at_rect(GTK_MENU(menu), gtk_widget_get_window(anchor), &at, GDK_GRAVITY_SOUTH_WEST,
                                   GDK_GRAVITY_NORTH_WEST, nullptr);
            pause(600);
            GdkWindow* shown = gtk_widget_get_window(gtk_widget_get_toplevel(menu));
            int x = 0, y = 0;
            gdk_window_get_origin(shown, &x, &y);
            capture("menu.png", x, y, gdk_window_get_width(shown), gdk_window_get_height(shown));
            gtk_menu_popdown(GTK_MENU(menu));
            gtk_widget_destroy(anchor);
            sendMenuEvent(watcher.connection(), item, path, 0, "closed");
            // The desk's iPad keeps losing charge; the warning comes a few simulated minutes in.
            if (spinUntil([&] { return !notifications.posted().empty(); }, 40000)) showNotification(notifications.posted().back());
            else {
                std::fprintf(stderr, "no notification was posted\n");
                ++failures;
            }
        }
        kill(pid, SIGTERM);
        pause(300);
        gchar* command = g_strdup_printf("rm -rf '%s'", home);
        if (std::system(command) != 0) std::fprintf(stderr, "could not remove %s\n", home);
        g_free(command);
        g_free(home);
    }
    return failures == 0 ? 0 : 1;
}
