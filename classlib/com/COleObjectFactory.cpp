#include "classlib/com/COleObjectFactory.h"

namespace {

// The module's factories. Built and destroyed with static objects or on the
// user-interface thread only, so the list needs no lock.
COleObjectFactory*& FirstFactory()
{
    static COleObjectFactory* first = nullptr;
    return first;
}

} // namespace

COleObjectFactory::COleObjectFactory(REFCLSID clsid) : m_clsid(clsid)
{
    // Appended, so the list keeps the order factories joined it.
    COleObjectFactory** link = &FirstFactory();
    while (*link)
        link = &(*link)->m_next;
    *link = this;
}

COleObjectFactory::~COleObjectFactory()
{
    for (COleObjectFactory** link = &FirstFactory(); *link; link = &(*link)->m_next) {
        if (*link == this) {
            *link = m_next;
            break;
        }
    }
}

BOOL COleObjectFactory::UpdateRegistry(BOOL)
{
    return TRUE;
}

BOOL COleObjectFactory::UpdateRegistryAll(BOOL registering)
{
    BOOL all = TRUE;
    for (COleObjectFactory* factory = FirstFactory(); factory; factory = factory->m_next)
        if (!factory->UpdateRegistry(registering))
            all = FALSE;
    return all;
}
