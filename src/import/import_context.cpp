#include "import/import_context.h"

#include <xercesc/dom/DOMAttr.hpp>

#include "import/import_state.h"
#include "import/xml.h"

namespace mostfcat {

using namespace xercesc;

YImportContext::YImportContext()
    : m_Options(YImportState::kDefaultOptions), m_Settings(&YImportState::Instance()) {}

YImportContext::~YImportContext() {
    ReleaseNodes();
}

void YImportContext::ReleaseNodes() {
    for (YMTNode* t : m_OwnedTemplates)
        DeleteTreeNode(t);
    m_OwnedTemplates.clear();
    m_Templates.clear();
    DeleteTreeNode(m_Definitions);
    m_Definitions = nullptr;
}

void YImportContext::SetSettings(const YImportState* settings) {
    m_Settings = settings ? settings : &YImportState::Instance();
}

void YImportContext::SetDefinitions(YMTNode* definitions) {
    if (definitions == m_Definitions) return;
    DeleteTreeNode(m_Definitions);
    m_Definitions = definitions;
}

bool YImportContext::RegisterTemplate(YMTNode* function, const std::string& name, bool owned) {
    bool entered = m_Templates.emplace(name, function).second;
    if (owned) {
        if (entered)
            m_OwnedTemplates.push_back(function);
        else
            DeleteTreeNode(function); // dropped: nobody else holds it
    }
    return entered;
}

YMTNode* YImportContext::FindTemplate(const std::string& name) const {
    auto it = m_Templates.find(name);
    return it == m_Templates.end() ? nullptr : it->second;
}

// ---------------------------------------------------------------------------

XDomNode* YImportContext::FirstChildOfType(const XDomNode* node, short type) {
    if (!node) return nullptr;
    for (DOMNode* n = node->getFirstChild(); n; n = n->getNextSibling())
        if (n->getNodeType() == type) return n;
    return nullptr;
}

XDomElement* YImportContext::FirstChildElement(const XDomNode* node) {
    return static_cast<DOMElement*>(FirstChildOfType(node, DOMNode::ELEMENT_NODE));
}

XDomElement* YImportContext::NextSiblingElement(const XDomNode* node) {
    if (!node) return nullptr;
    for (DOMNode* n = node->getNextSibling(); n; n = n->getNextSibling())
        if (n->getNodeType() == DOMNode::ELEMENT_NODE) return static_cast<DOMElement*>(n);
    return nullptr;
}

bool YImportContext::ElementIs(const XDomElement* element, const char* name) {
    return element && XmlEquals(element->getTagName(), name);
}

XDomElement* YImportContext::FirstChildElement(const XDomNode* node, const char* name) {
    if (!node) return nullptr;
    for (DOMNode* n = node->getFirstChild(); n; n = n->getNextSibling())
        if (n->getNodeType() == DOMNode::ELEMENT_NODE && XmlEquals(n->getNodeName(), name))
            return static_cast<DOMElement*>(n);
    return nullptr;
}

XDomElement* YImportContext::NextSiblingElement(const XDomNode* node, const char* name) {
    if (!node) return nullptr;
    for (DOMNode* n = node->getNextSibling(); n; n = n->getNextSibling())
        if (n->getNodeType() == DOMNode::ELEMENT_NODE && XmlEquals(n->getNodeName(), name))
            return static_cast<DOMElement*>(n);
    return nullptr;
}

XDomElement* YImportContext::FirstGrandchild(const XDomElement* element, const char* name) {
    for (DOMElement* c = FirstChildElement(element); c; c = NextSiblingElement(c))
        if (DOMElement* g = FirstChildElement(c, name)) return g;
    return nullptr;
}

namespace {

// Attribute names are short ASCII texts; they are widened on the stack.
const DOMAttr* FindAttr(const DOMElement* element, const char* name) {
    if (!element || !name) return nullptr;
    XMLCh wide[128];
    size_t i = 0;
    for (; name[i] && i + 1 < sizeof wide / sizeof wide[0]; ++i)
        wide[i] = static_cast<unsigned char>(name[i]);
    wide[i] = 0;
    return element->getAttributeNode(wide);
}

} // namespace

bool YImportContext::GetAttr(const XDomElement* element, const char* name, std::string& value) {
    value.clear();
    const DOMAttr* a = FindAttr(element, name);
    if (!a) return false;
    XmlToLocal(a->getValue(), value);
    return true;
}

bool YImportContext::HasAttr(const XDomElement* element, const char* name) {
    return FindAttr(element, name) != nullptr;
}

bool YImportContext::GetChildAttr(const XDomElement* element, const char* child, const char* name,
                                  std::string& value) {
    value.clear();
    return GetAttr(FirstChildElement(element, child), name, value);
}

namespace {

// The first text child; a CDATA section is text as well.
DOMNode* FirstTextChild(const DOMNode* node) {
    if (!node) return nullptr;
    for (DOMNode* n = node->getFirstChild(); n; n = n->getNextSibling()) {
        short t = n->getNodeType();
        if (t == DOMNode::TEXT_NODE || t == DOMNode::CDATA_SECTION_NODE) return n;
    }
    return nullptr;
}

} // namespace

std::string YImportContext::Text(const XDomNode* node) {
    DOMNode* t = FirstTextChild(node);
    return t ? XmlToLocal(t->getNodeValue()) : std::string();
}

bool YImportContext::ChildText(const XDomElement* element, const char* name, std::string& text) {
    text.clear();
    DOMElement* c = FirstChildElement(element, name);
    if (!c) return false;
    if (DOMNode* t = FirstTextChild(c)) XmlToLocal(t->getNodeValue(), text);
    return true;
}

void YImportContext::Descendants(const XDomElement* element, const char* name,
                                 std::vector<XDomElement*>& found) {
    std::vector<XDomElement*> unused;
    Descendants(element, name, found, nullptr, unused);
}

void YImportContext::Descendants(const XDomElement* element, const char* name,
                                 std::vector<XDomElement*>& found, const char* name2,
                                 std::vector<XDomElement*>& found2) {
    found.clear();
    found2.clear();
    if (!element) return;
    // Pre-order walk with an explicit stack of the nodes whose siblings are
    // still to come: deep documents do not exhaust the call stack, and the
    // walk never asks the DOM for parents (which is slow in the parser's DOM).
    std::vector<const DOMNode*> resume;
    const DOMNode* n = element->getFirstChild();
    while (n) {
        const DOMNode* next = nullptr;
        if (n->getNodeType() == DOMNode::ELEMENT_NODE) {
            const XMLCh* tag = n->getNodeName();
            auto* e = const_cast<DOMElement*>(static_cast<const DOMElement*>(n));
            if (XmlEquals(tag, name))
                found.push_back(e);
            else if (name2 && XmlEquals(tag, name2))
                found2.push_back(e);
            next = n->getFirstChild();
            if (next) resume.push_back(n);
        }
        if (!next) next = n->getNextSibling();
        while (!next && !resume.empty()) {
            next = resume.back()->getNextSibling();
            resume.pop_back();
        }
        n = next;
    }
}

size_t YImportContext::CountChildElements(const XDomElement* element, const char* name) {
    size_t count = 0;
    for (DOMElement* c = FirstChildElement(element, name); c; c = NextSiblingElement(c, name))
        ++count;
    return count;
}

std::string YImportContext::TagName(const XDomElement* element) {
    return element ? XmlToLocal(element->getTagName()) : std::string();
}

} // namespace mostfcat
