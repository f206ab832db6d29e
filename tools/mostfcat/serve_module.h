// The boundary between "mostfcat serve" and its web server. The server (HTTP,
// routes, the built-in page) is a loadable module of its own,
// libmostfcat_serve.so, because the HTTP library links the TLS, compression
// and crypto libraries: a tool run that only imports, lists or decodes does
// not map them. The tool finds and loads the module when it serves; the two
// sides talk through the abstract classes below (no symbol of the tool is
// looked up by the module).
#pragma once

#include <string>

namespace mostfcat::cli {

// An answer of the API: the HTTP status and a JSON body.
struct ApiReply {
    int status = 200;
    std::string body;
};

// True for a host name or address of this machine's loopback interface: the
// server then answers only requests that name such a host, and the tool says
// when it listens on any other.
inline bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

// What the server asks of the tool. Calls come from the server's threads at
// the same time; the tool serialises what needs it.
class ServeHandler {
public:
    // GET /api/outline, GET /api/form?message=..., POST /api/decode and
    // POST /api/encode (the request body as it came).
    virtual ApiReply Outline() = 0;
    virtual ApiReply Form(const std::string& coordinates) = 0;
    virtual ApiReply Decode(const std::string& body) = 0;
    virtual ApiReply Encode(const std::string& body) = 0;
    // The error object of every failure the server itself answers.
    virtual ApiReply Error(int status, const std::string& text) = 0;
    // The server listens on port (the one it was given, or the free one it
    // took for port 0) and is about to serve.
    virtual void Listening(int port) = 0;

protected:
    ~ServeHandler() = default;
};

enum class ServeEnd {
    Stopped,      // SIGINT or SIGTERM ended it
    CannotListen, // the address or port cannot be bound
    Failed,       // the server ended on its own
};

class ServeServer {
public:
    // Serves host:port (0: any free port) until SIGINT or SIGTERM.
    virtual ServeEnd Serve(const std::string& host, int port, ServeHandler& handler) = 0;

protected:
    ~ServeServer() = default;
};

// The module's one exported function, which returns its ServeServer.
#define MOSTFCAT_SERVE_MODULE_ENTRY "mostfcat_serve_server"
constexpr const char* kServeModuleName = "libmostfcat_serve.so";

} // namespace mostfcat::cli
