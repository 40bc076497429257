// The benchmark's documents and the files that carry them in base64 (a
// signed-copy response, a template, a receipt), written piece by piece so
// that making them does not swell the process being measured.
#pragma once

#include <string>

// How a base64 text is broken into lines.
enum class Layout {
    RequestForm, // lines of 64 with "\n", "+", "/" and "=" as references, as requests carry it
    Lf,          // lines of 64 with "\n", as templates hold it
    CrLf,        // lines of 76 with "\r\n", as mail encoders break it
    Unbroken,    // one line
};

const char* LayoutName(Layout layout);

// Writes size bytes of pseudo-random data to path.
bool MakeDocument(const std::string& path, size_t megabytes);

// The document at documentPath in base64 of the given layout between head
// and tail, into path.
bool MakeCarrier(const std::string& path, const std::string& documentPath, Layout layout,
                 const std::string& head, const std::string& tail);

// The heads and tails of the three carriers.
std::string SignedCopyHead();
std::string SignedCopyTail();
std::string TemplateHead();
std::string TemplateTail();
std::string ReceiptHead();
std::string ReceiptTail();
