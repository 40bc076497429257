#!/usr/bin/env python3
"""Stand-in for the Quillet signature service, for the demo and the tests.

A SOAP 1.1 server on a loopback address: the ten methods the client calls,
the state behind them (accounts, requests, documents, signing state), a
record of every request it received, and answers on demand that a healthy
service never gives (faults, errors, bad envelopes, proxy challenges, slow
or cut responses). Tests drive it through JSON requests under /control/ on
the same address and port. See README.md beside this file.

Standard library only: the tests run it on any machine that has python3 and,
for TLS, the openssl command.
"""

import argparse
import base64
import dataclasses
import hashlib
import html
import http.client
import http.server
import ipaddress
import json
import os
import select
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse
import xml.etree.ElementTree as ET
from xml.sax.saxutils import escape

from streamed_body import PIECE, StreamedBody, UploadedDocument

SERVICE_NS = "http://secure.quillet.com/services/"
SOAP_ENV_NS = "http://schemas.xmlsoap.org/soap/envelope/"
GATEWAY_PATH = "/services/gateway.asmx"
MAINTAIN_PATH = "/services/maintain.aspx"
CONTROL_PREFIX = "/control/"
DOCUMENT_ELEMENT = "pbyt_File"
# Request bodies and documents up to this size are kept byte for byte (the
# record's "body", a document's "data", the download); larger ones only by
# length and SHA-256. /control/keep-bytes changes it until the next reset.
DEFAULT_KEEP_LIMIT = 16 * 1024 * 1024

DEFAULT_ACCOUNT = {
    "apiCode": "QUILLET-DEMO-0001",
    "email": "demo.user@example.com",
    "name": "Demo User",
    "company": "Quillet Demo Account",
}

# The request elements of each method, in the order the client writes them.
# The service reads them by name; the order is here for the GET page and the
# README, and the record keeps the order that actually arrived.
METHODS = {
    "CreateSignatureRequest": (
        "pstr_APICode", "pstr_SenderEmail", "pstr_SenderName", "pstr_FileName",
        "pstr_Signers", "pstr_SecondSigners", "pstr_CCs", "pstr_Audience",
        "pstr_RoleMap", "pstr_Cosign", "pstr_SignType", "pstr_Password",
        "pstr_EmailMessage"),
    "AddDocumentToRequest": (
        "pstr_APICode", "pstr_FileID", "pbyt_File", "pstr_FileName", "pstr_Title"),
    "AddReferenceDocumentToRequest": (
        "pstr_APICode", "pstr_FileID", "pbyt_File", "pstr_FileName", "pstr_Title"),
    "AddInstructionalDocumentToRequest": (
        "pstr_APICode", "pstr_FileID", "pbyt_File", "pstr_FileName", "pstr_Title"),
    "SetSignatureRequestParameters": ("p_ApiCode", "p_FileID", "p_XMLContent"),
    "GetMaintenanceLink": ("pstr_APICode", "pstr_FileID"),
    "InviteSigners": ("pstr_APICode", "pstr_FileID", "pstr_EmailMessage"),
    "GetUserInfo": ("pstr_APICode", "pstr_Email"),
    "GetFileStatus": ("pstr_APICode", "pstr_FileID"),
    "DownloadSignedDocument": ("pstr_APICode", "pstr_FileID", "pstr_DocumentID"),
}

DOCUMENT_KINDS = {
    "AddDocumentToRequest": "Signature",
    "AddReferenceDocumentToRequest": "Reference",
    "AddInstructionalDocumentToRequest": "Instructional",
}

XML_DECL = b'<?xml version="1.0" encoding="utf-8"?>'
ENVELOPE_HEAD = (
    '<soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"'
    ' xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"'
    ' xmlns:xsd="http://www.w3.org/2001/XMLSchema"><soap:Body>').encode()
ENVELOPE_TAIL = b"</soap:Body></soap:Envelope>"


class ServiceError(Exception):
    """A refusal in the service's own terms: becomes an "ERROR:" result."""


# ---------------------------------------------------------------- bodies ---

class Body:
    """A response body as segments, so the base64 of a large signed PDF is
    produced piece by piece while it is sent instead of held as one text."""

    def __init__(self, *segments):
        self.segments = [s for s in segments if s]

    def __len__(self):
        return sum(len(s) for s in self.segments)

    def chunks(self, size=65536):
        for segment in self.segments:
            if isinstance(segment, Base64Segment):
                yield from segment.chunks(size)
            else:
                for at in range(0, len(segment), size):
                    yield segment[at:at + size]

    def padded(self, size):
        """The same answer in exactly `size` bytes: the padding sits between
        the XML declaration and the root, so the last byte of the body is
        still the last byte of the envelope and a lost final chunk shows."""
        missing = size - len(self)
        if missing < 0:
            # Too small for any envelope (0 and 1 byte bodies): blanks.
            if size > len(XML_DECL) + 7:
                raise ValueError(f"a {size}-byte body cannot hold this {len(self)}-byte answer")
            return Body(b" " * size)
        if missing == 0:
            return self
        pad = b" " * missing if missing < 7 else b"<!--" + b"p" * (missing - 7) + b"-->"
        head = self.segments[0]
        if isinstance(head, bytes) and head.startswith(XML_DECL):
            return Body(XML_DECL, pad, head[len(XML_DECL):], *self.segments[1:])
        return Body(pad, *self.segments)


