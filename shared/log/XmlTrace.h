// CXmlTrace: the XML trace of the traffic with the signature service, kept
// when the setting "LogXML" under "Advanced" is 1. Every request and every
// response the operations of any deliverable exchange is appended to one
// file, QuilletDebug.xml in the temporary folder, between "<XmlLog>" and
// "</XmlLog>": each append steps back over the closing tag and writes it
// again after the new text. Nothing in the system reads the trace, and
// writing it never fails the caller: a file that cannot be had is left
// alone.
#pragma once

class CFile;

class CXmlTrace {
public:
    // on: whether anything is written (the operation reads the setting once).
    explicit CXmlTrace(bool on) : m_on(on) {}
    bool IsOn() const { return m_on; }

    // Appends text as it is; a null text adds nothing.
    void AppendText(const char* text) const;
    // Appends the contents of the file at path (a response kept in a file).
    void AppendFile(const char* path) const;

private:
    // Opens the trace file and moves to where the next text goes: after the
    // opening tag of a new file, over the closing tag of one that ends with
    // it, or at the end of any other. False when there is no file to write.
    static bool OpenForAppend(CFile& trace);
    // Writes the closing tag after what was appended.
    static void Finish(CFile& trace);

    bool m_on;
};
