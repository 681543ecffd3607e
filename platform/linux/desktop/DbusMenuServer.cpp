#include "platform/linux/desktop/DbusMenuServer.hpp"

#include <libdbusmenu-glib/menuitem.h>
#include <libdbusmenu-glib/server.h>

namespace ampwell::platform::linux_ {

DbusMenuServer::DbusMenuServer(const std::string& path) : path_(path), server_(dbusmenu_server_new(path.c_str())) {
    DbusmenuMenuitem* root = dbusmenu_menuitem_new_with_id(0);
    dbusmenu_server_set_root(server_, root);
    root_ = std::make_unique<DbusMenuNode>(DbusMenuNode::adopt(root));
    g_object_unref(root);  // the server and the node hold it
}

DbusMenuServer::~DbusMenuServer() {
    root_.reset();
    g_object_unref(server_);
}

}  // namespace ampwell::platform::linux_
