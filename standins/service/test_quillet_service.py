"""Tests of the stand-in signature service, run with
python3 -m unittest discover -s standins/service

Requests are written the way the Windows client writes them (SOAP-ENV
prefixes, the method element with prefix m, values escaped with numeric
character references, base64 in 64-character lines), so what passes here is
what the client will meet.
"""

import base64
import hashlib
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import tracemalloc
import unittest
import urllib.parse
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quillet_service as qs  # noqa: E402

NS = qs.SERVICE_NS
SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "quillet_service.py")
API = qs.DEFAULT_ACCOUNT["apiCode"]
EMAIL = qs.DEFAULT_ACCOUNT["email"]


def _client_escapes():
    named = {'"': "&quot;", "&": "&amp;", "<": "&lt;", ">": "&gt;"}
    table = {}
    for code in range(128):
        ch = chr(code)
        if not (ch.isalnum() or ch in " .;\r\n"):
            table[code] = named.get(ch, f"&#{code};")
    return table


CLIENT_ESCAPES = _client_escapes()


def client_escape(text):
    """The client's escaping of ASCII text: letters, digits, blank, '.', ';'
    and line ends stay, four characters get named references, every other
    character a numeric one."""
    return text.translate(CLIENT_ESCAPES)


def client_base64(data):
    """A document as the client uploads it: 64-character lines, escaped."""
    text = base64.b64encode(data).decode()
    lines = "".join(text[i:i + 64] + "\n" for i in range(0, len(text), 64))
    return client_escape(lines)


def client_lines(data, end="\n", escaped=True):
    """client_base64 as bytes, made quickly enough for megabytes: of base64
    the client escapes only "+", "/" and "="."""
    text = base64.b64encode(data)
    text = b"".join(text[i:i + 64] + end.encode() for i in range(0, len(text), 64))
    if escaped:
        text = text.replace(b"+", b"&#43;").replace(b"/", b"&#47;").replace(b"=", b"&#61;")
    return text


def envelope(method, elements, namespace=NS):
    head = ("<SOAP-ENV:Envelope\nxmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
            "\nxmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
            "\nxmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
            "\nxmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
            f"\nxmlns:m1=\"{NS}\">\n<SOAP-ENV:Body>\n"
            f"<m:{method} xmlns:m=\"{namespace}\">\n")
    lines = "".join(f"<m:{name}>{value}</m:{name}>\n" for name, value in elements)
    return (head + lines + f"</m:{method}>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n").encode("latin-1")


def result_of(method, body):
    """The result text of a response, through the paths the client selects."""
    root = ET.fromstring(body)
    found = root.find(f"{{{qs.SOAP_ENV_NS}}}Body/{{{NS}}}{method}Response/{{{NS}}}{method}Result")
    if found is None:
        raise AssertionError(f"no {method}Result in {body[:300]!r}")
    return found.text or ""


def fault_of(body):
    fault = ET.fromstring(body).find(f"{{{qs.SOAP_ENV_NS}}}Body/{{{qs.SOAP_ENV_NS}}}Fault")
    if fault is None:
        raise AssertionError(f"no soap:Fault in {body[:300]!r}")
    return fault.findtext("faultcode"), fault.findtext("faultstring")


class ServiceCase(unittest.TestCase):
    """One in-process service for the class; every test starts from a reset."""

    @classmethod
    def setUpClass(cls):
        cls.server = qs.Server("127.0.0.1", 0, qs.ServiceState())
        cls.port = cls.server.server_address[1]
        cls.thread = threading.Thread(target=cls.server.serve_forever, args=(0.05,), daemon=True)
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()

    def setUp(self):
        self.control("reset")
        self.connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)

    def tearDown(self):
        self.connection.close()

    def control(self, command, args=None, expect=200):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request("POST", qs.CONTROL_PREFIX + command, body=json.dumps(args or {}))
        response = connection.getresponse()
        reply = json.loads(response.read())
        connection.close()
        self.assertEqual(expect, response.status, reply)
        return reply

    def post(self, body, action=None, content_type="text/xml; charset=utf-8"):
        headers = {"Content-Type": content_type}
        if action is not None:
            headers["SOAPAction"] = action
        self.connection.request("POST", qs.GATEWAY_PATH, body=body, headers=headers)
        response = self.connection.getresponse()
        return response, response.read()

    def call(self, method, elements):
        """(status, result text or None, raw body)."""
        response, body = self.post(envelope(method, elements), f'"{NS}{method}"')
        text = result_of(method, body) if response.status == 200 else None
        return response.status, text, body

    def result(self, method, elements):
        status, text, body = self.call(method, elements)
        self.assertEqual(200, status, body)
        return text

    def create(self, signers="a@x.com", second="", ccs="", api=API, sign_type="elec",
               message=b"Please sign."):
        return self.result("CreateSignatureRequest", [
            ("pstr_APICode", client_escape(api)), ("pstr_SenderEmail", EMAIL),
            ("pstr_SenderName", "Demo User"), ("pstr_FileName", "Contract"),
            ("pstr_Signers", client_escape(signers)), ("pstr_SecondSigners", client_escape(second)),
            ("pstr_CCs", client_escape(ccs)), ("pstr_Cosign", "false"),
            ("pstr_SignType", sign_type), ("pstr_Password", ""),
            ("pstr_EmailMessage", client_base64(message))])

    def add(self, file_id, data, method="AddDocumentToRequest", name="contract.pdf", api=API):
        return self.result(method, [
            ("pstr_APICode", client_escape(api)), ("pstr_FileID", file_id),
            ("pbyt_File", client_base64(data)), ("pstr_FileName", client_escape(name)),
            ("pstr_Title", client_escape(name))])

    def status(self, file_id):
        return ET.fromstring(self.result("GetFileStatus", [
            ("pstr_APICode", client_escape(API)), ("pstr_FileID", file_id)]))

    def download(self, file_id, document_id):
        return self.result("DownloadSignedDocument", [
            ("pstr_APICode", client_escape(API)), ("pstr_FileID", file_id),
            ("pstr_DocumentID", document_id)])


