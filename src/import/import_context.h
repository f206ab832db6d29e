// Per-import state handed to every ImportXML, Check and Dump: the option
// word, the profile settings, the importers' look-up data (current catalog,
// definitions, function templates) and the DOM access operations.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <xercesc/dom/DOMElement.hpp>
#include <xercesc/dom/DOMNode.hpp>

namespace mostfcat {

class YMTNode;
class YImportState;

using XDomNode = xercesc::DOMNode;
using XDomElement = xercesc::DOMElement;

// Deletes a tree node through its virtual destructor (defined with the tree).
void DeleteTreeNode(YMTNode* node);

class YImportContext {
public:
    // Option bits of the import run.
    static constexpr uint32_t kOptDescriptions = 0x1;
    static constexpr uint32_t kOptVersions = 0x2;
    static constexpr uint32_t kOptClassRefs = 0x4;
    static constexpr uint32_t kOptBitFieldLengthBytes = 0x10000;
    static constexpr uint32_t kOptBitFieldLengthBits = 0x20000;
    static constexpr uint32_t kOptBitFieldMaskHalves = 0x40000;

    YImportContext();
    ~YImportContext();
    YImportContext(const YImportContext&) = delete;
    YImportContext& operator=(const YImportContext&) = delete;

    uint32_t Options() const { return m_Options; }
    void SetOptions(uint32_t options) { m_Options = options; }
    bool HasOption(uint32_t bit) const { return (m_Options & bit) != 0; }
    // The settings in effect (never null: the process-wide state by default).
    const YImportState& Settings() const { return *m_Settings; }
    void SetSettings(const YImportState* settings);

    // --- look-up data of the tree importers --------------------------------
    YMTNode* Catalog() const { return m_Catalog; }
    void SetCatalog(YMTNode* catalog) { m_Catalog = catalog; }
    // The definitions node of the current import; the context owns it.
    YMTNode* Definitions() const { return m_Definitions; }
    void SetDefinitions(YMTNode* definitions);
    // Function templates by name (exact comparison). The first registration
    // of a name wins; with owned set the context deletes the function at the
    // end of the import (a template that is not entered is deleted at once).
    // Returns true when the name was entered.
    bool RegisterTemplate(YMTNode* function, const std::string& name, bool owned);
    YMTNode* FindTemplate(const std::string& name) const;
    // Deletes the definitions and the templates the context owns, and forgets
    // the others. They live in the storage of the catalog being imported, so
    // they go before a catalog that failed to import.
    void ReleaseNodes();

    // --- DOM access ---------------------------------------------------------
    // Element names are compared exactly with ASCII names.
    static XDomNode* FirstChildOfType(const XDomNode* node, short type);
    static XDomElement* FirstChildElement(const XDomNode* node);
    static XDomElement* NextSiblingElement(const XDomNode* node);
    static bool ElementIs(const XDomElement* element, const char* name);
    static XDomElement* FirstChildElement(const XDomNode* node, const char* name);
    static XDomElement* NextSiblingElement(const XDomNode* node, const char* name);
    // The first child element that has a child element of that name; returns
    // that grandchild.
    static XDomElement* FirstGrandchild(const XDomElement* element, const char* name);
    // Attribute text; false (and an empty text) when the attribute is absent.
    static bool GetAttr(const XDomElement* element, const char* name, std::string& value);
    static bool HasAttr(const XDomElement* element, const char* name);
    static bool GetChildAttr(const XDomElement* element, const char* child, const char* name,
                             std::string& value);
    // Text of the first text child node (empty when there is none).
    static std::string Text(const XDomNode* node);
    // Text of the first child element of that name; false when it is absent.
    static bool ChildText(const XDomElement* element, const char* name, std::string& text);
    // All descendant elements of that name, in document order.
    static void Descendants(const XDomElement* element, const char* name,
                            std::vector<XDomElement*>& found);
    // The same for two names in one walk.
    static void Descendants(const XDomElement* element, const char* name,
                            std::vector<XDomElement*>& found, const char* name2,
                            std::vector<XDomElement*>& found2);
    static size_t CountChildElements(const XDomElement* element, const char* name);
    // The tag name in the 8-bit code page.
    static std::string TagName(const XDomElement* element);

private:
    uint32_t m_Options = 0;
    const YImportState* m_Settings;
    YMTNode* m_Catalog = nullptr;
    YMTNode* m_Definitions = nullptr;
    std::map<std::string, YMTNode*> m_Templates;
    std::vector<YMTNode*> m_OwnedTemplates;
};

} // namespace mostfcat
