#pragma once

namespace zelvane {

// The OSC receiver and the HTTP server the controller owns. They are built
// outside the controller and handed to it with
// VectorController::attachRemoteServices(); the controller starts them when
// it was made with services on and stops them when it goes away.
class RemoteControlServices {
public:
    virtual ~RemoteControlServices() = default;
    // Starts the OSC receiver, then the HTTP server; failures are the
    // services' own business and are not reported to the controller.
    virtual void start() = 0;
    // Stops both; safe to call at any time and more than once.
    virtual void stop() = 0;
};

}  // namespace zelvane
