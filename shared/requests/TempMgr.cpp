#include "shared/requests/TempMgr.h"

#include <memory>
#include <new>

#include "classlib/win32/Handles.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

// The file name part of a template's path.
CString FileNameOf(const CTemplate& tmpl)
{
    return tmpl.m_filePath.Mid(tmpl.m_filePath.ReverseFind('\\') + 1);
}

bool NamedAfterItself(const CTemplate& tmpl)
{
    return FileNameOf(tmpl).CompareNoCase(tmpl.m_name + ".xml") == 0;
}

} // namespace

POSITION CTempMgr::FindNamed(const CString& name) const
{
    for (POSITION pos = m_templates.GetHeadPosition(); pos;) {
        const POSITION at = pos;
        if (m_templates.GetNext(pos)->m_name.CompareNoCase(name) == 0)
            return at;
    }
    return nullptr;
}

bool CTempMgr::Supersedes(const CTemplate& later, const CTemplate& earlier)
{
    if (NamedAfterItself(later) != NamedAfterItself(earlier))
        return NamedAfterItself(later);
    // Neither (or, by case alone, both): the order does not depend on the
    // order the folder lists its files in.
    return FileNameOf(later).CompareNoCase(FileNameOf(earlier)) < 0;
}

int CTempMgr::LoadTemplates(const char* folder)
{
    DeleteAll();
    m_folder.Empty();
    try {
        CString where = folder ? folder : "";
        if (where.IsEmpty()) {
            CConfig config;
            if (FAILED(config.GetTemplateFolder(where)) || where.IsEmpty())
                return 0;
        }
        m_folder = where;
        CString pattern;
        pattern.Format("%s\\*.xml", where.GetString());
        WIN32_FIND_DATAA data{};
        CFindHandle search(FindFirstFileA(pattern, &data));
        if (!search)
            return 0;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            CString path;
            if (FAILED(CTemplate::PathInFolder(where, data.cFileName, path)))
                continue;
            auto loaded = std::make_unique<CTemplate>();
            if (FAILED(loaded->LoadXML(path)))
                continue;
            loaded->m_fileTimeLow = data.ftLastWriteTime.dwLowDateTime;
            loaded->m_fileTimeHigh = data.ftLastWriteTime.dwHighDateTime;
            if (POSITION pos = FindNamed(loaded->m_name)) {
                CTemplate* earlier = m_templates.GetAt(pos);
                if (!Supersedes(*loaded, *earlier)) {
                    TheLog().Comment("CTempMgr::LoadTemplates: left out " + path +
                                     ", a second file for " + loaded->m_name);
                    continue;
                }
                TheLog().Comment("CTempMgr::LoadTemplates: left out " + earlier->m_filePath +
                                 ", a second file for " + loaded->m_name);
                delete m_templates.RemoveAt(pos);
            }
            m_templates.AddTail(loaded.get());
            loaded.release();
        } while (FindNextFileA(search.Get(), &data));
    } catch (const std::bad_alloc&) {
        TheLog().Error("CTempMgr::LoadTemplates: out of memory");
    }
    return m_templates.IsEmpty() ? 0 : 1;
}

void CTempMgr::ResetMatches()
{
    for (CTemplate* stored : m_templates)
        stored->m_match = 1;
}

void CTempMgr::FindMatches(const CTemplate* request, int& count, CTemplate* found,
                           const char* required, const char* excluded)
{
    count = 0;
    if (!request)
        return;
    ResetMatches();
    for (CTemplate* stored : m_templates) {
        const CTempDoc* document = stored->m_signatureDoc.get();
        if (!document || !document->m_fromTemplate)
            continue;
        if ((required && !(document->m_key == required)) ||
            (excluded && document->m_key == excluded)) {
            stored->m_match = 0;
            continue;
        }
        HRESULT hr = E_OUTOFMEMORY;
        try {
            CTemplate scratch;
            if (SUCCEEDED(scratch.CopySettings(*request)) &&
                SUCCEEDED(scratch.CopyDocuments(*request)) &&
                SUCCEEDED(scratch.CopySigners(*request)) &&
                SUCCEEDED(scratch.CopyRoles(*request)) &&
                SUCCEEDED(scratch.CopyKeywordValues(*request)))
                hr = scratch.ApplyTemplate(stored);
            // The pairings pointed into the scratch request, which goes now.
            stored->ResetMatches(FALSE);
            if (SUCCEEDED(hr) && found)
                *found = *stored;
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
            stored->ResetMatches(FALSE);
        }
        if (FAILED(hr)) {
            stored->m_match = 0;
            continue;
        }
        stored->m_match = 1;
        ++count;
    }
}
