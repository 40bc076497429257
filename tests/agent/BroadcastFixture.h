// A broadcast as the add-in hands it over: the operation files, their
// pieces and the broadcast file, written by the same request classes the
// add-in's send road uses, for a mail with documents and an audience.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/com/CComPtr.h"
#include "tests/support/FakeDispatch.h"

struct BroadcastTargetShape {
    std::string email;
    std::string name;
    std::string role;
    int tier = 1;
};

struct BroadcastShape {
    std::vector<BroadcastTargetShape> targets;
    std::vector<std::string> documents; // their bytes, one file each
    bool hideAddresses = false;         // a SetParams step
    bool receipts = true;
    // A signer every request names (role "Approver"), so the broadcast
    // carries a role map.
    bool roleMap = false;
    bool invite = true;
    std::string message = "Please sign the lease.";
    std::string receiptSubject = "Receipt: lease";
    std::string receiptCategory = "Quillet";
};

// Three targets: a first signer, a second signer with an accented name and
// a "<" in the role, and a third.
std::vector<BroadcastTargetShape> ThreeTargets();

class CBroadcastWriter {
public:
    // Writes the broadcast for the service at url; the broadcast file's
    // path, or empty on failure. The receipts setting is written too.
    std::string Write(const BroadcastShape& shape, const char* url);

private:
    std::vector<CComPtr<CFakeDispatch>> m_objects;
};
