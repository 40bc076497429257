// CBroadcast: one broadcast, as the add-in hands it to the agent (the
// broadcast file naming every queued operation file) and as the agent works
// through it (the loaded files and the pending steps of the current target).
#pragma once

#include <memory>

#include "classlib/strings/CStringList.h"
#include "classlib/strings/CTypedPtrList.h"
#include "shared/requests/FileMgr.h"
#include "shared/ui/StepOp.h"
#include "shared/xml/XMLDoc.h"

class OpSendDoc;

// How the broadcast's files are read, by CBroadcast and by the agent that
// builds its steps from them: a text the file must have (an element
// without text counts as missing), and a file of XML (null when there is
// no path or the file does not load).
bool ReadRequired(CXMLDoc& doc, const char* path, CString& value);
std::unique_ptr<CXMLDoc> LoadDoc(const CString& path);

class CBroadcast : public CFileMgr {
public:
    CBroadcast() = default;
    CBroadcast(const CBroadcast&) = delete;
    CBroadcast& operator=(const CBroadcast&) = delete;
    // Deletes the file named by the path to delete, when there is one and
    // it is one of the add-in's (IsAddinTempFile).
    ~CBroadcast() override;

    // Writes the broadcast file into a new ".xml" file of the temporary
    // folder, with the receipt subject and category of the request's send
    // options; its path, or null.
    const char* Write(const OpSendDoc& request);

    // The agent's side. Reads the broadcast file (m_broadcastPath) and the
    // operation files it names into the documents and paths below, and
    // notes every request piece they name. Only the add-in's own files are
    // read (IsAddinTempFile): the first name that is not one refuses the
    // whole broadcast, though the add-in's files it names are still noted
    // (and read, for the pieces they name), so DeleteFiles leaves none of
    // them behind; so are the names of a file that cannot be read as XML,
    // found in its text. S_OK; kNotAddinFile; E_FAIL when a file cannot be
    // read or lacks what the agent needs (a CreateSignature, an AddDocument,
    // a GetLink and a SendInvite element, the first three with a path).
    HRESULT Load();
    // Deletes every file the broadcast names, as far as it was read: the
    // broadcast file, the operation files, the pieces and the path to
    // delete; but only those IsAddinTempFile accepts.
    void DeleteFiles();

    CTypedPtrList<CStepOp> m_steps{10};
    CTypedPtrList<CXMLDoc> m_docs{10};
    std::unique_ptr<CXMLDoc> m_broadcastDoc;
    std::unique_ptr<CXMLDoc> m_createDoc;
    std::unique_ptr<CXMLDoc> m_paramsDoc;
    std::unique_ptr<CXMLDoc> m_linkDoc;
    std::unique_ptr<CXMLDoc> m_inviteDoc;
    std::unique_ptr<CXMLDoc> m_recipsDoc;
    CString m_broadcastPath;
    CString m_createSignaturePath;
    CStringList m_addDocumentPaths;
    CString m_getLinkPath;
    CString m_setParamsPath;
    CString m_sendInvitePath;
    CString m_deletePath;
    CString m_entryId;
    // Every piece the operation files name (those no step sends among
    // them: the first recipient lists, the send options).
    CStringList m_pieceFiles;

private:
    // Loads the operation file at path (root: its root element) into doc
    // and notes its pieces.
    HRESULT LoadOperation(const CString& path, const char* root, std::unique_ptr<CXMLDoc>& doc);
    // Notes the add-in's files named in the text of a file that the XML
    // reader refused; with operations, those are operation files whose own
    // pieces are noted too.
    void NoteNamesIn(const CString& path, bool operations);
};
