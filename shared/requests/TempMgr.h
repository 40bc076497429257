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
    // left out, and so is every file but one that names a template already
    // loaded (names compared as file names are, without case): the file
    // named after the template is kept, else the first by file name. Saving
    // and deleting a template act on the file named after it, so one name
    // must never stand for two files. 1 when at least one template loaded,
    // else 0.
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
    // Deletes a template of the library.
    void Remove(CTemplate* tmpl)
    {
        if (POSITION pos = m_templates.Find(tmpl))
            delete m_templates.RemoveAt(pos);
    }

    const CTypedPtrList<CTemplate>& GetTemplates() const { return m_templates; }
    const CString& GetFolder() const { return m_folder; }

private:
    // The template of that name (without case), or null.
    POSITION FindNamed(const CString& name) const;
    // Whether later, loaded after earlier under the same name, is the one
    // kept.
    static bool Supersedes(const CTemplate& later, const CTemplate& earlier);

    CTypedPtrList<CTemplate> m_templates;
    CString m_folder;
};
