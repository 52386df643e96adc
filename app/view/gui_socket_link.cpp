#include "app/view/gui_socket_link.h"

#include <memory>

#include "app/gui_link/gui_socket.h"

namespace ruzd::app {

namespace {

class GuiSocketLink : public ServiceLink {
public:
    explicit GuiSocketLink(node::CVesmarinManagerCallback& view) : socket_(&view) {}

    void SendDebugSettings(const DebugSettings& settings) override {
        socket_.SendDebugSettings(settings);
    }
    int RequestFile(const std::string& path, std::string& text) override {
        return socket_.RequestFile(path, text);
    }

private:
    CVesmarinGUISocket socket_;
};

}  // namespace

ServiceLinkFactory GuiSocketLinkFactory() {
    return [](node::CVesmarinManagerCallback& view) -> std::unique_ptr<ServiceLink> {
        return std::make_unique<GuiSocketLink>(view);
    };
}

}  // namespace ruzd::app