class Base64Segment:
    def __init__(self, data):
        self.data = data

    def __len__(self):
        return (len(self.data) + 2) // 3 * 4

    def __bool__(self):
        return bool(self.data)

    def chunks(self, size):
        step = max(3, size // 4 * 3)
        for at in range(0, len(self.data), step):
            yield base64.b64encode(self.data[at:at + step])


def result_body(method, text):
    return Body(XML_DECL + ENVELOPE_HEAD + _result_open(method) + escape(text).encode("utf-8")
                + _result_close(method) + ENVELOPE_TAIL)


def _result_open(method):
    return f'<{method}Response xmlns="{SERVICE_NS}"><{method}Result>'.encode()


def _result_close(method):
    return f"</{method}Result></{method}Response>".encode()


def fault_body(code, text):
    return Body(XML_DECL + ENVELOPE_HEAD
                + f"<soap:Fault><faultcode>{escape(code)}</faultcode>"
                  f"<faultstring>{escape(text)}</faultstring><detail /></soap:Fault>".encode("utf-8")
                + ENVELOPE_TAIL)


class Answer:
    def __init__(self, status=200, body=None, content_type="text/xml; charset=utf-8", headers=()):
        self.status = status
        self.body = body if body is not None else Body()
        self.content_type = content_type
        self.headers = list(headers)


# ------------------------------------------------------------------ state ---

@dataclasses.dataclass
class Signer:
    email: str
    tier: int
    signed: bool = False
    signed_at: str = ""


@dataclasses.dataclass
class Document:
    document_id: str
    method: str
    file_name: str
    title: str
    size: int
    sha256: str
    data: bytes  # None when larger than the keep limit was at upload
    signed_data: bytes = None

    @property
    def kind(self):
        return DOCUMENT_KINDS[self.method]


@dataclasses.dataclass
class SignatureRequest:
    file_id: str
    api_code: str
    values: dict
    signers: list
    ccs: list
    email_message: str
    documents: list = dataclasses.field(default_factory=list)
    parameters: dict = dataclasses.field(default_factory=dict)
    links: list = dataclasses.field(default_factory=list)
    invitations: list = dataclasses.field(default_factory=list)

    def status_text(self):
        signed = sum(1 for s in self.signers if s.signed)
        if self.signers and signed == len(self.signers):
            return "Completed"
        if signed:
            return "Partially Signed"
        return "Sent" if self.invitations else "Created"


def _split_list(text):
    return [part.strip() for part in (text or "").split(",") if part.strip()]


def _decode_base64(text, what):
    compact = "".join((text or "").split())
    try:
        return base64.b64decode(compact, validate=True)
    except ValueError:
        raise ServiceError(f"{what} is not valid base64.")


def _message_text(data):
    # The client writes the message in the ANSI code page.
    try:
        return data.decode("cp1252")
    except UnicodeDecodeError:
        return data.decode("latin-1")


class ServiceState:
    """Everything the service knows; one lock guards it all (answers are
    computed under the lock, sent outside it)."""

    def __init__(self, accounts=None):
        self.lock = threading.Lock()
        self.initial_accounts = [dict(a) for a in (accounts or [DEFAULT_ACCOUNT])]
        self.reset()

    def reset(self):
        self.accounts = {a["apiCode"]: dict(a) for a in self.initial_accounts}
        self.files = {}
        self.next_file = 1001
        self.next_document = 2001
        self.behaviours = []
        self.record = []
        self.keep_limit = DEFAULT_KEEP_LIMIT
        # How request bodies are taken in: (bytes, seconds) reads that many
        # at a time with a pause after each, as a slow link would; None: at
        # once.
        self.intake = None

    # accounts -------------------------------------------------------------

    def add_account(self, api_code, email, name="", company=""):
        if not api_code or not email:
            raise ValueError("apiCode and email are required")
        self.accounts[api_code] = {"apiCode": api_code, "email": email,
                                   "name": name, "company": company}

    def _account(self, api_code):
        account = self.accounts.get(api_code or "")
        if account is None:
            raise ServiceError("Invalid API code.")
        return account

    def _file(self, api_code, file_id):
        self._account(api_code)
        request = self.files.get(file_id or "")
        if request is None or request.api_code != api_code:
            raise ServiceError(f"Unknown file ID '{file_id or ''}'.")
        return request

    # methods ----------------------------------------------------------------

    def call(self, method, values, link_base):
        """The result text of one method, or a Body for the download."""
        handler = getattr(self, "_m_" + method)
        try:
            return handler(values, link_base)
        except ServiceError as error:
            return "ERROR: " + str(error)

    def _m_GetUserInfo(self, v, _):
        account = self.accounts.get(v.get("pstr_APICode") or "")
        if account is None or account["email"].lower() != (v.get("pstr_Email") or "").lower():
            raise ServiceError("Invalid API code or e-mail address.")
        user = ET.Element("User")
        for tag, key in (("APICode", "apiCode"), ("Email", "email"), ("Name", "name"),
                         ("Company", "company")):
            ET.SubElement(user, tag).text = account.get(key, "")
        ET.SubElement(user, "AccountType").text = "Enterprise"
        ET.SubElement(user, "Credits").text = "100"
        return ET.tostring(user, encoding="unicode")

    def _m_CreateSignatureRequest(self, v, _):
        account = self._account(v.get("pstr_APICode"))
        sign_type = v.get("pstr_SignType") or ""
        if sign_type not in ("elec", "fax", "both"):
            raise ServiceError(f"Unknown signature type '{sign_type}'.")
        signers = [Signer(email, 1) for email in _split_list(v.get("pstr_Signers"))]
        signers += [Signer(email, 2) for email in _split_list(v.get("pstr_SecondSigners"))]
        ccs = _split_list(v.get("pstr_CCs"))
        if not signers:
            raise ServiceError("The request names no signer.")
        for email in [s.email for s in signers] + ccs:
            if "@" not in email:
                raise ServiceError(f"Invalid e-mail address '{email}'.")
        message = _decode_base64(v.get("pstr_EmailMessage"), "The e-mail message")
        file_id = f"QF{self.next_file}"
        self.next_file += 1
        self.files[file_id] = SignatureRequest(
            file_id=file_id, api_code=account["apiCode"], values=dict(v),
            signers=signers, ccs=ccs, email_message=_message_text(message))
        return file_id

    def _add_document(self, method, v):
        request = self._file(v.get("pstr_APICode"), v.get("pstr_FileID"))
        # An empty document is a document; a request without one is not.
        if DOCUMENT_ELEMENT not in v:
            raise ServiceError("The request has no document.")
        upload = v[DOCUMENT_ELEMENT]
        if isinstance(upload, UploadedDocument):
            if not upload.valid:
                raise ServiceError("The document is not valid base64.")
            size, digest, data = upload.size, upload.sha256, upload.data
        else:
            data = _decode_base64(upload, "The document")
            size, digest = len(data), hashlib.sha256(data).hexdigest()
            data = data if size <= self.keep_limit else None
        document = Document(document_id=f"QD{self.next_document}", method=method,
                            file_name=v.get("pstr_FileName") or "",
                            title=v.get("pstr_Title") or "", size=size, sha256=digest,
                            data=data)
        self.next_document += 1
        request.documents.append(document)
        return document.document_id

    def _m_AddDocumentToRequest(self, v, _):
        return self._add_document("AddDocumentToRequest", v)

    def _m_AddReferenceDocumentToRequest(self, v, _):
        return self._add_document("AddReferenceDocumentToRequest", v)

    def _m_AddInstructionalDocumentToRequest(self, v, _):
        return self._add_document("AddInstructionalDocumentToRequest", v)

    def _m_SetSignatureRequestParameters(self, v, _):
        request = self._file(v.get("p_ApiCode"), v.get("p_FileID"))
        try:
            root = ET.fromstring(v.get("p_XMLContent") or "")
        except ET.ParseError:
            raise ServiceError("The parameters are not valid XML.")
        if root.tag != "file":
            raise ServiceError("The parameters need a <file> root.")
        for parameter in root.iter("parameter"):
            request.parameters[parameter.get("name", "")] = parameter.get("value", "")
        return "SUCCESS"

    def _m_GetMaintenanceLink(self, v, link_base):
        request = self._file(v.get("pstr_APICode"), v.get("pstr_FileID"))
        key = hashlib.sha1((request.file_id + request.api_code).encode()).hexdigest()[:12].upper()
        link = f"{link_base}{MAINTAIN_PATH}?FileID={request.file_id}&Key={key}"
        request.links.append(link)
        return link

    def _m_InviteSigners(self, v, _):
        request = self._file(v.get("pstr_APICode"), v.get("pstr_FileID"))
        if not request.documents:
            raise ServiceError("The request has no documents.")
        message = _decode_base64(v.get("pstr_EmailMessage"), "The e-mail message")
        request.invitations.append({"message": _message_text(message),
                                    "signers": [s.email for s in request.signers],
                                    "ccs": list(request.ccs)})
        return "SUCCESS"

    def _m_GetFileStatus(self, v, _):
        request = self._file(v.get("pstr_APICode"), v.get("pstr_FileID"))
        root = ET.Element("File")
        ET.SubElement(root, "FileID").text = request.file_id
        ET.SubElement(root, "FileName").text = request.values.get("pstr_FileName") or ""
        ET.SubElement(root, "Status").text = request.status_text()
        for document in request.documents:
            element = ET.SubElement(root, "Document")
            ET.SubElement(element, "DocumentID").text = document.document_id
            ET.SubElement(element, "FileName").text = document.file_name
            ET.SubElement(element, "Title").text = document.title
            ET.SubElement(element, "Kind").text = document.kind
        # Signers sit directly under File: the client counts every Signer
        # below File, so nesting them in documents would count them twice.
        for signer in request.signers:
            element = ET.SubElement(root, "Signer")
            ET.SubElement(element, "Email").text = signer.email
            ET.SubElement(element, "Tier").text = str(signer.tier)
            ET.SubElement(element, "Signed").text = "1" if signer.signed else "0"
            ET.SubElement(element, "SignedDate").text = signer.signed_at
        return ET.tostring(root, encoding="unicode")

    def _m_DownloadSignedDocument(self, v, _):
        request = self._file(v.get("pstr_APICode"), v.get("pstr_FileID"))
        document_id = v.get("pstr_DocumentID") or ""
        document = next((d for d in request.documents if d.document_id == document_id), None)
        if document is None:
            raise ServiceError(f"Unknown document ID '{document_id}'.")
        if not request.signers or not all(s.signed for s in request.signers):
            raise ServiceError("The document has not been signed by every signer.")
        pdf = document.signed_data if document.signed_data is not None else document.data
        if pdf is None:
            raise ServiceError(f"The stand-in kept only the length and digest of document"
                               f" '{document_id}' ({document.size} bytes).")
        method = "DownloadSignedDocument"
        return Body(XML_DECL + ENVELOPE_HEAD + _result_open(method), Base64Segment(pdf),
                    _result_close(method) + ENVELOPE_TAIL)

    # test controls -------------------------------------------------------

    def file_for_control(self, file_id):
        request = self.files.get(file_id or "")
        if request is None:
            raise ValueError(f"no request with file ID {file_id!r}")
        return request

    def set_signed(self, file_id, email=None, signed=True):
        request = self.file_for_control(file_id)
        chosen = [s for s in request.signers
                  if email is None or s.email.lower() == email.lower()]
        if not chosen:
            raise ValueError(f"{email!r} is no signer of {file_id}")
        for signer in chosen:
            signer.signed = bool(signed)
            signer.signed_at = time.strftime("%Y-%m-%dT%H:%M:%S") if signed else ""

    def set_signed_pdf(self, file_id, document_id, data):
        request = self.file_for_control(file_id)
        if not request.documents:
            raise ValueError(f"{file_id} has no documents")
        if document_id is None:
            request.documents[0].signed_data = data
            return
        for document in request.documents:
            if document.document_id == document_id:
                document.signed_data = data
                return
        raise ValueError(f"{file_id} has no document {document_id!r}")

    def documents_json(self, file_id):
        return [{
            "documentId": d.document_id, "kind": d.kind, "method": d.method,
            "fileName": d.file_name, "title": d.title, "size": d.size, "sha256": d.sha256,
            "data": None if d.data is None else base64.b64encode(d.data).decode(),
            "signedData": None if d.signed_data is None
            else base64.b64encode(d.signed_data).decode(),
        } for d in self.file_for_control(file_id).documents]

    def state_json(self):
        return {
            "accounts": list(self.accounts.values()),
            "files": [{
                "fileId": r.file_id, "apiCode": r.api_code, "status": r.status_text(),
                "values": {k: val for k, val in r.values.items() if k != "pstr_EmailMessage"},
                "emailMessage": r.email_message,
                "signers": [dataclasses.asdict(s) for s in r.signers],
                "ccs": r.ccs,
                "documents": [{"documentId": d.document_id, "kind": d.kind,
                               "fileName": d.file_name, "title": d.title,
                               "size": d.size, "sha256": d.sha256} for d in r.documents],
                "parameters": r.parameters, "links": r.links, "invitations": r.invitations,
            } for r in self.files.values()],
            "behaviours": self.behaviours,
            "requests": len(self.record),
        }


# ------------------------------------------------------------- behaviours ---

BEHAVIOUR_KINDS = {
    # kind: its own fields
    "fault": {"status", "faultcode", "faultstring"},
    "error": {"text"},
    "result": {"text"},
    "malformed": {"body"},
    "empty": set(),
    "http": {"status", "body", "contentType", "headers"},
    "proxy_auth": {"body", "headers"},
    "slow": set(),
    "cut": {"sendBytes"},
    "padded": set(),
    "close": set(),
    "stall": {"sendBytes", "hold"},
    "endless": {"chunked"},
}
COMMON_FIELDS = {"kind", "method", "count", "delay", "chunk", "interval", "swiftBytes",
                 "size", "contentLength"}
# Kinds that run the method and change the state; the rest stand in for it.
ANSWERING_KINDS = {"slow", "cut", "padded", "stall"}
# How long a stalled answer keeps its connection open and silent, unless
# the client leaves first.
DEFAULT_HOLD = 300.0
# What an endless body is made of: the start of an envelope, then a comment
# that never closes.
ENDLESS_HEAD = XML_DECL + ENVELOPE_HEAD + b"<!--"
ENDLESS_PIECE = b"endless " * 8192


def check_behaviour(given):
    if not isinstance(given, dict):
        raise ValueError("a behaviour is a JSON object")
    kind = given.get("kind")
    if kind not in BEHAVIOUR_KINDS:
        raise ValueError(f"unknown behaviour kind {kind!r}; known: {sorted(BEHAVIOUR_KINDS)}")
    unknown = set(given) - COMMON_FIELDS - BEHAVIOUR_KINDS[kind]
    if unknown:
        raise ValueError(f"unknown fields for {kind}: {sorted(unknown)}")
    if given.get("method") is not None and given["method"] not in METHODS:
        raise ValueError(f"unknown method {given['method']!r}")
    if kind == "padded" and "size" not in given:
        raise ValueError("padded needs a size")
    if "contentLength" in given and (not isinstance(given["contentLength"], int)
                                     or given["contentLength"] < 0):
        raise ValueError("contentLength is a number of bytes, 0 or more")
    behaviour = dict(given)
    behaviour["count"] = int(given.get("count", 1))
    return behaviour


def take_behaviour(state, soap_method):
    """The first pending behaviour that applies to this request, used up by
    one; a count of 0 applies until the behaviours are cleared."""
    for behaviour in state.behaviours:
        if behaviour.get("method") not in (None, soap_method):
            continue
        if behaviour["count"] > 0:
            behaviour["count"] -= 1
            if behaviour["count"] == 0:
                state.behaviours.remove(behaviour)
        return dict(behaviour)
    return None


PROXY_PAGE = (b"<html><head><title>407 Proxy Authentication Required</title></head>"
              b"<body><h1>Proxy Authentication Required</h1></body></html>")
MALFORMED_BODY = (XML_DECL + b"<html><body><p>The service is being updated."
                  b" Please try again later.</p></body></html>")


def behaviour_answer(behaviour, soap_method, normal):
    """The answer of an injected behaviour; `normal` makes the real one."""
    kind = behaviour["kind"]
    method = soap_method or behaviour.get("method") or "Unknown"
    if kind == "fault":
        return Answer(int(behaviour.get("status", 500)),
                      fault_body(behaviour.get("faultcode", "soap:Server"),
                                 behaviour.get("faultstring",
                                               "Server was unable to process request.")))
    if kind == "error":
        return Answer(body=result_body(method, behaviour.get("text", "ERROR: Injected failure.")))
    if kind == "result":
        return Answer(body=result_body(method, behaviour.get("text", "")))
    if kind == "malformed":
        body = behaviour.get("body")
        return Answer(body=Body(body.encode("utf-8") if body is not None else MALFORMED_BODY))
    if kind == "empty":
        return Answer()
    if kind == "http":
        return Answer(int(behaviour.get("status", 500)),
                      Body(behaviour.get("body", "").encode("utf-8")),
                      behaviour.get("contentType", "text/html; charset=utf-8"),
                      [tuple(h) for h in behaviour.get("headers", [])])
    if kind == "proxy_auth":
        headers = behaviour.get("headers",
                                [["Proxy-Authenticate", 'Basic realm="Quillet test proxy"']])
        body = behaviour.get("body")
        return Answer(407, Body(body.encode("utf-8") if body is not None else PROXY_PAGE),
                      "text/html; charset=utf-8", [tuple(h) for h in headers])
    if kind == "endless":
        return Answer()   # the body is made while it is sent, without end
    return normal()


# ----------------------------------------------------------------- SOAP in ---

def decode_xml_body(raw):
    """The request's element tree and the encoding it was read in. The client
    declares UTF-8 but writes ANSI text, so non-UTF-8 bytes are read as
    Windows-1252 rather than refused."""
    try:
        raw.decode("utf-8")
        return ET.fromstring(raw), "utf-8"
    except UnicodeDecodeError:
        pass
    try:
        text = raw.decode("cp1252")
    except UnicodeDecodeError:
        text = raw.decode("latin-1")
    return ET.fromstring(text), "cp1252"


def local_name(tag):
    return tag.split("}", 1)[1] if tag.startswith("{") else tag


def element_value(element):
    if len(element) == 0:
        return element.text or ""
    inner = [element.text or ""]
    for child in element:
        inner.append(ET.tostring(child, encoding="unicode"))
    return "".join(inner)


def _recorded(value):
    """An element's value as the record shows it: a streamed document's text
    (None when it was too long to keep)."""
    return value.text if isinstance(value, UploadedDocument) else value


class SoapRequestError(Exception):
    def __init__(self, status, code, text):
        super().__init__(text)
        self.status, self.code, self.text = status, code, text


def parse_soap(request, soap_action_header):
    """(method, [(element, value)], encoding) of a request (a StreamedBody),
    or SoapRequestError with the answer a .NET-style service gives such a
    request. The streamed document's value is an UploadedDocument."""
    try:
        root, encoding = decode_xml_body(request.envelope())
    except ET.ParseError as error:
        if request.streamed:
            # What the parser says of the body as sent, or as near as the
            # document's lines and last line allow when it was not kept.
            raw = request.raw()
            try:
                decode_xml_body(request.envelope(positions=True) if raw is None else raw)
            except ET.ParseError as exact:
                error = exact
        raise SoapRequestError(400, "soap:Client",
                               f"Server was unable to read request. {error}")
    if root.tag != f"{{{SOAP_ENV_NS}}}Envelope":
        raise SoapRequestError(500, "soap:VersionMismatch",
                               "Possible SOAP version mismatch: the root is not a"
                               f" SOAP 1.1 Envelope but {root.tag}.")
    body = root.find(f"{{{SOAP_ENV_NS}}}Body")
    if body is None or len(body) == 0:
        raise SoapRequestError(500, "soap:Client", "The envelope has no method in its Body.")
    call = body[0]
    action = (soap_action_header or "").strip()
    if len(action) >= 2 and action[0] == action[-1] == '"':
        action = action[1:-1]
    method = local_name(call.tag)
    if not action.startswith(SERVICE_NS) or action[len(SERVICE_NS):] not in METHODS:
        raise SoapRequestError(500, "soap:Client",
                               f"Server did not recognize the value of HTTP Header SOAPAction: {action}.")
    if call.tag != f"{{{SERVICE_NS}}}{action[len(SERVICE_NS):]}":
        raise SoapRequestError(500, "soap:Client",
                               f"The Body holds {call.tag}, not the method the SOAPAction"
                               f" {action} names.")
    elements = []
    try:
        holder = request.holder(root)
        for child in call:
            # Elements outside the service namespace do not bind to a parameter;
            # they keep their namespace ("{}" for none) so they match no name.
            if child.tag.startswith(f"{{{SERVICE_NS}}}"):
                name = local_name(child.tag)
            else:
                name = child.tag if child.tag.startswith("{") else "{}" + child.tag
            value = element_value(child)
            elements.append([name, request.document(value) if child is holder else value])
    except LookupError as error:  # a fault of the stand-in's own
        raise SoapRequestError(500, "soap:Server", f"The stand-in lost the document: {error}.")
    return method, elements, encoding


# ------------------------------------------------------------------- HTTP ---

class _TapReader:
    """Passes reads through and keeps the bytes, to record headers as sent."""

    def __init__(self, inner):
        self.inner = inner
        self.data = bytearray()

    def readline(self, *args):
        line = self.inner.readline(*args)
        self.data += line
        return line

    def read(self, *args):
        data = self.inner.read(*args)
        self.data += data
        return data


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuilletStandIn/1.0"
    sys_version = ""
    timeout = 120

    # One port serves TLS and plain HTTP: a TLS ClientHello starts with 0x16,
    # an HTTP request with a letter. So the control interface stays plain
    # HTTP beside a TLS service, and the record says which one a request used.
    def setup(self):
        self.tls = False
        self.dead = False
        self.request.settimeout(self.timeout)
        # Headers and body go out in separate writes; without this, Nagle and
        # the client's delayed ACK add 40 ms to every answer.
        self.request.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            first = self.request.recv(1, socket.MSG_PEEK)
            if first == b"\x16":
                if self.server.tls_context is None:
                    self.server.log("TLS handshake on a plain listener: closed")
                    self.dead = True
                else:
                    self.request = self.server.tls_context.wrap_socket(self.request,
                                                                       server_side=True)
                    self.tls = True
        except (OSError, ssl.SSLError) as error:
            self.server.log(f"connection setup failed: {error}")
            self.dead = True
        super().setup()

    def handle(self):
        if not self.dead:
            try:
                super().handle()
            except (ConnectionError, socket.timeout, ssl.SSLError):
                pass

    def parse_request(self):
        tap = _TapReader(self.rfile)
        self.rfile = tap
        try:
            return super().parse_request()
        finally:
            self.rfile = tap.inner
            self.raw_head = bytes(self.raw_requestline) + bytes(tap.data)

    def log_message(self, fmt, *args):
        self.server.log("%s %s" % (self.address_string(), fmt % args))

    def do_any(self):
        path = urllib.parse.urlsplit(self.path).path
        if path.startswith(CONTROL_PREFIX):
            pieces = []
            self.read_body(pieces.append)
            return self.control(path[len(CONTROL_PREFIX):], b"".join(pieces))
        self.ended_by_reset = False
        self.server.exchange_begins(self)
        try:
            self.exchange(path)
        finally:
            self.server.exchange_ends(self)

    def exchange(self, path):
        is_soap = path == GATEWAY_PATH and self.command == "POST"
        body = StreamedBody(self.server.state.keep_limit,
                            DOCUMENT_ELEMENT.encode() if is_soap else None, self.body_length())
        try:
            self.read_body(body.feed, self.server.state.intake if is_soap else None, body.piece)
        finally:
            body.finish()
        if self.ended_by_reset:
            # What came belongs to a test before the reset: neither
            # recorded nor answered.
            self.close_connection = True
            return
        raw = body.raw()
        entry = {
            "method": self.command, "path": self.path, "version": self.request_version,
            "head": self.raw_head.decode("latin-1"),
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": None if raw is None else base64.b64encode(raw).decode(),
            "bodyLength": body.length,
            "tls": self.tls, "client": "%s:%d" % self.client_address[:2],
            "time": time.time(),
            "soapMethod": None, "elements": None, "encoding": None, "parseError": None,
            "status": None, "behaviour": None,
        }
        if is_soap:
            self.soap(entry, body)
        else:
            self.other(entry, path)

    do_GET = do_POST = do_PUT = do_DELETE = do_HEAD = do_OPTIONS = do_any

    def body_length(self):
        """The Content-Length, or None for a chunked body."""
        if "chunked" in self.headers.get("Transfer-Encoding", "").lower():
            return None
        return int(self.headers.get("Content-Length") or 0)

    def read_body(self, feed, intake=None, piece=PIECE):
        """Hands the body to feed in pieces as it arrives (chunked or with a
        Content-Length); a body cut short by the client ends where it stops.
        intake: (bytes, seconds) to take it in slowly."""
        length = self.body_length()
        if length is None:
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return
                self.read_exactly(size, feed, intake, piece)
                self.rfile.readline()
        self.read_exactly(length, feed, intake, piece)

    def read_exactly(self, length, feed, intake=None, piece=PIECE):
        if intake:
            # A small window, as on a slow link: what the client writes waits
            # on its side instead of piling up in this side's buffers.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, max(intake[0], 4096))
        while length > 0:
            data = self.rfile.read(min(length, intake[0] if intake else piece))
            if not data:
                return
            feed(data)
            length -= len(data)
            if intake:
                time.sleep(intake[1])

    # SOAP ----------------------------------------------------------------

    def soap(self, entry, body):
        state = self.server.state
        method = None
        try:
            if not self.headers.get("Content-Type", "").lower().startswith("text/xml"):
                raise SoapRequestError(415, None, "SOAP 1.1 requests are text/xml.")
            method, elements, encoding = parse_soap(body, self.headers.get("SOAPAction"))
            entry.update(soapMethod=method, encoding=encoding,
                         elements=[[name, _recorded(value)] for name, value in elements])
        except SoapRequestError as error:
            entry["parseError"] = error.text
            problem = error
        else:
            problem = None

        scheme = "https" if self.tls else "http"
        link_base = f"{scheme}://{self.headers.get('Host') or self.server.server_address[0]}"

        def normal():
            if problem is not None:
                if problem.code is None:
                    return Answer(problem.status, Body(problem.text.encode()),
                                  "text/plain; charset=utf-8")
                return Answer(problem.status, fault_body(problem.code, problem.text))
            values = {}
            for name, value in elements:
                # Only the document methods take the document as decoded.
                if isinstance(value, UploadedDocument) and method not in DOCUMENT_KINDS:
                    value = _recorded(value) or ""
                values.setdefault(name, value)
            result = state.call(method, values, link_base)
            return Answer(body=result if isinstance(result, Body) else result_body(method, result))

        with state.lock:
            state.record.append(entry)
            behaviour = take_behaviour(state, method)
            answer = normal() if behaviour is None else behaviour_answer(behaviour, method, normal)
            entry["status"] = answer.status
            entry["behaviour"] = behaviour["kind"] if behaviour else None
        self.send(answer, behaviour or {})

    def other(self, entry, path):
        state = self.server.state
        with state.lock:
            state.record.append(entry)
            if path == GATEWAY_PATH and self.command in ("GET", "HEAD"):
                answer = Answer(body=Body(self.service_page()), content_type="text/html; charset=utf-8")
            elif path == MAINTAIN_PATH and self.command in ("GET", "HEAD"):
                answer = self.maintain_page()
            elif path == GATEWAY_PATH:
                answer = Answer(405, Body(b"Only POST is served here."), "text/plain; charset=utf-8",
                                [("Allow", "GET, POST")])
            else:
                answer = Answer(404, Body(b"<html><body><h1>404 Not Found</h1></body></html>"),
                                "text/html; charset=utf-8")
            entry["status"] = answer.status
        self.send(answer, {})

    def service_page(self):
        rows = "".join(f"<li><b>{m}</b>({', '.join(p)})</li>" for m, p in METHODS.items())
        return (f"<html><body><h1>Quillet signature service (stand-in)</h1>"
                f"<p>Namespace {SERVICE_NS}</p><ul>{rows}</ul></body></html>").encode()

    def maintain_page(self):
        query = urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query)
        request = self.server.state.files.get((query.get("FileID") or [""])[0])
        if request is None:
            return Answer(404, Body(b"<html><body><h1>Unknown request</h1></body></html>"),
                          "text/html; charset=utf-8")
        esc = html.escape
        signers = "".join(f"<li>{esc(s.email)} (tier {s.tier}):"
                          f" {'signed ' + s.signed_at if s.signed else 'not signed'}</li>"
                          for s in request.signers)
        documents = "".join(f"<li>{esc(d.document_id)} {esc(d.file_name)} ({d.kind})</li>"
                            for d in request.documents)
        page = (f"<html><body><h1>Request {esc(request.file_id)}: {request.status_text()}</h1>"
                f"<h2>Documents</h2><ul>{documents}</ul><h2>Signers</h2><ul>{signers}</ul>"
                f"</body></html>")
        return Answer(body=Body(page.encode("utf-8")), content_type="text/html; charset=utf-8")

    def send(self, answer, behaviour):
        kind = behaviour.get("kind")
        delay = float(behaviour.get("delay", 0))
        if delay > 0:
            time.sleep(delay)
        if kind == "close":
            self.close_connection = True
            return
        if kind == "endless":
            return self.send_endless(answer, behaviour)
        body = answer.body
        if "size" in behaviour:
            try:
                body = body.padded(int(behaviour["size"]))
            except ValueError as error:
                answer = Answer(500, Body(str(error).encode()), "text/plain; charset=utf-8")
                body = answer.body
        # A length other than the body's leaves the connection out of step:
        # it closes after this answer.
        length = int(behaviour.get("contentLength", len(body)))
        if length != len(body):
            self.close_connection = True
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        for name, value in answer.headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(length))
        self.end_headers()
        if self.command == "HEAD":
            return
        limit = len(body)
        if kind == "cut":
            limit = int(behaviour.get("sendBytes", len(body) // 2))
            self.close_connection = True
        elif kind == "stall":
            limit = int(behaviour.get("sendBytes", 0))
        self.send_body(body, limit, behaviour)
        if kind == "stall":
            self.hold_silent(float(behaviour.get("hold", DEFAULT_HOLD)))
            self.close_connection = True

    def send_body(self, body, limit, behaviour):
        chunk = int(behaviour.get("chunk", 0)) or 65536
        interval = float(behaviour.get("interval", 0))
        # The first bytes go as fast as the link takes them, the pace
        # holds from there on: an answer that starts fast, then trickles.
        swift = int(behaviour.get("swiftBytes", 0))
        sent = 0
        for piece in body.chunks(chunk):
            while piece and sent < limit:
                part = piece[:min(chunk, limit - sent)]
                self.wfile.write(part)
                sent += len(part)
                piece = piece[len(part):]
                if interval > 0 and sent > swift:
                    time.sleep(interval)
            if sent >= limit:
                break

    def hold_silent(self, seconds):
        """Sends nothing more, with the connection open, until the client
        closes it or the time is up."""
        deadline = time.monotonic() + seconds
        while True:
            left = deadline - time.monotonic()
            if left <= 0:
                return
            readable, _, _ = select.select([self.connection], [], [], min(left, 1.0))
            if readable and not self.connection.recv(65536):
                return

    def send_endless(self, answer, behaviour):
        """Headers, then a body that never ends, until the client leaves."""
        chunked = bool(behaviour.get("chunked"))
        self.close_connection = True
        self.send_response(answer.status)
        self.send_header("Content-Type", answer.content_type)
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif "contentLength" in behaviour:
            self.send_header("Content-Length", str(int(behaviour["contentLength"])))
        self.end_headers()
        chunk = int(behaviour.get("chunk", 0)) or len(ENDLESS_PIECE)
        interval = float(behaviour.get("interval", 0))
        piece = ENDLESS_HEAD
        try:
            while True:
                for at in range(0, len(piece), chunk):
                    part = piece[at:at + chunk]
                    self.wfile.write(b"%x\r\n%s\r\n" % (len(part), part) if chunked else part)
                    if interval > 0:
                        time.sleep(interval)
                piece = ENDLESS_PIECE
        except OSError:
            pass   # the client has gone: the end of the body

    # control -------------------------------------------------------------

    def control(self, command, raw):
        query = {k: v[-1] for k, v in urllib.parse.parse_qs(urllib.parse.urlsplit(self.path).query).items()}
        try:
            args = json.loads(raw) if raw.strip() else {}
            if isinstance(args, dict):
                args = {**query, **args}
            status, reply = 200, self.control_command(command, args)
        except (ValueError, KeyError, TypeError, AttributeError) as error:
            status, reply = 400, {"ok": False, "error": str(error)}
        data = json.dumps(reply).encode("ascii")
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)
        if command == "shutdown":
            self.close_connection = True
            threading.Thread(target=self.server.shutdown, daemon=True).start()

    def control_command(self, command, args):
        state = self.server.state
        with state.lock:
            if command == "reset":
                state.reset()
                # A test starts with no exchange of an earlier one under
                # way: a client that gave an exchange up half-way (its
                # request's head sent and its body never, or its answer
                # never read) may have left that connection in its
                # keep-alive pool, and its next request on it would be
                # taken for the rest of the old one.
                self.server.end_exchanges()
            elif command == "behaviour":
                givens = args["behaviours"] if isinstance(args, dict) and "behaviours" in args else args
                givens = givens if isinstance(givens, list) else [givens]
                state.behaviours.extend(check_behaviour(given) for given in givens)
                return {"ok": True, "pending": len(state.behaviours)}
            elif command == "behaviours":
                return {"ok": True, "behaviours": state.behaviours}
            elif command == "clear-behaviours":
                state.behaviours.clear()
            elif command == "requests":
                since = int(args.get("since", 0))
                return {"ok": True, "requests": state.record[since:]}
            elif command == "clear-requests":
                state.record.clear()
            elif command == "keep-bytes":
                if "limit" in args:
                    limit = int(args["limit"])
                    if limit < 0:
                        raise ValueError("the limit is a number of bytes, 0 or more")
                    state.keep_limit = limit
                return {"ok": True, "limit": state.keep_limit}
            elif command == "intake":
                chunk, interval = int(args.get("chunk", 0)), float(args.get("interval", 0))
                if chunk < 0 or interval < 0:
                    raise ValueError("chunk and interval are 0 or more")
                state.intake = (chunk, interval) if chunk else None
                return {"ok": True, "chunk": chunk, "interval": interval}
            elif command == "documents":
                return {"ok": True, "documents": state.documents_json(args["fileId"])}
            elif command == "state":
                return {"ok": True, **state.state_json()}
            elif command == "sign":
                state.set_signed(args["fileId"], args.get("email"), args.get("signed", True))
            elif command == "signed-pdf":
                state.set_signed_pdf(args["fileId"], args.get("documentId"),
                                     base64.b64decode(args["data"], validate=True))
            elif command == "account":
                state.add_account(args["apiCode"], args["email"], args.get("name", ""),
                                  args.get("company", ""))
            elif command == "certificate":
                if not self.server.cert_pem:
                    raise ValueError("the service runs without TLS")
                return {"ok": True, "pem": self.server.cert_pem}
            elif command == "shutdown":
                pass
            else:
                raise ValueError(f"unknown control command {command!r}")
        return {"ok": True}


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    request_queue_size = 64

    def __init__(self, address, port, state, tls_context=None, cert_pem="", log_stream=None):
        self.state = state
        self.tls_context = tls_context
        self.cert_pem = cert_pem
        self.log_stream = log_stream
        self.log_lock = threading.Lock()
        self.exchanges = set()
        self.exchanges_lock = threading.Lock()
        super().__init__((address, port), Handler)

    def exchange_begins(self, handler):
        with self.exchanges_lock:
            self.exchanges.add(handler)

    def exchange_ends(self, handler):
        with self.exchanges_lock:
            self.exchanges.discard(handler)

    def end_exchanges(self):
        """Closes the connection of every exchange under way: its handler
        sees the end of its input, its client a closed connection."""
        with self.exchanges_lock:
            under_way = list(self.exchanges)
        for handler in under_way:
            handler.ended_by_reset = True
            handler.close_connection = True
            try:
                handler.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass

    def log(self, text):
        if self.log_stream is not None:
            with self.log_lock:
                self.log_stream.write(time.strftime("%H:%M:%S ") + text + "\n")
                self.log_stream.flush()

    def handle_error(self, request, client_address):
        self.log(f"error with {client_address}: {sys.exc_info()[1]!r}")


# ------------------------------------------------------------ start-up ---

def require_loopback(address):
    try:
        ip = ipaddress.ip_address(address)
    except ValueError:
        raise SystemExit(f"--address must be an IPv4 loopback address, not {address!r}")
    if ip.version != 4 or not ip.is_loopback:
        raise SystemExit(f"--address must be in 127.0.0.0/8, not {address}")


def default_cert_dir():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "quillet-standin")


