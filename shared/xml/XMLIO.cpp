#include "shared/xml/XMLIO.h"

#include "shared/xml/Base64Coder.h"
#include "shared/requests/FileMgr.h"
#include "shared/xml/XmlEscape.h"

CXMLIO::~CXMLIO()
{
    Close();
}

HRESULT CXMLIO::OpenOutputFile(CString& path, const char* suffix)
{
    path.Empty();
    Close();
    CString name;
    HANDLE file = CreateNewTempFile(nullptr, suffix, name);
    if (file == INVALID_HANDLE_VALUE)
        return E_FAIL;
    m_output.Reset(file);
    m_outputPath = name;
    path = m_outputPath;
    return S_OK;
}

HRESULT CXMLIO::WriteElement(const char* tag, const char* value, BOOL skipEmpty, BOOL escape)
{
    const bool hasTag = tag && *tag;
    const bool hasValue = value && *value;
    CString text;
    if (hasValue && hasTag) {
        CString content(value);
        if (escape)
            XmlEscape(content);
        text.Format("<%s>%s</%s>\n", tag, content.GetString(), tag);
    } else if (hasValue) {
        text = value;
    } else if (hasTag) {
        if (skipEmpty)
            return S_OK;
        text.Format("<%s></%s>\n", tag, tag);
    } else {
        return E_INVALIDARG;
    }

    if (m_output.IsValid()) {
        DWORD written = 0;
        if (!WriteFile(m_output.Get(), text.GetString(), text.GetLength(), &written, nullptr) ||
            written != static_cast<DWORD>(text.GetLength()))
            return E_FAIL;
    } else {
        m_buffer += text;
    }
    return S_OK;
}

void CXMLIO::Close()
{
    m_buffer.Empty();
    m_output.Reset();
    m_outputPath.Empty();
}

HRESULT CXMLIO::DecodeFileToTemp(const char* source, const char* format, CString& path)
{
    CFileMgr names;
    if (!names.MakeTempName(nullptr))
        return E_FAIL;
    // The empty file that reserved the name.
    const CString reserved = names.GetFilePath();
    path = reserved;

    if (format && *format) {
        CString bare = reserved.Mid(names.GetFolder().GetLength());
        CString folder = reserved.Left(names.GetFolder().GetLength());
        if (bare.GetLength() >= 4 && bare.Right(4).CompareNoCase(".tmp") == 0)
            bare = bare.Left(bare.GetLength() - 4);
        if (CString(format).Find('%') >= 0) {
            CString title;
            title.Format(format, bare.GetString());
            path = folder + title;
        } else {
            path = folder + bare + format;
        }
    }

    File64Coder coder;
    const bool decoded = coder.DecodeFile(source, path) != 0;
    if (path != reserved)
        DeleteFileA(reserved);
    if (!decoded) {
        DeleteFileA(path);
        path.Empty();
        return E_FAIL;
    }
    return S_OK;
}

CXMLElem::~CXMLElem()
{
    m_tempFile.reset();
}

HRESULT CXMLElem::CreateTempFile()
{
    CFileMgr names;
    if (!names.MakeTempName(nullptr))
        return E_FAIL;
    auto file = std::make_unique<CFile>();
    // The system made this file for us a moment ago; it is empty and ours.
    if (!file->Open(names.GetFilePath(),
                    CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive)) {
        DeleteFileA(names.GetFilePath());
        return E_FAIL;
    }
    m_tempPath = names.GetFilePath();
    m_tempFile = std::move(file);
    return S_OK;
}