class SignatureRequestTests(ServiceCase):

    def test_a_request_is_built_up_and_sent(self):
        pdf = bytes(range(256)) * 40 + b"%%EOF"   # every byte value, and "+/=" in its base64
        file_id = self.create("a@x.com, b@x.com", second="c@x.com", ccs="d@x.com")
        document = self.add(file_id, pdf)
        reference = self.add(file_id, b"terms", "AddReferenceDocumentToRequest", "terms & more.pdf")
        instructions = self.add(file_id, b"read me", "AddInstructionalDocumentToRequest")
        self.assertEqual(3, len({document, reference, instructions}))

        documents = self.control("documents", {"fileId": file_id})["documents"]
        self.assertEqual([(document, "Signature", pdf), (reference, "Reference", b"terms"),
                          (instructions, "Instructional", b"read me")],
                         [(d["documentId"], d["kind"], base64.b64decode(d["data"])) for d in documents])
        self.assertEqual("terms & more.pdf", documents[1]["fileName"])

        params = client_escape("<?xml version='1.0' encoding='UTF-8' ?><file><parameter "
                               "name='maskemailsfromclient' value='true' /></file>")
        self.assertEqual("SUCCESS", self.result("SetSignatureRequestParameters", [
            ("p_ApiCode", client_escape(API)), ("p_FileID", file_id), ("p_XMLContent", params)]))

        status, link, raw = self.call("GetMaintenanceLink", [("pstr_APICode", API),
                                                             ("pstr_FileID", file_id)])
        self.assertIn(b"&amp;Key=", raw)   # the link's "&" travels escaped
        self.assertTrue(link.startswith(f"http://127.0.0.1:{self.port}{qs.MAINTAIN_PATH}"
                                        f"?FileID={file_id}&Key="), link)
        page = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        page.request("GET", urllib.parse.urlsplit(link)._replace(scheme="", netloc="").geturl())
        response = page.getresponse()
        self.assertEqual(200, response.status)
        self.assertIn(file_id.encode(), response.read())
        page.close()

        self.assertEqual("SUCCESS", self.result("InviteSigners", [
            ("pstr_APICode", client_escape(API)), ("pstr_FileID", file_id),
            ("pstr_EmailMessage", client_base64(b"Sign it, please \xe9."))]))

        state = self.control("state")["files"][0]
        self.assertEqual({"maskemailsfromclient": "true"}, state["parameters"])
        self.assertEqual([("a@x.com", 1), ("b@x.com", 1), ("c@x.com", 2)],
                         [(s["email"], s["tier"]) for s in state["signers"]])
        self.assertEqual(["d@x.com"], state["ccs"])
        self.assertEqual("Please sign.", state["emailMessage"])
        self.assertEqual("Sign it, please \u00e9.", state["invitations"][0]["message"])
        self.assertEqual("Sent", state["status"])

    def test_status_follows_signing_and_download_gives_the_signed_copy(self):
        pdf = os.urandom(200_001)   # several send pieces, not a multiple of 3
        file_id = self.create("a@x.com,b@x.com", second="c@x.com")
        first = self.add(file_id, pdf)
        self.add(file_id, b"second")
        self.assertIn("ERROR:", self.download(file_id, first))   # nobody has signed yet

        root = self.status(file_id)
        self.assertEqual("File", root.tag)
        self.assertEqual(first, root.find("Document").findtext("DocumentID"))
        self.assertEqual(["0", "0", "0"], [s.findtext("Signed") for s in root.iter("Signer")])

        cases = [("a@x.com", ["1", "0", "0"]), ("C@X.COM", ["1", "0", "1"]),
                 (None, ["1", "1", "1"])]
        for email, signed in cases:
            with self.subTest(email=email):
                self.control("sign", {"fileId": file_id, "email": email} if email
                             else {"fileId": file_id})
                self.assertEqual(signed, [s.findtext("Signed")
                                          for s in self.status(file_id).iter("Signer")])
        self.assertEqual(pdf, base64.b64decode(self.download(file_id, first)))

        signed_pdf = b"%PDF-1.4 signed"
        self.control("signed-pdf", {"fileId": file_id, "documentId": first,
                                    "data": base64.b64encode(signed_pdf).decode()})
        self.assertEqual(signed_pdf, base64.b64decode(self.download(file_id, first)))

        self.control("sign", {"fileId": file_id, "email": "b@x.com", "signed": False})
        self.assertEqual("Partially Signed", self.status(file_id).findtext("Status"))

    def test_login_answers_the_user_document(self):
        self.control("account", {"apiCode": "K-2", "email": "second@y.org", "name": "Second"})
        user = ET.fromstring(self.result("GetUserInfo", [("pstr_APICode", "K&#45;2"),
                                                         ("pstr_Email", "Second&#64;Y.org")]))
        self.assertEqual(("User", "second@y.org", "Second"),
                         (user.tag, user.findtext("Email"), user.findtext("Name")))
        self.assertTrue(self.result("GetUserInfo", [("pstr_APICode", API),
                                                    ("pstr_Email", "other@x.com")])
                        .startswith("ERROR:"))

    def test_refusals_in_the_services_own_terms(self):
        file_id = self.create()
        self.control("account", {"apiCode": "OTHER", "email": "o@x.com"})
        foreign = self.create(api="OTHER")
        cases = [
            ("unknown API code", "GetFileStatus", [("pstr_APICode", "NOPE"), ("pstr_FileID", file_id)]),
            ("unknown file ID", "GetMaintenanceLink", [("pstr_APICode", API), ("pstr_FileID", "QF9")]),
            ("another account's file", "GetFileStatus", [("pstr_APICode", API), ("pstr_FileID", foreign)]),
            ("no file ID element", "InviteSigners", [("pstr_APICode", API)]),
            ("no documents to invite to", "InviteSigners", [("pstr_APICode", API),
                                                            ("pstr_FileID", file_id),
                                                            ("pstr_EmailMessage", "")]),
            ("document not base64", "AddDocumentToRequest", [("pstr_APICode", API),
                                                            ("pstr_FileID", file_id),
                                                            ("pbyt_File", "ab!c")]),
            ("no document element", "AddDocumentToRequest", [("pstr_APICode", API),
                                                            ("pstr_FileID", file_id)]),
            ("parameters not XML", "SetSignatureRequestParameters", [("p_ApiCode", API),
                                                                    ("p_FileID", file_id),
                                                                    ("p_XMLContent", "&lt;file")]),
            ("unknown document ID", "DownloadSignedDocument", [("pstr_APICode", API),
                                                               ("pstr_FileID", file_id),
                                                               ("pstr_DocumentID", "QD1")]),
            ("e-mail outside the service namespace", "GetUserInfo", None),
        ]
        for label, method, elements in cases:
            with self.subTest(label):
                if elements is None:
                    body = envelope(method, [("pstr_APICode", API)]).replace(
                        b"</m:GetUserInfo>", f"<pstr_Email>{EMAIL}</pstr_Email></m:GetUserInfo>".encode())
                    response, raw = self.post(body, f'"{NS}{method}"')
                    self.assertEqual(200, response.status)
                    text = result_of(method, raw)
                else:
                    text = self.result(method, elements)
                self.assertTrue(text.startswith("ERROR: "), text)
        for label, kwargs in [("no signer", {"signers": "", "ccs": "d@x.com"}),
                              ("a name for an address", {"signers": "Anne Smith"}),
                              ("unknown signature type", {"sign_type": "ink"})]:
            with self.subTest(label):
                self.assertTrue(self.create(**kwargs).startswith("ERROR: "))
        self.assertEqual(2, len(self.control("state")["files"]))   # refusals made nothing


