#include "shared/xml/LargeTextScanner.h"

#include <array>
#include <cstring>
#include <new>
#include <utility>

#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"
#include "shared/xml/Base64Stream.h"

namespace {

constexpr size_t kReadBlock = 1024 * 1024;
constexpr size_t kRestBlock = 256 * 1024;
constexpr size_t kTextBlock = 1024 * 1024;
// Longer names are no element this scanner looks for.
constexpr int kMaxName = 256;
// "&#x0000002B;" and shorter.
constexpr int kMaxReference = 12;
// Elements a scan takes on: a file of a few documents needs no more, and a
// hostile one with thousands would otherwise cost a file and a record each.
// Those after them go to the reader (which has limits of its own).
constexpr size_t kMaxElements = 64;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Bytes a lifted text passes on as they stand: the alphabet, the padding,
// blanks and line feeds. Carriage returns, references and the end tag are
// taken one by one; anything else gives the element back to the reader.
constexpr std::array<bool, 256> MakePlainTable()
{
    std::array<bool, 256> table{};
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = true;
    table['='] = true;
    table[' '] = true;
    table['\t'] = true;
    table['\n'] = true;
    return table;
}

constexpr std::array<bool, 256> kPlain = MakePlainTable();

bool IsBlank(int ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// The local part of a qualified name.
CString LocalName(const CString& qName)
{
    const int colon = qName.ReverseFind(':');
    return colon >= 0 ? qName.Mid(colon + 1) : qName;
}

// A character reference a lifted text may hold stands for one of these. Not
// a carriage return: readers differ in whether one written as a reference
// stays one.
bool MayStandInText(unsigned value)
{
    return value < 128 && kPlain[value];
}

} // namespace

// ---- Reading the source in large blocks ----

class CLargeTextScanner::CInput {
public:
    explicit CInput(HANDLE file) : m_file(file), m_buffer(new (std::nothrow) BYTE[kReadBlock]) {}

    bool IsReady() const { return m_buffer != nullptr; }
    bool Failed() const { return m_failed; }

    // Makes bytes available; false at the end (or on a read error).
    bool Fill()
    {
        if (m_pos < m_size)
            return true;
        if (m_failed)
            return false;
        m_base += static_cast<LONGLONG>(m_size);
        m_size = 0;
        m_pos = 0;
        DWORD read = 0;
        if (!ReadFile(m_file, m_buffer.get(), static_cast<DWORD>(kReadBlock), &read, nullptr)) {
            m_failed = true;
            return false;
        }
        m_size = read;
        return read > 0;
    }
    // The next byte, or -1 at the end.
    int Get()
    {
        if (!Fill())
            return -1;
        return m_buffer[m_pos++];
    }
    const BYTE* Current() const { return m_buffer.get() + m_pos; }
    size_t Available() const { return m_size - m_pos; }
    void Skip(size_t count) { m_pos += count; }
    LONGLONG Offset() const { return m_base + static_cast<LONGLONG>(m_pos); }
    bool SeekTo(LONGLONG offset)
    {
        LARGE_INTEGER to;
        to.QuadPart = offset;
        if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN)) {
            m_failed = true;
            return false;
        }
        m_base = offset;
        m_size = 0;
        m_pos = 0;
        return true;
    }

private:
    HANDLE m_file;
    std::unique_ptr<BYTE[]> m_buffer;
    size_t m_size = 0;
    size_t m_pos = 0;
    LONGLONG m_base = 0; // the file offset of the buffer's first byte
    bool m_failed = false;
};

// ---- Writing a file in large blocks ----

class CLargeTextScanner::COutput {
public:
    COutput(HANDLE file, size_t block)
        : m_file(file), m_block(block), m_buffer(new (std::nothrow) BYTE[block])
    {}
    ~COutput() = default;

    bool IsReady() const { return m_buffer != nullptr && m_file.IsValid(); }
    bool Failed() const { return m_failed; }

