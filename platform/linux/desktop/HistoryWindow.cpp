#include "platform/linux/desktop/HistoryWindow.hpp"

#include "platform/drawing/cairo/CairoCanvas.hpp"
#include "platform/linux/desktop/GtkSession.hpp"
#include "platform/linux/desktop/PanelWindow.hpp"

#include <gtk/gtk.h>

#include <vector>

namespace ampwell::platform::linux_ {

namespace {
constexpr int kInitialWidth = 760;
constexpr int kInitialHeight = 420;
// The span shown first: the day, the span the drain warning is about.
constexpr std::size_t kFirstSpan = 1;
}  // namespace

struct HistoryWindow::Impl {
    HistoryOffer offer;
    std::size_t span = kFirstSpan;
    HistoryPicture picture;
    GtkWidget* window = nullptr;
    GtkWidget* area = nullptr;
    std::vector<GtkWidget*> buttons;
    bool choosing = false;  // the buttons are being set from code, not by the user

    void build() {
        window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window), offer.title.c_str());
        gtk_window_set_default_size(GTK_WINDOW(window), kInitialWidth, kInitialHeight);
        // Closing hides: the next show is at once and keeps the chosen span.
        g_signal_connect(window, "delete-event", G_CALLBACK(gtk_widget_hide_on_delete), nullptr);
        GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
        gtk_container_set_border_width(GTK_CONTAINER(column), 8);
        GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
        gtk_style_context_add_class(gtk_widget_get_style_context(row), GTK_STYLE_CLASS_LINKED);
        gtk_widget_set_halign(row, GTK_ALIGN_CENTER);
        for (std::size_t i = 0; i < offer.spans.size(); ++i) {
            GtkWidget* button = gtk_toggle_button_new_with_label(offer.spans[i].c_str());
            g_object_set_data(G_OBJECT(button), "ampwell-span", GSIZE_TO_POINTER(i));
            g_signal_connect(button, "toggled", G_CALLBACK(+[](GtkToggleButton* toggled, gpointer self) {
                                 auto* impl = static_cast<Impl*>(self);
                                 if (impl->choosing || !gtk_toggle_button_get_active(toggled)) return;
                                 impl->choose(GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(toggled), "ampwell-span")));
                             }),
                             this);
            gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 0);
            buttons.push_back(button);
        }
        area = gtk_drawing_area_new();
        g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer self) -> gboolean {
                             auto* impl = static_cast<Impl*>(self);
                             if (!impl->picture.draw) return FALSE;
                             cairo::CairoCanvas canvas(cr, desktopPrefersDark() ? Appearance::dark : Appearance::light);
                             impl->picture.draw(canvas);
                             return TRUE;
                         }),
                         this);
        g_signal_connect(area, "size-allocate", G_CALLBACK(+[](GtkWidget*, GdkRectangle* allocation, gpointer self) {
                             auto* impl = static_cast<Impl*>(self);
                             if (static_cast<int>(impl->picture.size.width) != allocation->width)
                                 impl->redraw(allocation->width);
                         }),
                         this);
        GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_NEVER, GTK_POLICY_AUTOMATIC);
        gtk_container_add(GTK_CONTAINER(scroller), area);
        gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 0);
        gtk_box_pack_start(GTK_BOX(column), scroller, TRUE, TRUE, 0);
        gtk_container_add(GTK_CONTAINER(window), column);
    }

    void choose(std::size_t chosen) {
        span = chosen;
        choosing = true;
        for (std::size_t i = 0; i < buttons.size(); ++i)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(buttons[i]), i == span);
        choosing = false;
        const int width = gtk_widget_get_allocated_width(area);
        redraw(width > 1 ? width : kInitialWidth - 16);
    }

    void redraw(int width) {
        if (!offer.chart) return;
        picture = offer.chart(span, static_cast<double>(width));
        gtk_widget_set_size_request(area, -1, static_cast<int>(picture.size.height));
        gtk_widget_queue_draw(area);
    }
};

HistoryWindow::HistoryWindow(GtkSession& gtk) : gtk_(gtk), impl_(std::make_unique<Impl>()) {}

HistoryWindow::~HistoryWindow() {
    if (impl_->window) gtk_widget_destroy(impl_->window);
}

void HistoryWindow::show(const HistoryOffer& offer) {
    if (!gtk_.ready()) return;
    impl_->offer = offer;
    if (!impl_->window) impl_->build();
    gtk_widget_show_all(impl_->window);
    impl_->choose(std::min(impl_->span, offer.spans.empty() ? std::size_t{0} : offer.spans.size() - 1));
    gtk_window_present_with_time(GTK_WINDOW(impl_->window), GDK_CURRENT_TIME);
}

bool HistoryWindow::isShown() const { return impl_->window && gtk_widget_get_visible(impl_->window); }

}  // namespace ampwell::platform::linux_
