"""Tests of the streamed body: wherever the pieces of a body end, the
document comes out as a parse and decode of the whole body gives it.
python3 -m unittest discover -s standins/service
"""

import base64
import binascii
import hashlib
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quillet_service as qs  # noqa: E402
import streamed_body as sb  # noqa: E402

NS = qs.SERVICE_NS
ACTION = f'"{NS}AddDocumentToRequest"'


def decode_whole(text):
    """What the service makes of a document element's whole text."""
    try:
        return base64.b64decode("".join(text.split()), validate=True)
    except (binascii.Error, ValueError):
        return None


def splits(data):
    """data whole, then cut in two at every offset."""
    yield [data]
    for at in range(1, len(data)):
        yield [data[:at], data[at:]]


class Base64StreamTests(unittest.TestCase):

    def test_pieces_decode_as_the_whole_text(self):
        texts = [b"", b"YQ==", b"YWI=", b"YWJj", b"YWJj=", b"YWJj==", b"YWJj===", b"YQ=",
                 b"YQ===", b"YQ", b"Y", b"=", b"==", b"=YWJj", b"YQ==YQ==", b"YWJj=YWJj", b"YQ==\n=",
                 b"YQ==\nYQ", b"YWJj\r\nYWJj\n", b" YW Jj\tYQ ==\n", b"YW!j", b"YWJj&",
                 base64.b64encode(os.urandom(40)) + b"\n"]
        for text in texts:
            expected = decode_whole(text.decode("latin-1"))
            for pieces in splits(text):
                with self.subTest(text=text, pieces=pieces):
                    stream = sb.Base64Stream(1 << 20)
                    if any(stream.feed(piece) is None for piece in pieces):
                        stream.valid = False   # as the body does: the whole is refused
                    valid = stream.finish()
                    self.assertEqual(expected, bytes(stream.data) if valid else None)
                    if valid:
                        self.assertEqual(len(expected), stream.length)


class StreamedBodyTests(unittest.TestCase):

    def envelope(self, content, before=b"", after=b""):
        return (f'<?xml version="1.0" encoding="utf-8"?><s:Envelope xmlns:s="{qs.SOAP_ENV_NS}">'
                f'<s:Body><m:AddDocumentToRequest xmlns:m="{NS}">\n'.encode() + before
                + b"<m:pbyt_File>" + content + b"</m:pbyt_File>\n" + after
                + b"<m:pstr_Title>t</m:pstr_Title></m:AddDocumentToRequest></s:Body></s:Envelope>")

    def parse(self, pieces, limit):
        body = sb.StreamedBody(limit, b"pbyt_File", sum(len(p) for p in pieces))
        for piece in pieces:
            body.feed(piece)
        body.finish()
        try:
            method, elements, encoding = qs.parse_soap(body, ACTION)
        except qs.SoapRequestError as error:
            return error.status
        return [(name, (value.valid, value.size, value.sha256, value.data, value.text)
                 if isinstance(value, sb.UploadedDocument) else value)
                for name, value in elements], encoding

    def test_any_split_of_a_body_parses_as_the_whole(self):
        lines = base64.b64encode(os.urandom(100)).replace(b"+", b"&#43;").replace(b"/", b"&#47;")
        cases = [
            self.envelope(lines[:60] + b"\n" + lines[60:].replace(b"=", b"&#61;") + b"\n"),
            self.envelope(b"YWJj\r\nYQ&#61;&#61;\r\n"),
            self.envelope(b"YW<!-- c -->Jj&#x59;Q==", before=b"<!-- <m:pbyt_File> -->"),
            self.envelope(b"YW<![CDATA[Jj]]>\xa0YQ==", after=b"<m:pstr_Note>Jos\xe9</m:pstr_Note>"),
            self.envelope(b"YWJj=\n"),
            self.envelope(b"YQ==YQ=="),
            self.envelope(b"YWJj&#43"),
            self.envelope(b"YWJj", after=b"<m:pstr_Note>a & b</m:pstr_Note>"),
            b"<!DOCTYPE s:Envelope [<!ENTITY e 'Y>WJj'> <!-- it's ] -->]>"
            + self.envelope(b"&e;YQ==").partition(b"?>")[2],
        ]
        for body in cases:
            whole = qs.decode_xml_body(body)[0] if self.parse([body], 1 << 20) != 400 else None
            expected = self.parse([body], 1 << 20)
            if whole is not None:
                # The document as a parse of the whole body and the old decode give it.
                element = whole.find(f".//{{{NS}}}pbyt_File")
                data = decode_whole(qs.element_value(element))
                document = dict(expected[0])["pbyt_File"]
                self.assertEqual((data is not None, data), (document[0], document[3]))
                self.assertEqual(qs.element_value(element), document[4])
            for limit in (1 << 20, 0):
                for pieces in splits(body):
                    with self.subTest(body=body, limit=limit, at=len(pieces[0])):
                        got = self.parse(pieces, limit)
                        if limit or got == 400:
                            self.assertEqual(expected, got)
                        else:   # nothing kept: the same but for the bytes and the text
                            self.assertEqual(
                                [(n, v[:3] + (None, None) if isinstance(v, tuple) else v)
                                 for n, v in expected[0]], got[0])


