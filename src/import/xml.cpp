#include "import/xml.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>
#include <vector>

#include "platform/paths.h"

namespace mostfcat {

namespace {

constexpr const char* kModuleName = "libmostfcat_xml.so";

// Where the module may be: beside the library (or the program the library
// is linked into), in the library folder of an installed program, in the
// build tree and in the install tree it was built for.
std::vector<std::string> ModuleCandidates() {
    namespace fs = std::filesystem;
    std::vector<std::string> out;
    std::string self = ModuleFilePath();
    if (!self.empty()) {
        fs::path dir = fs::path(self).parent_path();
        out.push_back((dir / kModuleName).string());
#ifdef MOSTFCAT_XML_MODULE_FROM_BINDIR
        out.push_back((dir / MOSTFCAT_XML_MODULE_FROM_BINDIR / kModuleName).string());
#endif
    }
#ifdef MOSTFCAT_XML_MODULE_BUILD_DIR
    out.push_back(std::string(MOSTFCAT_XML_MODULE_BUILD_DIR) + "/" + kModuleName);
#endif
#ifdef MOSTFCAT_XML_MODULE_INSTALL_DIR
    out.push_back(std::string(MOSTFCAT_XML_MODULE_INSTALL_DIR) + "/" + kModuleName);
#endif
    return out;
}

YXmlParser* LoadParser(std::string& message) {
    std::string tried;
    for (const std::string& path : ModuleCandidates()) {
        if (!IsFileReadable(path)) continue;
        // Kept loaded for the rest of the process: documents and the
        // library's process-wide state live in it.
        void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!module) {
            const char* why = dlerror();
            tried += "\n  " + path + ": " + (why ? why : "cannot be loaded");
            continue;
        }
        using Entry = YXmlParser* (*)();
        auto entry = reinterpret_cast<Entry>(dlsym(module, MOSTFCAT_XML_PARSER_ENTRY));
        if (YXmlParser* parser = entry ? entry() : nullptr) return parser;
        tried += "\n  " + path + ": not the parser module";
    }
    message = "Error during initialization!";
    message += " :\nThe XML parser module ";
    message += kModuleName;
    message += tried.empty() ? " was not found" : " could not be loaded:" + tried;
    return nullptr;
}

} // namespace

YXmlParser* XmlParser(std::string& message) {
    static std::mutex lock;
    static YXmlParser* parser = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    message.clear();
    if (!parser) parser = LoadParser(message);
    return parser;
}

bool InitXmlLibrary(std::string& message) {
    YXmlParser* parser = XmlParser(message);
    return parser && parser->Init(message);
}

} // namespace mostfcat
