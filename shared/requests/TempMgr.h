// CTempMgr: the template library, every template file of the template
// folder, and the search for the templates that fit a request.
#pragma once

#include <memory>

#include "classlib/strings/CObject.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/Template.h"

class CTempMgr : public CObject {
public:
    CTempMgr() = default;
    ~CTempMgr() override = default;

    // Loads every "*.xml" file of folder (the TemplateFolder setting when
    // empty) in place of what the library held. Files that do not load are
    // left out. 1 when at least one template loaded, else 0.
    int LoadTemplates(const char* folder);
    // Marks the templates that apply to request and counts them into count;
    // found (may be null) receives a copy of the last match. A template
    // whose signature document key differs from required, or equals
    // excluded (either may be null), does not apply. Templates without a
    // signature document read from a file keep their mark.
    void FindMatches(const CTemplate* request, int& count, CTemplate* found, const char* required,
                     const char* excluded);
    void ResetMatches();
    void DeleteAll() { m_templates.RemoveAll(); }
    // Takes over a template made or imported outside the folder's load.
    void Add(std::unique_ptr<CTemplate> tmpl)
    {
        m_templates.AddTail(tmpl.get());
        tmpl.release();
    }

    const CTypedPtrList<CTemplate>& GetTemplates() const { return m_templates; }
    const CString& GetFolder() const { return m_folder; }

private:
    CTypedPtrList<CTemplate> m_templates;
    CString m_folder;
};
