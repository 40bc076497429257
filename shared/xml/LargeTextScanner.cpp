#include "shared/xml/LargeTextScanner.h"

#include <array>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "shared/log/DebugLog.h"
#include "shared/requests/FileMgr.h"
#include "shared/xml/Base64Stream.h"
#include "shared/xml/PieceQueue.h"

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

// The same bytes for a text kept as it came, followed and checked at once:
// 0 of the alphabet, 1 blank or line feed, 2 the padding, 3 anything else.
constexpr std::array<BYTE, 256> MakeKindTable()
{
    std::array<BYTE, 256> table{};
    table.fill(3);
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(kAlphabet[i])] = 0;
    table[' '] = 1;
    table['\t'] = 1;
    table['\n'] = 1;
    table['='] = 2;
    return table;
}

constexpr std::array<BYTE, 256> kKind = MakeKindTable();

// Whether a document that begins with these bytes has its markup in bytes:
// not UTF-16 (with or without its mark) and the like.
bool IsAsciiBased(const BYTE* head, size_t count)
{
    for (size_t i = 0; i < count && i < 4; ++i) {
        if (head[i] == 0 || head[i] == 0xFE || head[i] == 0xFF)
            return false;
    }
    return true;
}

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

// A file's bytes, or a stream's pieces as they come. A stream cannot seek:
// what must be read again is given back as a file (Replay), read before
// the rest of the stream.
class CLargeTextScanner::CInput {
public:
    explicit CInput(HANDLE file) : m_file(file), m_buffer(new (std::nothrow) BYTE[kReadBlock]) {}
    explicit CInput(CPieceQueue& stream) : m_stream(&stream) {}

    bool IsReady() const { return m_buffer != nullptr || m_stream != nullptr; }
    bool IsStream() const { return m_stream != nullptr; }
    bool Failed() const { return m_failed; }
    // A stream that ended where it should (once Fill has said false).
    bool Complete() const { return !m_failed && (!m_stream || m_stream->Complete()); }

    // Makes bytes available; false at the end (or on a read error).
    bool Fill()
    {
        while (m_pos == m_size) {
            if (m_failed || !Next())
                return false;
        }
        return true;
    }
    // The next byte, or -1 at the end.
    int Get()
    {
        if (!Fill())
            return -1;
        return m_data[m_pos++];
    }
    const BYTE* Current() const { return m_data + m_pos; }
    size_t Available() const { return m_size - m_pos; }
    void Skip(size_t count) { m_pos += count; }
    // Of a file only.
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
    // Of a stream: the bytes of the file at path come next (the file is
    // deleted once read), then what is left of the current block.
    bool Replay(const CString& path)
    {
        auto file = std::make_unique<CPending>();
        file->path = path;
        file->file.Reset(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!m_buffer)
            m_buffer.reset(new (std::nothrow) BYTE[kReadBlock]);
        if (!file->file || !m_buffer) {
            m_failed = true;
            return false;
        }
        if (m_pos < m_size) {
            auto left = std::make_unique<CPending>();
            left->bytes.assign(m_data + m_pos, m_data + m_size);
            m_pending.push_back(std::move(left));
        }
        m_pos = m_size;
        m_pending.push_back(std::move(file));
        return true;
    }

private:
    // What a replay put before the rest of the stream: a file, or bytes.
    struct CPending {
        ~CPending()
        {
            file.Reset();
            if (!path.IsEmpty())
                DeleteFileA(path);
        }
        CFileHandle file;
        CString path;
        std::vector<BYTE> bytes;
    };

    // The next block, possibly empty; false at the end.
    bool Next()
    {
        m_base += static_cast<LONGLONG>(m_size);
        m_size = 0;
        m_pos = 0;
        if (!m_pending.empty()) {
            CPending& next = *m_pending.back();
            if (!next.file) {
                m_held = std::move(next.bytes);
                m_pending.pop_back();
                m_data = m_held.data();
                m_size = m_held.size();
                return true;
            }
            DWORD read = 0;
            if (!ReadFile(next.file.Get(), m_buffer.get(), static_cast<DWORD>(kReadBlock), &read,
                          nullptr)) {
                m_failed = true;
                return false;
            }
            if (read == 0)
                m_pending.pop_back();
            m_data = m_buffer.get();
            m_size = read;
            return true;
        }
        if (m_stream)
            return m_stream->Take(m_data, m_size);
        DWORD read = 0;
        if (!ReadFile(m_file, m_buffer.get(), static_cast<DWORD>(kReadBlock), &read, nullptr)) {
            m_failed = true;
            return false;
        }
        m_data = m_buffer.get();
        m_size = read;
        return read > 0;
    }

