#pragma once

#include <memory>

namespace ampwell::platform {

// What the application object tells its controller about the life of the process. Main thread.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Called once by Application::run(), on the main thread, before the loop handles any event.
    virtual void applicationDidFinishLaunching() = 0;
    // Called once when the application ends (terminate() or the desktop's own quit), on the main
    // thread, before run() returns. Nothing of the controller runs after it.
    virtual void applicationWillTerminate() = 0;
};

// How the application presents itself: a regular application has a window and a Dock icon; an
// accessory lives only in the status bar.
enum class ActivationPolicy { regular, accessory };

// The process's application object: its run loop, its place on screen and its end.
class Application {
public:
    virtual ~Application() = default;

    // The delegate is held weakly: once it is gone no callback reaches it. Main thread, before run().
    virtual void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;

    // Calls the delegate's applicationDidFinishLaunching, then runs the main queue's loop until the
    // application terminates; returns after applicationWillTerminate has run. Returns the process
    // exit status (0 for an ordinary end). Main thread; called once.
    virtual int run() = 0;

    // Brings the application to the front, even when another application is active, so that the
    // next alert is seen. Main thread; never fails (a desktop without the notion does nothing).
    virtual void activate() = 0;

    // Asks the application to end: after the current main-thread work has returned, the delegate's
    // applicationWillTerminate runs and run() returns. Later calls do nothing. Main thread.
    virtual void terminate() = 0;
};

}  // namespace ampwell::platform