def certificate_for(address, cert_dir):
    """(certificate, key) paths of a self-signed certificate that names the
    address, made with openssl (python's ssl can load one but not make one).

    It is made once and kept in cert_dir: a Windows client trusts it only
    once it is in the Root store of the Wine prefix, and Wine's chain engine
    reads that store once per process, so a certificate made afresh at every
    start could never be trusted by a test that starts the service itself.
    One certificate covers 127.0.0.1 to 127.0.0.254; other loopback addresses
    get one each."""
    last = [int(part) for part in address.split(".")]
    if last[:3] == [127, 0, 0] and 1 <= last[3] <= 254:
        name, ips = "loopback", [f"127.0.0.{n}" for n in range(1, 255)]
    else:
        name, ips = address, [address]
    folder = os.path.join(cert_dir, name)
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    if os.path.exists(cert) and os.path.exists(key):
        return cert, key
    os.makedirs(cert_dir, exist_ok=True)
    work = tempfile.mkdtemp(prefix="making-", dir=cert_dir)
    names = ",".join([f"IP:{ip},DNS:{ip}" for ip in ips] + ["DNS:localhost", "DNS:secure.quillet.com"])
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes",
                    "-keyout", os.path.join(work, "key.pem"), "-out", os.path.join(work, "cert.pem"),
                    "-days", "3650", "-subj", "/CN=Quillet stand-in service",
                    "-addext", f"subjectAltName={names}",
                    "-addext", "extendedKeyUsage=serverAuth"],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        os.rename(work, folder)   # atomic: services starting together agree on one
    except OSError:
        shutil.rmtree(work, ignore_errors=True)   # another one was first
    return cert, key


