#include "standins/mapi/MailUser.h"

static std::vector<StoredProp> PropsOf(const FixtureUser& user)
{
    std::vector<StoredProp> props;
    props.push_back(BinaryProp(PR_ENTRYID, MakeEntryId('U', user.key)));
    props.push_back(LongProp(PR_OBJECT_TYPE, user.objectType));
    if (user.name)
        props.push_back(TextProp(PR_DISPLAY_NAME_A, *user.name));
    if (user.address)
        props.push_back(TextProp(PR_EMAIL_ADDRESS_A, *user.address));
    if (user.type)
        props.push_back(TextProp(PR_ADDRTYPE_A, *user.type));
    if (user.hasProxies)
        props.push_back(MultiTextProp(kTagProxyAddresses, user.proxies));
    return props;
}

CMailUser::CMailUser(const FixtureUser& user) : CPropObject("MailUser", PropsOf(user)) {}
