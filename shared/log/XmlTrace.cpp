#include "shared/log/XmlTrace.h"

#include <cstring>
#include <windows.h>

#include "classlib/win32/CFile.h"

namespace {

constexpr const char kTraceStart[] = "<XmlLog>\n";
constexpr const char kTraceEnd[] = "</XmlLog>\n";
constexpr LONGLONG kTraceEndLength = sizeof kTraceEnd - 1;
// A response file is copied in pieces of this size.
constexpr UINT kCopyPiece = 2047;

} // namespace

bool CXmlTrace::OpenForAppend(CFile& trace)
{
    char temp[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length >= sizeof temp)
        return false;
    CString path;
    path.Format("%s\\%sDebug.xml", temp, "Quillet");

    if (!trace.Open(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite))
        return false;
    const LONGLONG size = trace.SeekToEnd();
    if (size <= 0) {
        trace.Write(kTraceStart, sizeof kTraceStart - 1);
    } else if (size >= kTraceEndLength) {
        // Steps back over the closing tag only where the file really ends
        // with it; a file cut short (or someone else's) is added to as it is.
        char tail[kTraceEndLength];
        trace.Seek(-kTraceEndLength, CFile::end);
        if (trace.Read(tail, sizeof tail) == sizeof tail &&
            std::memcmp(tail, kTraceEnd, sizeof tail) == 0)
            trace.Seek(-kTraceEndLength, CFile::end);
        else
            trace.SeekToEnd();
    }
    return true;
}

void CXmlTrace::Finish(CFile& trace)
{
    trace.Write(kTraceEnd, static_cast<UINT>(kTraceEndLength));
    trace.Close();
}

void CXmlTrace::AppendText(const char* text) const
{
    CFile trace;
    if (!m_on || !text || !OpenForAppend(trace))
        return;
    trace.Write(text, static_cast<UINT>(std::strlen(text)));
    Finish(trace);
}

void CXmlTrace::AppendFile(const char* path) const
{
    CFile trace;
    if (!m_on || !path || !OpenForAppend(trace))
        return;
    CFile source;
    if (source.Open(path, CFile::modeRead | CFile::shareDenyNone)) {
        char piece[kCopyPiece];
        for (UINT read; (read = source.Read(piece, sizeof piece)) > 0;)
            trace.Write(piece, read);
    }
    Finish(trace);
}
