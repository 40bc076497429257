// CCfgBase: the settings store's registry mechanics. Every deliverable keeps
// its settings under one key of the current user; a named setting is read
// from the registry, else from the read-only defaults file "inkDefaults.xml"
// in the add-in's folder, else the caller's default. Every operation opens
// and closes the key itself; none throws. Getters leave their output as it
// was when they fail, so callers preset defaults; setters never report
// failure (they log it).
#pragma once

#include <memory>
#include <windows.h>

#include "classlib/strings/CString.h"
#include "shared/config/Blowfish.h"
#include "shared/config/CmdBarState.h"

class CXMLDoc;

// The process-wide service host: the built-in default until a settings
// object has read the registry's "Host".
CString& CurrentServiceHost();
// The process-wide default path of the SOAP endpoint on the host.
CString& DefaultServicePath();
// The host a fresh profile starts with.
inline constexpr const char* kBuiltInServiceHost = "secure.quillet.com";

class CCfgBase {
public:
    CCfgBase() = default;
    CCfgBase(const CCfgBase&) = delete;
    CCfgBase& operator=(const CCfgBase&) = delete;
    virtual ~CCfgBase();

    // 443 when "SSL" is non-zero or missing, else 80.
    virtual WORD GetPort();
    virtual DWORD GetFlags() { return 0; }
    virtual UINT GetRibbonId(const char* ribbonType) = 0;
    virtual UINT GetImageId() = 0;

    // Software\<company>\<product>, creating both keys when missing.
    const CString& GetKeyPath();

    void SetKey(const char* name, const char* text);
    void SetKey(const char* name, DWORD value);
    void SetKey(const char* name, const BYTE* bytes, DWORD length);

    // Registry, else defaults file. 0, or E_FAIL when found in neither.
    [[nodiscard]] HRESULT GetKey(const char* name, CString& value);
    [[nodiscard]] HRESULT GetKey(const char* name, DWORD& value);
    // A REG_BINARY value into buffer (size bytes, zero-filled first); size
    // becomes the count read. 0 or E_FAIL.
    [[nodiscard]] HRESULT GetBinary(const char* name, BYTE* buffer, DWORD& size);

    // "Advanced"\"LogXML", written as 0 when missing.
    DWORD GetLogXML();
    // Removes the product key with all its subkeys.
    HRESULT DeleteKey();

    // The registry's "Host", else the current host (written back when missing).
    HRESULT GetHost(CString& host);
    // The add-in's folder, with its closing backslash. 0 or E_FAIL.
    [[nodiscard]] HRESULT FindAddin(CString& folder);
    HRESULT LoadDefaultValues(CXMLDoc& document);
    // The text of the defaults file's element name. The file is parsed once
    // per process and again only when it changed (or moved); one over 1 MB
    // is ignored. 0, or E_FAIL when there is no file, no such element or
    // the text is 512 characters or more.
    [[nodiscard]] HRESULT GetDefaultValue(const char* name, CString& value);
    // The same as a number: the text's leading decimal digits (0 when it
    // has none, so "-1" and " 1" read 0); E_FAIL for a number beyond a
    // DWORD, which is refused rather than wrapped.
    [[nodiscard]] HRESULT GetDefaultValue(const char* name, DWORD& value);
    HRESULT GetCmdBarState(CCmdBarState& state);

    HRESULT GetMailboxName(CString& name);
    void SetMailboxName(const char* name);
    HRESULT GetIdentity(CString& identity);
    void SetIdentity(const char* identity);

    // "https://host/path" (or http with "SSL" 0); path null means the
    // "ServicePortPath" setting. 0 or E_FAIL (output untouched).
    [[nodiscard]] HRESULT GetServiceUrl(CString& url, const char* path);

    // The text in UTF-16, enciphered, as a binary value. 0, or a failure when
    // the text does not fit the stored form.
    HRESULT SetSecret(const char* name, const char* text);
    [[nodiscard]] HRESULT GetSecret(const char* name, CString& text);

    const CString& GetCompanyWord() const { return m_companyWord; }
    const CString& GetProductName() const { return m_productName; }
    const CString& GetDisplayName() const { return m_displayName; }
    const CString& GetModuleFileName() const { return m_moduleFileName; }
    const CString& GetProgId() const { return m_progId; }
    const CString& GetDescription() const { return m_description; }
    const CString& GetClsid() const { return m_clsid; }

    // Longest texts the stored forms hold.
    static constexpr DWORD kTextCapacity = 512;   // a setting's text, with its zero
    static constexpr DWORD kHostCapacity = 256;   // "Host", with its zero
    static constexpr DWORD kSecretCapacity = 256; // bytes of UTF-16

protected:
    bool InitCipher();

    CString m_companyWord;
    CString m_productName;
    CString m_displayName;
    CString m_moduleFileName;
    CString m_progId;
    CString m_description;
    CString m_clsid;
    std::unique_ptr<CBlowfish> m_cipher;
    CString m_keyPath;

private:
    // Reads "Host" (at most 255 characters); false when missing or too long,
    // and missing tells which.
    bool ReadHost(CString& host, bool& missing);
    // The defaults file's element name: text as the DOM gives it, exact as
    // written. 0 or E_FAIL (see GetDefaultValue).
    HRESULT FindDefault(const char* name, CString& text, CString& exact);
};