def tls_context_for(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


def bind_server(address, port, state, tls_context, cert_pem, log_stream):
    """Binds, first asking a stand-in left over from a crashed test on the
    same address to end (it answers /control/shutdown; nothing else does)."""
    deadline = time.monotonic() + 5
    asked = False
    while True:
        try:
            return Server(address, port, state, tls_context, cert_pem, log_stream)
        except OSError as error:
            if error.errno != 98 or time.monotonic() > deadline:  # EADDRINUSE
                raise
            if not asked:
                asked = True
                try:
                    connection = http.client.HTTPConnection(address, port, timeout=2)
                    connection.request("POST", CONTROL_PREFIX + "shutdown", body=b"{}")
                    connection.getresponse().read()
                    connection.close()
                except (OSError, http.client.HTTPException):
                    pass
            time.sleep(0.1)


def write_ready_file(path, info):
    # Written aside and renamed, so a poller never reads half a file.
    partial = path + ".partial"
    with open(partial, "w") as out:
        json.dump(info, out)
    os.replace(partial, path)


def detach(log_path):
    """A process started through Wine inherits the starter's pipes (a test
    runner waits for those to close) and some of Wine's descriptors; keeping
    them would hold the runner until the lifetime ends."""
    os.closerange(3, os.sysconf("SC_OPEN_MAX"))
    null = os.open(os.devnull, os.O_RDWR)
    out = os.open(log_path, os.O_WRONLY | os.O_CREAT | os.O_APPEND, 0o644) if log_path else null
    os.dup2(null, 0)
    os.dup2(out, 1)
    os.dup2(out, 2)
    for fd in {null, out}:
        os.close(fd)


def parse_account(text):
    parts = text.split(",")
    if len(parts) < 2:
        raise argparse.ArgumentTypeError("an account is APICODE,EMAIL[,NAME]")
    return {"apiCode": parts[0], "email": parts[1], "name": ",".join(parts[2:]),
            "company": ""}


def main(argv=None):
    parser = argparse.ArgumentParser(description="Stand-in Quillet signature service")
    parser.add_argument("--address", required=True, help="an address of 127.0.0.0/8")
    parser.add_argument("--port", type=int, help="default 80, or 443 with --tls; 0 picks one")
    parser.add_argument("--tls", action="store_true", help="serve HTTPS (plain HTTP too)")
    parser.add_argument("--cert", help="certificate PEM to serve instead of the kept one")
    parser.add_argument("--key", help="key PEM for --cert")
    parser.add_argument("--cert-dir", default=default_cert_dir(),
                        help="where the kept certificate lives (default %(default)s)")
    parser.add_argument("--ready-file", help="written once listening")
    parser.add_argument("--lifetime", type=float, default=600, help="seconds before it ends itself")
    parser.add_argument("--account", action="append", type=parse_account,
                        help="APICODE,EMAIL[,NAME]; replaces the default account")
    parser.add_argument("--log", help="append a line per request to this file (default stderr)")
    parser.add_argument("--detach", action="store_true",
                        help="let go of every descriptor inherited from the starter")
    args = parser.parse_args(argv)
    require_loopback(args.address)
    port = args.port if args.port is not None else (443 if args.tls else 80)

    if args.detach:
        detach(args.log)
    log_stream = open(args.log, "a") if args.log else sys.stderr
    server = None
    try:
        context, cert_pem, cert_path = None, "", ""
        if args.tls:
            if args.cert:
                cert_path, key_path = args.cert, args.key or args.cert
            else:
                cert_path, key_path = certificate_for(args.address, args.cert_dir)
            context = tls_context_for(cert_path, key_path)
            with open(cert_path) as pem:
                cert_pem = pem.read()
        state = ServiceState(args.account)
        server = bind_server(args.address, port, state, context, cert_pem, log_stream)
        timer = threading.Timer(args.lifetime, server.shutdown)
        timer.daemon = True
        timer.start()
        actual_port = server.server_address[1]
        server.log(f"listening on {args.address}:{actual_port}{' with TLS' if args.tls else ''}")
        if args.ready_file:
            write_ready_file(args.ready_file, {
                "pid": os.getpid(), "address": args.address, "port": actual_port,
                "tls": args.tls, "certificate": cert_path})
        server.serve_forever(poll_interval=0.05)
        server.log("stopped")
    finally:
        if server is not None:
            server.server_close()
        if args.ready_file and os.path.exists(args.ready_file):
            os.remove(args.ready_file)
        if log_stream is not sys.stderr:
            log_stream.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
