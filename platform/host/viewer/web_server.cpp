// SPDX-License-Identifier: AGPL-3.0-or-later
#include "viewer/web_server.h"

#include "viewer/embedded_assets.h"
#include "viewer/input_form.h"
#include "viewer/json_writer.h"
#include "viewer/web_security.h"

#include <httplib.h>

#include <atomic>
#include <list>
#include <mutex>
#include <regex>
#include <stdexcept>

namespace vellora::viewer {

namespace {

constexpr size_t kMaxBody = 16 * 1024;  // an input request is a few fields
constexpr int kMaxStreams = 4;          // event streams open at once
// A stream with nothing new writes a comment this often: a write is how a
// page that has gone is noticed (a closed socket still selects writable).
constexpr auto kHeartbeat = std::chrono::milliseconds(300);

// The state and the page view's drawing as one JSON document.
std::string StateDocument(const Publication::Snapshot& s) {
    JsonWriter j;
    j.beginObject().key("version").value(static_cast<int64_t>(s.stateVersion + s.frameVersion));
    j.key("state")
        .raw(s.state.empty() ? "null" : s.state)
        .key("frame")
        .raw(s.frame.empty() ? "null" : s.frame)
        .endObject();
    return j.text();
}

// Cookies are shared by every port of a host: the name carries the port.
std::string CookieName(int port) { return "vellora_" + std::to_string(port); }

void Refuse(httplib::Response& res, int status, const std::string& why) {
    res.status = status;
    res.set_content(why + "\n", "text/plain; charset=utf-8");
}

// A picture the publication holds, or 404 when the key names none.
void ServePng(std::shared_ptr<const Bytes> png, httplib::Response& res) {
    if (!png) return Refuse(res, 404, "not found");
    res.set_content(reinterpret_cast<const char*>(png->data()), png->size(), "image/png");
}

// One of the page's own files, built into the program.
void ServeAsset(const char* name, httplib::Response& res) {
    const EmbeddedAsset* a = FindEmbeddedAsset(name);
    if (a == nullptr) return Refuse(res, 404, "not found");
    res.set_content(reinterpret_cast<const char*>(a->data), a->size, a->contentType);
}

// The files of the page: the document, its style, its script and the
// script's parts in files of their own.
constexpr const char* kPageFiles[][2] = {
    {"/", "index.html"},
    {"/viewer.css", "viewer.css"},
    {"/viewer.js", "viewer.js"},
    {"/region_panel.js", "region_panel.js"},
    {"/edit_keys.js", "edit_keys.js"},
    {"/open_dialog.js", "open_dialog.js"},
    {"/box_settings.js", "box_settings.js"},
    {"/page_list.js", "page_list.js"},
};

void SetLimitsAndHeaders(httplib::Server& s) {
    s.new_task_queue = [] { return new httplib::ThreadPool(12); };
    s.set_payload_max_length(kMaxBody);
    s.set_keep_alive_timeout(2);
    s.set_read_timeout(5);
    s.set_default_headers({
        {"Cache-Control", "no-store"},
        {"X-Content-Type-Options", "nosniff"},
        {"Referrer-Policy", "no-referrer"},
        {"X-Frame-Options", "DENY"},
        {"Content-Security-Policy",
         "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
         "frame-ancestors 'none'; base-uri 'none'; form-action 'none'"},
    });
    s.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty()) res.set_content("refused\n", "text/plain; charset=utf-8");
    });
    // A fault inside a handler is the server's, not the request's.
    s.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        Refuse(res, 500, "the request could not be handled");
    });
}

}  // namespace

// An open event stream. A new page always gets one: when all are taken,
// the oldest gives way (a page that reloaded leaves its old one behind
// until a write fails).
struct EventStream {
    std::atomic<bool> replaced{false};
};

struct WebServer::Impl {
    Impl(UserEventQueue& e, Publication& p) : events(e), publication(p) {}
    UserEventQueue& events;
    Publication& publication;
    httplib::Server server;
    RateLimiter limiter{200, 200};  // far above a page's mouse moves, far below a flood
    std::mutex streamsMutex;
    std::list<std::shared_ptr<EventStream>> streams;  // oldest first
    std::atomic<bool> stopping{false};