    void Put(const void* bytes, size_t count)
    {
        const auto* from = static_cast<const BYTE*>(bytes);
        while (count > 0 && !m_failed) {
            const size_t room = m_block - m_held;
            const size_t piece = count < room ? count : room;
            std::memcpy(m_buffer.get() + m_held, from, piece);
            m_held += piece;
            from += piece;
            count -= piece;
            if (m_held == m_block)
                Flush();
        }
    }
    void Put(int byte)
    {
        const BYTE value = static_cast<BYTE>(byte);
        Put(&value, 1);
    }
    void Put(const CString& text) { Put(text.GetString(), static_cast<size_t>(text.GetLength())); }
    bool Flush()
    {
        DWORD written = 0;
        if (!m_failed && m_held > 0 &&
            (!WriteFile(m_file.Get(), m_buffer.get(), static_cast<DWORD>(m_held), &written,
                        nullptr) ||
             written != m_held))
            m_failed = true;
        m_held = 0;
        return !m_failed;
    }
    bool Close()
    {
        const bool ok = Flush();
        m_file.Reset();
        return ok;
    }

private:
    CFileHandle m_file;
    size_t m_block;
    std::unique_ptr<BYTE[]> m_buffer;
    size_t m_held = 0;
    bool m_failed = false;
};

// ---- The scanner ----

CLargeTextScanner::CLargeTextScanner(std::vector<LargeElement> elements)
    : m_elements(std::move(elements))
{}

CLargeTextScanner::~CLargeTextScanner()
{
    for (const auto& record : m_found) {
        if (record->lifted && !record->taken && !record->path.IsEmpty())
            DeleteFileA(record->path);
    }
    if (!m_restPath.IsEmpty())
        DeleteFileA(m_restPath);
}

const LargeElement* CLargeTextScanner::Find(const CString& localName) const
{
    for (const LargeElement& element : m_elements) {
        if (localName == element.name)
            return &element;
    }
    return nullptr;
}

LiftedText* CLargeTextScanner::NextStart(const CString& name)
{
    if (!Find(name))
        return nullptr;
    if (m_next >= m_found.size() || !(m_found[m_next]->name == name)) {
        // The reader saw what the scan did not: from here on, trust neither.
        m_next = m_found.size();
        return nullptr;
    }
    return m_found[m_next++].get();
}

LiftedText* CLargeTextScanner::Take(const void* holder)
{
    if (!holder)
        return nullptr;
    for (const auto& record : m_found) {
        if (record->holder == holder && !record->taken) {
            record->taken = true;
            record->holder = nullptr;
            return record.get();
        }
    }
    return nullptr;
}

void CLargeTextScanner::Scan(const char* source)
{
    m_source = source ? source : "";
    if (!source)
        return;
    CFileHandle file(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return; // the reader says what is wrong with it
    BYTE head[4] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr))
        return;
    // UTF-16 (with or without its mark) and the like: markup is not bytes.
    for (DWORD i = 0; i < got; ++i) {
        if (head[i] == 0 || head[i] == 0xFE || head[i] == 0xFF)
            return;
    }
    SetFilePointer(file.Get(), 0, nullptr, FILE_BEGIN);

    CString restPath;
    HANDLE restFile = CreateNewTempFile(nullptr, nullptr, restPath);
    if (restFile == INVALID_HANDLE_VALUE)
        return;
    m_restPath = restPath;
    CInput in(file.Get());
    COutput rest(restFile, kRestBlock);
    if (!in.IsReady() || !rest.IsReady()) {
        rest.Close();
        DeleteFileA(m_restPath);
        m_restPath.Empty();
        return;
    }
    while (in.Fill()) {
        const BYTE* at = in.Current();
        const size_t available = in.Available();
        const void* open = std::memchr(at, '<', available);
        const size_t text =
            open ? static_cast<size_t>(static_cast<const BYTE*>(open) - at) : available;
        rest.Put(at, text);
        in.Skip(text);
        if (!open)
            continue;
        in.Skip(1);
        rest.Put('<');
        if (!Markup(in, rest))
            break;
    }

    bool anyLifted = false;
    for (const auto& record : m_found)
        anyLifted = anyLifted || record->lifted;
    const bool written = rest.Close() && !in.Failed();
    if (!written || !anyLifted) {
        // Nothing gained, or a rest that cannot be trusted: the reader reads
        // the source, and delivers every text itself.
        DeleteFileA(m_restPath);
        m_restPath.Empty();
        for (const auto& record : m_found) {
            if (record->lifted)
                DeleteFileA(record->path);
            record->lifted = false;
            record->path.Empty();
        }
    }
}

