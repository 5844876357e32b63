// SPDX-License-Identifier: AGPL-3.0-or-later
// The viewer's local HTTP server: the page's files, the published state and
// images, a stream of changes (Server-Sent Events), and the page's input,
// which it only puts on the event queue. Every request must come to the
// loopback address with the run's token; see web_security.h.
#pragma once

#include "viewer/file_chooser.h"
#include "viewer/publication.h"
#include "viewer/user_events.h"

#include <memory>
#include <string>
#include <thread>

namespace vellora::viewer {

class WebServer {
public:
    WebServer(UserEventQueue& events, Publication& publication);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    // Binds 127.0.0.1:port (0: a free port) and serves on threads of its
    // own. Throws std::runtime_error when the port cannot be had.
    void start(int port);
    // File > Open's folders, served as /files?dir=...; before start.
    void setFileChooser(const FileChooser* chooser) { chooser_ = chooser; }
    void stop();
    int port() const { return port_; }
    // The page's address with its token. The page is served under a random
    // prefix of the run's own, where the token's cookie is scoped.
    std::string url() const;
    const std::string& prefix() const { return prefix_; }
    const std::string& token() const { return token_; }

private:
    void addRoutes();
    void listenOn(int port);

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
    int port_ = 0;
    const FileChooser* chooser_ = nullptr;
    std::string token_;
    std::string prefix_;
};

}  // namespace vellora::viewer