class HelpedBodyTests(unittest.TestCase):
    """A large body whose text is not kept is decoded by helper processes:
    whatever its layout and wherever its pieces end, what comes out is what
    the careful way, one piece after another in this process, makes of it."""

    def body(self, content, after=b""):
        return StreamedBodyTests.envelope(None, content, after=after)

    def parse(self, body, pieces, helpers):
        """The body fed in pieces of the sizes given, over and over."""
        original = sb.helper_count
        sb.helper_count = lambda: helpers
        try:
            stream = sb.StreamedBody(1024, b"pbyt_File", len(body))
            helped, at = False, 0
            while at < len(body):
                for size in pieces:
                    stream.feed(body[at:at + size])
                    at += size
                    helped = helped or stream._pool is not None
            stream.finish()
        finally:
            sb.helper_count = original
        try:
            method, elements, encoding = qs.parse_soap(stream, ACTION)
        except qs.SoapRequestError as error:
            return helped, (error.status, error.text)
        # What was decoded of a document that is not base64 is no one's
        # (only that it is not), and depends on where the pieces ended.
        return helped, [(name, ((value.valid, value.size, value.sha256, value.data, value.text)
                                if value.valid else (False, value.text))
                         if isinstance(value, sb.UploadedDocument) else value)
                        for name, value in elements]

    def test_helpers_decode_as_the_careful_way(self):
        data = os.urandom(7 * 1024 * 1024 + 2)
        text = base64.b64encode(data)
        lines = b"".join(text[at:at + 64] + b"\n" for at in range(0, len(text), 64))
        escaped = lines.replace(b"+", b"&#43;").replace(b"/", b"&#47;").replace(b"=", b"&#61;")
        crlf = b"".join(text[at:at + 76] + b"\r\n" for at in range(0, len(text), 76))
        middle = len(escaped) // 2
        cases = {
            "as the client writes it": self.body(escaped),
            "CR LF lines": self.body(crlf),
            "unbroken": self.body(text),
            "odd lines": self.body(b"".join(text[at:at + 61] + b"\n"
                                            for at in range(0, len(text), 61))),
            "not base64 halfway": self.body(escaped[:middle] + b"!" + escaped[middle:]),
            "a reference halfway": self.body(escaped[:middle] + b"&#65;" + escaped[middle:]),
            "padding halfway": self.body(escaped[:middle] + b"&#61;" + escaped[middle:]),
            "a fault after it": self.body(escaped, after=b"<m:pstr_Title>t</m:pstr_Wrong>"),
        }
        for name, body in cases.items():
            expected = self.parse(body, [sb.PIECE], 0)[1]
            # Large pieces, pieces cut anywhere, and small ones among them
            # (too small to hand out while others are out).
            for pieces in ([sb.LARGE_PIECE], [777777], [sb.LARGE_PIECE, 1000, 333]):
                with self.subTest(name, pieces=pieces):
                    helped, got = self.parse(body, pieces, 3)
                    self.assertTrue(helped)
                    self.assertEqual(expected, got)
        document = dict(self.parse(cases["as the client writes it"], [sb.LARGE_PIECE], 3)[1])
        self.assertEqual((True, len(data), hashlib.sha256(data).hexdigest(), None, None),
                         document["pbyt_File"])

    def test_helpers_start_without_a_name_for_the_interpreter(self):
        # Started from Windows, the service has no sys.executable.
        original = sys.executable
        sys.executable = ""
        try:
            pool = sb.HelperPool(2)
        finally:
            sys.executable = original
        try:
            self.assertEqual(2, len(pool))
            pool.send([b"YWJj\nYWJj\n", b"not base64!"])
            self.assertEqual([(2, 9, b"abc", b"YWJj"), None], pool.receive(2))
        finally:
            pool.close()

    def test_a_helper_that_ends_leaves_the_work_to_the_careful_way(self):
        data = os.urandom(9 * 1024 * 1024)
        body = self.body(base64.b64encode(data))
        stream = sb.StreamedBody(1024, b"pbyt_File", len(body))
        stream.feed(body[:sb.LARGE_PIECE])
        self.assertIsNotNone(stream._pool)
        stream._pool._helpers[1].kill()
        for at in range(sb.LARGE_PIECE, len(body), sb.LARGE_PIECE):
            stream.feed(body[at:at + sb.LARGE_PIECE])
        stream.finish()
        method, elements, encoding = qs.parse_soap(stream, ACTION)
        document = dict(elements)["pbyt_File"]
        self.assertEqual((True, len(data), hashlib.sha256(data).hexdigest()),
                         (document.valid, document.size, document.sha256))


if __name__ == "__main__":
    unittest.main()
