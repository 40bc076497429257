// Activation contexts: which side-by-side assemblies (comctl32 version 6
// with its themed controls) the windows a thread makes are bound to.
//
// A program gets its context from its manifest (resource 1) for the whole
// process. A DLL loaded into someone else's process (the add-in inside
// Outlook, the options page inside Outlook's Options dialog) carries its
// manifest as resource 2 and must activate it around every window it makes
// and every message loop of its own, or its dialogs get whatever the host
// has active at that moment.
#pragma once

#include <windows.h>

// Owns one activation context (ReleaseActCtx). INVALID_HANDLE_VALUE, not
// null, is "no context"; activating none leaves the thread's context as it is.
class CActCtx {
public:
    CActCtx() = default;
    ~CActCtx();
    CActCtx(const CActCtx&) = delete;
    CActCtx& operator=(const CActCtx&) = delete;
    CActCtx(CActCtx&& other) noexcept;
    CActCtx& operator=(CActCtx&& other) noexcept;

    // The context described by a module's RT_MANIFEST resource `resourceId`;
    // none when the module has no such resource or it does not parse.
    static CActCtx FromModule(HMODULE module, WORD resourceId);

    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_handle; }

private:
    explicit CActCtx(HANDLE handle) : m_handle(handle) {}
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};

// The isolation-aware context of the module this class library is built
// into (its resource 2), made on first use and kept for the module's life.
// Programs carry none: their manifest is the process's own.
const CActCtx& ModuleActCtx();

// Activates a context on this thread for the scope's lifetime and
// deactivates it on the way out, also when an exception passes. The default
// scope activates ModuleActCtx(). Scopes nest; each undoes only its own.
class CActCtxScope {
public:
    CActCtxScope();
    explicit CActCtxScope(const CActCtx& context);
    ~CActCtxScope();
    CActCtxScope(const CActCtxScope&) = delete;
    CActCtxScope& operator=(const CActCtxScope&) = delete;

    // FALSE when there was a context to activate and Windows refused it.
    bool Active() const { return m_cookie != 0; }

private:
    ULONG_PTR m_cookie = 0;
};
