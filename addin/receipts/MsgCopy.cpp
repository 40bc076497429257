#include "addin/receipts/MsgCopy.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <new>
#include <vector>

#include "classlib/com/CBstr.h"
#include "classlib/com/CVariant.h"
#include "shared/log/DebugLog.h"
#include "shared/outlook/AutomationValues.h"
#include "shared/outlook/Dispatcher.h"
#include "shared/outlook/OutlookEnums.h"
#include "shared/requests/Receipt.h"

using namespace automation;

namespace {

// The longest file name a folder entry takes, and the longest path the
// ANSI file functions (and Outlook's SaveAs) take, both without the zero.
constexpr size_t kMaxComponent = 255;
constexpr size_t kMaxPath = MAX_PATH - 1;
// A name taken in the meantime is tried again with a fresh unique part.
constexpr int kNameAttempts = 64;

bool IsForbidden(wchar_t ch)
{
    return ch < 0x20 || std::wcschr(L"<>:\"/\\|?*", ch) != nullptr;
}

bool IsDeviceName(std::wstring base)
{
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(std::towupper(ch)); });
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (const wchar_t* device : kDevices) {
        if (base == device)
            return true;
    }
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           base[3] >= L'1' && base[3] <= L'9';
}

void TrimEnds(std::wstring& text)
{
    while (!text.empty() && (text.back() == L' ' || text.back() == L'.'))
        text.pop_back();
    const size_t start = text.find_first_not_of(L' ');
    text.erase(0, start == std::wstring::npos ? text.size() : start);
}

std::wstring Widen(const char* text)
{
    if (!text || !*text)
        return std::wstring();
    const int units = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (units <= 1)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

// A file of the folder that no other copy takes: the system's temporary
// name gives the unique part, and the ".msg" file is made at once (empty),
// so a copy saved in the same moment under the same subject gets another
// name instead of overwriting this one. The temporary files go again once
// the name is ours; while they live they keep each try's unique part from
// coming back. Empty when no name could be had.
std::wstring ReserveMsgPath(const std::wstring& folder, const std::wstring& subject)
{
    std::vector<std::wstring> temporaries;
    std::wstring reserved;
    for (int attempt = 0; attempt < kNameAttempts && reserved.empty(); ++attempt) {
        wchar_t temporary[MAX_PATH] = {};
        if (!GetTempFileNameW(folder.c_str(), L"Quill", 0, temporary))
            break;
        temporaries.emplace_back(temporary);
        std::wstring unique = temporaries.back();
        const size_t slash = unique.find_last_of(L'\\');
        if (slash != std::wstring::npos)
            unique.erase(0, slash + 1);
        const size_t dot = unique.rfind(L".tmp");
        if (dot != std::wstring::npos)
            unique.erase(dot);

        // folder \ subject " (" unique ").msg"
        const size_t fixed = unique.size() + 7;
        const size_t byPath =
            folder.size() + 1 + fixed < kMaxPath ? kMaxPath - folder.size() - 1 - fixed : 0;
        const size_t byName = kMaxComponent - fixed;
        const std::wstring name = MsgFileSubject(subject, std::min(byPath, byName));
        std::wstring path = folder + L"\\" + name;
        if (!name.empty())
            path += L' ';
        path += L"(" + unique + L").msg";

        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            reserved = path;
        } else if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            break;
        }
    }
    for (const std::wstring& temporary : temporaries)
        DeleteFileW(temporary.c_str());
    return reserved;
}

} // namespace

std::wstring MsgFileSubject(const std::wstring& subject, size_t maxLength)
{
    std::wstring name = subject;
    for (wchar_t& ch : name) {
        if (ch == L'/')
            ch = L'-';
        else if (IsForbidden(ch))
            ch = L' ';
    }
    TrimEnds(name);
    if (IsDeviceName(name.substr(0, name.find(L'.'))))
        name.insert(0, 1, L'_');
    if (name.size() > maxLength) {
        name.resize(maxLength);
        // Half of a surrogate pair is no character.
        if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF)
            name.pop_back();
        TrimEnds(name);
    }
    return name;
}

HRESULT SaveMsgCopy(IDispatch* target, IDispatch* mail, const char* displayName,
                    const char* subject, long position)
{
    if (!target || !mail)
        return E_POINTER;
    try {
        CString folder;
        HRESULT hr = GetSentItemsFolder(folder);
        if (FAILED(hr))
            return hr;
        const std::wstring path = ReserveMsgPath(Widen(folder), Widen(subject));
        if (path.empty()) {
            TheLog().LastError("SaveMsgCopy: no file name in Sent Items");
            return E_FAIL;
        }
        CBstr pathText(path.c_str());
        if (!pathText.Get())
            return E_OUTOFMEMORY;
        // Automation order: the format (last parameter) first.
        VARIANT saveArgs[] = {LongArg(ol::kSaveAsMsg), BorrowedTextArg(pathText.Get())};
        hr = CDispatcher::CallMethod(mail, L"SaveAs", nullptr, 2, saveArgs);
        if (FAILED(hr)) {
            DeleteFileW(path.c_str());
            return hr;
        }

        CVariant attachments;
        hr = CDispatcher::GetProp(target, L"Attachments", attachments.Put());
        if (FAILED(hr))
            return hr;
        if (!IsObject(attachments))
            return E_FAIL;
        CBstr name(displayName ? displayName : "");
        VARIANT addArgs[] = {BorrowedTextArg(name.Get()),
                             LongArg(position < LONG_MAX ? position + 1 : LONG_MAX),
                             LongArg(ol::kAttachEmbeddedItem), BorrowedTextArg(pathText.Get())};
        CVariant added;
        return CDispatcher::CallMethod(attachments.pdispVal, L"Add", added.Put(), 4, addArgs);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