// After "<": copies the markup to the rest; false when the file ends in it.
bool CLargeTextScanner::Markup(CInput& in, COutput& rest)
{
    // Copies up to and including the end mark.
    auto copyThrough = [&in, &rest](const char* mark) {
        const size_t length = std::strlen(mark);
        size_t matched = 0;
        for (int ch; (ch = in.Get()) >= 0;) {
            rest.Put(ch);
            if (ch == mark[matched]) {
                if (++matched == length)
                    return true;
            } else {
                matched = ch == mark[0] ? 1 : 0;
            }
        }
        return false;
    };

    const int first = in.Get();
    if (first < 0)
        return false;
    rest.Put(first);
    if (first == '?')
        return copyThrough("?>");
    if (first == '/')
        return copyThrough(">");
    if (first != '!') {
        StartTag(in, rest, first);
        return true;
    }
    // A comment, a CDATA section or a declaration.
    static constexpr char kCdata[] = "[CDATA[";
    int ch = in.Get();
    if (ch < 0)
        return false;
    rest.Put(ch);
    if (ch == '-') {
        ch = in.Get();
        if (ch < 0)
            return false;
        rest.Put(ch);
        return ch == '-' ? copyThrough("-->") : copyThrough(">");
    }
    for (size_t i = 0; ch == kCdata[i];) {
        if (++i == sizeof kCdata - 1)
            return copyThrough("]]>");
        ch = in.Get();
        if (ch < 0)
            return false;
        rest.Put(ch);
    }
    return ch == '>' || copyThrough(">");
}

// After "<" and the first character of a start tag: copies the tag, and
// lifts the content of an element of a large name.
void CLargeTextScanner::StartTag(CInput& in, COutput& rest, int first)
{
    CString qName;
    int ch = first;
    while (ch >= 0 && !IsBlank(ch) && ch != '>' && ch != '/') {
        if (qName.GetLength() <= kMaxName)
            qName += static_cast<char>(ch);
        ch = in.Get();
        if (ch >= 0)
            rest.Put(ch);
    }
    bool attributes = false;
    bool selfClosed = false;
    int quote = 0;
    int last = 0;
    while (ch >= 0 && !(quote == 0 && ch == '>')) {
        if (quote) {
            if (ch == quote)
                quote = 0;
        } else if (ch == '"' || ch == '\'') {
            quote = ch;
            attributes = true;
        } else if (!IsBlank(ch) && ch != '/') {
            attributes = true;
        }
        last = ch;
        ch = in.Get();
        if (ch >= 0)
            rest.Put(ch);
    }
    if (ch < 0)
        return;
    selfClosed = last == '/';

    const CString localName = LocalName(qName);
    const LargeElement* element = qName.GetLength() <= kMaxName ? Find(localName) : nullptr;
    if (!element || m_found.size() >= kMaxElements)
        return;
    auto record = std::make_unique<LiftedText>();
    record->name = localName;
    LiftedText& found = *record;
    m_found.push_back(std::move(record));
    if (attributes || selfClosed)
        return;
    if (!Lift(in, rest, qName, element->treatment, found)) {
        found.lifted = false;
        found.path.Empty();
    }
}

