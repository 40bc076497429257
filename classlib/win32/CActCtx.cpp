#include "classlib/win32/CActCtx.h"

#include <utility>

#include "classlib/strings/CString.h"

CActCtx::~CActCtx()
{
    if (IsValid())
        ::ReleaseActCtx(m_handle);
}

CActCtx::CActCtx(CActCtx&& other) noexcept
    : m_handle(std::exchange(other.m_handle, INVALID_HANDLE_VALUE))
{}

CActCtx& CActCtx::operator=(CActCtx&& other) noexcept
{
    if (this != &other) {
        if (IsValid())
            ::ReleaseActCtx(m_handle);
        m_handle = std::exchange(other.m_handle, INVALID_HANDLE_VALUE);
    }
    return *this;
}

CActCtx CActCtx::FromModule(HMODULE module, WORD resourceId)
{
    // CreateActCtx would read the file named by lpSource when the module
    // lacks the resource; asking first keeps "no manifest" quiet and cheap.
    if (!module || !::FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(24)))
        return {};
    ACTCTXW description{};
    description.cbSize = sizeof(description);
    description.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    description.hModule = module;
    description.lpResourceName = MAKEINTRESOURCEW(resourceId);
    return CActCtx(::CreateActCtxW(&description));
}

const CActCtx& ModuleActCtx()
{
    // ISOLATIONAWARE_MANIFEST_RESOURCE_ID: the id Windows' loader also reads
    // for a DLL's own imports.
    static const CActCtx context = CActCtx::FromModule(GetResourceModule(), 2);
    return context;
}

CActCtxScope::CActCtxScope() : CActCtxScope(ModuleActCtx()) {}

CActCtxScope::CActCtxScope(const CActCtx& context)
{
    if (context.IsValid() && !::ActivateActCtx(context.Get(), &m_cookie))
        m_cookie = 0;
}

CActCtxScope::~CActCtxScope()
{
    if (m_cookie)
        ::DeactivateActCtx(0, m_cookie);
}
