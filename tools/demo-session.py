#!/usr/bin/env python3
"""One user's session with the add-in, told as it happens.

The Outlook stand-in (outlookhost.exe) loads the registered QuillOff.dll and
plays what the user does; the stand-in signature service takes the requests
and plays the signers. The story:

  1. a new mail to Ann Archer and Bob Baker with a lease (a PDF) attached;
     the user clicks Quillet-It, logs in, goes through the wizard and
     watches the step dialog; the mail goes, a receipt task stays;
  2. Ann signs; the user syncs the task: half signed;
  3. Bob signs; the user syncs again: the signed lease comes into the task.

Each session is Outlook started on the mailbox the previous one left. Every
step is checked; a failure names the step and the exit code is 1. Called by
tools/demo (which builds and makes the prefix) and by the end-to-end test.
"""

import argparse
import base64
import hashlib
import json
import os
import shutil
import subprocess
import sys
import threading
import time
import urllib.request
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
WINE = ROOT / "tools" / "wine"
SERVICE = ROOT / "standins" / "service" / "quillet_service.py"
PRODUCT_KEY = r"HKCU\Software\Quillet\Quillet for Outlook"

NEXT, FINISH = "0x3024", "0x3025"
SUBJECT = "Lease for 12 Elm Street"
RECEIPT = "Quillet Receipt: " + SUBJECT
SIGNERS = [("Ann Archer", "ann.archer@example.com"), ("Bob Baker", "bob.baker@example.com")]
ACCOUNT = ("demo.user@example.com", "QUILLET-DEMO-0001")


class StepFailed(Exception):
    pass


# ---- telling -------------------------------------------------------------

class Teller:
    """Prints the account: steps, and what happens in them, from two
    sources at once (the host's report and the service's record)."""

    def __init__(self):
        self.lock = threading.Lock()
        self.started = time.monotonic()
        self.steps = []

    def say(self, text, indent=1):
        with self.lock:
            clock = time.monotonic() - self.started
            print(f"{clock:6.1f}s {'  ' * indent}{text}", flush=True)

    def step(self, title):
        self.steps.append([title, "running"])
        with self.lock:
            print(f"\n== {len(self.steps)}. {title}", flush=True)

    def done(self, note=""):
        self.steps[-1][1] = "done" + (f": {note}" if note else "")

    def failed(self, why):
        self.steps[-1][1] = "FAILED: " + why


# ---- the stand-in service ------------------------------------------------

class Service:
    def __init__(self, address, folder, teller):
        self.address = address
        self.folder = folder
        self.teller = teller
        self.process = None
        self.seen = 0
        self.watching = False

    def start(self):
        ready = self.folder / "service-ready.json"
        ready.unlink(missing_ok=True)
        self.process = subprocess.Popen(
            [sys.executable, str(SERVICE), "--address", self.address, "--ready-file", str(ready),
             "--log", str(self.folder / "service.log"), "--lifetime", "1800"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not ready.exists():
            if self.process.poll() is not None or time.monotonic() > deadline:
                raise StepFailed(f"the stand-in service did not start on {self.address} "
                                 f"(see {self.folder / 'service.log'})")
            time.sleep(0.1)

    def stop(self):
        if self.process and self.process.poll() is None:
            try:
                self.control("shutdown")
                self.process.wait(timeout=10)
            except Exception:
                self.process.kill()

    def control(self, command, body=None):
        request = urllib.request.Request(
            f"http://{self.address}/control/{command}",
            data=json.dumps(body or {}).encode(), method="POST",
            headers={"Content-Type": "application/json"})
        with urllib.request.urlopen(request, timeout=30) as answer:
            reply = json.loads(answer.read())
        if not reply.get("ok"):
            raise StepFailed(f"the service refused {command}: {reply.get('error')}")
        return reply

    def state(self):
        return self.control("state")

    def file(self, file_id):
        for entry in self.state()["files"]:
            if entry.get("fileId") == file_id:
                return entry
        raise StepFailed(f"the service has no request {file_id}")

    # What went to the service, told while the session runs.
    def watch(self):
        self.watching = True
        threading.Thread(target=self._watch, daemon=True).start()

    def unwatch(self):
        self.watching = False
        time.sleep(0.3)
        self._tell_new()

    def _watch(self):
        while self.watching:
            try:
                self._tell_new()
            except Exception:
                pass
            time.sleep(0.05)

    def _tell_new(self):
        for request in self.control("requests", {"since": self.seen})["requests"]:
            self.seen += 1
            self.teller.say("service <- " + describe_request(request))


def describe_request(request):
    method = request.get("soapMethod") or f"{request['method']} {request['path']}"
    elements = dict((name, value) for name, value in request.get("elements") or [])
    details = {
        "GetUserInfo": lambda: f"the account of {elements.get('pstr_Email')}",
        "CreateSignatureRequest": lambda: (f"\"{elements.get('pstr_FileName')}\", signed by "
                                           f"{elements.get('pstr_Signers')}" + (
                                               f", then {elements.get('pstr_SecondSigners')}"
                                               if elements.get("pstr_SecondSigners") else "")),
        "AddDocumentToRequest": lambda: (f"{elements.get('pstr_FileName')} to "
                                         f"{elements.get('pstr_FileID')}, "
                                         f"{request.get('bodyLength')} bytes"),
        "GetMaintenanceLink": lambda: f"for {elements.get('pstr_FileID')}",
        "InviteSigners": lambda: f"for {elements.get('pstr_FileID')}",
        "GetFileStatus": lambda: f"of {elements.get('pstr_FileID')}",
        "DownloadSignedDocument": lambda: (f"{elements.get('pstr_DocumentID')} of "
                                           f"{elements.get('pstr_FileID')}"),
    }
    text = method
    if method in details:
        text += ": " + details[method]()
    if request.get("status") != 200:
        text += f" (answered {request.get('status')})"
    return text


# ---- the documents -------------------------------------------------------

def make_pdf(lines):
    """A small PDF of one page with these lines of text."""
    text = "BT /F1 14 Tf 72 740 Td 18 TL " + " ".join(
        "(" + line.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") + ") '"
        for line in lines) + " ET"
    objects = [
        b"<< /Type /Catalog /Pages 2 0 R >>",
        b"<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        b"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
        b"/Resources << /Font << /F1 5 0 R >> >> >>",
        b"<< /Length %d >>\nstream\n%s\nendstream" % (len(text), text.encode("latin-1")),
        b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    ]
    pdf = bytearray(b"%PDF-1.4\n")
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(pdf))
        pdf += b"%d 0 obj\n%s\nendobj\n" % (number, body)
    xref = len(pdf)
    pdf += b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)
    for offset in offsets:
        pdf += b"%010d 00000 n \n" % offset
    pdf += b"trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (
        len(objects) + 1, xref)
    return bytes(pdf)