    HANDLE m_file = INVALID_HANDLE_VALUE;
    CPieceQueue* m_stream = nullptr;
    std::unique_ptr<BYTE[]> m_buffer;
    std::vector<std::unique_ptr<CPending>> m_pending; // the next one last
    std::vector<BYTE> m_held;                         // the bytes being read
    const BYTE* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    LONGLONG m_base = 0; // the file offset of the block's first byte
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
    // Why the file took no more.
    HRESULT Error() const { return m_error; }

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
             written != m_held)) {
            m_failed = true;
            const DWORD error = GetLastError();
            m_error = error ? HRESULT_FROM_WIN32(error) : HRESULT_FROM_WIN32(ERROR_DISK_FULL);
        }
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
    HRESULT m_error = S_OK;
};

// ---- The scanner ----

// What a stream's scan holds while it runs.
struct CLargeTextScanner::CStream {
    CPieceQueue queue{kStreamPieces, kStreamPiece};
    std::unique_ptr<COutput> rest;
    CKernelHandle thread;
    bool ended = false;
    HRESULT outcome = E_ABORT;
};

CLargeTextScanner::CLargeTextScanner(std::vector<LargeElement> elements)
    : m_elements(std::move(elements))
{}

CLargeTextScanner::~CLargeTextScanner()
{
    if (m_stream && !m_stream->ended)
        EndStream(false);
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

void CLargeTextScanner::DropLifted()
{
    for (const auto& record : m_found) {
        if (record->lifted)
            DeleteFileA(record->path);
        record->lifted = false;
        record->path.Empty();
    }
}

void CLargeTextScanner::Scan(const char* source)
{
    m_source = source ? source : "";
    if (!source || m_stream)
        return;
    CFileHandle file(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return; // the reader says what is wrong with it
    BYTE head[4] = {};
    DWORD got = 0;
    if (!ReadFile(file.Get(), head, sizeof head, &got, nullptr))
        return;
    if (!IsAsciiBased(head, got))
        return;
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
    ScanMarkup(in, rest);

    bool anyLifted = false;
    for (const auto& record : m_found)
        anyLifted = anyLifted || record->lifted;
    const bool written = rest.Close() && !in.Failed();
    if (!written || !anyLifted) {
        // Nothing gained, or a rest that cannot be trusted: the reader reads
        // the source, and delivers every text itself.
        DeleteFileA(m_restPath);
        m_restPath.Empty();
        DropLifted();
    }
}

void CLargeTextScanner::ScanMarkup(CInput& in, COutput& rest)
{
    while (in.Fill() && !rest.Failed() && SUCCEEDED(m_broken)) {
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
}

bool CLargeTextScanner::BeginStream()
{
    if (m_stream || !m_source.IsEmpty())
        return false;
    for (const LargeElement& element : m_elements) {
        if (element.treatment != LargeText::Copy)
            return false;
    }
    auto stream = std::unique_ptr<CStream>(new (std::nothrow) CStream);
    if (!stream || !stream->queue.IsReady())
        return false;
    CString restPath;
    HANDLE restFile = CreateNewTempFile(nullptr, nullptr, restPath);
    if (restFile == INVALID_HANDLE_VALUE)
        return false;
    stream->rest.reset(new (std::nothrow) COutput(restFile, kRestBlock));
    if (!stream->rest || !stream->rest->IsReady()) {
        if (!stream->rest)
            CloseHandle(restFile);
        stream->rest.reset();
        DeleteFileA(restPath);
        return false;
    }
    m_restPath = restPath;
    m_stream = std::move(stream);
    m_stream->thread.Reset(CreateThread(nullptr, 0, StreamProc, this, 0, nullptr));
    if (!m_stream->thread) {
        m_stream->rest.reset();
        m_stream.reset();
        DeleteFileA(m_restPath);
        m_restPath.Empty();
        return false;
    }
    return true;
}

BYTE* CLargeTextScanner::Room()
{
    return m_stream && !m_stream->ended ? m_stream->queue.Room() : nullptr;
}

void CLargeTextScanner::Put(size_t count)
{
    if (m_stream && !m_stream->ended)
        m_stream->queue.Put(count);
}

HRESULT CLargeTextScanner::EndStream(bool complete)
{
    if (!m_stream)
        return E_UNEXPECTED;
    if (!m_stream->ended) {
        m_stream->queue.End(complete);
        WaitForSingleObject(m_stream->thread.Get(), INFINITE);
        m_stream->thread.Reset();
        m_stream->ended = true;
        if (FAILED(m_stream->outcome)) {
            // Half an answer would read as a broken one.
            DropLifted();
            if (!m_restPath.IsEmpty())
                DeleteFileA(m_restPath);
            m_restPath.Empty();
        }
    }
    return m_stream->outcome;
}

DWORD WINAPI CLargeTextScanner::StreamProc(void* parameter)
{
    static_cast<CLargeTextScanner*>(parameter)->ScanStream();
    return 0;
}

void CLargeTextScanner::ScanStream()
{
    CStream& stream = *m_stream;
    COutput& rest = *stream.rest;
    CInput in(stream.queue);
    if (!in.Fill() || IsAsciiBased(in.Current(), in.Available())) {
        ScanMarkup(in, rest);
    } else {
        // As for a file, a document not in bytes is not scanned: all of it
        // is the rest.
        while (in.Fill() && !rest.Failed()) {
            rest.Put(in.Current(), in.Available());
            in.Skip(in.Available());
        }
    }
    HRESULT outcome = rest.Failed() ? rest.Error() : m_broken;
    if (SUCCEEDED(outcome))
        outcome = in.Failed() ? E_FAIL : (in.Complete() ? S_OK : E_ABORT);
    // Whatever stopped the scan, the receiver is to put no more.
    stream.queue.Stop();
    if (!rest.Close() && SUCCEEDED(outcome))
        outcome = rest.Error();
    stream.outcome = outcome;
    stream.rest.reset();
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
    if (first == '/') {
        if (m_depth > 0)
            --m_depth;
        if (m_readerFrom > m_depth)
            m_readerFrom = 0;
        return copyThrough(">");
    }
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
    if (!selfClosed)
        ++m_depth;

    const CString localName = LocalName(qName);
    const LargeElement* element = qName.GetLength() <= kMaxName ? Find(localName) : nullptr;
    if (!element || m_found.size() >= kMaxElements)
        return;
    auto record = std::make_unique<LiftedText>();
    record->name = localName;
    LiftedText& found = *record;
    m_found.push_back(std::move(record));
    if (selfClosed)
        return;
    // The content of a large element the reader reads is all its own: a
    // capture of it takes the text of the elements inside too.
    if (!attributes && m_readerFrom == 0 && Lift(in, rest, qName, element->treatment, found)) {
        --m_depth; // its end tag went with the text
        return;
    }
    found.lifted = false;
    found.path.Empty();
    if (m_readerFrom == 0)
        m_readerFrom = m_depth;
}

bool CLargeTextScanner::Lift(CInput& in, COutput& rest, const CString& qName, LargeText treatment,
                             LiftedText& record)
{
    // A stream cannot be read again: its text is kept as it came, so that
    // the reader can be given it after all, and resolved after its end.
    const bool asCame = in.IsStream();
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
    std::unique_ptr<char[]> text;
    if (!asCame)
        text.reset(new (std::nothrow) char[kTextBlock]);
    std::unique_ptr<BYTE[]> bytes;
    if (treatment == LargeText::Decode)
        bytes.reset(new (std::nothrow) BYTE[Base64StreamDecoder::RoomFor(kTextBlock)]);
    if (!out.IsReady() || (!asCame && !text) || (treatment == LargeText::Decode && !bytes)) {
        out.Close();
        DeleteFileA(path);
        return false;
    }

    Base64StreamDecoder decoder;
    size_t held = 0;
    bool toResolve = false; // a line end or reference in a text kept as it came
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
    // The text as the reader would hand it over.
    auto put = [&](const void* from, size_t count) {
        if (asCame) {
            decoder.Check(static_cast<const char*>(from), count);
            return;
        }
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
    // The element's bytes as they came, of a text kept so.
    auto came = [&](const void* from, size_t count) {
        if (asCame)
            out.Put(from, count);
    };
    // consumed: what was read of the element since the last came.
    auto giveBack = [&](const char* consumed, size_t count) {
        came(consumed, count);
        const bool kept = out.Close();
        if (!asCame) {
            DeleteFileA(path);
            in.SeekTo(contentStart);
        } else if (!kept) {
            DeleteFileA(path);
            m_broken = out.Error();
        } else if (!in.Replay(path)) {
            m_broken = E_FAIL;
        }
        return false;
    };

    CString endTag;
    for (;;) {
        if (!in.Fill())
            return giveBack(nullptr, 0); // the file ends inside the element
        const BYTE* at = in.Current();
        const size_t available = in.Available();
        size_t run = 0;
        if (asCame) {
            // One pass for the run and its check: the text is not copied.
            for (;;) {
                size_t letters = 0;
                BYTE kind = 0;
                while (run < available && (kind = kKind[at[run]]) <= 1) {
                    letters += kind ^ 1;
                    ++run;
                }
                decoder.CheckLetters(letters);
                if (run == available || kind != 2)
                    break;
                decoder.Check("=", 1);
                ++run;
            }
            came(at, run);
        } else {
            while (run < available && kPlain[at[run]])
                ++run;
            put(at, run);
        }
        in.Skip(run);
        if (run == available)
            continue;
        const int ch = in.Get();
        if (ch == '\r') {
            // The reader hands "\r\n" and a lone "\r" over as "\n".
            put("\n", 1);
            came("\r", 1);
            toResolve = true;
            if (in.Fill() && *in.Current() == '\n') {
                in.Skip(1);
                came("\n", 1);
            }
        } else if (ch == '&') {
            // As read: "&", the reference's characters, what ended them.
            char consumed[kMaxReference + 2] = {'&'};
            size_t taken = 1;
            const char* reference = consumed + 1;
            int length = 0;
            int next = in.Get();
            while (next >= 0 && next != ';' && length < kMaxReference) {
                consumed[taken++] = static_cast<char>(next);
                ++length;
                next = in.Get();
            }
            if (next >= 0)
                consumed[taken++] = static_cast<char>(next);
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
                return giveBack(consumed, taken);
            const char character = static_cast<char>(value);
            put(&character, 1);
            came(consumed, taken);
            toResolve = true;
        } else if (ch == '<') {
            // Only the element's own end tag may follow.
            endTag = "<";
            int next = in.Get();
            const auto mismatch = [&] {
                if (next >= 0)
                    endTag += static_cast<char>(next);
                return giveBack(endTag.GetString(), static_cast<size_t>(endTag.GetLength()));
            };
            if (next != '/')
                return mismatch();
            endTag += '/';
            for (int i = 0; i < qName.GetLength(); ++i) {
                next = in.Get();
                if (next != static_cast<unsigned char>(qName[i]))
                    return mismatch();
                endTag += static_cast<char>(next);
            }
            next = in.Get();
            while (IsBlank(next)) {
                endTag += static_cast<char>(next);
                next = in.Get();
            }
            if (next != '>')
                return mismatch();
            endTag += '>';
            break;
        } else {
            const char other = static_cast<char>(ch);
            return giveBack(&other, ch >= 0 ? 1 : 0);
        }
    }

    if (!asCame)
        flush();
    BYTE last[3];
    const size_t count = decoder.Finish(last);
    if (treatment == LargeText::Decode && !decoder.Failed())
        out.Put(last, count);
    // Should a kept text's file have failed, it cannot be read again either:
    // giving it back then breaks the stream's scan.
    if (!out.Close())
        return giveBack(endTag.GetString(), static_cast<size_t>(endTag.GetLength()));
    if (asCame && toResolve) {
        CString resolved;
        const HRESULT hr = Resolve(path, resolved);
        DeleteFileA(path);
        if (FAILED(hr)) {
            m_broken = hr;
            return false;
        }
        path = resolved;
    }
    rest.Put(endTag);
    record.lifted = true;
    record.base64 = !decoder.Failed();
    record.path = path;
    return true;
}

HRESULT CLargeTextScanner::Resolve(const CString& from, CString& to)
{
    CFileHandle source(CreateFileA(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CString path;
    {
        CFileMgr names;
        if (!source || !names.MakeTempName(nullptr))
            return E_FAIL;
        path = names.GetFilePath();
    }
    COutput out(CreateFileA(path, GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr),
                kTextBlock);
    std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[kReadBlock]);
    if (!out.IsReady() || !block) {
        out.Close();
        DeleteFileA(path);
        return E_OUTOFMEMORY;
    }
    // The text was checked as it came: only line ends and numeric
    // references to plain characters need resolving.
    bool afterReturn = false;
    bool inReference = false;
    bool hex = false;
    unsigned value = 0;
    DWORD read = 0;
    bool readable = true;
    while ((readable = ReadFile(source.Get(), block.get(), static_cast<DWORD>(kReadBlock), &read,
                                nullptr) != FALSE) &&
           read > 0) {
        for (DWORD i = 0; i < read;) {
            const BYTE byte = block[i];
            if (inReference) {
                ++i;
                if (byte == ';') {
                    out.Put(static_cast<int>(value));
                    inReference = false;
                } else if (byte == 'x') {
                    hex = true;
                } else if (byte >= '0' && byte <= '9') {
                    value = value * (hex ? 16 : 10) + (byte - '0');
                } else if (byte != '#') {
                    value = value * 16 + ((byte | 0x20) - 'a' + 10);
                }
                continue;
            }
            if (afterReturn) {
                afterReturn = false;
                if (byte == '\n') {
                    ++i;
                    continue;
                }
            }
            DWORD run = i;
            while (run < read && block[run] != '\r' && block[run] != '&')
                ++run;
            out.Put(block.get() + i, run - i);
            if (run == read)
                break;
            if (block[run] == '\r') {
                out.Put('\n');
                afterReturn = true;
            } else {
                inReference = true;
                hex = false;
                value = 0;
            }
            i = run + 1;
        }
    }
    if (!out.Close() || !readable) {
        DeleteFileA(path);
        return out.Failed() ? out.Error() : E_FAIL;
    }
    to = path;
    return S_OK;
}
