// The XML parser library. It lives in a module of its own (the parser
// module, linked against Xerces-C) that is loaded on the first import: a
// process that only loads caches never maps the parser and its libraries.
// The rest of the library reaches the document through the DOM interfaces
// alone (virtual calls that need none of the parser's symbols).
#pragma once

#include <xercesc/dom/DOMDocument.hpp>
#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>
#include <xercesc/util/XercesDefs.hpp>

#include <memory>
#include <string>

namespace mostfcat {

// A parsed file: the parser and its document, which lives as long as this.
class YXmlParse {
public:
    virtual ~YXmlParse() = default;
    virtual xercesc::DOMDocument* Document() const = 0;
    // True when the parser reported any diagnostic, warnings included; the
    // diagnostics as text, one per line.
    virtual bool ErrorSeen() const = 0;
    virtual const std::string& Diagnostics() const = 0;
};

// The parser module's entry points.
class YXmlParser {
public:
    // Initialises Xerces-C once per process; false with a message on failure.
    virtual bool Init(std::string& message) = 0;
    // Terminates Xerces-C when it was initialised (after a parser exception
    // that leaves the library unusable).
    virtual void Terminate() = 0;
    // Parses the file with entity expansion bounded; without validation
    // nothing outside the file is read. Null with a message on an exception;
    // after a DOM or unknown exception terminateLibrary asks the caller to
    // terminate the library once no parse object is left (terminating it
    // while a parser still exists would make the parser's destruction crash).
    virtual std::unique_ptr<YXmlParse> Parse(const std::string& path, bool validate,
                                             std::string& message, bool& terminateLibrary) = 0;

protected:
    ~YXmlParser() = default;
};

// The name of the module's one exported function, which returns its
// YXmlParser.
#define MOSTFCAT_XML_PARSER_ENTRY "mostfcat_xml_parser"

// The parser, its module loaded on first use; null with a message when the
// module cannot be found or loaded.
YXmlParser* XmlParser(std::string& message);
// Init of the parser (loading the module first).
bool InitXmlLibrary(std::string& message);

// UTF-16 text of the parser to the 8-bit code page (Latin-1); characters
// outside it become "?".
inline void XmlToLocal(const XMLCh* text, std::string& out) {
    out.clear();
    if (!text) return;
    for (const XMLCh* p = text; *p; ++p) {
        XMLCh c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && (p[1] >= 0xDC00 && p[1] <= 0xDFFF)) ++p; // one character
        out.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    }
}

inline std::string XmlToLocal(const XMLCh* text) {
    std::string out;
    XmlToLocal(text, out);
    return out;
}

// True when the parser's string equals the ASCII name exactly.
inline bool XmlEquals(const XMLCh* text, const char* ascii) {
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
