#include "addin/sync/SignedCopy.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "classlib/win32/CFile.h"

namespace {

constexpr std::string_view kHeader = "%PDF-";
constexpr std::string_view kEndMark = "%%EOF";
// Enough of the file's end for the mark and what writers put after it.
constexpr UINT kTail = 1024;

bool IsTrailing(char ch)
{
    return ch == '\r' || ch == '\n' || ch == ' ' || ch == '\t' || ch == '\0';
}

} // namespace

bool IsWholePdf(const char* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyWrite))
        return false;
    char head[kHeader.size()] = {};
    if (file.Read(head, sizeof head) != sizeof head ||
        std::string_view(head, sizeof head) != kHeader)
        return false;
    const LONGLONG length = file.GetLength();
    const LONGLONG from = std::max<LONGLONG>(0, length - kTail);
    if (file.Seek(from, CFile::begin) != from)
        return false;
    char tail[kTail];
    const UINT got = file.Read(tail, kTail);
    std::string_view end(tail, got);
    while (!end.empty() && IsTrailing(end.back()))
        end.remove_suffix(1);
    if (end.size() < kEndMark.size() || end.substr(end.size() - kEndMark.size()) != kEndMark)
        return false;
    // The mark is a line of its own, not the end of some other text.
    end.remove_suffix(kEndMark.size());
    return !end.empty() && (end.back() == '\n' || end.back() == '\r');
}

CFileGoesWithOwner::~CFileGoesWithOwner()
{
    if (!m_path.IsEmpty())
        CFile::Remove(m_path);
}