bool CLargeTextScanner::Lift(CInput& in, COutput& rest, const CString& qName, LargeText treatment,
                             LiftedText& record)
{
    const LONGLONG contentStart = in.Offset();
    CString path;
    {
        CFileMgr names;
        if (!names.MakeTempName(nullptr))
            return false;
        path = names.GetFilePath();
    }
    // The name's file is ours and empty; it is written from its start.
    COutput out(CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                kTextBlock);
    std::unique_ptr<char[]> text(new (std::nothrow) char[kTextBlock]);
    std::unique_ptr<BYTE[]> bytes;
    if (treatment == LargeText::Decode)
        bytes.reset(new (std::nothrow) BYTE[Base64StreamDecoder::RoomFor(kTextBlock)]);
    if (!out.IsReady() || !text || (treatment == LargeText::Decode && !bytes)) {
        out.Close();
        DeleteFileA(path);
        return false;
    }

    Base64StreamDecoder decoder;
    size_t held = 0;
    auto flush = [&]() {
        if (treatment == LargeText::Copy) {
            decoder.Check(text.get(), held);
            out.Put(text.get(), held);
        } else if (!decoder.Failed()) {
            size_t produced = 0;
            decoder.Decode(text.get(), held, bytes.get(), produced);
            out.Put(bytes.get(), produced);
        }
        held = 0;
    };
    auto put = [&](const void* from, size_t count) {
        while (count > 0) {
            const size_t piece = count < kTextBlock - held ? count : kTextBlock - held;
            std::memcpy(text.get() + held, from, piece);
            held += piece;
            from = static_cast<const BYTE*>(from) + piece;
            count -= piece;
            if (held == kTextBlock)
                flush();
        }
    };
    auto giveBack = [&]() {
        out.Close();
        DeleteFileA(path);
        in.SeekTo(contentStart);
        return false;
    };

    CString endTag;
    for (;;) {
        if (!in.Fill())
            return giveBack(); // the file ends inside the element
        const BYTE* at = in.Current();
        const size_t available = in.Available();
        size_t run = 0;
        while (run < available && kPlain[at[run]])
            ++run;
        put(at, run);
        in.Skip(run);
        if (run == available)
            continue;
        const int ch = in.Get();
        if (ch == '\r') {
            // The reader hands "\r\n" and a lone "\r" over as "\n".
            put("\n", 1);
            if (in.Fill() && *in.Current() == '\n')
                in.Skip(1);
        } else if (ch == '&') {
            char reference[kMaxReference + 1] = {};
            int length = 0;
            int next = in.Get();
            while (next >= 0 && next != ';' && length < kMaxReference) {
                reference[length++] = static_cast<char>(next);
                next = in.Get();
            }
            unsigned value = 0;
            bool number = next == ';' && length >= 2 && reference[0] == '#';
            const bool hex = number && reference[1] == 'x';
            for (int i = hex ? 2 : 1; number && i < length && value < 0x110000; ++i) {
                const char digit = reference[i];
                if (digit >= '0' && digit <= '9')
                    value = value * (hex ? 16 : 10) + static_cast<unsigned>(digit - '0');
                else if (hex && digit >= 'a' && digit <= 'f')
                    value = value * 16 + static_cast<unsigned>(digit - 'a' + 10);
                else if (hex && digit >= 'A' && digit <= 'F')
                    value = value * 16 + static_cast<unsigned>(digit - 'A' + 10);
                else
                    number = false;
            }
            if (!number || length == (hex ? 2 : 1) || !MayStandInText(value))
                return giveBack();
            const char character = static_cast<char>(value);
            put(&character, 1);
        } else if (ch == '<') {
            // Only the element's own end tag may follow.
            endTag = "<";
            int next = in.Get();
            if (next != '/')
                return giveBack();
            endTag += '/';
            for (int i = 0; i < qName.GetLength(); ++i) {
                next = in.Get();
                if (next != static_cast<unsigned char>(qName[i]))
                    return giveBack();
                endTag += static_cast<char>(next);
            }
            next = in.Get();
            while (IsBlank(next)) {
                endTag += static_cast<char>(next);
                next = in.Get();
            }
            if (next != '>')
                return giveBack();
            endTag += '>';
            break;
        } else {
            return giveBack();
        }
    }

    flush();
    BYTE last[3];
    const size_t count = decoder.Finish(last);
    if (treatment == LargeText::Decode && !decoder.Failed())
        out.Put(last, count);
    if (!out.Close())
        return giveBack();
    rest.Put(endTag);
    record.lifted = true;
    record.base64 = !decoder.Failed();
    record.path = path;
    return true;
}