class ProtocolTests(ServiceCase):

    def test_requests_a_soap_service_refuses(self):
        good = envelope("GetUserInfo", [("pstr_APICode", API), ("pstr_Email", EMAIL)])
        cases = [
            ("SOAPAction of another method", good, f'"{NS}GetFileStatus"', 500, "soap:Client"),
            ("SOAPAction outside the namespace", good, '"http://other/GetUserInfo"', 500, "soap:Client"),
            ("no SOAPAction", good, None, 500, "soap:Client"),
            ("method in another namespace", envelope("GetUserInfo", [], "http://other/"),
             f'"{NS}GetUserInfo"', 500, "soap:Client"),
            ("not XML", b"<SOAP-ENV:Envelope", f'"{NS}GetUserInfo"', 400, "soap:Client"),
            ("bare & in a value", good.replace(b"QUILLET", b"QUI&LLET"), f'"{NS}GetUserInfo"', 400,
             "soap:Client"),
            ("not a SOAP 1.1 envelope", b"<Envelope><Body/></Envelope>", f'"{NS}GetUserInfo"',
             500, "soap:VersionMismatch"),
        ]
        for label, body, action, status, code in cases:
            with self.subTest(label):
                response, raw = self.post(body, action)
                self.assertEqual(status, response.status)
                self.assertEqual(code, fault_of(raw)[0])
        response, _ = self.post(good, f'"{NS}GetUserInfo"', content_type="text/plain")
        self.assertEqual(415, response.status)
        # Unquoted SOAPAction values are accepted, as .NET services do.
        response, raw = self.post(good, f"{NS}GetUserInfo")
        self.assertEqual(200, response.status)
        records = self.control("requests")["requests"]
        self.assertEqual([None] * 8 + ["GetUserInfo"],
                         [r["soapMethod"] for r in records])

    def test_connection_is_kept_alive_with_exact_lengths(self):
        self.create()
        sock = self.connection.sock
        for method, elements in [("GetUserInfo", [("pstr_APICode", API), ("pstr_Email", EMAIL)]),
                                 ("GetFileStatus", [("pstr_APICode", API), ("pstr_FileID", "QF1001")]),
                                 ("GetMaintenanceLink", [("pstr_APICode", API), ("pstr_FileID", "QF1")])]:
            response, body = self.post(envelope(method, elements), f'"{NS}{method}"')
            self.assertEqual(int(response.getheader("Content-Length")), len(body))
            self.assertEqual("text/xml; charset=utf-8", response.getheader("Content-Type"))
            result_of(method, body)
            self.assertIs(sock, self.connection.sock)

    def test_record_holds_the_request_as_received(self):
        body = envelope("GetUserInfo", [("pstr_APICode", API), ("pstr_Email", EMAIL)]).replace(
            b"</m:GetUserInfo>", b"<m:pstr_Note>Jos\xe9 &amp; co</m:pstr_Note></m:GetUserInfo>")
        head = (f"POST {qs.GATEWAY_PATH} HTTP/1.1\r\nHost: secure.quillet.com\r\n"
                f"Content-Type: text/xml; charset=utf-8\r\nSOAPAction: \"{NS}GetUserInfo\"\r\n"
                f"user-agent: Inkstave/1.2\r\nX-Twice: 1\r\nX-Twice: 2\r\n"
                f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n").encode()
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as sock:
            sock.sendall(head + body)
            while sock.recv(65536):
                pass
        record = self.control("requests")["requests"][-1]
        self.assertEqual(head.decode(), record["head"])
        self.assertEqual(["Host", "Content-Type", "SOAPAction", "user-agent", "X-Twice", "X-Twice",
                          "Content-Length", "Connection"], [h[0] for h in record["headers"]])
        self.assertEqual(f'"{NS}GetUserInfo"', dict(record["headers"])["SOAPAction"])
        self.assertEqual(body, base64.b64decode(record["body"]))
        self.assertEqual([["pstr_APICode", API], ["pstr_Email", EMAIL],
                          ["pstr_Note", "Jos\u00e9 & co"]], record["elements"])
        self.assertEqual(("POST", qs.GATEWAY_PATH, "cp1252", 200, False),
                         (record["method"], record["path"], record["encoding"], record["status"],
                          record["tls"]))
        self.assertEqual(1, len(self.control("requests", {"since": len(self.control("requests")["requests"]) - 1})["requests"]))


class DocumentUploadTests(ServiceCase):
    """The document element is decoded while the body arrives; what the
    service answers and keeps must be what parsing the whole body gives."""

    @staticmethod
    def upload_body(file_id, content, around=None):
        """An AddDocumentToRequest whose document element holds `content` as
        written, changed by `around`."""
        body = envelope("AddDocumentToRequest", [
            ("pstr_APICode", API), ("pstr_FileID", file_id), ("pbyt_File", "\0"),
            ("pstr_FileName", "a.pdf"), ("pstr_Title", "a.pdf")]).replace(b"\0", content)
        return around(body) if around else body

    def upload(self, file_id, content, pieces=0, around=None):
        """(status, raw answer) of upload_body; chunked in pieces of that
        many bytes (cutting references and line ends) when given."""
        body = self.upload_body(file_id, content, around)
        headers = {"Content-Type": "text/xml; charset=utf-8",
                   "SOAPAction": f'"{NS}AddDocumentToRequest"'}
        if pieces:
            chunks = (body[at:at + pieces] for at in range(0, len(body), pieces))
            self.connection.request("POST", qs.GATEWAY_PATH, body=chunks, headers=headers,
                                    encode_chunked=True)
        else:
            self.connection.request("POST", qs.GATEWAY_PATH, body=body, headers=headers)
        response = self.connection.getresponse()
        return response.status, response.read()

    def test_document_contents_decode_as_a_whole_parse_would(self):
        pdf = os.urandom(300_000)   # many pieces, "+", "/" and "=" among them
        client = client_lines(pdf)
        cases = [
            # label, the element's content, the document or "ERROR" or a fault's status
            ("as the client writes it", client, pdf),
            ("CR LF line ends", client_lines(pdf, "\r\n"), pdf),
            ("one unbroken line, nothing escaped", base64.b64encode(pdf), pdf),
            ("blanks and tabs", b" \tYWJj\t \n YQ==  \n", b"abca"),
            ("hexadecimal references", b"&#x59;WJj&#x59;Q&#x3D;=", b"abca"),
            ("line ends as references", b"YWJj&#10;YQ==&#13;", b"abca"),
            ("a CDATA section", b"YW<![CDATA[Jj\nYQ]]>==", b"abca"),
            ("a comment", b"YWJj<!-- c -->YQ==", b"abca"),
            ("a no-break space of a Windows-1252 body", b"YWJj\xa0YQ==", b"abca"),
            ("padding after a whole quantum", b"YWJj=", b"abc"),
            ("padding inside", b"YQ==YQ==", "ERROR"),
            ("padding short", b"YQ=", "ERROR"),
            ("a character outside base64", b"YW!j", "ERROR"),
            ("an escaped ampersand", b"YWJj&amp;", "ERROR"),
            ("a child element", b"YWJj<m:x/>YQ==", "ERROR"),
            ("not base64 after many pieces", client + b"!", "ERROR"),
            ("an undefined entity", b"YWJj&bogus;", 400),
            ("a bare ampersand", b"YWJj & YQ==", 400),
            ("a control character", b"YWJj\x01YQ==", 400),
            ("a control character after many pieces", client + b"\x02", 400),
            ("a reference cut short", b"YWJj&#43", 400),
        ]
        file_id = self.create()
        # Kept byte for byte or not, sent whole or in chunks.
        modes = [(qs.DEFAULT_KEEP_LIMIT, False), (0, False), (0, True), (qs.DEFAULT_KEEP_LIMIT, True)]
        for label, content, expected in cases:
            for limit, chunked in modes:
                with self.subTest(label, limit=limit, chunked=chunked):
                    self.control("keep-bytes", {"limit": limit})
                    before = len(self.control("documents", {"fileId": file_id})["documents"])
                    pieces = (7 if len(content) < 1000 else 4093) if chunked else 0
                    status, raw = self.upload(file_id, content, pieces)
                    documents = self.control("documents", {"fileId": file_id})["documents"]
                    if isinstance(expected, int):
                        self.assertEqual((expected, "soap:Client"), (status, fault_of(raw)[0]))
                        self.assertEqual(before, len(documents))
                    elif expected == "ERROR":
                        self.assertEqual("ERROR: The document is not valid base64.",
                                         result_of("AddDocumentToRequest", raw))
                        self.assertEqual(before, len(documents))
                    else:
                        self.assertTrue(result_of("AddDocumentToRequest", raw).startswith("QD"))
                        document = documents[-1]
                        self.assertEqual((len(expected), hashlib.sha256(expected).hexdigest()),
                                         (document["size"], document["sha256"]))
                        self.assertEqual(expected if limit else None,
                                         document["data"] and base64.b64decode(document["data"]))

    def test_which_element_is_the_document(self):
        pdf = b"%PDF-1.4 two"
        element = b"<m:pbyt_File>" + client_lines(pdf) + b"</m:pbyt_File>"
        cases = [
            ("outside the service namespace: none",
             lambda b: b.replace(b"<m:pbyt_File>", b"<pbyt_File>").replace(b"</m:pbyt_File>",
                                                                           b"</pbyt_File>"),
             "ERROR: The request has no document."),
            ("in the default namespace",
             lambda b: b.replace(b"<m:pbyt_File>", f'<pbyt_File xmlns="{NS}">'.encode())
             .replace(b"</m:pbyt_File>", b"</pbyt_File>"), pdf),
            ("the first of two",
             lambda b: b.replace(b"<m:pstr_FileName>", b"<m:pbyt_File>YWJj</m:pbyt_File><m:pstr_FileName>"),
             pdf),
            ("after an element of the same name in a comment",
             lambda b: b.replace(b"<m:pstr_FileID>", b"<!-- a > <m:pbyt_File>YWJj --><m:pstr_FileID>"),
             pdf),
            ("an empty element: an empty document",
             lambda b: b.replace(element, b"<m:pbyt_File />"), b""),
            ("with attributes holding \">\"",
             lambda b: b.replace(b"<m:pbyt_File>", b"<m:pbyt_File a=\"x>y\" b='>'>"), pdf),
        ]
        file_id = self.create()
        for label, around, expected in cases:
            for limit in (qs.DEFAULT_KEEP_LIMIT, 0):
                with self.subTest(label, limit=limit):
                    self.control("keep-bytes", {"limit": limit})
                    status, raw = self.upload(file_id, client_lines(pdf), around=around)
                    if isinstance(expected, int):
                        self.assertEqual(expected, status)
                    elif isinstance(expected, str):
                        self.assertEqual(expected, result_of("AddDocumentToRequest", raw))
                    else:
                        document = self.control("documents", {"fileId": file_id})["documents"][-1]
                        self.assertEqual((result_of("AddDocumentToRequest", raw),
                                          hashlib.sha256(expected).hexdigest()),
                                         (document["documentId"], document["sha256"]))

    def test_a_fault_after_the_document_names_its_line(self):
        data = os.urandom(3000)
        bad_title = lambda b: b.replace(b"<m:pstr_Title>a.pdf", b"<m:pstr_Title>a & b")
        file_id = self.create()
        for end in ("\n", "\r\n"):
            content = client_lines(data, end)
            body = self.upload_body(file_id, content, bad_title)
            line = body[:body.index(b"a & b")].count(b"\n") + 1
            faults = []
            for limit, pieces in ((qs.DEFAULT_KEEP_LIMIT, 0), (0, 7)):
                self.control("keep-bytes", {"limit": limit})
                status, raw = self.upload(file_id, content, pieces, around=bad_title)
                self.assertEqual(400, status)
                faults.append(fault_of(raw)[1])
            self.assertIn(f"line {line}, column", faults[0])
            self.assertEqual(faults[0], faults[1], "kept or not, the same words")

    def test_keep_bytes_sets_what_is_kept_byte_for_byte(self):
        file_id = self.create()
        self.assertEqual(qs.DEFAULT_KEEP_LIMIT, self.control("keep-bytes")["limit"])
        self.assertEqual(1000, self.control("keep-bytes", {"limit": 1000})["limit"])
        small, large = os.urandom(600), os.urandom(2000)
        kept, not_kept = self.add(file_id, small), self.add(file_id, large)
        documents = {d["documentId"]: d for d in self.control("documents", {"fileId": file_id})["documents"]}
        self.assertEqual(small, base64.b64decode(documents[kept]["data"]))
        self.assertEqual((None, 2000, hashlib.sha256(large).hexdigest()),
                         tuple(documents[not_kept][k] for k in ("data", "size", "sha256")))
        record = self.control("requests")["requests"][-1]
        self.assertEqual((None, "pbyt_File", None), (record["body"], record["elements"][2][0],
                                                     record["elements"][2][1]))
        self.assertGreater(record["bodyLength"], 2000)
        self.control("sign", {"fileId": file_id})
        self.assertEqual(small, base64.b64decode(self.download(file_id, kept)))
        self.assertTrue(self.download(file_id, not_kept).startswith("ERROR: "))
        self.assertFalse(self.control("keep-bytes", {"limit": -1}, expect=400)["ok"])
        self.control("reset")
        self.assertEqual(qs.DEFAULT_KEEP_LIMIT, self.control("keep-bytes")["limit"])

    def test_a_large_upload_is_taken_in_as_it_arrives(self):
        # 64 MB of document (73 MB of body) made and sent in pieces, so that
        # the memory traced is the service's (and a piece of the sender's).
        file_id = self.create()
        self.control("keep-bytes", {"limit": 1 << 20})
        block, count = os.urandom(384 * 1024), 170
        head, _, tail = envelope("AddDocumentToRequest", [
            ("pstr_APICode", API), ("pstr_FileID", file_id), ("pbyt_File", "\0"),
            ("pstr_FileName", "big.pdf"), ("pstr_Title", "big.pdf")]).partition(b"\0")
        digest = hashlib.sha256()

        def document_piece(index):
            data = index.to_bytes(8, "little") + block[8:]
            return data, client_lines(data)

        length = len(head) + len(tail)
        for index in range(count):
            data, text = document_piece(index)
            digest.update(data)
            length += len(text)

        def body():
            yield head
            for index in range(count):
                yield document_piece(index)[1]
            yield tail

        tracemalloc.start()
        try:
            self.connection.request("POST", qs.GATEWAY_PATH, body=body(), headers={
                "Content-Type": "text/xml; charset=utf-8", "Content-Length": str(length),
                "SOAPAction": f'"{NS}AddDocumentToRequest"'})
            response = self.connection.getresponse()
            raw = response.read()
            peak = tracemalloc.get_traced_memory()[1]
        finally:
            tracemalloc.stop()
        self.assertEqual(200, response.status)
        self.assertTrue(result_of("AddDocumentToRequest", raw).startswith("QD"))
        self.assertLess(peak, length // 8, f"{peak} bytes held for a body of {length}")
        document = self.control("documents", {"fileId": file_id})["documents"][0]
        self.assertEqual((count * len(block), digest.hexdigest(), None),
                         (document["size"], document["sha256"], document["data"]))
        record = self.control("requests")["requests"][-1]
        self.assertEqual((length, None), (record["bodyLength"], record["body"]))


XML_START = b'<?xml vers'


class BehaviourTests(ServiceCase):

    LOGIN = [("pstr_APICode", API), ("pstr_Email", EMAIL)]

    def login(self):
        return self.post(envelope("GetUserInfo", self.LOGIN), f'"{NS}GetUserInfo"')

    def test_each_kind_answers_as_told(self):
        def result_is(text):
            return lambda raw: self.assertEqual(text, result_of("GetUserInfo", raw))

        def lacks_soap_body(raw):
            root = ET.fromstring(raw)
            self.assertIsNone(root.find(f"{{{qs.SOAP_ENV_NS}}}Body"))

        cases = [
            ({"kind": "fault", "faultstring": "No."}, 500, {},
             lambda raw: self.assertEqual(("soap:Server", "No."), fault_of(raw))),
            ({"kind": "fault", "status": 400, "faultcode": "soap:Client"}, 400, {},
             lambda raw: self.assertEqual("soap:Client", fault_of(raw)[0])),
            ({"kind": "error", "text": "ERROR: Account locked."}, 200, {},
             result_is("ERROR: Account locked.")),
            ({"kind": "result", "text": "<User/>"}, 200, {}, result_is("<User/>")),
            ({"kind": "malformed"}, 200, {}, lacks_soap_body),
            ({"kind": "empty"}, 200, {"Content-Length": "0"}, lambda raw: self.assertEqual(b"", raw)),
            ({"kind": "http", "status": 302, "headers": [["Location", "http://elsewhere/"]]}, 302,
             {"Location": "http://elsewhere/"}, lambda raw: self.assertEqual(b"", raw)),
            ({"kind": "http", "status": 500, "body": "<html>down</html>"}, 500,
             {"Content-Type": "text/html; charset=utf-8"},
             lambda raw: self.assertEqual(b"<html>down</html>", raw)),
            ({"kind": "http", "status": 404}, 404, {}, lambda raw: None),
            ({"kind": "proxy_auth"}, 407, {"Proxy-Authenticate": 'Basic realm="Quillet test proxy"'},
             lambda raw: self.assertIn(b"Proxy Authentication Required", raw)),
        ]
        for given, status, headers, check in cases:
            with self.subTest(given):
                self.control("behaviour", given)
                response, raw = self.login()
                self.assertEqual(status, response.status)
                for name, value in headers.items():
                    self.assertEqual(value, response.getheader(name))
                self.assertEqual(int(response.getheader("Content-Length")), len(raw))
                check(raw)
                # one request each: the next answer is the service's own
                response, raw = self.login()
                self.assertTrue(result_of("GetUserInfo", raw).startswith("<User>"))
        self.assertEqual([c[0]["kind"] for c in cases],
                         [r["behaviour"] for r in self.control("requests")["requests"][::2]])

    def test_counts_methods_and_order(self):
        self.control("behaviour", [{"kind": "proxy_auth", "count": 2},
                                   {"kind": "error", "method": "GetFileStatus", "count": 0}])
        self.assertEqual([407, 407, 200], [self.login()[0].status for _ in range(3)])
        for _ in range(3):   # count 0 lasts until cleared
            self.assertTrue(self.result("GetFileStatus", [("pstr_APICode", API),
                                                          ("pstr_FileID", "x")])
                            .startswith("ERROR: Injected"))
        self.assertEqual(1, len(self.control("behaviours")["behaviours"]))
        self.control("clear-behaviours")
        self.assertTrue(self.result("GetFileStatus", [("pstr_APICode", API), ("pstr_FileID", "x")])
                        .startswith("ERROR: Unknown file ID"))

    def test_stand_in_answers_leave_the_state_alone_real_ones_do_not(self):
        for kind, files in [("fault", 0), ("error", 0), ("padded", 1), ("slow", 2)]:
            with self.subTest(kind):
                given = {"kind": kind, "method": "CreateSignatureRequest"}
                if kind == "padded":
                    given["size"] = 5000
                self.control("behaviour", given)
                self.call("CreateSignatureRequest", [("pstr_APICode", API),
                                                     ("pstr_Signers", "a@x.com"),
                                                     ("pstr_SignType", "elec")])
                self.assertEqual(files, len(self.control("state")["files"]))

    def test_padded_bodies_have_exactly_the_size(self):
        normal = result_of("GetUserInfo", self.login()[1])
        for size in (0, 1, 4096, 4097, 3 * 4096 + 1):
            with self.subTest(size=size):
                self.control("behaviour", {"kind": "padded", "size": size})
                response, raw = self.login()
                self.assertEqual((200, str(size), size),
                                 (response.status, response.getheader("Content-Length"), len(raw)))
                if size > 1:
                    self.assertEqual(normal, result_of("GetUserInfo", raw))
                    self.assertTrue(raw.endswith(b"</soap:Envelope>"))
        self.control("behaviour", {"kind": "padded", "size": 200})   # smaller than the answer
        self.assertEqual(500, self.login()[0].status)
        # Padding also fits the streamed download.
        file_id = self.create()
        document = self.add(file_id, b"x" * 10000)
        self.control("sign", {"fileId": file_id})
        self.control("behaviour", {"kind": "padded", "size": 20000, "chunk": 4096})
        response, raw = self.post(envelope("DownloadSignedDocument", [
            ("pstr_APICode", API), ("pstr_FileID", file_id), ("pstr_DocumentID", document)]),
            f'"{NS}DownloadSignedDocument"')
        self.assertEqual(20000, len(raw))
        self.assertEqual(b"x" * 10000, base64.b64decode(result_of("DownloadSignedDocument", raw)))

    def raw_exchange(self, body, action):
        request = (f"POST {qs.GATEWAY_PATH} HTTP/1.1\r\nHost: h\r\nContent-Type: text/xml\r\n"
                   f"SOAPAction: \"{NS}{action}\"\r\nContent-Length: {len(body)}\r\n\r\n").encode()
        sock = socket.create_connection(("127.0.0.1", self.port), timeout=10)
        sock.sendall(request + body)
        return sock

    def test_cut_response_stops_short_and_closes(self):
        self.control("behaviour", {"kind": "cut", "sendBytes": 100})
        with self.raw_exchange(envelope("GetUserInfo", self.LOGIN), "GetUserInfo") as sock:
            received = b""
            while True:
                data = sock.recv(65536)
                if not data:
                    break
                received += data
        head, _, body = received.partition(b"\r\n\r\n")
        length = int([line.split(b":")[1] for line in head.split(b"\r\n")
                      if line.lower().startswith(b"content-length")][0])
        self.assertEqual(100, len(body))
        self.assertGreater(length, 100)

    def read_head(self, sock):
        """The status line and headers of an answer (as a dict of lower-case
        names), and what of the body came with them."""
        received = b""
        while b"\r\n\r\n" not in received:
            data = sock.recv(65536)
            self.assertTrue(data, "the connection closed before the headers ended")
            received += data
        head, _, body = received.partition(b"\r\n\r\n")
        lines = head.decode("latin-1").split("\r\n")
        headers = {name.strip().lower(): value.strip()
                   for name, _, value in (line.partition(":") for line in lines[1:])}
        return lines[0], headers, body

    def read_to_close(self, sock, body):
        while True:
            data = sock.recv(65536)
            if not data:
                return body
            body += data

    def test_a_length_other_than_the_body_is_announced_then_the_connection_closes(self):
        # The body in full, with a length 10 MB longer: a short answer.
        self.control("behaviour", {"kind": "cut", "size": 2000, "sendBytes": 2000,
                                   "contentLength": 2000 + 10 * 1024 * 1024})
        with self.raw_exchange(envelope("GetUserInfo", self.LOGIN), "GetUserInfo") as sock:
            status, headers, body = self.read_head(sock)
            body = self.read_to_close(sock, body)
        self.assertIn(" 200 ", status)
        self.assertEqual(str(2000 + 10 * 1024 * 1024), headers["content-length"])
        self.assertEqual(2000, len(body))
        self.assertTrue(body.endswith(b"</soap:Envelope>"))

    def test_stall_sends_the_head_then_holds_the_connection_silent(self):
        self.control("behaviour", {"kind": "stall", "sendBytes": 10, "hold": 30})
        with self.raw_exchange(envelope("GetUserInfo", self.LOGIN), "GetUserInfo") as sock:
            status, headers, body = self.read_head(sock)
            while len(body) < 10:
                body += sock.recv(65536)
            self.assertIn(" 200 ", status)
            self.assertGreater(int(headers["content-length"]), 10)
            self.assertEqual(XML_START, body)
            sock.settimeout(0.5)
            with self.assertRaises(socket.timeout, msg="a byte after the held-back ones"):
                sock.recv(65536)
        # The hold ends by itself, and closes the connection.
        self.control("behaviour", {"kind": "stall", "hold": 0.3})
        with self.raw_exchange(envelope("GetUserInfo", self.LOGIN), "GetUserInfo") as sock:
            started = time.monotonic()
            _, headers, body = self.read_head(sock)
            self.assertEqual(b"", self.read_to_close(sock, body))
            self.assertGreaterEqual(time.monotonic() - started, 0.25)
        self.assertEqual(200, self.login()[0].status, "the service answers on")

    def test_endless_bodies_flow_until_the_client_leaves(self):
        cases = [
            ({}, lambda headers: self.assertNotIn("content-length", headers)),
            ({"chunked": True},
             lambda headers: self.assertEqual("chunked", headers["transfer-encoding"])),
            ({"contentLength": 10 ** 10},
             lambda headers: self.assertEqual(str(10 ** 10), headers["content-length"])),
        ]
        for fields, check in cases:
            with self.subTest(fields):
                self.control("behaviour", {"kind": "endless", **fields})
                with self.raw_exchange(envelope("GetUserInfo", self.LOGIN),
                                       "GetUserInfo") as sock:
                    status, headers, body = self.read_head(sock)
                    self.assertIn(" 200 ", status)
                    check(headers)
                    while len(body) < 5 * 1024 * 1024:
                        data = sock.recv(1 << 20)
                        self.assertTrue(data, "an endless body ended")
                        body += data
                    self.assertIn(b"<soap:Body><!--", body[:400])
                    self.assertIn(b"endless endless", body[:1000])
                self.assertEqual(200, self.login()[0].status, "the service answers on")

    def test_intake_takes_request_bodies_in_slowly(self):
        body = envelope("GetUserInfo", self.LOGIN + [("pstr_Note", "x" * 4000)])
        self.assertEqual({"ok": True, "chunk": 1000, "interval": 0.1},
                         self.control("intake", {"chunk": 1000, "interval": 0.1}))
        started = time.monotonic()
        response, raw = self.post(body, f'"{NS}GetUserInfo"')
        self.assertGreaterEqual(time.monotonic() - started, 0.4)
        self.assertTrue(result_of("GetUserInfo", raw).startswith("<User>"))
        started = time.monotonic()
        self.control("state")
        self.assertLess(time.monotonic() - started, 0.3, "control requests are taken at once")
        self.control("reset")
        started = time.monotonic()
        self.post(body, f'"{NS}GetUserInfo"')
        self.assertLess(time.monotonic() - started, 0.3, "a reset ends the slow intake")
        self.assertFalse(self.control("intake", {"chunk": -1}, expect=400)["ok"])

    def test_close_ends_the_connection_without_an_answer(self):
        self.control("behaviour", {"kind": "close"})
        with self.assertRaises(http.client.RemoteDisconnected):
            self.login()

    def test_slow_answers_wait_and_trickle(self):
        self.control("behaviour", {"kind": "slow", "delay": 0.3})
        started = time.monotonic()
        response, raw = self.login()
        self.assertGreaterEqual(time.monotonic() - started, 0.3)
        self.assertTrue(result_of("GetUserInfo", raw).startswith("<User>"))

        file_id = self.create()
        pdf = os.urandom(5000)
        document = self.add(file_id, pdf)
        self.control("sign", {"fileId": file_id})
        self.control("behaviour", {"kind": "slow", "chunk": 1000, "interval": 0.02})
        with self.raw_exchange(envelope("DownloadSignedDocument", [
                ("pstr_APICode", API), ("pstr_FileID", file_id), ("pstr_DocumentID", document)]),
                "DownloadSignedDocument") as sock:
            started = time.monotonic()
            received, pieces = b"", 0
            while not received.endswith(b"</soap:Envelope>"):
                received += sock.recv(65536)
                pieces += 1
        self.assertGreaterEqual(time.monotonic() - started, 0.1)
        self.assertGreater(pieces, 3)
        body = received.partition(b"\r\n\r\n")[2]
        self.assertEqual(pdf, base64.b64decode(result_of("DownloadSignedDocument", body)))

    def test_mistyped_behaviours_are_refused(self):
        for given in [{"kind": "faults"}, {"kind": "fault", "fault_string": "x"},
                     {"kind": "error", "method": "GetUser"}, {"kind": "padded"},
                     {"kind": "stall", "contentLength": -1},
                     {"kind": "endless", "contentLength": "big"}, ["not", "objects"]]:
            with self.subTest(given):
                self.assertFalse(self.control("behaviour", given, expect=400)["ok"])
        self.assertEqual([], self.control("behaviours")["behaviours"])


class ControlTests(ServiceCase):

    def test_reset_starts_over(self):
        self.control("account", {"apiCode": "GONE", "email": "g@x.com"})
        first = self.create()
        self.control("behaviour", {"kind": "fault", "method": "GetFileStatus"})
        self.control("reset")
        self.assertEqual({"requests": 0, "files": [], "behaviours": []},
                         {k: v for k, v in self.control("state").items()
                          if k in ("requests", "files", "behaviours")})
        self.assertEqual([API], [a["apiCode"] for a in self.control("state")["accounts"]])
        self.assertEqual(first, self.create())   # the same IDs again after a reset

    def test_reset_closes_the_connections_of_earlier_exchanges(self):
        # A request given up after its head: the service waits for the body.
        head = (f"POST {qs.GATEWAY_PATH} HTTP/1.1\r\nHost: h\r\nContent-Type: text/xml\r\n"
                f"SOAPAction: \"{NS}GetUserInfo\"\r\nContent-Length: 1000\r\n\r\n").encode()
        with socket.create_connection(("127.0.0.1", self.port), timeout=10) as sock:
            sock.sendall(head)
            # As it is when an earlier test gave it up: the service has the
            # head and waits for the body. The handler's thread may not have
            # read it yet on a busy machine.
            deadline = time.monotonic() + 10
            while not self.server.exchanges and time.monotonic() < deadline:
                time.sleep(0.01)
            self.assertTrue(self.server.exchanges, "the service took the request's head")
            self.control("reset")
            sock.settimeout(2)
            self.assertEqual(b"", sock.recv(65536), "the half-sent request's connection ends")
        self.assertEqual(0, self.control("state")["requests"], "what came is not recorded")
        self.assertTrue(self.create(), "the service answers on")

    def test_controls_refuse_what_does_not_exist(self):
        file_id = self.create("a@x.com")
        for command, args in [("sign", {"fileId": "QF1"}), ("sign", {"fileId": file_id, "email": "z@x.com"}),
                              ("signed-pdf", {"fileId": file_id, "data": "AA=="}),   # no documents yet
                              ("documents", {"fileId": "nope"}), ("account", {"apiCode": "X"}),
                              ("certificate", {}), ("no-such-command", {})]:
            with self.subTest(command=command, args=args):
                self.assertFalse(self.control(command, args, expect=400)["ok"])


class StartUpTests(unittest.TestCase):

    def test_only_loopback_addresses(self):
        for address in ("10.1.2.3", "0.0.0.0", "localhost", "::1", "128.0.0.1"):
            with self.subTest(address):
                with self.assertRaises(SystemExit) as caught:
                    qs.main(["--address", address, "--port", "0"])
                self.assertIn("127.0.0.0/8" if address != "localhost" else "loopback",
                              str(caught.exception))

    def start(self, *args, address="127.0.0.9"):
        folder = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, folder, True)
        ready = os.path.join(folder, "ready.json")
        process = subprocess.Popen([sys.executable, SCRIPT, "--address", address, "--ready-file",
                                    ready, "--log", os.path.join(folder, "log"), *args])
        self.addCleanup(lambda: process.poll() is None and process.kill())
        deadline = time.monotonic() + 10
        while not os.path.exists(ready):
            self.assertIsNone(process.poll(), "the service ended before it was ready")
            self.assertLess(time.monotonic(), deadline)
            time.sleep(0.02)
        with open(ready) as info:
            return process, ready, json.load(info)

    def control(self, address, port, command):
        connection = http.client.HTTPConnection(address, port, timeout=10)
        connection.request("POST", qs.CONTROL_PREFIX + command, body=b"{}")
        reply = json.loads(connection.getresponse().read())
        connection.close()
        return reply

    def test_command_line_start_stop_and_lifetime(self):
        process, ready, info = self.start("--port", "0")
        self.assertEqual(("127.0.0.9", False), (info["address"], info["tls"]))
        # A second start on the same address and port ends the first.
        second, second_ready, _ = self.start("--port", str(info["port"]))
        self.assertEqual(0, process.wait(10))
        self.assertTrue(self.control("127.0.0.9", info["port"], "shutdown")["ok"])
        self.assertEqual(0, second.wait(10))
        self.assertFalse(os.path.exists(second_ready))

        short, short_ready, _ = self.start("--port", "0", "--lifetime", "0.5")
        self.assertEqual(0, short.wait(10))
        self.assertFalse(os.path.exists(short_ready))

    def test_tls_with_one_kept_certificate_and_plain_control_on_the_port(self):
        cert_dir = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, cert_dir, True)
        pems = []
        for address in ("127.0.0.10", "127.0.0.200"):
            process, _, info = self.start("--port", "0", "--tls", "--cert-dir", cert_dir,
                                          address=address)
            port = info["port"]
            pems.append(self.control(address, port, "certificate")["pem"])
            # Verified against the address, as the client's WinINet does.
            context = ssl.create_default_context(cadata=pems[-1])
            connection = http.client.HTTPSConnection(address, port, context=context, timeout=10)
            connection.request("POST", qs.GATEWAY_PATH,
                               body=envelope("GetUserInfo", [("pstr_APICode", API),
                                                             ("pstr_Email", EMAIL)]),
                               headers={"Content-Type": "text/xml; charset=utf-8",
                                        "SOAPAction": f'"{NS}GetUserInfo"'})
            self.assertTrue(result_of("GetUserInfo", connection.getresponse().read())
                            .startswith("<User>"))
            connection.close()
            requests = json.loads(self._get(address, port, "requests"))["requests"]
            self.assertEqual([True], [r["tls"] for r in requests])
            self.control(address, port, "shutdown")
            self.assertEqual(0, process.wait(10))
        self.assertEqual(pems[0], pems[1])   # trusted once, good for every address

    def _get(self, address, port, command):
        connection = http.client.HTTPConnection(address, port, timeout=10)
        connection.request("GET", qs.CONTROL_PREFIX + command)
        data = connection.getresponse().read()
        connection.close()
        return data


if __name__ == "__main__":
    unittest.main()