LEASE_LINES = ["Residential lease", "12 Elm Street", "",
               "Landlord: Ann Archer", "Tenant: Bob Baker", "",
               "Signed: ____________________   ____________________"]


# ---- the mailbox file ----------------------------------------------------

def unescape(field):
    out, i = [], 0
    while i < len(field):
        c = field[i]
        if c == "\\" and i + 1 < len(field):
            out.append({"\\": "\\", "t": "\t", "n": "\n", "r": "\r"}[field[i + 1]])
            i += 2
        else:
            out.append(c)
            i += 1
    return "".join(out)


def read_mailbox(path):
    """{folder name: [items]}; an item is {"fields", "properties", "attachments"}."""
    folders, folder, item = {}, None, None
    for line in Path(path).read_text(encoding="utf-8").splitlines():
        if not line or line.startswith("#"):
            continue
        record = [unescape(field) for field in line.split("\t")]
        kind = record[0]
        if kind == "folder":
            folder = folders.setdefault(record[2], [])
        elif kind == "item":
            item = {"fields": {}, "properties": {}, "attachments": []}
        elif kind == "field" and item is not None:
            item["fields"][record[1]] = record[2]
        elif kind == "property" and item is not None:
            item["properties"][record[1]] = record[3]
        elif kind == "attachment" and item is not None:
            item["attachments"].append({"type": record[1], "fileName": record[3],
                                        "displayName": record[4],
                                        "bytes": base64.b64decode(record[6])})
        elif kind == "end" and item is not None:
            folder.append(item)
            item = None
    return folders


def write_start_mailbox(path):
    lines = ["standin-mailbox\t1"]
    for number, (name, address) in enumerate(SIGNERS, 1):
        lines.append(f"entry\t{number:048X}\t{name}\t{address}\tSMTP\t0")
    Path(path).write_text("\n".join(lines) + "\n", encoding="utf-8")


def receipt_task(mailbox):
    tasks = [item for item in mailbox.get("Tasks", []) if item["fields"].get("Subject") == RECEIPT]
    if len(tasks) != 1:
        raise StepFailed(f"expected one task \"{RECEIPT}\" in Tasks, found {len(tasks)}")
    return tasks[0]


# ---- Wine and the host ---------------------------------------------------

def windows_path(path):
    return "Z:" + str(Path(path).resolve()).replace("/", "\\")


def quoted(text):
    """A text as the host's script takes it: in double quotes, with \\ and \\" inside."""
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def program_bits(path):
    """32 or 64: the machine a Windows program is built for, from its PE header."""
    data = Path(path).read_bytes()[:4096]
    header = int.from_bytes(data[0x3C:0x40], "little")
    machine = int.from_bytes(data[header + 4:header + 6], "little")
    return 64 if machine == 0x8664 else 32


class Wine:
    def __init__(self, prefix, display, bits):
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG="-all")
        # reg.exe may be of the other width than the add-in: the registry
        # view is named so that both see the same keys.
        self.view = f"/reg:{bits}"
        if display:
            self.env["DISPLAY"] = display

    def run(self, *args, check=True):
        done = subprocess.run([str(WINE), *map(str, args)], env=self.env,
                              stdin=subprocess.DEVNULL, capture_output=True, text=True)
        if check and done.returncode != 0:
            raise StepFailed(f"{' '.join(map(str, args[:2]))} failed ({done.returncode}): "
                             f"{done.stderr.strip()[-400:]}")
        return done

    def reg(self, *args, check=True):
        return self.run("reg", *args, self.view, check=check)


HOST_TELLS = {
    "user ": "the user {}",
    "picture ": "picture {}",
    "messagebox ": None,  # told with its answer
    "dialog ": None,      # told as the user sees it
    "say ": "{}",
}


def tell_host_line(teller, line):
    if line.startswith("addin ") and line.endswith(" connected"):
        teller.say("Outlook started and loaded the add-in " + line[6:-10])
    elif line.startswith("addin ") and line.endswith(" disconnected"):
        teller.say("Outlook closed; the add-in shut down")
    elif line.startswith("ribbon Microsoft."):
        ribbon, markup = line[7:].split(" ", 1)
        label = markup.split('label="')[2].split('"')[0] if markup.count('label="') > 1 else "?"
        teller.say(f"the add-in put its \"{label}\" button on the ribbon of {ribbon}")
    elif line.startswith("ribbon onAction "):
        _, _, control, code = line.split(" ")
        outcome = "S_OK" if code == "00000000" else "0x" + code
        teller.say(f"the add-in's work for the button {control} is over ({outcome})")
    elif line.startswith("connections left "):
        if line != "connections left 0":
            teller.say("the add-in left event sinks connected: " + line)
    elif line.startswith("error "):
        teller.say("ERROR " + line[6:])
    elif line.startswith("folder "):
        teller.say("the user opens the folder " + line[7:])
    elif line.startswith("outlook version "):
        pass
    else:
        for prefix, form in HOST_TELLS.items():
            if line.startswith(prefix):
                if form:
                    teller.say(form.format(line[len(prefix):]))
                return
        teller.say(line)