    std::shared_ptr<EventStream> openStream() {
        auto stream = std::make_shared<EventStream>();
        std::lock_guard<std::mutex> lock(streamsMutex);
        if (streams.size() >= kMaxStreams) {
            streams.front()->replaced = true;
            streams.pop_front();
        }
        streams.push_back(stream);
        return stream;
    }
    void closeStream(const std::shared_ptr<EventStream>& stream) {
        {
            std::lock_guard<std::mutex> lock(streamsMutex);
            streams.remove(stream);
        }
        // Whatever that page held (a mouse button in a drag) is let go.
        if (!stopping) {
            UserEvent gone;
            gone.kind = UserEvent::PageGone;
            events.push(gone);
        }
    }

    // Every request's checks, in this order: a request without the token is
    // refused before it counts against the rate, so a flood from elsewhere
    // cannot starve the page.
    httplib::Server::HandlerResponse admit(const WebServer& server, const httplib::Request& req,
                                           httplib::Response& res) {
        using R = httplib::Server::HandlerResponse;
        if (req.get_header_value_count("Host") != 1) {
            Refuse(res, 400, "a request names one Host");
            return R::Handled;
        }
        if (!HostAllowed(req.get_header_value("Host"), server.port_)) {
            Refuse(res, 403, "this server answers only to 127.0.0.1 and localhost on its own port");
            return R::Handled;
        }
        std::optional<std::string> cookie = CookieValue(req.get_header_value("Cookie"), CookieName(server.port_));
        bool byCookie = cookie && TokensEqual(*cookie, server.token_);
        bool byUrl =
            req.get_param_value_count("token") == 1 && TokensEqual(req.get_param_value("token"), server.token_);
        if (!byCookie && !byUrl) {
            Refuse(res, 403, "the access token is missing or wrong: open the address vellora printed");
            return R::Handled;
        }
        if (!limiter.allow()) {
            Refuse(res, 429, "too many requests");
            return R::Handled;
        }
        if (req.method != "GET" && req.method != "HEAD" &&
            !OriginAllowed(req.get_header_value("Origin"), server.port_)) {
            Refuse(res, 403, "requests that change anything must come from the viewer's own page");
            return R::Handled;
        }
        if (byUrl) {
            // The token becomes a cookie sent only under this run's prefix (no
            // server on another port sees it), and leaves the address bar.
            res.set_header("Set-Cookie", CookieName(server.port_) + "=" + server.token_ + "; Path=" + server.prefix_ +
                                             "/; HttpOnly; SameSite=Lax");
            if (req.method == "GET" && req.path == server.prefix_ + "/") {
                res.status = 303;
                res.set_header("Location", server.prefix_ + "/");
                res.set_content("", "text/plain");
                return R::Handled;
            }
        }
        return R::Unhandled;
    }

    // The page's event stream: the whole state first, then each change.
    void serveEvents(httplib::Response& res) {
        std::shared_ptr<EventStream> stream = openStream();
        auto seen = std::make_shared<std::pair<uint64_t, uint64_t>>(0, 0);
        auto started = std::make_shared<bool>(false);
        res.set_header("Cache-Control", "no-store");
        res.set_chunked_content_provider(
            "text/event-stream",
            [this, seen, started, stream](size_t, httplib::DataSink& sink) {
                auto send = [&](const std::string& text) { return sink.write(text.data(), text.size()); };
                if (stream->replaced) {
                    send("event: replaced\ndata: {}\n\n");
                    sink.done();
                    return true;
                }
                std::optional<Publication::Snapshot> s;
                if (!*started) {
                    *started = true;
                    // A dropped stream comes back soon; the first message is the state as it is.
                    if (!send("retry: 500\n\n")) return false;
                    s = publication.current();
                } else {
                    s = publication.waitNewer(seen->first, seen->second, kHeartbeat);
                }
                if (publication.closed()) {
                    send("event: bye\ndata: {}\n\n");
                    sink.done();
                    return true;
                }
                if (!s) return send(":\n\n");
                bool ok = true;
                // A drag sends only frames: the state is sent when it changed.
                if (s->stateVersion != seen->first && !s->state.empty())
                    ok = send("event: state\ndata: " + s->state + "\n\n");
                if (ok && s->frameVersion != seen->second && !s->frame.empty())
                    ok = send("event: frame\ndata: " + s->frame + "\n\n");
                *seen = {s->stateVersion, s->frameVersion};
                return ok;
            },
            [this, stream](bool) { closeStream(stream); });
    }

