#include "shared/xml/XMLDoc.h"

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/xml/XmlProlog.h"

namespace {

// The version-independent DOMDocument class of MSXML 3.0 and the interfaces
// asked of it, spelled out here: MinGW's msxml2.h redirects the class name
// and gives these interfaces no __uuidof.
constexpr CLSID kClsidDomDocument = {
    0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
constexpr IID kIidXmlDomDocument = {
    0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomElement = {
    0x2933BF86, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
constexpr IID kIidXmlDomDocument2 = {
    0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

bool StartsWith(const char* text, const char* prefix)
{
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

void LogCaught(const char* where)
{
    CString text("Caught Exception: ");
    text += where;
    TheLog().Error(text);
}

void LogRefused()
{
    TheLog().Error("CXMLDoc: a document with a DTD is refused");
}

// No DTD, nothing fetched from elsewhere, no validation: what the service
// and our own files send never needs them, and each is a way for a
// document to read local files or swell (MSXML 3 resolves externals unless
// told not to). A setting this MSXML does not know is no reason to fail:
// the prolog check and the doctype check stand behind it.
void Harden(IXMLDOMDocument* document)
{
    (void)document->put_resolveExternals(VARIANT_FALSE);
    (void)document->put_validateOnParse(VARIANT_FALSE);
    CComPtr<IXMLDOMDocument2> withProperties;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, withProperties.PutVoid())) &&
        withProperties) {
        VARIANT prohibit;
        VariantInit(&prohibit);
        prohibit.vt = VT_BOOL;
        prohibit.boolVal = VARIANT_TRUE;
        if (FAILED(withProperties->setProperty(CBstr("ProhibitDTD").Get(), prohibit)))
            TheLog().Comment("CXMLDoc: this MSXML has no ProhibitDTD");
    }
}

bool HasDoctype(IXMLDOMDocument* document)
{
    CComPtr<IXMLDOMDocumentType> doctype;
    return SUCCEEDED(document->get_doctype(doctype.Put())) && doctype;
}

} // namespace

CXMLDoc::CXMLDoc() = default;

CXMLDoc::~CXMLDoc()
{
    m_currentNode.Release();
    m_nodeList.Release();
    m_spare.Release();
    m_document.Release();
}

// The helpers below report through hr so that, should anything throw half
// way, the operation's catch still returns the last code the DOM gave.

void CXMLDoc::Load(const char* source, bool isFile, HRESULT& hr)
{
    if (!source) {
        hr = E_INVALIDARG;
        return;
    }
    m_currentNode.Release();
    m_nodeList.Release();
    m_document.Release();

    hr = isFile ? CheckFileProlog(source) : (PrologDeclaresDtd(source) ? kXmlDtdRefused : S_OK);
    if (FAILED(hr)) {
        LogRefused();
        return;
    }

    hr = CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                          m_document.PutVoid());
    if (FAILED(hr))
        return;
    if (!m_document) {
        hr = E_NOINTERFACE;
        return;
    }
    Harden(m_document.Get());
    // The callers read the document straight after the call returns.
    hr = m_document->put_async(VARIANT_FALSE);
    if (FAILED(hr))
        return;

    VARIANT_BOOL loaded = VARIANT_FALSE;
    if (isFile) {
        CVariant where(source);
        hr = m_document->load(where, &loaded);
    } else {
        CBstr xml(source);
        hr = m_document->loadXML(xml.Get(), &loaded);
    }
    if (hr != S_OK) {
        NoteParseError();
        return;
    }
    if (HasDoctype(m_document.Get())) {
        LogRefused();
        m_document.Release();
        hr = kXmlDtdRefused;
        return;
    }

    hr = m_document->get_childNodes(m_nodeList.Put());
    if (FAILED(hr))
        return;
    m_currentNode = CComPtr<IXMLDOMNode>(m_document.Get());
    hr = S_OK;
}

HRESULT CXMLDoc::LoadFile(const char* path)
{
    HRESULT hr = S_OK;
    try {
        Load(path, true, hr);
    } catch (...) {
        LogCaught("CXMLDoc::LoadFile");
    }
    return hr;
}

HRESULT CXMLDoc::LoadString(const char* text)
{
    HRESULT hr = S_OK;
    try {
        Load(text, false, hr);
    } catch (...) {
        LogCaught("CXMLDoc::LoadString");
    }
    return hr;
}

void CXMLDoc::NoteParseError()
{
    try {
        if (!m_document)
            return;
        CComPtr<IXMLDOMParseError> error;
        if (FAILED(m_document->get_parseError(error.Put())) || !error)
            return;
        long code = 0;
        error->get_errorCode(&code);
        CBstr reason;
        error->get_reason(reason.Put());
        CString text;
        text.Format("XML Parse Error 0x%x : %s", static_cast<unsigned>(code),
                    reason.ToString().GetString());
        TheLog().Error(text);
    } catch (...) {
        LogCaught("CXMLDoc::NoteParseError");
    }
}

CComPtr<IXMLDOMNode> CXMLDoc::BaseFor(const char* path) const
{
    if (path[0] == '/')
        return CComPtr<IXMLDOMNode>(m_document.Get());
    return m_currentNode;
}

void CXMLDoc::Resolve(const char* path, CComPtr<IXMLDOMNode>& node, HRESULT& hr) const
{
    node.Release();
    if (!path || !*path) {
        node = m_currentNode ? m_currentNode : CComPtr<IXMLDOMNode>(m_document.Get());
        hr = S_OK;
        return;
    }

    CComPtr<IXMLDOMNode> base = BaseFor(path);
    if (!base) {
        hr = E_FAIL;
        return;
    }

    if (std::strcmp(path, "..") == 0) {
        CComPtr<IXMLDOMNode> parent;
        hr = base->get_parentNode(parent.Put());
        if (hr == S_OK)
            node = std::move(parent);
        return;
    }

    // Leading "../" steps are walked by hand so that climbing above the
    // document is a failure, not an empty selection.
    while (StartsWith(path, "../")) {
        CComPtr<IXMLDOMNode> parent;
        hr = base->get_parentNode(parent.Put());
        if (FAILED(hr))
            return;
        if (!parent) {
            hr = E_FAIL;
            return;
        }
        base = std::move(parent);
        path += 3;
    }
    // Nothing left after the climb ("../"): the parent itself. An empty
    // pattern must not reach selectSingleNode, which Wine's msxml3 answers
    // with a crash.
    if (!*path) {
        node = std::move(base);
        hr = S_OK;
        return;
    }

    CComPtr<IXMLDOMNode> found;
    hr = base->selectSingleNode(CBstr(path).Get(), found.Put());
    if (hr == S_OK)
        node = std::move(found);
}

HRESULT CXMLDoc::GotoNode(const char* path, CComPtr<IXMLDOMNode>& node)
{
    HRESULT hr = S_OK;
    try {
        Resolve(path, node, hr);
    } catch (...) {
        LogCaught("CXMLDoc::GotoNode");
    }
    return hr;
}

HRESULT CXMLDoc::GotoNode(const char* path)
{
    HRESULT hr = S_OK;
    try {
        // The new node arrives with its own reference, so moving onto the
        // node the cursor already holds costs nothing and frees nothing.
        CComPtr<IXMLDOMNode> node;
        Resolve(path, node, hr);
        if (hr == S_OK && node)
            m_currentNode = std::move(node);
    } catch (...) {
        LogCaught("CXMLDoc::GotoNode");
    }
    return hr;
}

HRESULT CXMLDoc::GotoNodeAt(long index)
{
    HRESULT hr = S_OK;
    try {
        if (!m_nodeList)
            return hr = E_FAIL;
        CComPtr<IXMLDOMNode> node;
        hr = m_nodeList->get_item(index, node.Put());
        if (hr == S_OK && node)
            m_currentNode = std::move(node);
    } catch (...) {
        LogCaught("CXMLDoc::GotoNodeAt");
    }
    return hr;
}

HRESULT CXMLDoc::GetNodeCount(long* count)
{
    HRESULT hr = S_OK;
    try {
        if (!m_nodeList)
            return hr = E_FAIL;
        if (!count)
            return hr = E_INVALIDARG;
        hr = m_nodeList->get_length(count);
    } catch (...) {
        LogCaught("CXMLDoc::GotoNode");
    }
    return hr;
}

HRESULT CXMLDoc::LoadNodesByName(const char* name)
{
    HRESULT hr = S_OK;
    try {
        if (!m_currentNode)
            return hr = E_FAIL;
        if (!name)
            return hr = E_INVALIDARG;
        CComPtr<IXMLDOMElement> element;
        hr = m_currentNode->QueryInterface(kIidXmlDomElement, element.PutVoid());
        if (FAILED(hr) || !element)
            return hr;
        CComPtr<IXMLDOMNodeList> list;
        hr = element->getElementsByTagName(CBstr(name).Get(), list.Put());
        if (SUCCEEDED(hr) && list)
            m_nodeList = std::move(list);
    } catch (...) {
        LogCaught("CXMLDoc::LoadNodesByName");
    }
    return hr;
}

void CXMLDoc::FirstTextChild(IXMLDOMNode* node, CString& value, HRESULT& hr, CString* raw)
{
    CComPtr<IXMLDOMNode> child;
    hr = node->get_firstChild(child.Put());
    if (FAILED(hr))
        return;
    if (!child) {
        hr = S_OK;
        return;
    }
    for (;;) {
        DOMNodeType type = NODE_INVALID;
        hr = child->get_nodeType(&type);
        if (FAILED(hr))
            return;
        if (type == NODE_TEXT)
            break;
        CComPtr<IXMLDOMNode> next;
        hr = child->get_nextSibling(next.Put());
        if (FAILED(hr))
            return;
        if (!next) {
            hr = S_FALSE;
            return;
        }
        child = std::move(next);
    }
    CBstr text;
    hr = child->get_text(text.Put());
    if (SUCCEEDED(hr))
        value = text.ToString();
    if (SUCCEEDED(hr) && raw) {
        CVariant exact;
        hr = child->get_nodeValue(exact.Put());
        if (SUCCEEDED(hr) && !exact.ToString(*raw))
            raw->Empty();
    }
}

HRESULT CXMLDoc::GetSingleNodeValue(CString& value)
{
    HRESULT hr = S_OK;
    try {
        if (!m_currentNode)
            return hr = E_FAIL;
        FirstTextChild(m_currentNode.Get(), value, hr);
    } catch (...) {
        LogCaught("CXMLDoc::GetSingleNodeValue");
    }
    return hr;
}

HRESULT CXMLDoc::GetSingleNodeValue(const char* path, CString& value)
{
    HRESULT hr = S_OK;
    try {
        if (!path || !*path)
            return hr = E_INVALIDARG;
        CComPtr<IXMLDOMNode> base = BaseFor(path);
        if (!base)
            return hr = E_FAIL;
        CComPtr<IXMLDOMNode> found;
        hr = base->selectSingleNode(CBstr(path).Get(), found.Put());
        if (hr == S_OK && found)
            FirstTextChild(found.Get(), value, hr);
    } catch (...) {
        LogCaught("CXMLDoc::GetSingleNodeValue");
    }
    return hr;
}

HRESULT CXMLDoc::GetSingleNodeValue(const char* path, int& value)
{
    HRESULT hr = S_OK;
    try {
        CString text;
        hr = GetSingleNodeValue(path, text);
        if (hr == S_OK)
            value = std::atoi(text);
    } catch (...) {
        LogCaught("CXMLDoc::GetSingleNodeValue");
    }
    return hr;
}

HRESULT CXMLDoc::GetChildValues(std::vector<ChildValue>& values)
{
    HRESULT hr = S_OK;
    try {
        values.clear();
        if (!m_currentNode)
            return hr = E_FAIL;
        CComPtr<IXMLDOMNode> child;
        hr = m_currentNode->get_firstChild(child.Put());
        while (SUCCEEDED(hr) && child) {
            DOMNodeType type = NODE_INVALID;
            hr = child->get_nodeType(&type);
            if (FAILED(hr))
                break;
            if (type == NODE_ELEMENT) {
                CBstr name;
                hr = child->get_nodeName(name.Put());
                if (FAILED(hr))
                    break;
                ChildValue value;
                value.name = name.ToString();
                FirstTextChild(child.Get(), value.text, hr, &value.exact);
                if (FAILED(hr))
                    break;
                value.hasText = hr == S_OK;
                values.push_back(std::move(value));
            }
            CComPtr<IXMLDOMNode> next;
            hr = child->get_nextSibling(next.Put());
            child = std::move(next);
        }
        if (SUCCEEDED(hr))
            hr = S_OK;
    } catch (...) {
        LogCaught("CXMLDoc::GetChildValues");
        hr = E_OUTOFMEMORY;
    }
    return hr;
}

int ExtractElementText(const char* source, const char* name, CString& text, int* offset,
                       CString* attributes)
{
    if (!source || !name || !*name)
        return 0;
    const std::string_view input(source);
    const std::string_view tag(name);
    const int from = offset ? *offset : 0;
    if (from < 0 || static_cast<size_t>(from) > input.size())
        return 0;

    // "<name" followed by a character that ends a tag name; a longer name
    // that merely begins the same way is another element.
    auto opensAt = [&](size_t pos) {
        size_t after = pos + 1 + tag.size();
        if (after >= input.size() || input[pos] != '<' ||
            input.compare(pos + 1, tag.size(), tag) != 0)
            return false;
        char next = input[after];
        return next == '\t' || next == '\n' || next == ' ' || next == '/' || next == '>';
    };
    auto closesAt = [&](size_t pos) {
        return input.size() - pos >= tag.size() + 3 && input[pos] == '<' && input[pos + 1] == '/' &&
               input.compare(pos + 2, tag.size(), tag) == 0 && input[pos + 2 + tag.size()] == '>';
    };

    constexpr size_t npos = std::string_view::npos;
    int depth = 0;
    size_t textStart = npos;
    size_t textEnd = npos;
    std::string_view startTagRest;
    size_t pos = static_cast<size_t>(from);
    while (pos < input.size()) {
        if (opensAt(pos)) {
            size_t afterName = pos + 1 + tag.size();
            size_t close = afterName; // the start tag's ">"
            if (input[afterName] != '>') {
                close = input.find('>', afterName);
                if (close == npos)
                    return 0;
                if (input[close - 1] == '/') {
                    if (depth == 0) {
                        text.Empty();
                        if (offset)
                            *offset = static_cast<int>(close);
                        if (attributes)
                            *attributes = CString(input.substr(afterName, close - afterName));
                        return 1;
                    }
                    // An empty element inside the one being cut out has no
                    // end tag to balance it.
                    pos = close + 1;
                    continue;
                }
            }
            if (depth == 0) {
                textStart = close + 1;
                startTagRest = input.substr(afterName, close - afterName);
            }
            ++depth;
            pos = close + 1;
            continue;
        }
        if (depth > 0 && closesAt(pos)) {
            if (--depth == 0) {
                textEnd = pos;
                break;
            }
            pos += tag.size() + 3;
            continue;
        }
        ++pos;
    }
    if (textStart == npos || textEnd == npos)
        return 0;

    text = CString(input.substr(textStart, textEnd - textStart));
    if (offset)
        *offset = static_cast<int>(textEnd + tag.size() + 3);
    if (attributes)
        *attributes = CString(startTagRest);
    return 1;
}
