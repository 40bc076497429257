"""Tests of the streamed body: wherever the pieces of a body end, the
document comes out as a parse and decode of the whole body gives it.
python3 -m unittest discover -s standins/service
"""

import base64
import binascii
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


if __name__ == "__main__":
    unittest.main()