def run_outlook(wine, host, folder, name, script, mailbox_in, mailbox_out, shots, teller):
    script_path = folder / f"{name}.script"
    script_path.write_text(script, encoding="utf-8")
    args = [str(WINE), str(host), "--mailbox", windows_path(mailbox_in),
            "--save", windows_path(mailbox_out), "--report", windows_path(folder / f"{name}.report")]
    if shots:
        args += ["--shots", windows_path(shots)]
    args.append(windows_path(script_path))
    process = subprocess.Popen(args, env=wine.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True, encoding="utf-8", errors="replace")
    errors = []
    for line in process.stdout:
        line = line.rstrip("\r\n")
        if line.startswith("error "):
            errors.append(line[6:])
        if line.startswith("connections left ") and line != "connections left 0":
            errors.append(line)
        tell_host_line(teller, line)
    code = process.wait()
    if code != 0 or errors:
        raise StepFailed(f"Outlook's session ended with {code}: " + "; ".join(errors))


# ---- the story -----------------------------------------------------------

def send_script(lease):
    recipients = "".join(f'to "{name}"\n' for name, _ in SIGNERS)
    return f"""say "the user writes a new mail to Ann and Bob, attaches lease.pdf and clicks Quillet-It"
new-mail "{SUBJECT}"
{recipients}body "Ann, Bob: here is the lease for 12 Elm Street. Please sign it."
attach {quoted(windows_path(lease))}
save
# Quillet-It: the login first (remembered from now on), then the wizard.
expect "Quillet Login"
type 1007 "{ACCOUNT[0]}"
type 1001 "demo password"
type 19009 "{ACCOUNT[1]}"
check 1002 on
shot "01-login"
press 1
expect "Quillet: 1 to 3 Easy Steps"
shot "02-wizard-introduction"
press {NEXT}
expect "Signature Positioning"
shot "03-wizard-signature-positioning"
press {NEXT}
expect "Signature Sequence"
shot "04-wizard-signature-sequence"
press {FINISH}
expect "Quillet-It"
shot "05-sending"
ribbon inkSend
"""


def sync_script(picture):
    return f"""folder "Tasks"
say "the user selects the receipt task and clicks Synclet-It"
select "{RECEIPT}"
expect "Synchronizing with Quillet"
wait-text 2 "Close"
shot "{picture}"
press 2
ribbon inkSyncTasks
"""


# ---- the broadcast through the agent --------------------------------------

BROADCAST_SUBJECT = "House rules for 12 Elm Street"
BROADCAST_SIGNERS = [("Cora Cole", "cora.cole@example.com"), ("Dan D\u00edaz", "dan.diaz@example.com"),
                     ("Eve Evans", "eve.evans@example.com")]
BROADCAST_TEMPLATE = "House rules (broadcast)"


def broadcast_template():
    """A template of mode broadcast: the mail's attachment is its document and
    each recipient signs a request of their own."""
    return ('<?xml version="1.0" encoding="ISO-8859-1"?><inkTemplate>'
            f"<Name>{BROADCAST_TEMPLATE}</Name>\n"
            "<Document><Key>&lt;Outlook Attachment&gt;</Key>\n<Name>house-rules.pdf</Name>\n"
            "<Type>Signature</Type>\n</Document>"
            "<Options><SignatureType>0</SignatureType>\n<SendMode>1</SendMode>\n"
            "<Positioning>2</Positioning>\n<Password></Password>\n"
            "<MouseTouchSigning>0</MouseTouchSigning>\n<HideEmailAddrs>0</HideEmailAddrs>\n"
            "</Options><Email><Subject>House rules for [Tenant]</Subject>\n"
            "<Message>Dear [Tenant], please sign the house rules.</Message>\n</Email>"
            "<Signers><Signer><Name>Tenant</Name>\n<Email></Email>\n<Role>Tenant</Role>\n"
            "<Sequence>1</Sequence>\n<Sender>0</Sender>\n<HardCoded>0</HardCoded>\n</Signer>"
            "</Signers></inkTemplate>")


def broadcast_script(rules):
    recipients = "".join(f'to "{address}"\n' for _, address in BROADCAST_SIGNERS)
    return f"""say "the user writes a mail to Cora, Dan and Eve, attaches house-rules.pdf and clicks Quillet-It"
new-mail "{BROADCAST_SUBJECT}"
{recipients}body "Please sign the house rules."
attach {quoted(windows_path(rules))}
save
ribbon inkSend
"""


def import_and_sync_script():
    return """folder "Tasks"
say "the user opens Tasks and selects the tasks: the agent's receipts come in"
select all
wait 1500
say "the user selects every task and clicks Synclet-It"
select all
expect "Synchronizing with Quillet"
wait-text 2 "Close"
press 2
ribbon inkSyncTasks
"""


def receipts_folder(prefix):
    folders = sorted(Path(prefix, "drive_c", "users").glob("*/AppData/Roaming/Quillet/Receipts"))
    return folders[0] if folders else None


