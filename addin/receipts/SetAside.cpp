#include "addin/receipts/SetAside.h"

#include <windows.h>

#include "classlib/win32/CFile.h"
#include "classlib/win32/Handles.h"
#include "shared/log/DebugLog.h"

namespace {

constexpr char kMarkerFolder[] = "Set Aside";
// Markers are small; a longer one is not ours.
constexpr UINT kMaxMarker = 128;

// The folder part of path (without its last backslash) and the name.
bool SplitPath(const char* path, CString& folder, CString& name)
{
    if (!path)
        return false;
    const CString whole(path);
    const int slash = whole.ReverseFind('\\');
    if (slash <= 0 || slash + 1 >= whole.GetLength())
        return false;
    folder = whole.Left(slash);
    name = whole.Mid(slash + 1);
    return true;
}

CString MarkerFolder(const CString& receiptsFolder)
{
    return receiptsFolder + "\\" + kMarkerFolder;
}

bool MarkerPath(const char* path, CString& marker)
{
    CString folder;
    CString name;
    if (!SplitPath(path, folder, name))
        return false;
    marker = MarkerFolder(folder) + "\\" + name;
    return true;
}

// The file's size and last write time as the marker keeps them; false when
// the file cannot be looked at.
bool Stamp(const char* path, CString& stamp)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    stamp.Format("%08lx%08lx %08lx%08lx", data.nFileSizeHigh, data.nFileSizeLow,
                 data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return true;
}

// The marker goes, and with the last one its folder: the Receipts folder is
// left as the agent made it.
void RemoveMarker(const CString& marker)
{
    CFile::Remove(marker);
    const int slash = marker.ReverseFind('\\');
    if (slash > 0)
        RemoveDirectoryA(marker.Left(slash)); // fails while others are in it
}

const char* ReasonText(SetAsideReason reason)
{
    return reason == SetAsideReason::Imported ? "imported" : "failed";
}

} // namespace

bool IsReceiptSetAside(const char* path, SetAsideReason& reason)
{
    CString marker;
    if (!MarkerPath(path, marker))
        return false;
    CFile file;
    if (!file.Open(marker, CFile::modeRead | CFile::shareDenyWrite))
        return false;
    char text[kMaxMarker + 1] = {};
    const UINT got = file.Read(text, kMaxMarker);
    file.Close();
    CString stamp;
    const CString kept(text, static_cast<int>(got));
    const int blank = kept.ReverseFind(' ');
    if (Stamp(path, stamp) && blank > 0 && kept.Left(blank) == stamp) {
        const CString word = kept.Mid(blank + 1);
        if (word == ReasonText(SetAsideReason::Imported)) {
            reason = SetAsideReason::Imported;
            return true;
        }
        if (word == ReasonText(SetAsideReason::Failed)) {
            reason = SetAsideReason::Failed;
            return true;
        }
    }
    // The file changed since (or the marker is not one): it is tried again.
    RemoveMarker(marker);
    return false;
}

void SetReceiptAside(const char* path, SetAsideReason reason, const char* why)
{
    CString marker;
    CString stamp;
    CString folder;
    CString name;
    if (!MarkerPath(path, marker) || !SplitPath(path, folder, name) || !Stamp(path, stamp)) {
        TheLog().CommentFormat("SetReceiptAside: %s cannot be set aside", path ? path : "");
        return;
    }
    CreateDirectoryA(MarkerFolder(folder), nullptr);
    CFile file;
    if (!file.Open(marker, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive) ||
        !file.Write(stamp + " " + ReasonText(reason))) {
        TheLog().CommentFormat("SetReceiptAside: no marker for %s", path);
        return;
    }
    CString text;
    text.Format("Receipt import: %s %s; it is set aside until it changes", path, why);
    TheLog().Warning(text);
}

void ForgetSetAside(const char* path)
{
    CString marker;
    if (MarkerPath(path, marker) && GetFileAttributesA(marker) != INVALID_FILE_ATTRIBUTES)
        RemoveMarker(marker);
}

void DropStaleMarkers(const char* receiptsFolder)
{
    if (!receiptsFolder || !*receiptsFolder)
        return;
    const CString folder = MarkerFolder(receiptsFolder);
    WIN32_FIND_DATAA found{};
    CFindHandle search(FindFirstFileA(folder + "\\*", &found));
    if (!search.IsValid())
        return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        CString receipt;
        receipt.Format("%s\\%s", receiptsFolder, found.cFileName);
        if (GetFileAttributesA(receipt) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND) {
            CString marker;
            marker.Format("%s\\%s", folder.GetString(), found.cFileName);
            CFile::Remove(marker);
        }
    } while (FindNextFileA(search.Get(), &found));
    search.Reset();
    RemoveDirectoryA(folder); // fails while markers are in it
}
