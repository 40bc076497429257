// CNameSpace: the "MAPI" namespace: default folders, items by entry ID and
// the offline state the add-in tests before it talks to the service.
#pragma once

#include "standins/outlook/core/AutoObject.h"

namespace standin {

class CApplication;

class CNameSpace final : public CAutoObject {
public:
    explicit CNameSpace(CApplication& application);

    bool Offline() const { return m_offline; }
    void SetOffline(bool offline) { m_offline = offline; }
    void Detach() { m_application = nullptr; }

private:
    CApplication& Application() const;

    CApplication* m_application;
    bool m_offline = false;
};

} // namespace standin
