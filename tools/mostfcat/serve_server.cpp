// The web server of "mostfcat serve", built as the module
// libmostfcat_serve.so: cpp-httplib does the HTTP, the page is compiled in,
// and every API request goes to the tool's ServeHandler.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <string>
#include <thread>

#include "serve_assets.h"
#include "serve_module.h"

namespace mostfcat::cli {

namespace {

// Larger request bodies get 413 before a handler sees them.
constexpr size_t kMaxBody = size_t(8) << 20;
// Requests are served by this many threads; a client that keeps a
// connection open without sending ties up one of them for at most the read
// timeout, so a few misbehaving clients leave the others served.
constexpr size_t kWorkers = 16;
constexpr time_t kReadTimeoutSeconds = 5;
constexpr time_t kKeepAliveSeconds = 2;

// The host part of a Host header ("127.0.0.1:8080", "[::1]:8080").
std::string HostOf(const std::string& header) {
    if (!header.empty() && header[0] == '[') return header.substr(1, header.find(']') - 1);
    return header.substr(0, header.find(':'));
}

void Send(httplib::Response& res, const ApiReply& reply) {
    res.status = reply.status;
    res.set_content(reply.body, "application/json; charset=utf-8");
}

const char* ErrorText(int status) {
    switch (status) {
    case 400:
        return "bad request";
    case 403:
        return "this server answers only requests addressed to this machine's loopback name";
    case 404:
        return "no such page or API";
    case 413:
        return "the request body is larger than 8 MiB";
    case 415:
        return "send the request as a JSON object";
    default:
        return "the request could not be served";
    }
}

// Reads a request body; false (with the error reply set) when it is a
// multipart form or grows beyond the limit (a chunked body names no length
// up front).
bool ReadBody(ServeHandler& api, const httplib::Request& req, httplib::Response& res,
              const httplib::ContentReader& reader, std::string& body) {
    if (req.is_multipart_form_data()) {
        Send(res, api.Error(415, "send the request as a JSON object, not as a form"));
        return false;
    }
    bool tooLarge = false;
    bool read = reader([&](const char* data, size_t length) {
        tooLarge = body.size() + length > kMaxBody;
        if (!tooLarge) body.append(data, length);
        return !tooLarge;
    });
    if (tooLarge) Send(res, api.Error(413, ErrorText(413)));
    return read && !tooLarge;
}

void SetUpRoutes(httplib::Server& server, ServeHandler& api, const std::string& host) {
    // The page loads nothing from elsewhere and runs no inline script: a
    // catalog text that holds markup cannot run even if it reached the page.
    server.set_default_headers(
        {{"Content-Security-Policy",
          "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
          "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"},
         {"X-Content-Type-Options", "nosniff"},
         {"Cache-Control", "no-store"}});
    // Bound to loopback, requests must name a loopback host: a page of another
    // site whose name is made to point at 127.0.0.1 gets nothing.
    const bool loopbackOnly = IsLoopback(host);
    server.set_pre_routing_handler(
        [loopbackOnly, &api](const httplib::Request& req, httplib::Response& res) {
            if (!loopbackOnly || !req.has_header("Host") ||
                IsLoopback(HostOf(req.get_header_value("Host"))))
                return httplib::Server::HandlerResponse::Unhandled;
            Send(res, api.Error(403, ErrorText(403)));
            return httplib::Server::HandlerResponse::Handled;
        });

    for (size_t i = 0; i < kWebAssetCount; ++i) {
        const WebAsset& asset = kWebAssets[i];
        std::string pattern;
        for (const char* c = asset.path; *c; ++c) {
            if (*c == '.') pattern += '\\';
            pattern += *c;
        }
        server.Get(pattern, [&asset](const httplib::Request&, httplib::Response& res) {
            res.set_content(reinterpret_cast<const char*>(asset.data), asset.size, asset.type);
        });
    }
    server.Get("/api/outline", [&api](const httplib::Request&, httplib::Response& res) {
        Send(res, api.Outline());
    });
    server.Get("/api/form", [&api](const httplib::Request& req, httplib::Response& res) {
        if (!req.has_param("message"))
            return Send(res, api.Error(400, "give the operation as ?message=FBLOCK.INST.FKT.OP"));
        Send(res, api.Form(req.get_param_value("message")));
    });
    // The body is read here whatever its Content-Type says (a body sent as a
    // form would otherwise be cut at the library's small form limit); the
    // size limit above still holds.
    server.Post("/api/decode", [&api](const httplib::Request& req, httplib::Response& res,
                                      const httplib::ContentReader& reader) {
        std::string body;
        if (ReadBody(api, req, res, reader, body)) Send(res, api.Decode(body));
    });
    server.Post("/api/encode", [&api](const httplib::Request& req, httplib::Response& res,
                                      const httplib::ContentReader& reader) {
        std::string body;
        if (ReadBody(api, req, res, reader, body)) Send(res, api.Encode(body));
    });

    // Every failure answers with an error object; a reply that has one keeps it.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [&api](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
            Send(res, api.Error(res.status, ErrorText(res.status)));
            return httplib::Server::HandlerResponse::Handled;
        }));
    server.set_exception_handler(
        [&api](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
            std::string what = "internal error";
            try {
                if (ep) std::rethrow_exception(ep);
            } catch (const std::exception& e) {
                what += std::string(": ") + e.what();
            } catch (...) {
            }
            Send(res, api.Error(500, what));
        });
}

class Server final : public ServeServer {
public:
    ServeEnd Serve(const std::string& host, int port, ServeHandler& api) override {
        // Ctrl-C and SIGTERM are taken by this thread (sigtimedwait below);
        // the server's threads, started later, inherit the blocked mask.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
        std::signal(SIGPIPE, SIG_IGN); // a client that hangs up is no reason to end

        httplib::Server server;
        server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
        server.set_payload_max_length(kMaxBody);
        server.set_read_timeout(kReadTimeoutSeconds, 0);
        server.set_write_timeout(kReadTimeoutSeconds, 0);
        server.set_keep_alive_timeout(kKeepAliveSeconds);
        SetUpRoutes(server, api, host);

        if (port == 0)
            port = server.bind_to_any_port(host);
        else if (!server.bind_to_port(host, port))
            port = -1;
        if (port <= 0) return ServeEnd::CannotListen;
        api.Listening(port);

        std::atomic<bool> ended{false};
        std::thread worker([&] {
            server.listen_after_bind();
            ended = true;
        });
        bool stopped = false;
        const timespec tick{0, 200 * 1000 * 1000};
        while (!ended) {
            int s = sigtimedwait(&stopSignals, nullptr, &tick);
            if (s == SIGINT || s == SIGTERM) {
                stopped = true;
                break;
            }
        }
        // stop() does nothing until the server runs, so it is repeated until
        // the server thread has ended.
        while (!ended) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        worker.join();
        return stopped ? ServeEnd::Stopped : ServeEnd::Failed;
    }
};

} // namespace

} // namespace mostfcat::cli

extern "C" __attribute__((visibility("default"))) mostfcat::cli::ServeServer*
mostfcat_serve_server() {
    static mostfcat::cli::Server server;
    return &server;
}
