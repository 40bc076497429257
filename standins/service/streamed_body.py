"""A request body taken in as it arrives, its document decoded on the way.

A document upload is an envelope of a few hundred bytes around one element
that holds the document as base64, in 64-character lines with "+", "/" and
"=" written as numeric character references. Keeping such a body, then its
element tree and the element's text, costs several times the document in
memory and seconds per hundred megabytes. So the element's content is decoded
piece by piece, as it arrives, into a length, a SHA-256 and (up to a limit)
the bytes, and only the envelope around it is parsed as XML, with a short
stand-in text where the content was.

What comes out must be what parsing the whole body gives, refusals included.
So only the plain part of the content is decoded here: base64 characters,
blanks, line ends and the three references the client writes. Whatever else
comes first (the end tag, a comment, CDATA, another reference, a character
that is not base64) ends the plain part: from there on the body is kept as it
came and parsed with the envelope, and the text the parser makes of it is
decoded after the plain part, as though the whole had been decoded at once.

Undoing the references and decoding hold the interpreter's lock, so for a
large body whose text is not kept, helper processes share that work: each
piece's plain run is cut after line ends into a share per helper, handed out
while the next pieces arrive, and taken back in order. Whatever a helper
cannot take as it is (a share that is not plain, or that does not start a
base64 quantum) is taken here the careful way, so the outcome is the same.
Without helpers (none could start, or one ended) the careful way alone gives
it.
"""

import base64
import binascii
import collections
import dataclasses
import fcntl
import hashlib
import os
import queue
import re
import struct
import subprocess
import sys
import threading

# Bytes asked of the connection at a time: small enough for the pieces made
# from them to stay in the processor's cache and be reused by the allocator.
PIECE = 128 * 1024
# A body taken in for its length and digest only (its text not kept) reads
# larger pieces, shared out among the helpers.
LARGE_PIECE = 1024 * 1024
# The least of a plain run worth handing out, per helper, and of a body
# worth starting helpers for.
_SHARE = 64 * 1024
_HELPED_BODY = 8 * 1024 * 1024
# Pieces handed out and not yet taken back: the helpers decode them while the
# next piece arrives.
_PENDING = 2

_BASE64_CHARS = b"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
_BLANKS = b" \t\r\n"
_BLANK_SET = frozenset(_BLANKS)
# A start tag up to its ">": attribute values may hold ">".
_START_TAG = re.compile(rb"""<([^\s/>!?]+)((?:[^"'>]|"[^"]*"|'[^']*')*)>""")


