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
"""

import base64
import binascii
import dataclasses
import hashlib
import os
import re

# Bytes asked of the connection at a time: small enough for the pieces made
# from them to stay in the processor's cache and be reused by the allocator.
PIECE = 128 * 1024

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
                self._plain(rest)

    def finish(self):
        """The body has ended (also when cut short)."""
        if self._qname is not None and self._tail is None:
            self._tail = bytearray(self._carry)
            self._carry = b""

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
            self._carry = data[end:]
        if not self._take(data[:end]):
            self._tail = bytearray(data)
            self._carry = b""
        elif ended:
            self._tail = bytearray(data[end:])

    def _take(self, content):
        """Decodes a plain run of the content; False, taking nothing, when
        it is not one."""
        if not content:
            return True
        # Split and join is the quickest way to undo them (faster than replace).
        text = b"/".join(b"+".join(content.split(b"&#43;")).split(b"&#47;"))
        if b"&" in text:
            text = text.replace(b"&#61;", b"=")
        blanks = self._base64.feed(text)
        if blanks is None:
            return False
        breaks = blanks.count(b"\n")
        last = content.rfind(b"\n")
        if b"\r" in blanks:
            breaks += blanks.count(b"\r") - content.count(b"\r\n")
            last = max(last, content.rfind(b"\r"))
        if breaks:
            self._lines += breaks
            self._last_line = len(content) - last - 1
        else:
            self._last_line += len(content)
        if self._text is not None:
            if len(self._text) + len(text) <= self.keep_limit:
                self._text += text
            else:
                self._text = None
        return True
