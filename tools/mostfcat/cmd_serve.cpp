// "mostfcat serve": a local web page that puts the catalogs' outline, a
// decoder and an encoder side by side. The API is in serve_api.cpp; the HTTP
// server is the module libmostfcat_serve.so (serve_server.cpp), loaded here
// only when the tool serves.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "serve_api.h"
#include "serve_module.h"
#include "tool_command.h"

namespace mostfcat::cli {

namespace {

namespace fs = std::filesystem;

constexpr int kDefaultPort = 8080;

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return false;
    port = std::stoi(text);
    return port <= 65535;
}

// What a browser should open for an address the server listens on.
std::string UrlHost(const std::string& host) {
    if (host == "0.0.0.0") return "127.0.0.1";
    if (host == "::") return "[::1]";
    if (host.find(':') != std::string::npos) return "[" + host + "]";
    return host;
}

// The server module: beside the program (a build tree), in the library
// folder of an installed program, or in the library folder this build
// installs to. Null with the reason when none loads.
ServeServer* LoadServer(std::string& why) {
    std::vector<fs::path> candidates;
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        candidates.push_back(exe.parent_path() / kServeModuleName);
#ifdef MOSTFCAT_SERVE_MODULE_FROM_BINDIR
        candidates.push_back(exe.parent_path() / MOSTFCAT_SERVE_MODULE_FROM_BINDIR / kServeModuleName);
#endif
    }
#ifdef MOSTFCAT_SERVE_MODULE_INSTALL_DIR
    candidates.push_back(fs::path(MOSTFCAT_SERVE_MODULE_INSTALL_DIR) / kServeModuleName);
#endif
    std::string tried;
    for (const fs::path& c : candidates) {
        std::string path = c.lexically_normal().string();
        if (!fs::is_regular_file(c, ec)) continue;
        // Stays loaded until the process ends.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* error = dlerror();
            tried += "; " + path + ": " + (error ? error : "cannot be loaded");
            continue;
        }
        using Entry = ServeServer* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(module, MOSTFCAT_SERVE_MODULE_ENTRY));
        if (ServeServer* server = entry ? entry() : nullptr) return server;
        tried += "; " + path + ": not the server module";
    }
    why = std::string("the web server module ") + kServeModuleName +
          (tried.empty() ? " was not found beside the program or in its library folder"
                         : " could not be loaded" + tried);
    return nullptr;
}

// The API over the catalogs, as the server asks for it; prints the address
// once the server listens.
class Handler final : public ServeHandler {
public:
    Handler(ServeCatalogs& catalogs, const std::string& host, size_t count)
        : m_Catalogs(catalogs), m_Host(host), m_Count(count) {}

    ApiReply Outline() override { return ApiReply{200, m_Catalogs.Outline()}; }
    ApiReply Form(const std::string& coordinates) override { return m_Catalogs.Form(coordinates); }
    ApiReply Decode(const std::string& body) override { return m_Catalogs.Decode(body); }
    ApiReply Encode(const std::string& body) override { return m_Catalogs.Encode(body); }
    ApiReply Error(int status, const std::string& text) override { return ApiError(status, text); }

    void Listening(int port) override {
        std::string url = "http://" + UrlHost(m_Host) + ":" + std::to_string(port) + "/";
        std::printf("mostfcat serve: %s  (%zu catalog%s; Ctrl-C stops)\n", url.c_str(), m_Count,
                    m_Count == 1 ? "" : "s");
        if (!IsLoopback(m_Host))
            std::printf("mostfcat serve: listening on %s as --host asks: other machines can "
                        "reach this server\n",
                        m_Host.c_str());
        std::fflush(stdout);
    }

private:
    ServeCatalogs& m_Catalogs;
    const std::string m_Host;
    const size_t m_Count;
};

int Run(const CommandArgs& a) {
    std::string problem;
    if (a.plain.empty()) problem = "serve needs at least one catalog file";
    int port = kDefaultPort;
    if (problem.empty() && a.Has("--port") && !ParsePort(a.Get("--port"), port))
        problem = "serve: --port takes a number from 0 (any free port) to 65535, not '" +
                  a.Get("--port") + "'";
    const std::string host = a.Get("--host", "127.0.0.1");
    if (problem.empty() && host.empty()) problem = "serve: --host needs an address";
    uint16_t channel = kAllChannels;
    if (problem.empty() && a.Has("--channel")) {
        std::string p = ParseChannel(a.Get("--channel"), channel);
        if (!p.empty()) problem = "serve: " + p;
    }
    if (!problem.empty()) return UsageError(problem);

    std::string why;
    ServeServer* server = LoadServer(why);
    if (!server) {
        PrintError("serve: " + why);
        return kExitFailed;
    }

    ServeCatalogs catalogs;
    int rc = catalogs.Open(a.plain, channel);
    if (rc != kExitOk) return rc;

    Handler handler(catalogs, host, a.plain.size());
    switch (server->Serve(host, port, handler)) {
    case ServeEnd::Stopped:
        std::printf("mostfcat serve: stopped\n");
        return kExitOk;
    case ServeEnd::CannotListen:
        PrintError("serve: cannot listen on " + host + ":" + a.Get("--port", "8080") +
                   " (the port is in use, or the address is not one of this machine)");
        return kExitFailed;
    case ServeEnd::Failed:
        break;
    }
    PrintError("serve: the server ended unexpectedly");
    return kExitFailed;
}

} // namespace

const ToolCommand kServeCommand = {
    "serve",
    {{"--port", true}, {"--host", true}, {"--channel", true}},
    nullptr,
    "  serve CATALOG... [--port N] [--host ADDR] [--channel N]\n"
    "        a local web page with the catalogs' outline, a decoder and an\n"
    "        encoder, and its JSON API under /api/. Prints the URL to open.\n"
    "        --port: 8080 by default, 0 any free port. --host: 127.0.0.1 by\n"
    "        default; another address (0.0.0.0: every one) lets other machines\n"
    "        in. Ctrl-C or SIGTERM stops it\n",
    Run,
};

} // namespace mostfcat::cli