def run_agent_user(wine, build, shots, teller):
    """The person at the agent's dialog: a program of its own beside the agent."""
    args = [str(WINE), str(build / "standins" / "agentuser" / "agentuser.exe"), "--timeout", "90"]
    if shots:
        args += ["--shots", windows_path(shots)]
    process = subprocess.Popen(args, env=wine.env, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                               text=True, encoding="utf-8", errors="replace")
    lines = []

    def tell():
        for line in process.stdout:
            line = line.rstrip("\r\n")
            lines.append(line)
            if line == "agent open":
                teller.say("the add-in started inkProxy.exe: its dialog \"Inkstave Broadcast "
                           "Agent\" lists the steps of every recipient")
            elif line.startswith("step done "):
                teller.say("agent: " + line[10:] + " done")
            elif line.startswith("agent Done "):
                teller.say(f"agent: \"{line[11:]}\", its button reads Done")
            elif line.startswith("picture "):
                teller.say("picture " + line[8:])
            elif line == "agent closed":
                teller.say("the user clicked Done: the agent closed and deleted the broadcast's files")
            else:
                teller.say("agent user: " + line)

    thread = threading.Thread(target=tell, daemon=True)
    thread.start()
    return process, thread, lines


def part_broadcast(wine, build, prefix, out, shots, service, teller):
    """The broadcast: a mail to three recipients, sent with a broadcast template; the
    add-in hands it to the real agent, whose receipts become three tasks."""
    teller.step("A mail to Cora, Dan and Eve, broadcast by the agent with a template")
    templates = out / "templates"
    templates.mkdir(exist_ok=True)
    (templates / "house-rules.xml").write_text(broadcast_template(), encoding="latin-1")
    rules = out / "house-rules.pdf"
    rules.write_bytes(make_pdf(["House rules for 12 Elm Street", "Quiet hours: 22:00 to 07:00",
                                "Signed by each tenant"]))
    wine.reg("add", PRODUCT_KEY, "/v", "TemplateFolder", "/d", windows_path(templates), "/f")
    wine.reg("add", PRODUCT_KEY, "/v", "TemplatesOnly", "/t", "REG_DWORD", "/d", "1", "/f")
    wine.reg("add", PRODUCT_KEY, "/v", "SingleClick", "/t", "REG_DWORD", "/d", "1", "/f")
    wine.reg("add", PRODUCT_KEY, "/v", "MakeReceipt", "/t", "REG_DWORD", "/d", "1", "/f")
    teller.say(f"the template \"{BROADCAST_TEMPLATE}\" (mode broadcast) is in the template "
               "folder; the user sends with templates only, in one click")
    receipts = receipts_folder(prefix)
    before_files = {f["fileId"] for f in service.state()["files"]}
    # Cora, Dan and Eve join the address book, so their addresses resolve.
    mailbox_in = out / "mailbox-4-start.txt"
    lines = sorted(out.glob("mailbox-[0-3]-*.txt"))[-1].read_text(encoding="utf-8").splitlines()
    entries = [f"entry\t{0x100 + number:048X}\t{name}\t{address}\tSMTP\t0"
               for number, (name, address) in enumerate(BROADCAST_SIGNERS)]
    mailbox_in.write_text("\n".join(lines[:1] + entries + lines[1:]) + "\n", encoding="utf-8")
    mailbox_sent = out / "mailbox-4-broadcast.txt"
    mailbox_synced = out / "mailbox-4-receipts.txt"
    try:
        agent, thread, lines = run_agent_user(wine, build, shots, teller)
        service.watch()
        run_outlook(wine, build / "standins" / "outlook" / "outlookhost.exe", out,
                    "session-4-broadcast", broadcast_script(rules), mailbox_in, mailbox_sent,
                    shots, teller)
        code = agent.wait(timeout=120)
        thread.join(timeout=5)
        service.unwatch()
        if code != 0:
            raise StepFailed(f"the agent did not end with Done ({code}): {'; '.join(lines[-3:])}")
        new = [f for f in service.state()["files"] if f["fileId"] not in before_files]
        if len(new) != len(BROADCAST_SIGNERS):
            raise StepFailed(f"the service holds {len(new)} new requests, not three")
        digest = hashlib.sha256(rules.read_bytes()).hexdigest()
        names = dict((address, name) for name, address in BROADCAST_SIGNERS)
        for request in new:
            signers = [signer["email"] for signer in request["signers"]]
            if len(signers) != 1 or signers[0] not in names:
                raise StepFailed(f"request {request['fileId']} is signed by {signers}")
            address = signers[0]
            name = names.pop(address)
            documents = service.control("documents", {"fileId": request["fileId"]})["documents"]
            if [d["sha256"] for d in documents] != [digest]:
                raise StepFailed(f"request {request['fileId']} did not get the house rules "
                                 "byte for byte")
            teller.say(f"request {request['fileId']}: {name} <{address}> alone, the house rules "
                       "byte for byte")
        receipts = receipts or receipts_folder(prefix)
        filed = sorted(receipts.glob("*.xml")) if receipts else []
        if len(filed) != len(BROADCAST_SIGNERS):
            raise StepFailed(f"{len(filed)} receipt files were filed, not three")
        teller.say(f"the agent filed {len(filed)} receipt files in the Receipts folder")
        mailbox = read_mailbox(mailbox_sent)
        if any(item["fields"].get("Subject") == BROADCAST_SUBJECT
               for item in mailbox.get("Drafts", [])):
            raise StepFailed("the broadcast mail is still in Drafts")
        teller.done(f"{len(new)} requests")

        teller.step("The receipts become tasks; a sync brings their states")
        first = new[0]
        signer = first["signers"][0]["email"]
        service.control("sign", {"fileId": first["fileId"], "email": signer, "signed": True})
        teller.say(f"service: {signer} signed {first['fileId']}")
        service.watch()
        run_outlook(wine, build / "standins" / "outlook" / "outlookhost.exe", out,
                    "session-5-receipts", import_and_sync_script(), mailbox_sent,
                    mailbox_synced, shots, teller)
        service.unwatch()
        tasks = {item["properties"].get("Quillet ID"): item
                 for item in read_mailbox(mailbox_synced).get("Tasks", [])}
        left = sorted(receipts.glob("*.xml"))
        if left:
            raise StepFailed(f"{len(left)} receipt files stayed after the import")
        for request in new:
            task = tasks.get(request["fileId"])
            if not task:
                raise StepFailed(f"no task carries the request {request['fileId']}")
        percent = tasks[first["fileId"]]["fields"].get("PercentComplete")
        if percent != "100":
            raise StepFailed(f"the signed request's task is {percent}% complete")
        for request in new:
            task = tasks[request["fileId"]]
            teller.say(f"Tasks: \"{task['fields'].get('Subject')}\", Quillet ID "
                       f"{request['fileId']}, {task['fields'].get('PercentComplete', '0')}% complete")
        teller.done(f"{len(new)} tasks")
        return len(new)
    finally:
        if service.watching:
            service.unwatch()
        for name in ("TemplateFolder", "TemplatesOnly", "SingleClick"):
            wine.reg("delete", PRODUCT_KEY, "/v", name, "/f", check=False)

