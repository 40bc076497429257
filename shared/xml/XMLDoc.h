// CXMLDoc: one DOM document with a cursor over it. The settings store's
// defaults file, every SOAP response and the request documents are read
// through it: a current node, a current node list, path navigation relative
// to the cursor and typed reads of an element's text.
//
// Every operation returns an HRESULT: 0 on success, S_FALSE when the DOM
// reports "not found", negative on failure. No exception leaves them.
// Text is narrow (process code page); conversions happen at the COM edge.
#pragma once

#include <vector>
#include <windows.h>
#include <msxml2.h>

#include "classlib/com/CComPtr.h"
#include "classlib/strings/CObject.h"
#include "classlib/strings/CString.h"

class CXMLDoc : public CObject {
public:
    CXMLDoc();
    ~CXMLDoc() override;

    // Replaces whatever is loaded with a new document read from the file
    // (synchronously). 0 leaves the cursor on the document and the node list
    // on its children; a document that does not parse gives S_FALSE, is
    // logged and leaves no cursor. A document with a DTD is refused with
    // kXmlDtdRefused (XmlProlog.h) and leaves no document: nothing it names
    // is ever fetched. E_INVALIDARG for a null path.
    HRESULT LoadFile(const char* path);
    // As LoadFile, from XML text.
    HRESULT LoadString(const char* text);

    // Logs the document's parse error (nothing without a document).
    void NoteParseError();

    // Resolves path without moving the cursor. An empty path is the cursor
    // (the document when there is none); "/..." starts at the document,
    // anything else at the cursor; leading "../" steps climb to the parent
    // (E_FAIL above the document) and ".." alone is the parent. node is
    // emptied first and holds only a node that was found.
    HRESULT GotoNode(const char* path, CComPtr<IXMLDOMNode>& node);
    // Resolves path and makes the node the cursor; the cursor stays when
    // nothing is found.
    HRESULT GotoNode(const char* path);
    // Makes item index (from 0) of the node list the cursor.
    HRESULT GotoNodeAt(long index);
    // Length of the node list; E_FAIL without one.
    HRESULT GetNodeCount(long* count);
    // Node list = the cursor element's descendants of that tag name. The
    // document itself is no element: at the document this fails.
    HRESULT LoadNodesByName(const char* name);

    // The text of the first text child of the cursor. No child at all: 0
    // and value untouched; children but no text among them: S_FALSE and
    // value untouched.
    HRESULT GetSingleNodeValue(CString& value);
    // The same for the node path selects ("/..." from the document, else
    // from the cursor); no such node: S_FALSE and value untouched.
    HRESULT GetSingleNodeValue(const char* path, CString& value);
    // The path form read as a decimal number (leading digits, 0 for none);
    // value is set only when the text read returned 0.
    HRESULT GetSingleNodeValue(const char* path, int& value);

    // One child element and what GetSingleNodeValue reads of it.
    struct ChildValue {
        CString name;
        CString text;        // empty when the element has no child at all
        CString exact;       // the same text with the blanks around it, as written
        bool hasText = true; // false: children, but no text among them (S_FALSE)
    };
    // Each child element of the cursor, in document order. values is
    // emptied first. 0, or the DOM's failure.
    HRESULT GetChildValues(std::vector<ChildValue>& values);

private:
    void Load(const char* source, bool isFile, HRESULT& hr);
    void Resolve(const char* path, CComPtr<IXMLDOMNode>& node, HRESULT& hr) const;
    // The document for an absolute path, else the cursor (either may be null).
    CComPtr<IXMLDOMNode> BaseFor(const char* path) const;
    // raw, when given, receives the text node's value exactly as the
    // document holds it (the text form trims the blanks around it).
    static void FirstTextChild(IXMLDOMNode* node, CString& value, HRESULT& hr,
                               CString* raw = nullptr);

    CComPtr<IXMLDOMDocument> m_document;
    CComPtr<IUnknown> m_spare;
    CComPtr<IXMLDOMNodeList> m_nodeList;
    CComPtr<IXMLDOMNode> m_currentNode;
};

// Cuts the text of the first element called name out of source, scanning
// bytes from *offset (0 without one); no XML parsing, elements of the same
// name nested inside are balanced. On 1: text is what lies between the start
// tag and its matching end tag, *offset is just after the end tag (for a
// self-closing element: text is empty and *offset is at its ">"), and
// *attributes holds what stands between the name and the start tag's ">".
// On 0 (not found, truncated input, null arguments, offset out of range)
// nothing is written.
int ExtractElementText(const char* source, const char* name, CString& text, int* offset = nullptr,
                       CString* attributes = nullptr);
