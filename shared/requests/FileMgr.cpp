#include "shared/requests/FileMgr.h"

#include <algorithm>
#include <atomic>
#include <string_view>

namespace {

// Tries at a name before the folder counts as unusable. With 64 random bits
// a clash is all but impossible; what ends the tries is a folder that
// refuses every new file.
constexpr int kAttempts = 64;

// Spreads the bits of a counter over the whole word (splitmix64's finisher):
// consecutive counters give names that look nothing alike.
ULONGLONG Mix(ULONGLONG value)
{
    value ^= value >> 30;
    value *= 0xBF58476D1CE4E5B9ull;
    value ^= value >> 27;
    value *= 0x94D049BB133111EBull;
    value ^= value >> 31;
    return value;
}

// 64 bits that no earlier call of this process gave, seeded so that
// processes differ from one another as well.
ULONGLONG NextUnique()
{
    static std::atomic<ULONGLONG> counter([] {
        LARGE_INTEGER now{};
        QueryPerformanceCounter(&now);
        FILETIME time{};
        GetSystemTimeAsFileTime(&time);
        const ULONGLONG seed =
            static_cast<ULONGLONG>(now.QuadPart) ^
            (static_cast<ULONGLONG>(GetCurrentProcessId()) << 40) ^
            ((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
        return Mix(seed);
    }());
    return Mix(counter.fetch_add(0x9E3779B97F4A7C15ull));
}

// "Qui" (the first three letters of the prefix, as the system shortens
// them) and 16 hexadecimal digits.
constexpr int kStemPrefixLength = 3;
constexpr int kStemDigits = 16;

CString UniqueStem(const char* prefix)
{
    CString stem;
    const ULONGLONG unique = NextUnique();
    stem.Format("%.3s%08lX%08lX", prefix, static_cast<unsigned long>(unique >> 32),
                static_cast<unsigned long>(unique & 0xFFFFFFFFu));
    return stem;
}

// A name UniqueStem("Quill") gives, followed by suffix and nothing else.
bool IsQuillName(std::string_view name, std::string_view suffix)
{
    constexpr std::string_view kPrefix = "Qui";
    static_assert(kPrefix.size() == kStemPrefixLength);
    if (name.size() != kPrefix.size() + kStemDigits + suffix.size() ||
        name.substr(0, kPrefix.size()) != kPrefix ||
        name.substr(kPrefix.size() + kStemDigits) != suffix)
        return false;
    const std::string_view digits = name.substr(kPrefix.size(), kStemDigits);
    return std::all_of(digits.begin(), digits.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

bool SameText(std::string_view left, std::string_view right)
{
    return left.size() == right.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, left.data(),
                          static_cast<int>(left.size()), right.data(),
                          static_cast<int>(right.size())) == CSTR_EQUAL;
}

bool FolderOrTemp(const char* folder, CString& result)
{
    if (folder && *folder) {
        result = folder;
        if (result[result.GetLength() - 1] != '\\')
            result += '\\';
        return true;
    }
    return GetTempFolder(result);
}

} // namespace

bool GetTempFolder(CString& folder)
{
    char path[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length >= sizeof path)
        return false;
    folder = CString(path, static_cast<int>(length));
    return true;
}

HANDLE CreateNewTempFile(const char* folder, const char* suffix, CString& path, const char* prefix)
{
    CString base;
    if (!FolderOrTemp(folder, base))
        return INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const CString candidate =
            base + UniqueStem(prefix ? prefix : "Quill") + (suffix ? suffix : ".tmp");
        HANDLE file = CreateFileA(candidate, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            path = candidate;
            return file;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

int CFileMgr::MakeTempName(const char* format)
{
    if (m_folder.IsEmpty() && !GetTempFolder(m_folder))
        return 0;
    CString folder;
    if (!FolderOrTemp(m_folder, folder))
        return 0;

    if (!format) {
        CString path;
        HANDLE file = CreateNewTempFile(folder, ".tmp", path);
        if (file == INVALID_HANDLE_VALUE)
            return 0;
        CloseHandle(file);
        m_filePath = path;
        return 1;
    }

    const bool takesName = CString(format).Find('%') >= 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const CString stem = UniqueStem("Quill");
        CString shaped;
        if (takesName)
            shaped.Format(format, stem.GetString());
        else
            shaped = stem + format;
        const CString candidate = folder + shaped;
        if (GetFileAttributesA(candidate) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_FILE_NOT_FOUND) {
            m_filePath = candidate;
            return 1;
        }
    }
    return 0;
}

bool IsAddinTempFile(const char* path)
{
    if (!path || !*path)
        return false;
    CString folder;
    if (!GetTempFolder(folder) || folder.GetLength() < 3 || folder[0] == '\\')
        return false;
    // The name as written must be the full name the system makes of it, so
    // nothing relative, no "." or "..", no doubled or forward separator and
    // no trailing dot or blank slips through; the folder's start keeps out
    // the long-path and device forms (a leading double backslash).
    char full[MAX_PATH + 1];
    const DWORD length = GetFullPathNameA(path, sizeof full, full, nullptr);
    const std::string_view given(path);
    if (length == 0 || length >= sizeof full || std::string_view(full, length) != given)
        return false;
    const std::string_view where(folder.GetString(), static_cast<size_t>(folder.GetLength()));
    if (given.size() <= where.size() || !SameText(given.substr(0, where.size()), where))
        return false;
    const std::string_view name = given.substr(where.size());
    if (!IsQuillName(name, ".xml") && !IsQuillName(name, ".tmp"))
        return false;
    // A folder, a link or a junction under such a name is no file of ours.
    const DWORD attributes = GetFileAttributesA(path);
    return attributes == INVALID_FILE_ATTRIBUTES ||
           !(attributes &
             (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE));
}