# ---- the options page -------------------------------------------------------

# The options page's controls, by id (options/OptionsResource.h) and the
# Options dialog's Apply button.
OPTS = {"username": 6000, "password": 6001, "account": 9004, "test": 6002, "result": 6004,
        "receipts": 9000, "folder": 9005, "edit": 9007, "apply": 0x3021, "ok": 1}


def options_script(folder, editor_done):
    o = OPTS
    return f"""say "the user opens Tools, Options and picks the Quillet tab"
expect "Options"
pick-tab "Quillet"
type {o['username']} "{ACCOUNT[0]}"
type {o['password']} "demo password"
type {o['account']} "{ACCOUNT[1]}"
press {o['test']}
wait-text {o['result']} "Credentials are valid!"
shot "10-options-credentials-valid"
type {o['account']} "QUILLET-WRONG-0001"
press {o['test']}
wait-text {o['result']} "Credentials are invalid!"
shot "11-options-credentials-invalid"
type {o['account']} "{ACCOUNT[1]}"
check {o['receipts']} off
type {o['folder']} {quoted(windows_path(folder))}
shot "12-options-before-apply"
press {o['apply']}
# The editor works on the template folder just applied; Options stays open,
# idle, while it runs, and closes once the user is done there.
press {o['edit']}
await-file {quoted(windows_path(editor_done))} 180000 "is back in Options, the editor closed"
press {o['ok']}
options
"""


def part_options(wine, build, host, out, service, mailbox_in, mailbox_out, shots, teller, lease):
    """Tools, Options: the "Quillet" page; the credentials tested, a
    preference changed, the template folder set, applied and read back; from
    the page's "Edit...", the template "Lease" made in the editor."""
    teller.step("The user sets Quillet's options in Tools, Options, and makes the template "
                f"\"{LEASE_TEMPLATE}\" in the editor started from there")
    page = build / "product" / "QuillOpts.dll"
    wine.run("regsvr32", "/s", windows_path(page))
    if "QuillOpts.PropPage" not in wine.reg("query", r"HKCR\QuillOpts.PropPage", check=False).stdout:
        raise StepFailed("regsvr32 left no QuillOpts.PropPage class")
    teller.say(f"registered {page.name}: Outlook's Options dialog gets the \"Quillet\" page")
    folder = out / "Quillet Templates"
    folder.mkdir(exist_ok=True)
    # The second test has a wrong account ID: the service checks the
    # account ID and the e-mail address; the password never travels.
    if not lease.exists():
        lease.write_bytes(make_pdf(LEASE_LINES))
    editor_done = out / "session-editor.done"
    player = EditorPlayer(wine, build, out, editor_script(lease), editor_done, shots, teller)
    try:
        service.watch()
        run_outlook(wine, host, out, "session-options", options_script(folder, editor_done),
                    mailbox_in, mailbox_out, shots, teller)
        service.unwatch()
    except BaseException:
        player.kill()
        raise
    code = player.wait()
    if code != 0 or player.templates is None:
        raise StepFailed(f"the editor's session ended with {code}")
    report = (out / "session-options.report").read_text(encoding="utf-8", errors="replace")
    if "applied 00000000" not in report:
        raise StepFailed("the page was not applied")
    wanted = {"MakeReceipt": "0x0", "ShowReceipt": "0x0", "TemplateFolder": windows_path(folder)}
    for name, value in wanted.items():
        shown = wine.reg("query", PRODUCT_KEY, "/v", name, check=False).stdout
        line = next((l for l in shown.splitlines() if l.strip().startswith(name + " ")), "")
        if not line.strip().endswith(value):
            raise StepFailed(f"{name} reads back as {line.strip() or 'missing'}, not {value}")
    credtool = build / "tests" / "shared" / "credtool.exe"
    if credtool.exists():
        done = wine.run(credtool, "check", ACCOUNT[0], "demo password", ACCOUNT[1], check=False)
        if done.returncode != 0:
            raise StepFailed("the stored credentials do not read back as typed")
        teller.say("the stored credentials read back as typed (the shared reader)")
    teller.say("settings: MakeReceipt 0, ShowReceipt 0, TemplateFolder " + windows_path(folder))
    check_lease_template(wine, player.templates, lease, teller)
    teller.done("credentials valid, then invalid; receipts off, template folder set, applied; "
                f"{LEASE_TEMPLATE}.xml made in the editor")


# ---- the template editor -------------------------------------------------

LEASE_TEMPLATE = "Lease"
LEASE_MAIL = "Lease for 14 Elm Street"
LEASE_INVITATION = ("Lease for 14 Elm Street: please sign", "Ann, Bob: here is the lease. "
                    "Ann signs first, then Bob.")