class Base64Stream:
    """Base64 decoded in pieces to the same bytes, and the same refusal, as
    base64.b64decode(whole, validate=True) gives the whole text once its
    blanks are removed. The last whole quantum and what follows it wait for
    finish(), so the rules about padding apply to the end of the text as
    they would to the whole."""

    def __init__(self, keep_limit):
        self.length = 0
        self.valid = True
        self.data = bytearray()  # None once longer than keep_limit
        self._keep_limit = keep_limit
        self._sha = hashlib.sha256()
        self._held = b""  # base64 characters not decoded yet
        self._pads = 0  # "=" seen: only "=" may follow

    def feed(self, text):
        """Takes the next part of the text: base64 characters, blanks
        (" \\t\\r\\n") and the "=" of the end. Returns the blanks it
        skipped, or None, having taken nothing, when the part cannot
        continue a valid text."""
        others = text.translate(None, _BASE64_CHARS)
        blanks = others.translate(None, b"=")
        if blanks.translate(None, _BLANKS):
            return None
        if self._pads or len(blanks) < len(others):
            return blanks if self._feed_padded(text.translate(None, _BLANKS)) else None
        held = self._held
        count = len(text) - len(blanks)
        total = len(held) + count
        keep = total - max(0, total // 4 * 4 - 4)
        if keep >= count:
            self._held = held + text.translate(None, _BLANKS)
            return blanks
        # From the end, back over `keep` base64 characters (and the blanks
        # among them): what comes before is whole quanta with the held ones.
        cut = len(text)
        while keep:
            cut -= 1
            if text[cut] not in _BLANK_SET:
                keep -= 1
        self._take(binascii.a2b_base64(held + text[:cut] if held else memoryview(text)[:cut]))
        self._held = text[cut:].translate(None, _BLANKS)
        return blanks

    def take_quanta(self, parts):
        """Takes what helpers made of consecutive shares of the text, each
        (the bytes of its whole quanta but the last, its characters after
        them), as feed() of the shares would. False, having taken nothing,
        when a share did not start a quantum (the text is then fed)."""
        if self._pads or len(self._held) % 4 or any(len(rest) != 4 for _, rest in parts[:-1]):
            return False
        for decoded, rest in parts:
            if self._held:
                self._take(binascii.a2b_base64(self._held))
            self._take(decoded)
            self._held = rest
        return True

    def _feed_padded(self, chars):
        """feed() of characters without blanks, where "=" has come."""
        if self._pads:
            if chars.strip(b"="):
                return False
            self._pads += len(chars)
            return True
        at = chars.find(b"=")
        if chars[at:].strip(b"="):
            return False
        self._held += chars[:at]
        self._pads = len(chars) - at
        return True

    def finish(self):
        if self.valid:
            try:
                self._take(base64.b64decode(self._held + b"=" * self._pads, validate=True))
            except binascii.Error:
                self.valid = False
        self._held = b""
        if not self.valid:
            self.data = None
        return self.valid

    def hexdigest(self):
        return self._sha.hexdigest()

    def _take(self, decoded):
        self._sha.update(decoded)
        self.length += len(decoded)
        if self.data is not None:
            if self.length <= self._keep_limit:
                self.data += decoded
            else:
                self.data = None


def _undo_references(content):
    """The client's references for "+", "/" and "=" as the characters."""
    # Split and join is the quickest way to undo them (faster than replace).
    text = b"/".join(b"+".join(content.split(b"&#43;")).split(b"&#47;"))
    if b"&" in text:
        text = text.replace(b"&#61;", b"=")
    return text


def _line_ends(content, blanks):
    """(line ends as the parser counts them, offset of the last) in content,
    whose blanks (the characters of it that are not base64) are given."""
    breaks = blanks.count(b"\n")
    last = content.rfind(b"\n")
    if b"\r" in blanks:
        breaks += blanks.count(b"\r") - content.count(b"\r\n")
        last = max(last, content.rfind(b"\r"))
    return breaks, last


def decode_share(content):
    """A helper's work on a share of a plain run that starts a base64
    quantum: None when the share is not base64 characters, blanks and
    references alone (the caller then decodes it the careful way), else
    (line ends, offset of the last, the bytes of its whole quanta but the
    last, the characters after them)."""
    text = _undo_references(content)
    blanks = text.translate(None, _BASE64_CHARS)
    if blanks.translate(None, _BLANKS):
        return None
    chars = text.translate(None, _BLANKS) if blanks else text
    whole = len(chars) // 4 * 4 - 4
    if whole < 0:
        return None
    breaks, last = _line_ends(content, blanks)
    return breaks, last, binascii.a2b_base64(chars[:whole]), chars[whole:]


_HEAD = struct.Struct("<Q")
_ANSWER = struct.Struct("<qqQQ")  # line ends (-1: not plain), last, bytes, characters


def _read_exactly(stream, count):
    data = stream.read(count)
    if len(data) != count:
        raise EOFError("the helper ended")
    return data


def serve_helper(source, sink):
    """A helper process's loop: shares in, decode_share's answers out."""
    while True:
        head = source.read(_HEAD.size)
        if len(head) < _HEAD.size:
            return
        answer = decode_share(_read_exactly(source, _HEAD.unpack(head)[0]))
        if answer is None:
            sink.write(_ANSWER.pack(-1, 0, 0, 0))
        else:
            breaks, last, decoded, rest = answer
            sink.write(_ANSWER.pack(breaks, last, len(decoded), len(rest)))
            sink.write(decoded)
            sink.write(rest)
        sink.flush()


def _interpreter():
    """This process's Python: a service started from Windows has no usable
    sys.executable (Wine hands it a Windows path as its name)."""
    if sys.executable and os.path.isfile(sys.executable):
        return sys.executable
    return os.path.realpath("/proc/self/exe")


class HelperPool:
    """Processes running serve_helper. Shares go out without waiting and
    each helper's answers come back in the order its shares went; a thread
    per helper takes them in, so that no helper waits on a full pipe."""

    def __init__(self, count):
        self._helpers, self._answers, self._readers = [], [], []
        try:
            for _ in range(count):
                helper = subprocess.Popen(
                    [_interpreter(), "-S", os.path.abspath(__file__), "--helper"],
                    stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
                self._helpers.append(helper)
                for stream in (helper.stdin, helper.stdout):
                    try:   # fewer, larger writes; the default pipe holds 64 KiB
                        fcntl.fcntl(stream.fileno(), fcntl.F_SETPIPE_SZ, 1 << 20)
                    except (OSError, AttributeError):
                        pass
                answers = queue.SimpleQueue()
                reader = threading.Thread(target=self._take_answers, args=(helper.stdout, answers),
                                          daemon=True)
                reader.start()
                self._answers.append(answers)
                self._readers.append(reader)
        except OSError:
            self.close()

    def __len__(self):
        return len(self._helpers)

    @staticmethod
    def _take_answers(stream, answers):
        try:
            while True:
                head = stream.read(_ANSWER.size)
                if len(head) < _ANSWER.size:
                    break
                breaks, last, decoded, rest = _ANSWER.unpack(head)
                answers.put(None if breaks < 0 else (breaks, last, _read_exactly(stream, decoded),
                                                     _read_exactly(stream, rest)))
        except (OSError, EOFError, ValueError):
            pass
        answers.put(EOFError)

    def send(self, shares):
        """Hands share i to helper i; raises OSError when one is gone."""
        for helper, share in zip(self._helpers, shares):
            helper.stdin.write(_HEAD.pack(len(share)))
            helper.stdin.write(share)
            helper.stdin.flush()

    def receive(self, count):
        """decode_share's answers to the oldest shares of the first count
        helpers; raises EOFError when one is gone."""
        answers = [queue.get() for queue in self._answers[:count]]
        if EOFError in answers:
            raise EOFError("a helper ended")
        return answers

    def close(self):
        for helper in self._helpers:
            try:
                helper.stdin.close()
            except OSError:
                pass
        for helper in self._helpers:
            try:
                helper.wait(5)
            except subprocess.TimeoutExpired:
                helper.kill()
                helper.wait()
        for reader in self._readers:
            reader.join()
        for helper in self._helpers:
            helper.stdout.close()
        self._helpers, self._answers, self._readers = [], [], []


def helper_count():
    """Helpers for a large body: the processors left beside the service's
    own thread and its client."""
    return max(0, min(4, (os.cpu_count() or 1) - 2))


@dataclasses.dataclass
class UploadedDocument:
    """A document element's content as the service sees it."""
    text: str  # the element's text as the parser reads it; None above the limit
    valid: bool  # base64 as b64decode(validate=True) takes it, blanks aside
    size: int
    sha256: str
    data: bytes  # None when not valid or above the limit


def _declaration_end(buffer, at):
    """Offset after the ">" that closes the declaration (<!DOCTYPE ...)
    starting at `at`, its internal subset included; None when not there yet."""
    depth = 0
    while at < len(buffer):
        if depth and buffer.startswith(b"<!--", at):
            close = buffer.find(b"-->", at + 4)
            at = close + 3
        elif depth and buffer.startswith(b"<?", at):
            close = buffer.find(b"?>", at + 2)
            at = close + 2
        elif buffer[at] in b"\"'":
            close = buffer.find(buffer[at:at + 1], at + 1)
            at = close + 1
        else:
            close = 0
            if buffer[at] == ord("["):
                depth += 1
            elif buffer[at] == ord("]"):
                depth -= 1
            elif buffer[at] == ord(">") and depth <= 0:
                return at + 1
            at += 1
        if close < 0:
            return None
    return None


def find_start_tag(buffer, at, local_name):
    """Moves over the markup in buffer from `at` to the first start tag, not
    empty, of an element named local_name (any prefix), skipping comments,
    processing instructions, CDATA and declarations as the parser does.

    Returns (at, end, qualified name): end is the offset after that tag, or
    None, with `at` where to go on once more bytes have come."""
    while True:
        lt = buffer.find(b"<", at)
        if lt < 0:
            return len(buffer), None, None
        head = bytes(buffer[lt:lt + 9])
        if len(head) < 9 and any(m.startswith(head) for m in (b"<!--", b"<![CDATA[", b"<?", b"<!")):
            return lt, None, None
        if head.startswith(b"<!--"):
            close, length = buffer.find(b"-->", lt + 4), 3
        elif head.startswith(b"<![CDATA["):
            close, length = buffer.find(b"]]>", lt + 9), 3
        elif head.startswith(b"<?"):
            close, length = buffer.find(b"?>", lt + 2), 2
        elif head.startswith(b"<!"):
            close, length = _declaration_end(buffer, lt + 2), 0
            close = -1 if close is None else close
        elif head.startswith(b"</"):
            close, length = buffer.find(b">", lt + 2), 1
        else:
            tag = _START_TAG.match(buffer, lt)
            if tag is None:
                return lt, None, None
            name, rest = tag.group(1), tag.group(2)
            if not rest.endswith(b"/") and name.rpartition(b":")[2] == local_name:
                return lt, tag.end(), name
            at = tag.end()
            continue
        if close < 0:
            return lt, None, None
        at = close + length


class StreamedBody:
    """A request body fed in pieces. With a document element name, the first
    such element's content is decoded while it arrives (see the module's
    comment); without, only the length and (within keep_limit) the bytes
    are kept."""

    def __init__(self, keep_limit, document_element=None, expected_length=None):
        self.keep_limit = keep_limit
        self.length = 0
        # The whole body, and the document element's text, while within
        # keep_limit: not begun at all for a body announced as longer.
        too_long = expected_length is not None and expected_length > keep_limit
        self._helped = too_long and expected_length >= _HELPED_BODY
        self.piece = LARGE_PIECE if self._helped else PIECE  # what to feed at a time
        self._raw = None if too_long else bytearray()
        self._local = document_element
        self._head = bytearray()  # up to the document's start tag: all of it without one
        self._scan_at = 0
        self._qname = None  # the document element's tag, once found
        self._base64 = None
        self._carry = b""  # a reference or line end cut by the end of a piece
        self._tail = None  # from the end of the plain part on
        self._lines = 0  # line ends in the plain part, as the parser counts them
        self._last_line = 0  # characters after the last of them
        self._text = None if too_long else bytearray()  # the plain part, references undone
        self._token = b"StreamedDocument" + os.urandom(8).hex().encode()
        self._document = None
        self._pool = None  # helpers for the plain run of a text not kept
        self._pending = collections.deque()  # (run, its shares) handed out, not yet taken

    def feed(self, data):
        self.length += len(data)
        if self._raw is not None:
            if self.length <= self.keep_limit:
                self._raw += data
            else:
                self._raw = None
        if self._local is None:
            return
        if self._tail is not None:
            self._tail += data
        elif self._qname is not None:
            self._plain(data)
        else:
            self._head += data
            self._scan_at, end, self._qname = find_start_tag(self._head, self._scan_at, self._local)
            if end is not None:
                rest = bytes(self._head[end:])
                del self._head[end:]
                self._base64 = Base64Stream(self.keep_limit)
                if self._helped and helper_count() >= 2:
                    self._pool = HelperPool(helper_count())
                    if len(self._pool) < 2:
                        self.close()
                self._plain(rest)

    def finish(self):
        """The body has ended (also when cut short)."""
        self._settle()
        self.close()
        if self._qname is not None and self._tail is None:
            self._tail = bytearray(self._carry)
            self._carry = b""

    def close(self):
        """Lets the helpers go (finish() does; also for a body given up)."""
        if self._pool is not None:
            self._pool.close()
            self._pool = None

    def raw(self):
        """The body's bytes, or None when it was longer than keep_limit."""
        return None if self._raw is None else bytes(self._raw)

    @property
    def streamed(self):
        return self._qname is not None

    def envelope(self, positions=False):
        """The body to parse as XML: the body itself, or with the plain part
        of the document replaced by a short stand-in text. With positions,
        the stand-in has as many lines and as long a last line as the plain
        part, so that what the parser says about a fault after the document
        points at the right line (millions of line ends: only for that)."""
        if self._qname is None:
            return bytes(self._head)
        return b"".join((self._head, self._placeholder(positions), self._tail))

    def holder(self, root):
        """The element of the envelope's tree that held the document, or None."""
        if self._qname is None:
            return None
        token = self._token.decode("ascii")
        found = [e for e in root.iter() if isinstance(e.text, str) and e.text.startswith(token)]
        if len(found) != 1:
            raise LookupError("the streamed document is not the text of one element")
        return found[0]

    def document(self, value):
        """The UploadedDocument of the holder, whose value (its text, child
        elements serialized) the parser read as `value`."""
        if self._document is not None:
            return self._document
        placeholder = self._token.decode("ascii")
        if not value.startswith(placeholder):
            raise LookupError("the streamed document's element does not start with its stand-in")
        rest = value[len(placeholder):]
        stream = self._base64
        if rest:
            chars = "".join(rest.split())
            if not chars.isascii() or stream.feed(chars.encode("ascii")) is None:
                stream.valid = False
        stream.finish()
        text = None
        if self._text is not None and len(self._text) + len(rest) <= self.keep_limit:
            plain = bytes(self._text).replace(b"\r\n", b"\n").replace(b"\r", b"\n")
            text = plain.decode("ascii") + rest
        data = None if stream.data is None else bytes(stream.data)
        self._document = UploadedDocument(text, stream.valid, stream.length, stream.hexdigest(),
                                          data)
        return self._document

    def _placeholder(self, positions):
        if not positions:
            return self._token
        last = self._last_line if self._last_line <= 65536 else 0
        if self._lines:
            return self._token + b"\n" * self._lines + b"A" * last
        return self._token + b"A" * max(0, last - len(self._token))

    def _plain(self, data):
        if self._carry:
            data = self._carry + data
            self._carry = b""
        end = data.find(b"<")
        ended = end >= 0
        if not ended:
            # A reference or a CR LF cut by the end of the piece waits for the next.
            end = len(data)
            amp = data.rfind(b"&", max(0, end - 4))
            if amp >= 0 and data.find(b";", amp) < 0:
                end = amp
            if end and data[end - 1] == 0x0D:
                end -= 1
            if self._pool is not None:
                # Whole lines, so that each share starts a quantum.
                end = data.rfind(b"\n", 0, end) + 1 or end
                if end >= _SHARE * 2:
                    self._carry = data[end:]
                    self._hand_out(data[:end])
                    return
        # What the helpers hold comes first.
        if not self._settle():
            self._tail += data
            return
        if not ended:
            self._carry = data[end:]
        if not self._take(data[:end]):
            self._tail = bytearray(data)
            self._carry = b""
        elif ended:
            self._tail = bytearray(data[end:])

    def _hand_out(self, content):
        """Hands a plain run to the helpers; taken back in order, _PENDING
        runs later, as _take() would have taken it now."""
        shares = self._shares(content)
        try:
            self._pool.send(shares)
        except (OSError, ValueError):
            self.close()   # a helper is gone: the careful way from here on
            shares = []
        self._pending.append((content, shares))
        while len(self._pending) > _PENDING:
            if not self._take_back():
                return

    def _settle(self):
        """Takes back every run handed out; False when one was not plain
        (the body is then kept from there on)."""
        while self._pending:
            if not self._take_back():
                return False
        return True

    def _take_back(self):
        content, shares = self._pending.popleft()
        answers = None
        if shares and self._pool is not None:
            try:
                answers = self._pool.receive(len(shares))
            except EOFError:
                self.close()
        if answers is not None and self._took_shares(shares, answers):
            return True
        # (The helpers hold later runs: this one is taken here.)
        if self._take(content, helped=False):
            return True
        # Not a plain run: it and all that came after it go to the parser.
        self._tail = bytearray(content)
        for later, _ in self._pending:
            self._tail += later
        self._tail += self._carry
        self._pending.clear()
        self._carry = b""
        self.close()
        return False

    def _take(self, content, helped=True):
        """Decodes a plain run of the content; False, taking nothing, when
        it is not one."""
        if not content:
            return True
        if (helped and self._pool is not None and len(content) >= _SHARE * 2
                and self._take_shared(content)):
            return True
        text = _undo_references(content)
        blanks = self._base64.feed(text)
        if blanks is None:
            return False
        self._count_lines(content, *_line_ends(content, blanks))
        if self._text is not None:
            if len(self._text) + len(text) <= self.keep_limit:
                self._text += text
            else:
                self._text = None
        return True

    def _take_shared(self, content):
        """_take() by the helpers, side by side; False, having taken nothing,
        when the run is not plain or its shares do not start quanta (the
        careful way then says what it is)."""
        shares = self._shares(content)
        try:
            self._pool.send(shares)
            answers = self._pool.receive(len(shares))
        except (OSError, EOFError, ValueError):
            self.close()   # a helper is gone: the careful way from here on
            return False
        return self._took_shares(shares, answers)

    def _shares(self, content):
        """content cut after line ends into a share per helper."""
        view = memoryview(content)
        count = len(self._pool)
        shares, at = [], 0
        for index in range(1, count):
            cut = content.rfind(b"\n", at, len(content) * index // count) + 1
            if cut > at:
                shares.append(view[at:cut])
                at = cut
        shares.append(view[at:])
        return shares

    def _took_shares(self, shares, answers):
        """Takes the helpers' answers for the shares of a run; False, having
        taken nothing, when one could not be taken."""
        if any(answer is None for answer in answers) or not self._base64.take_quanta(
                [answer[2:] for answer in answers]):
            return False
        for share, (breaks, last, _, _) in zip(shares, answers):
            self._count_lines(share, breaks, last)
        return True

    def _count_lines(self, content, breaks, last):
        if breaks:
            self._lines += breaks
            self._last_line = len(content) - last - 1
        else:
            self._last_line += len(content)


if __name__ == "__main__" and sys.argv[1:] == ["--helper"]:
    serve_helper(sys.stdin.buffer, sys.stdout.buffer)
