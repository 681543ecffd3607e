#include "platform/linux/SharedUdevMonitor.hpp"

#include <glib-unix.h>
#include <glib.h>

#include <vector>

namespace ampwell::platform::linux_ {

SharedUdevMonitor::Subscription::~Subscription() {
    if (auto owner = owner_.lock()) owner->unsubscribe(token_);
}

SharedUdevMonitor::SharedUdevMonitor(GMainContext* context) : context_(context) {}

SharedUdevMonitor::~SharedUdevMonitor() { close(); }

std::unique_ptr<SharedUdevMonitor::Subscription> SharedUdevMonitor::subscribe(Listener listener) {
    if (!monitor_) {
        monitor_ = UdevMonitor::open();
        if (!monitor_) return nullptr;
        source_ = g_unix_fd_source_new(monitor_->fd(), G_IO_IN);
        GUnixFDSourceFunc readable = [](gint, GIOCondition, gpointer data) -> gboolean {
            static_cast<SharedUdevMonitor*>(data)->deliver();
            return G_SOURCE_CONTINUE;
        };
        g_source_set_callback(source_, G_SOURCE_FUNC(readable), this, nullptr);
        g_source_set_name(source_, "ampwell udev monitor");
        g_source_attach(source_, context_);
    }
    const std::uint64_t token = nextToken_++;
    listeners_.emplace(token, std::make_shared<const Listener>(std::move(listener)));
    return std::make_unique<Subscription>(weak_from_this(), token);
}

void SharedUdevMonitor::unsubscribe(std::uint64_t token) {
    listeners_.erase(token);
    // Nobody listens: the socket would only fill up with events no one reads.
    if (listeners_.empty()) close();
}

void SharedUdevMonitor::deliver() {
    const UdevBatch batch = monitor_->drain();
    if (!batch.any()) return;
    // A listener may end subscriptions (its own, the others', the last one, which closes the
    // monitor) or add new ones; only those subscribed now and still subscribed when their turn
    // comes hear of this batch.
    auto keepAlive = shared_from_this();
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, listener] : listeners_) tokens.push_back(token);
    for (auto token : tokens) {
        auto found = listeners_.find(token);
        if (found == listeners_.end()) continue;
        auto listener = found->second;
        (*listener)(batch);
    }
}

void SharedUdevMonitor::close() {
    if (source_ != nullptr) {
        g_source_destroy(source_);
        g_source_unref(source_);
        source_ = nullptr;
    }
    monitor_.reset();
}

}  // namespace ampwell::platform::linux_
