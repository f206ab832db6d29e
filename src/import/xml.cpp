#include "import/xml.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLString.hpp>

#include "platform/strings.h"

namespace mostfcat {

using namespace xercesc;

namespace {

bool g_XmlInitialised = false;

// Terminates the library when the process (or the shared library) unloads.
struct YXmlLibraryGuard {
    ~YXmlLibraryGuard() { TerminateXmlLibrary(); }
} g_XmlGuard;

} // namespace

bool InitXmlLibrary(std::string& message) {
    message.clear();
    if (g_XmlInitialised) return true;
    try {
        XMLPlatformUtils::Initialize();
    } catch (const XMLException& e) {
        message = "Error during initialization!";
        message += " :\n";
        message += XmlToLocal(e.getMessage());
        return false;
    }
    g_XmlInitialised = true;
    return true;
}

void TerminateXmlLibrary() {
    if (!g_XmlInitialised) return;
    g_XmlInitialised = false;
    XMLPlatformUtils::Terminate();
}

bool IsXmlLibraryInitialised() {
    return g_XmlInitialised;
}

void YDOMErrorHandler::Append(const char* kind, const SAXParseException& e) {
    errorSeen = true;
    messages +=
        StrFormat("%s at file '%s': Line: %d, Char: %d\n  Message: %s", kind,
                  XmlToLocal(e.getSystemId()).c_str(), static_cast<int>(e.getLineNumber()),
                  static_cast<int>(e.getColumnNumber()), XmlToLocal(e.getMessage()).c_str());
    messages += "\n";
}

void YDOMErrorHandler::warning(const SAXParseException& e) {
    Append("Warning", e);
}
void YDOMErrorHandler::error(const SAXParseException& e) {
    Append("Error", e);
}
void YDOMErrorHandler::fatalError(const SAXParseException& e) {
    Append("Fatal error", e);
}

void ConfigureParser(XercesDOMParser& parser, YDOMErrorHandler& handler) {
    parser.setValidationScheme(XercesDOMParser::Val_Auto);
    parser.setDoNamespaces(false);
    // Entity references are expanded into the surrounding text: the importers
    // read the first text child of an element, which would otherwise miss
    // text that came from an entity.
    parser.setCreateEntityReferenceNodes(false);
    parser.setErrorHandler(&handler);
}

bool ParseFile(XercesDOMParser& parser, const std::string& path, std::string& message,
               bool validate, bool* terminateLibrary) {
    message.clear();
    if (terminateLibrary) *terminateLibrary = false;
    if (validate) {
        parser.setValidationScheme(XercesDOMParser::Val_Auto);
        parser.setLoadExternalDTD(true);
    } else {
        parser.setValidationScheme(XercesDOMParser::Val_Never);
        parser.setLoadExternalDTD(false);
    }
    try {
        parser.parse(path.c_str());
    } catch (const XMLException& e) {
        message = "Error during parsing '" + path + "'\n" + "Exception message is:\n" +
                  XmlToLocal(e.getMessage()) + "\n";
        return false;
    } catch (const DOMException& e) {
        message = "Error during parsing '" + path + "'\n" + "Exception message is:\n" +
                  XmlToLocal(e.getMessage()) + "\n";
        if (terminateLibrary) *terminateLibrary = true;
        return false;
    } catch (...) {
        message = "Error during parsing '" + path + "'\n";
        if (terminateLibrary) *terminateLibrary = true;
        return false;
    }
    return true;
}

void XmlToLocal(const XMLCh* text, std::string& out) {
    out.clear();
    if (!text) return;
    for (const XMLCh* p = text; *p; ++p) {
        XMLCh c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && (p[1] >= 0xDC00 && p[1] <= 0xDFFF)) ++p; // one character
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
}

std::string XmlToLocal(const XMLCh* text) {
    std::string out;
    XmlToLocal(text, out);
    return out;
}

bool XmlEquals(const XMLCh* text, const char* ascii) {
    if (!text) return false;
    const unsigned char* a = reinterpret_cast<const unsigned char*>(ascii);
    while (*a) {
        if (*text != *a) return false;
        ++text;
        ++a;
    }
    return *text == 0;
}

} // namespace mostfcat