def linux_path(prefix, path):
    """A Windows path of the prefix (C:\\... or Z:\\...) as this machine names it."""
    drive, rest = path[0].lower(), path[2:].replace("\\", "/")
    if drive == "z":
        return Path(rest)
    return Path(prefix) / f"drive_{drive}" / rest.lstrip("/")


def forget_editor_template(prefix):
    """The story starts from a fresh profile: a template "Lease" left in the
    default template folder by an earlier run would put the wizard's
    template page into the first send."""
    for left in Path(prefix).glob(f"drive_c/users/*/AppData/Roaming/Quillet/Templates/"
                                  f"{LEASE_TEMPLATE}.xml"):
        left.unlink()


def editor_script(lease):
    ann, bob = SIGNERS
    return f"""expect "Inkstave Templates"
tool 32772
expect "New Template"
type 1021 "{LEASE_TEMPLATE}"
pick-item 1001 "<Browse...>"
file "Open e-Signature TempDoc" {quoted(windows_path(lease))}
expect "New Template"
shot "14-editor-new-template"
press 1
expect "Inkstave Templates"
pick-row 1010 0
tool 32778
expect "Confirm Delete"
press 1
expect "Inkstave Templates"
tool 32777
expect "New Signer"
type 1022 "Tenant"
press 1027
type 1028 "{ann[0]}"
type 1029 "{ann[1]}"
shot "15-editor-signer"
press 1
expect "Inkstave Templates"
tool 32777
expect "New Signer"
type 1022 "Guarantor"
press 1027
type 1028 "{bob[0]}"
type 1029 "{bob[1]}"
press 1
expect "Inkstave Templates"
type 1006 "{LEASE_INVITATION[0]}"
type 1007 "{LEASE_INVITATION[1]}"
tool 32773
shot "13-editor-template-shown"
close-dialog
"""


class EditorPlayer:
    """The person at the template editor, whoever starts it: editorplayer.exe
    sets its hook, then tells what the user does in the editor as it comes."""

    def __init__(self, wine, build, folder, script, done, shots, teller):
        script_path = folder / "session-editor.script"
        script_path.write_text(script, encoding="utf-8")
        program = build / "standins" / "editorplayer" / "editorplayer.exe"
        args = [str(WINE), str(program), "--report", windows_path(folder / "session-editor.report"),
                "--done", windows_path(done), "--timeout", "240"]
        if shots:
            args += ["--shots", windows_path(shots)]
        args.append(windows_path(script_path))
        self.templates = None
        self.teller = teller
        self.hooked = False  # it said "ready", not merely ended
        self.ready = threading.Event()
        self.process = subprocess.Popen(args, env=wine.env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True, encoding="utf-8", errors="replace")
        self.thread = threading.Thread(target=self.tell, daemon=True)
        self.thread.start()
        # Outlook starts once the hook is set, or the editor would come unwatched.
        if not self.ready.wait(timeout=60) or not self.hooked:
            self.kill()
            raise StepFailed("the editor's player did not get ready")

    def tell(self):
        for line in self.process.stdout:
            line = line.rstrip("\r\n")
            if line == "ready":
                self.hooked = True
                self.ready.set()
            elif line.startswith("template folder "):
                self.templates = line[len("template folder "):]
                self.teller.say("the options page started inkEdit.exe: \"Inkstave Templates\" "
                                "opened on the template folder " + self.templates)
            elif line.startswith("user ") and line[5:]:
                self.teller.say("editor: the user " + line[5:], indent=2)
            elif line.startswith("picture "):
                self.teller.say(line, indent=2)
            elif line == "editor closed":
                pass  # the user's own step told it
            elif line.startswith("error "):
                self.teller.say("ERROR " + line[6:])
            elif line:
                self.teller.say("editor: " + line, indent=2)
        self.ready.set()

    def kill(self):
        self.process.kill()
        self.process.wait()
        self.thread.join(timeout=5)

    def wait(self):
        try:
            code = self.process.wait(timeout=300)
        except subprocess.TimeoutExpired:
            self.process.kill()
            code = self.process.wait()
        self.thread.join(timeout=5)
        return code


def template_signers(path):
    """The signers of a template file: (name, email, role, sequence), in file order."""
    import xml.etree.ElementTree as ElementTree
    root = ElementTree.parse(path).getroot()
    return root, [(s.findtext("Name"), s.findtext("Email"), s.findtext("Role"),
                   int(s.findtext("Sequence"))) for s in root.iter("Signer")]


def template_send_script():
    recipients = "".join(f'to "{name}"\n' for name, _ in SIGNERS)
    # No attachment and no text of its own: the template brings both.
    return f"""say "the user writes a new mail to Ann and Bob, with no text and no attachment, and clicks Quillet-It"
new-mail "{LEASE_MAIL}"
{recipients}save
expect "Quillet: 1 to 3 Easy Steps"
press {NEXT}
expect "Use a Template?"
pick-item 19028 "{LEASE_TEMPLATE}"
shot "16-wizard-template"
# The template settles signers, order and options; the user goes on past
# the positioning and sequence pages, taking what the template set.
press {NEXT}
expect "Signature Positioning"
press {NEXT}
expect "Signature Sequence"
press {FINISH}
expect "Quillet-It"
shot "17-sending-with-template"
ribbon inkSend
"""


