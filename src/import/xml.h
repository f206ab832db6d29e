// The XML parser library: process-wide initialisation, the parser's error
// handler, parser configuration and file parsing, and conversion of the
// parser's UTF-16 strings.
#pragma once

#include <xercesc/dom/DOM.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/ErrorHandler.hpp>
#include <xercesc/sax/SAXParseException.hpp>

#include <string>

namespace mostfcat {

// Initialises Xerces-C once per process; false with a message on failure.
bool InitXmlLibrary(std::string& message);
// Terminates Xerces-C when it was initialised (unload, and after a parser
// exception that leaves the library unusable).
void TerminateXmlLibrary();
bool IsXmlLibraryInitialised();

// Collects the parser's diagnostics as text; any diagnostic, warnings
// included, marks the parse as failed.
class YDOMErrorHandler : public xercesc::ErrorHandler {
public:
    ~YDOMErrorHandler() override = default;
    void warning(const xercesc::SAXParseException& e) override;
    void error(const xercesc::SAXParseException& e) override;
    void fatalError(const xercesc::SAXParseException& e) override;
    void resetErrors() override {}

    bool errorSeen = false;
    std::string messages;

private:
    void Append(const char* kind, const xercesc::SAXParseException& e);
};

void ConfigureParser(xercesc::XercesDOMParser& parser, YDOMErrorHandler& handler);
// Parses the file. On an exception the message tells what happened; after a
// DOM or unknown exception *terminateLibrary asks the caller to terminate the
// library once the parser object is gone (terminating it while a parser
// still exists would make the parser's destruction crash).
bool ParseFile(xercesc::XercesDOMParser& parser, const std::string& path, std::string& message,
               bool validate, bool* terminateLibrary = nullptr);

// UTF-16 text of the parser to the 8-bit code page (Latin-1); characters
// outside it become "?".
std::string XmlToLocal(const XMLCh* text);
void XmlToLocal(const XMLCh* text, std::string& out);
// True when the parser's string equals the ASCII name exactly.
bool XmlEquals(const XMLCh* text, const char* ascii);

} // namespace mostfcat
