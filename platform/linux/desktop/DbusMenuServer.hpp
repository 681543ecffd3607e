#pragma once

#include "platform/linux/desktop/DbusMenuNode.hpp"

#include <memory>
#include <string>

typedef struct _DbusmenuServer DbusmenuServer;

namespace ampwell::platform::linux_ {

// The exported menu: a dbusmenu server at `path` on the session bus with a root node that the
// top-level entries are appended to. The host's events on the root ("opened", "closed",
// AboutToShow of item 0) arrive on the root node.
class DbusMenuServer {
public:
    static constexpr const char* kDefaultPath = "/MenuBar";

    explicit DbusMenuServer(const std::string& path = kDefaultPath);
    ~DbusMenuServer();
    DbusMenuServer(const DbusMenuServer&) = delete;
    DbusMenuServer& operator=(const DbusMenuServer&) = delete;

    const std::string& path() const { return path_; }
    DbusMenuNode& root() { return *root_; }

private:
    std::string path_;
    DbusmenuServer* server_;
    std::unique_ptr<DbusMenuNode> root_;
};

}  // namespace ampwell::platform::linux_
