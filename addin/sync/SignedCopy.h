// What a signed copy must be before a receipt task takes it: a whole PDF
// document. The service's answer can arrive cut short (a dropped connection,
// a proxy that gives up) and still decode, so the bytes themselves are
// asked: a PDF begins with its "%PDF-" header and ends with its "%%EOF"
// line. A copy that does not is refused, and the next sync fetches it again.
#pragma once

#include "classlib/strings/CString.h"

// True when the file at path begins with "%PDF-" and its last line (after
// any line ends and blanks that follow it) is "%%EOF". False also when the
// file cannot be read.
bool IsWholePdf(const char* path);

// A file that goes when its holder does: the decoded signed copy lives only
// until the task's attachment holds its bytes.
class CFileGoesWithOwner {
public:
    explicit CFileGoesWithOwner(const CString& path) : m_path(path) {}
    CFileGoesWithOwner(const CFileGoesWithOwner&) = delete;
    CFileGoesWithOwner& operator=(const CFileGoesWithOwner&) = delete;
    ~CFileGoesWithOwner();

private:
    CString m_path;
};