def check_lease_template(wine, folder, lease, teller):
    """The template the editor saved: the lease embedded, Ann and then Bob,
    the invitation's subject."""
    path = linux_path(wine.env["WINEPREFIX"], folder) / f"{LEASE_TEMPLATE}.xml"
    if not path.exists():
        raise StepFailed(f"no {LEASE_TEMPLATE}.xml in the template folder {folder}")
    root, signers = template_signers(path)
    # The file lists them so that the reader, which reverses, gets 1, 2.
    wanted = [(SIGNERS[1][0], SIGNERS[1][1], "Guarantor", 2), (SIGNERS[0][0], SIGNERS[0][1], "Tenant", 1)]
    if signers != wanted:
        raise StepFailed(f"the template's signers are {signers}")
    bytes_text = "".join((root.find("Document").findtext("FileBytes") or "").split())
    if base64.b64decode(bytes_text) != lease.read_bytes():
        raise StepFailed("the template does not hold the lease byte for byte")
    if root.findtext("Email/Subject") != LEASE_INVITATION[0]:
        raise StepFailed(f"the template's subject is {root.findtext('Email/Subject')!r}")
    teller.say(f"{path.name}: the lease embedded ({len(lease.read_bytes())} bytes), "
               f"signers Tier 1 {SIGNERS[0][0]} (Tenant), Tier 2 {SIGNERS[1][0]} (Guarantor)")


