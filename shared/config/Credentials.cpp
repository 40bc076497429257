// The stored credentials: "e-mail<TAB>password<TAB>account ID" in UTF-16,
// zero-padded to whole 8-byte blocks and enciphered with Blowfish (ECB)
// under a key every deliverable builds the same way, kept as the binary
// value "Credentials".
#include <cstring>
#include <vector>

#include "shared/config/Blowfish.h"
#include "shared/config/Config.h"
#include "shared/log/DebugLog.h"

namespace {

// The key is assembled at run time so it does not stand in the binary as
// one piece of text.
void BuildKey(BYTE (&key)[8])
{
    static constexpr BYTE kMask = 0x5A;
    static constexpr BYTE kMasked[8] = {0x0B, 0x2F, 0x6B, 0x36, 0x36, 0x69, 0x2E, 0x7B};
    for (int i = 0; i < 8; ++i)
        key[i] = static_cast<BYTE>(kMasked[i] ^ kMask);
}

constexpr DWORD RoundToBlock(DWORD length)
{
    return (length + 7) & ~DWORD{7};
}

} // namespace

bool CCfgBase::InitCipher()
{
    if (m_cipher)
        return true;
    BYTE key[8];
    BuildKey(key);
    m_cipher.reset(new (std::nothrow) CBlowfish());
    if (!m_cipher || !m_cipher->IsReady()) {
        m_cipher.reset();
        return false;
    }
    m_cipher->Initialize(key, sizeof key);
    SecureZeroMemory(key, sizeof key);
    return true;
}

HRESULT CCfgBase::SetSecret(const char* name, const char* text)
{
    if (!InitCipher())
        return E_OUTOFMEMORY;
    const int units = MultiByteToWideChar(CP_THREAD_ACP, 0, text ? text : "", -1, nullptr, 0) - 1;
    if (units < 0 || units * sizeof(wchar_t) > kSecretCapacity) {
        TheLog().Error("CCfgBase::SetSecret: the text is too long to be stored");
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    BYTE buffer[kSecretCapacity] = {};
    std::vector<wchar_t> wide(units + 1);
    MultiByteToWideChar(CP_THREAD_ACP, 0, text ? text : "", -1, wide.data(), units + 1);
    const DWORD length = units * sizeof(wchar_t);
    std::memcpy(buffer, wide.data(), length);
    const DWORD padded = m_cipher->Encode(buffer, buffer, length);
    SetKey(name, buffer, padded);
    SecureZeroMemory(buffer, sizeof buffer);
    SecureZeroMemory(wide.data(), wide.size() * sizeof(wchar_t));
    return S_OK;
}

HRESULT CCfgBase::GetSecret(const char* name, CString& text)
{
    if (!InitCipher())
        return E_FAIL;
    BYTE stored[2 * kSecretCapacity] = {};
    DWORD size = sizeof stored;
    HRESULT hr = GetBinary(name, stored, size);
    if (FAILED(hr))
        return hr;
    // Nothing this program stores is longer; a longer value is not ours.
    if (size > kSecretCapacity) {
        TheLog().Error("CCfgBase::GetSecret: the stored value is too long");
        SecureZeroMemory(stored, sizeof stored);
        return E_FAIL;
    }
    // A zero after the longest text, so the UTF-16 always ends.
    BYTE plain[kSecretCapacity + sizeof(wchar_t)] = {};
    if (size > 0)
        m_cipher->Decode(stored, plain, RoundToBlock(size));
    const wchar_t* wide = reinterpret_cast<const wchar_t*>(plain);
    const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::vector<char> narrow(bytes > 0 ? bytes : 1, '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, wide, -1, narrow.data(), static_cast<int>(narrow.size()),
                        nullptr, nullptr);
    text = narrow.data();
    SecureZeroMemory(stored, sizeof stored);
    SecureZeroMemory(plain, sizeof plain);
    SecureZeroMemory(narrow.data(), narrow.size());
    return S_OK;
}

HRESULT CConfig::SetCredentials(const CCredentials& credentials)
{
    for (const CString* field :
         {&credentials.m_email, &credentials.m_password, &credentials.m_accountId}) {
        if (field->Find('\t') >= 0) {
            TheLog().Error("CConfig::SetCredentials: a field holds a tab and is not stored");
            return E_INVALIDARG;
        }
    }
    CString text;
    text.Format("%s\t%s\t%s", credentials.m_email.GetString(), credentials.m_password.GetString(),
                credentials.m_accountId.GetString());
    HRESULT hr = SetSecret("Credentials", text);
    SecureZeroMemory(text.GetBuffer(0), text.GetLength());
    return FAILED(hr) ? E_INVALIDARG : S_OK;
}

HRESULT CConfig::GetCredentials(CCredentials& credentials)
{
    CString text;
    HRESULT hr = GetSecret("Credentials", text);
    if (FAILED(hr))
        return hr;
    const int first = text.Find('\t');
    if (first < 0)
        return E_FAIL;
    credentials.m_email = text.Left(first);
    const CString rest = text.Mid(first + 1);
    const int second = rest.Find('\t');
    if (second < 0)
        return E_FAIL;
    credentials.m_password = rest.Left(second);
    credentials.m_accountId = rest.Mid(second + 1);
    return S_OK;
}
