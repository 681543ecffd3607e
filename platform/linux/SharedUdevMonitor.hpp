#pragma once

#include "platform/linux/UdevMonitor.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

typedef struct _GMainContext GMainContext;
typedef struct _GSource GSource;

namespace ampwell::platform::linux_ {

// The one udev monitor of a registry, shared by all its notification ports, so that every uevent
// is received and sorted once however many observers watch. The monitor is opened when the first
// listener subscribes and closed when the last one goes, or with this object; while open, its
// source on the GLib context hands each drained batch to every listener subscribed at that moment,
// in subscription order. Main thread only, like the context it runs on.
class SharedUdevMonitor : public std::enable_shared_from_this<SharedUdevMonitor> {
public:
    using Listener = std::function<void(const UdevBatch&)>;

    // Ends the listener's subscription when destroyed; harmless once the monitor itself is gone.
    class Subscription {
    public:
        Subscription(std::weak_ptr<SharedUdevMonitor> owner, std::uint64_t token)
            : owner_(std::move(owner)), token_(token) {}
        ~Subscription();
        Subscription(const Subscription&) = delete;
        Subscription& operator=(const Subscription&) = delete;

    private:
        std::weak_ptr<SharedUdevMonitor> owner_;
        std::uint64_t token_;
    };

    explicit SharedUdevMonitor(GMainContext* context);
    ~SharedUdevMonitor();
    SharedUdevMonitor(const SharedUdevMonitor&) = delete;
    SharedUdevMonitor& operator=(const SharedUdevMonitor&) = delete;

    // nullptr when no udev monitor is open and none can be opened.
    std::unique_ptr<Subscription> subscribe(Listener listener);

private:
    friend class Subscription;
    void unsubscribe(std::uint64_t token);
    void deliver();
    void close();

    GMainContext* context_;
    std::unique_ptr<UdevMonitor> monitor_;
    GSource* source_ = nullptr;
    std::uint64_t nextToken_ = 1;
    // Shared, so that a listener that ends its own subscription keeps running to its end.
    std::map<std::uint64_t, std::shared_ptr<const Listener>> listeners_;
};

}  // namespace ampwell::platform::linux_