def part_template_send(wine, host, out, service, shots, teller, lease):
    """The next send offers the template "Lease" on the wizard's template
    page and uses it: its document, its signers in order and its texts reach
    the service."""
    teller.step("A new mail to Ann and Bob, sent with the template \"Lease\"")
    before = {f["fileId"] for f in service.state()["files"]}
    start = out / "mailbox-6-start.txt"
    write_start_mailbox(start)
    service.watch()
    run_outlook(wine, host, out, "session-7-template-send", template_send_script(), start,
                out / "mailbox-7-sent.txt", shots, teller)
    service.unwatch()
    new = [f for f in service.state()["files"] if f["fileId"] not in before]
    if len(new) != 1:
        raise StepFailed(f"the service got {len(new)} new requests, not one")
    request = new[0]
    tiers = sorted((s["tier"], s["email"]) for s in request["signers"])
    if tiers != [(1, SIGNERS[0][1]), (2, SIGNERS[1][1])]:
        raise StepFailed(f"the request's signers are {tiers}")
    documents = service.control("documents", {"fileId": request["fileId"]})["documents"]
    if [d["sha256"] for d in documents] != [hashlib.sha256(lease.read_bytes()).hexdigest()]:
        raise StepFailed("the service did not get the template's lease byte for byte")
    message = request.get("emailMessage") or ""
    if LEASE_INVITATION[1] not in message:
        raise StepFailed(f"the invitation is {message!r}")
    teller.say(f"request {request['fileId']}: signers Tier 1 {tiers[0][1]}, Tier 2 {tiers[1][1]}; "
               f"the template's lease byte for byte; its message in the invitation")
    teller.done(request["fileId"])
    return request["fileId"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build of one architecture")
    parser.add_argument("--prefix", required=True, help="a Wine prefix of the demo's own")
    parser.add_argument("--address", default="127.0.0.40", help="the stand-in service's address")
    parser.add_argument("--out", required=True, help="where the session's files are left")
    parser.add_argument("--screenshots", help="save a picture of every dialog here (needs DISPLAY)")
    args = parser.parse_args()

    build = Path(args.build).resolve()
    out = Path(args.out).resolve()
    shots = Path(args.screenshots).resolve() if args.screenshots else None
    host = build / "standins" / "outlook" / "outlookhost.exe"
    addin = build / "product" / "QuillOff.dll"
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    if shots:
        shutil.rmtree(shots, ignore_errors=True)
        shots.mkdir(parents=True)

    teller = Teller()
    bits = program_bits(host)
    wine = Wine(args.prefix, os.environ.get("DISPLAY") if shots else None, bits)
    service = Service(args.address, out, teller)
    lease = out / "lease.pdf"
    signed_lease = make_pdf(LEASE_LINES[:-1] + [
        "Signed electronically through Quillet by Ann Archer and Bob Baker"])
    signed_file = out / "lease-signed.pdf"
    mailboxes = [out / "mailbox-0-start.txt"]
    file_id = None
    broadcast = 0
    editor_request = None
    result = 0
    try:
        teller.step("Outlook gets the add-in, the way regsvr32 registers it")
        # Settings of an earlier run (credentials remembered among them) go;
        # Outlook 14 is installed; the product's settings name the service,
        # and this user keeps the sync dialog's details open (SyncSize 0), so
        # it stays up with its list until closed.
        settings = out / "settings.reg"
        settings.write_text("Windows Registry Editor Version 5.00\n\n"
                            f"[-{PRODUCT_KEY.replace('HKCU', 'HKEY_CURRENT_USER')}]\n\n"
                            "[HKEY_CLASSES_ROOT\\Outlook.Application\\CurVer]\n"
                            "@=\"Outlook.Application.14\"\n\n"
                            f"[{PRODUCT_KEY.replace('HKCU', 'HKEY_CURRENT_USER')}]\n"
                            f"\"Host\"=\"{args.address}\"\n\"SSL\"=dword:00000000\n"
                            "\"SyncSize\"=dword:00000000\n",
                            encoding="utf-16")
        wine.reg("import", windows_path(settings))
        forget_editor_template(args.prefix)
        wine.run("regsvr32", "/s", windows_path(addin))
        addins = wine.reg("query", r"HKLM\Software\Microsoft\Office\Outlook\Addins", "/s").stdout
        if "LoadBehavior" not in addins:
            raise StepFailed("regsvr32 left no Outlook add-in key")
        teller.say(f"registered {addin.name} for Outlook 14 (ribbon); "
                   f"the service is http://{args.address}/")
        teller.done()

        teller.step(f"The stand-in signature service starts on {args.address}")
        service.start()
        service.control("reset")
        teller.say(f"account {ACCOUNT[1]} ({ACCOUNT[0]})")
        teller.done()

        teller.step("A new mail to Ann and Bob with the lease, sent with Quillet-It")
        lease.write_bytes(make_pdf(LEASE_LINES))
        write_start_mailbox(mailboxes[0])
        mailboxes.append(out / "mailbox-1-sent.txt")
        service.watch()
        run_outlook(wine, host, out, "session-1-send", send_script(lease), mailboxes[0],
                    mailboxes[1], shots, teller)
        service.unwatch()
        files = service.state()["files"]
        if len(files) != 1:
            raise StepFailed(f"the service holds {len(files)} requests, not one")
        request = files[0]
        file_id = request["fileId"]
        signers = sorted(signer["email"] for signer in request["signers"])
        if signers != sorted(address for _, address in SIGNERS):
            raise StepFailed(f"the request's signers are {signers}")
        documents = service.control("documents", {"fileId": file_id})["documents"]
        if [d["sha256"] for d in documents] != [hashlib.sha256(lease.read_bytes()).hexdigest()]:
            raise StepFailed("the service did not get the lease byte for byte")
        mailbox = read_mailbox(mailboxes[1])
        task = receipt_task(mailbox)
        if task["properties"].get("Quillet ID") != file_id:
            raise StepFailed(f"the receipt task names {task['properties'].get('Quillet ID')}")
        if any(item["fields"].get("Subject") == SUBJECT for item in mailbox.get("Drafts", [])):
            raise StepFailed("the mail is still in Drafts")
        teller.say(f"request {file_id}: {request['status']}, signers {', '.join(signers)}, "
                   f"the lease ({len(lease.read_bytes())} bytes) byte for byte")
        teller.say(f"Tasks: \"{RECEIPT}\", Quillet ID {file_id}; the mail went to Deleted Items")
        teller.done(file_id)

        for number, (who, picture) in enumerate(
                [("Ann Archer", "06-sync-one-signed"), ("Bob Baker", "07-sync-all-signed")], 2):
            name, address = next(s for s in SIGNERS if s[0] == who)
            last = number == 3
            teller.step(f"{name} signs; the user syncs the receipt task")
            service.control("sign", {"fileId": file_id, "email": address, "signed": True})
            teller.say(f"service: {name} signed {file_id}")
            if last:
                service.control("signed-pdf", {"fileId": file_id,
                                               "data": base64.b64encode(signed_lease).decode()})
                teller.say("service: the signed lease is ready")
            mailboxes.append(out / f"mailbox-{number}-sync.txt")
            service.watch()
            run_outlook(wine, host, out, f"session-{number}-sync", sync_script(picture),
                        mailboxes[-2], mailboxes[-1], shots, teller)
            service.unwatch()
            task = receipt_task(read_mailbox(mailboxes[-1]))
            percent = task["fields"].get("PercentComplete")
            pdfs = [a for a in task["attachments"] if a["fileName"].lower().endswith(".pdf")]
            # The sync names the file after a temporary name of its own and
            # shows it as "Signed Copy".
            if not last:
                if percent != "50" or pdfs:
                    raise StepFailed(f"after one signature the task is {percent}% with "
                                     f"{len(pdfs)} PDF(s)")
                teller.say("Tasks: the receipt is 50% complete, no signed copy yet")
            else:
                if percent != "100" or len(pdfs) != 1:
                    raise StepFailed(f"after both signatures the task is {percent}% with "
                                     f"{len(pdfs)} PDF(s)")
                if pdfs[0]["bytes"] != signed_lease:
                    raise StepFailed("the PDF in the task is not the signed lease")
                signed_file.write_bytes(pdfs[0]["bytes"])
                teller.say(f"Tasks: the receipt is complete, with \"{pdfs[0]['displayName']}\" "
                           f"({pdfs[0]['fileName']}) attached: the signed lease")
            teller.done(f"{percent}%")

        broadcast = part_broadcast(wine, build, args.prefix, out, shots, service, teller)

        # The options are set in the Outlook the broadcast's receipts left.
        options_in = out / "mailbox-4-receipts.txt"
        mailboxes.append(options_in if options_in.exists() else mailboxes[-1])
        mailboxes.append(out / "mailbox-6-options.txt")
        part_options(wine, build, host, out, service, mailboxes[-2], mailboxes[-1], shots,
                     teller, lease)

        editor_request = part_template_send(wine, host, out, service, shots, teller, lease)

        record = out / "service-record.json"
        state = service.state()
        state["requestsRecorded"] = service.control("requests")["requests"]
        record.write_text(json.dumps(state, indent=1), encoding="utf-8")
    except StepFailed as failure:
        teller.failed(str(failure))
        teller.say("FAILED: " + str(failure))
        result = 1
    finally:
        if service.watching:
            service.unwatch()
        service.stop()

    print("\n== Summary")
    for number, (title, outcome) in enumerate(teller.steps, 1):
        print(f"{number}. {title}: {outcome}")
    if result == 0:
        print(f"\nThe mailbox as Outlook left it: {mailboxes[-1]}")
        print(f"The signed lease, as the sync put it into the task: {signed_file}")
        print(f"The service's record (requests, signers, documents): {out / 'service-record.json'}")
        print(f"The broadcast: {broadcast} requests sent by the agent, {broadcast} receipts "
              "imported as tasks")
        print(f"What each Outlook session reported: {out}/session-*.report")
        if editor_request:
            print(f"The template editor made \"{LEASE_TEMPLATE}\"; the send that used it is "
                  f"request {editor_request}: {out}/session-editor.report")
        if shots:
            print(f"Pictures of every dialog: {shots}")
    return result


if __name__ == "__main__":
    sys.exit(main())