    // The state and the page view's drawing as they are now.
    void serveState(httplib::Response& res) {
        res.set_content(StateDocument(publication.current()), "application/json");
    }

    // File > Open's listing of a folder.
    static void serveListing(const FileChooser* chooser, const httplib::Request& req, httplib::Response& res) {
        if (chooser == nullptr) return Refuse(res, 404, "this viewer has no file chooser");
        res.set_content(chooser->listing(req.has_param("dir") ? req.get_param_value("dir") : ""), "application/json");
    }

    // Pictures by the keys the host made ("p12", "cursor-102", "t12"):
    // nothing from the request names a file.
    void servePageImage(const httplib::Request& req, httplib::Response& res) {
        ServePng(publication.image(req.matches[1]), res);
    }
    void serveAssetImage(const httplib::Request& req, httplib::Response& res) {
        ServePng(publication.asset(std::string(req.matches[1]) + ".png"), res);
    }
    void serveThumbnail(const httplib::Request& req, httplib::Response& res) {
        ServePng(publication.thumbnail(req.matches[1]), res);
    }

    // The page's input, put on the event queue for the UI thread.
    void takeInput(const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) != 0)
            return Refuse(res, 415, "input comes as a form");
        FormFields fields;
        for (const auto& [name, value] : req.params) {
            if (name == "token") continue;
            if (!fields.emplace(name, value).second)
                return Refuse(res, 400, "the field \"" + name + "\" is given twice");
        }
        try {
            events.push(ParseUserEvent(fields));
        } catch (const BadRequest& e) {
            return Refuse(res, 400, e.what());
        }
        res.status = 204;
    }
};

WebServer::WebServer(UserEventQueue& events, Publication& publication)
    : impl_(std::make_unique<Impl>(events, publication)), token_(NewToken()), prefix_("/" + NewToken().substr(0, 32)) {}

WebServer::~WebServer() { stop(); }

std::string WebServer::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + prefix_ + "/?token=" + token_;
}

void WebServer::start(int port) {
    httplib::Server& s = impl_->server;
    SetLimitsAndHeaders(s);
    s.set_pre_routing_handler(
        [this](const httplib::Request& req, httplib::Response& res) { return impl_->admit(*this, req, res); });
    addRoutes();
    listenOn(port);
}

// Every address the server answers, each under the run's prefix.
void WebServer::addRoutes() {
    httplib::Server& s = impl_->server;
    Impl& impl = *impl_;
    using Request = const httplib::Request&;
    using Response = httplib::Response&;
    const std::string& p = prefix_;
    for (const auto& [path, asset] : kPageFiles)
        s.Get(p + path, [name = asset](Request, Response res) { ServeAsset(name, res); });
    s.Get(p + "/files", [this](Request req, Response res) { Impl::serveListing(chooser_, req, res); });
    s.Get(p + "/state", [&impl](Request, Response res) { impl.serveState(res); });
    s.Get(p + R"(/view/(p[0-9]{1,9})\.png)", [&impl](Request req, Response res) { impl.servePageImage(req, res); });
    s.Get(p + R"(/asset/((?:bitmap|cursor)-[0-9]{1,5})\.png)",
          [&impl](Request req, Response res) { impl.serveAssetImage(req, res); });
    s.Get(p + R"(/thumb/(t[0-9]{1,9})\.png)", [&impl](Request req, Response res) { impl.serveThumbnail(req, res); });
    s.Get(p + "/events", [&impl](Request, Response res) { impl.serveEvents(res); });
    s.Post(p + "/input", [&impl](Request req, Response res) { impl.takeInput(req, res); });
}

void WebServer::listenOn(int port) {
    httplib::Server& s = impl_->server;
    if (port == 0) {
        port_ = s.bind_to_any_port("127.0.0.1");
        if (port_ <= 0) throw std::runtime_error("cannot listen on 127.0.0.1: no free port");
    } else {
        if (!s.bind_to_port("127.0.0.1", port))
            throw std::runtime_error("cannot listen on 127.0.0.1:" + std::to_string(port) + " (in use?)");
        port_ = port;
    }
    thread_ = std::thread([&s] { s.listen_after_bind(); });
}

void WebServer::stop() {
    impl_->stopping = true;
    impl_->publication.close();
    if (thread_.joinable()) {
        impl_->server.stop();
        thread_.join();
    }
}

}  // namespace vellora::viewer
