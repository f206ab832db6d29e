// The parser module: everything that calls into Xerces-C by symbol (process
// initialisation, the parser, its error handler and security settings). It
// is built as a loadable module of its own, so that the library maps the
// parser's libraries only when it imports a catalog.
#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>

#include <string>

#include "import/xml.h"

namespace mostfcat {

using namespace xercesc;

namespace {

// Collects the parser's diagnostics as text; any diagnostic, warnings
// included, marks the parse as failed.
class YDOMErrorHandler : public ErrorHandler {
public:
    void warning(const SAXParseException& e) override { Append("Warning", e); }
    void error(const SAXParseException& e) override { Append("Error", e); }
    void fatalError(const SAXParseException& e) override { Append("Fatal error", e); }
    void resetErrors() override {}

    bool errorSeen = false;
    std::string messages;

private:
    void Append(const char* kind, const SAXParseException& e) {
        errorSeen = true;
        messages += kind;
        messages += " at file '" + XmlToLocal(e.getSystemId()) + "': Line: " +
                    std::to_string(static_cast<int>(e.getLineNumber())) +
                    ", Char: " + std::to_string(static_cast<int>(e.getColumnNumber())) +
                    "\n  Message: " + XmlToLocal(e.getMessage()) + "\n";
    }
};

class YParse : public YXmlParse {
public:
    YParse() {
        // Bounds entity expansion so that a hostile internal DTD subset
        // cannot make the parse explode; outlives the parser.
        m_Security.setEntityExpansionLimit(100000);
        m_Parser.setValidationScheme(XercesDOMParser::Val_Auto);
        m_Parser.setDoNamespaces(false);
        // Entity references are expanded into the surrounding text: the
        // importers read the first text child of an element, which would
        // otherwise miss text that came from an entity.
        m_Parser.setCreateEntityReferenceNodes(false);
        m_Parser.setErrorHandler(&m_Handler);
        m_Parser.setSecurityManager(&m_Security);
    }

    DOMDocument* Document() const override {
        return const_cast<XercesDOMParser&>(m_Parser).getDocument();
    }
    bool ErrorSeen() const override { return m_Handler.errorSeen; }
    const std::string& Diagnostics() const override { return m_Handler.messages; }

    bool Run(const std::string& path, bool validate, std::string& message,
             bool& terminateLibrary) {
        m_Parser.setValidationScheme(validate ? XercesDOMParser::Val_Auto
                                              : XercesDOMParser::Val_Never);
        m_Parser.setLoadExternalDTD(validate);
        // Without validation nothing outside the file is read: external
        // entities stay unresolved instead of reaching files or the network.
        m_Parser.setDisableDefaultEntityResolution(!validate);
        std::string head = "Error during parsing '" + path + "'\n";
        try {
            m_Parser.parse(path.c_str());
            return true;
        } catch (const XMLException& e) {
            message = head + "Exception message is:\n" + XmlToLocal(e.getMessage()) + "\n";
        } catch (const DOMException& e) {
            message = head + "Exception message is:\n" + XmlToLocal(e.getMessage()) + "\n";
            terminateLibrary = true;
        } catch (...) {
            message = head;
            terminateLibrary = true;
        }
        return false;
    }

private:
    YDOMErrorHandler m_Handler;
    SecurityManager m_Security;
    XercesDOMParser m_Parser;
};

class YParser final : public YXmlParser {
public:
    ~YParser() { Terminate(); }

    bool Init(std::string& message) override {
        message.clear();
        if (m_Initialised) return true;
        try {
            XMLPlatformUtils::Initialize();
        } catch (const XMLException& e) {
            message = "Error during initialization! :\n" + XmlToLocal(e.getMessage());
            return false;
        } catch (...) {
            message = "Error during initialization!";
            return false;
        }
        m_Initialised = true;
        return true;
    }

    void Terminate() override {
        if (!m_Initialised) return;
        m_Initialised = false;
        XMLPlatformUtils::Terminate();
    }

    std::unique_ptr<YXmlParse> Parse(const std::string& path, bool validate,
                                     std::string& message, bool& terminateLibrary) override {
        message.clear();
        terminateLibrary = false;
        try {
            auto parse = std::make_unique<YParse>();
            if (parse->Run(path, validate, message, terminateLibrary)) return parse;
        } catch (...) {
            if (message.empty()) message = "Error during parsing '" + path + "'\n";
        }
        return nullptr;
    }

private:
    bool m_Initialised = false;
};

// Terminates the library when the process unloads the module.
YParser g_Parser;

} // namespace

} // namespace mostfcat

extern "C" __attribute__((visibility("default"))) mostfcat::YXmlParser* mostfcat_xml_parser() {
    return &mostfcat::g_Parser;
}
