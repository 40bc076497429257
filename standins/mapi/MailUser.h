// CMailUser: one directory user of the fixture, with its display name,
// address type, address, entry ID, object type and proxy addresses.
#pragma once

#include "standins/mapi/Fixture.h"
#include "standins/mapi/PropObject.h"

class CMailUser : public CPropObject<IMailUser> {
public:
    explicit CMailUser(const FixtureUser& user);

protected:
    bool Supports(REFIID iid) const override { return iid == kIidMailUser; }
};
