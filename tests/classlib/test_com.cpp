// COM done once: the interface table and reference count of CComObjectT,
// the module's lock count that DllCanUnloadNow answers from, the class
// factory, parts of an object, and the catch barrier of the edges.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include <ocidl.h>

#include "classlib/com/Barrier.h"
#include "classlib/com/CClassFactory.h"
#include "classlib/com/CComDispatch.h"
#include "classlib/com/CComPart.h"
#include "classlib/com/CComPtr.h"
#include "tests/support/HResultText.h"

// Two interfaces of the probe: one built on IDispatch, one on IUnknown.
struct IProbeDispatch : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Ping() = 0;
};
struct IProbeExtra : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Pong() = 0;
};
__CRT_UUID_DECL(IProbeDispatch, 0x6d0c51a2, 0x3b7e, 0x4f01, 0x9a, 0x1e, 0x52, 0x7c, 0x10, 0x44,
                0x2b, 0x01)
__CRT_UUID_DECL(IProbeExtra, 0x6d0c51a2, 0x3b7e, 0x4f01, 0x9a, 0x1e, 0x52, 0x7c, 0x10, 0x44, 0x2b,
                0x02)

namespace {

// An IID the probe learns only at run time (as a sink learns its events').
constexpr IID kRuntimeIid = {
    0x6d0c51a2, 0x3b7e, 0x4f01, {0x9a, 0x1e, 0x52, 0x7c, 0x10, 0x44, 0x2b, 0x03}};

void* const kJunk = reinterpret_cast<void*>(0x1234);

template <ComLifetime Lifetime>
class CProbe : public CComDispatchT<Lifetime, IProbeDispatch, IProbeExtra> {
public:
    explicit CProbe(bool* deleted = nullptr) : m_deleted(deleted) {}
    ~CProbe() override
    {
        if (m_deleted)
            *m_deleted = true;
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return DISP_E_MEMBERNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE Ping() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Pong() override { return S_OK; }

    bool withholdExtra = false;

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == kRuntimeIid ? static_cast<IProbeExtra*>(this) : nullptr;
    }
    bool Withholds(REFIID iid) const override
    {
        return withholdExtra && iid == __uuidof(IProbeExtra);
    }

private:
    bool* m_deleted;
};

using CModuleProbe = CProbe<ComLifetime::Module>;

TEST(ComObjectTest, QueryInterfaceAnswersFromTheTable)
{
    CComPtr<CModuleProbe> probe(new CModuleProbe);
    void* const primary = static_cast<IProbeDispatch*>(probe.Get());
    void* const extra = static_cast<IProbeExtra*>(probe.Get());
    const struct {
        const char* what;
        const IID& iid;
        bool withhold;
        HRESULT expected;
        void* object;
    } cases[] = {
        {"IUnknown: the first interface", IID_IUnknown, false, S_OK, primary},
        {"the first listed interface", __uuidof(IProbeDispatch), false, S_OK, primary},
        {"the second listed interface", __uuidof(IProbeExtra), false, S_OK, extra},
        {"IDispatch: the first interface built on it", IID_IDispatch, false, S_OK, primary},
        {"an IID known at run time", kRuntimeIid, false, S_OK, extra},
        {"an interface it does not serve", IID_IPersist, false, E_NOINTERFACE, nullptr},
        {"a listed interface withheld", __uuidof(IProbeExtra), true, E_NOINTERFACE, nullptr},
        {"IUnknown while another is withheld", IID_IUnknown, true, S_OK, primary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        probe->withholdExtra = c.withhold;
        void* object = kJunk;
        EXPECT_HR(c.expected, probe->QueryInterface(c.iid, &object));
        EXPECT_EQ(c.object, object) << "the interface, or cleared on refusal";
        EXPECT_EQ(c.expected == S_OK ? 2u : 1u, probe->RefCount()) << "AddRefed when handed out";
        if (object)
            static_cast<IUnknown*>(object)->Release();
    }
    EXPECT_HR(E_POINTER, probe->QueryInterface(IID_IUnknown, nullptr));
}

TEST(ComObjectTest, LifetimesAndTheModuleLockCount)
{
    ASSERT_EQ(0, CComModule::GetLockCount()) << "another object of this program is alive";
    ASSERT_HR(S_OK, CComModule::CanUnloadNow());

    bool deleted = false;
    auto* object = new CModuleProbe(&deleted);
    EXPECT_EQ(0u, object->RefCount()) << "a new object is its creator's to reference";
    EXPECT_HR(S_FALSE, CComModule::CanUnloadNow()) << "an object of the module is alive";
    object->AddRef();
    EXPECT_EQ(2u, object->AddRef());
    EXPECT_EQ(1u, object->Release());
    EXPECT_FALSE(deleted);
    EXPECT_EQ(0u, object->Release());
    EXPECT_TRUE(deleted) << "the last Release deletes the object";
    EXPECT_HR(S_OK, CComModule::CanUnloadNow()) << "after its release";

    // A test program's own objects leave the product's count alone.
    deleted = false;
    CComPtr<CProbe<ComLifetime::Unlocked>> unlocked(new CProbe<ComLifetime::Unlocked>(&deleted));
    EXPECT_HR(S_OK, CComModule::CanUnloadNow());
    unlocked.Release();
    EXPECT_TRUE(deleted);

    deleted = false;
    {
        CProbe<ComLifetime::Scoped> scoped(&deleted);
        EXPECT_HR(S_OK, CComModule::CanUnloadNow());
        scoped.AddRef();
        EXPECT_EQ(0u, scoped.Release());
        EXPECT_FALSE(deleted) << "a scoped object is not its count's to delete";
    }
    EXPECT_TRUE(deleted);
}

TEST(ComObjectTest, DeletedOutrightItIsNotDeletedAgainByAReleaseOnTheWay)
{
    struct CHeld final : public CComObject<IProbeExtra> {
        ~CHeld() override
        {
            // What it lets go of on the way holds a reference to it.
            BeginDestruction();
            EXPECT_EQ(0u, Release());
        }
        HRESULT STDMETHODCALLTYPE Pong() override { return S_OK; }
    };
    auto* held = new CHeld;
    held->AddRef();
    delete held;
    EXPECT_EQ(0, CComModule::GetLockCount());
}

class CFactoryMade final : public CComObject<IProbeExtra> {
public:
    CFactoryMade()
    {
        if (s_refusal != S_OK)
            ThrowHResult(s_refusal, "refused");
        ++s_alive;
    }
    ~CFactoryMade() override { --s_alive; }
    HRESULT STDMETHODCALLTYPE Pong() override { return S_OK; }

    static inline HRESULT s_refusal = S_OK;
    static inline int s_alive = 0;
};

constexpr CLSID kServed = {
    0x6d0c51a2, 0x3b7e, 0x4f01, {0x9a, 0x1e, 0x52, 0x7c, 0x10, 0x44, 0x2b, 0x10}};

TEST(ClassFactoryTest, GetClassObjectChecksTheClassAndClearsFirst)
{
    EXPECT_HR(E_POINTER,
              GetClassObject<CFactoryMade>(kServed, kServed, IID_IClassFactory, nullptr));
    void* object = kJunk;
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE,
              GetClassObject<CFactoryMade>(kServed, kRuntimeIid, IID_IClassFactory, &object));
    EXPECT_EQ(nullptr, object);
    object = kJunk;
    EXPECT_HR(E_NOINTERFACE,
              GetClassObject<CFactoryMade>(kServed, kServed, IID_IDispatch, &object));
    EXPECT_EQ(nullptr, object);
    EXPECT_HR(S_OK, CComModule::CanUnloadNow()) << "a refused factory is gone";
}

TEST(ClassFactoryTest, FactoriesObjectsAndLocksKeepTheModule)
{
    CComPtr<IClassFactory> factory;
    ASSERT_HR(S_OK,
              GetClassObject<CFactoryMade>(kServed, kServed, IID_IClassFactory, factory.PutVoid()));
    EXPECT_HR(S_FALSE, CComModule::CanUnloadNow()) << "a factory reference is held";

    CComPtr<IUnknown> outer(factory.Get());
    struct {
        const char* what;
        IUnknown* outer;
        const IID& iid;
        HRESULT refusal;
        HRESULT expected;
    } cases[] = {
        {"aggregation", outer.Get(), __uuidof(IProbeExtra), S_OK, CLASS_E_NOAGGREGATION},
        {"an interface the object lacks", nullptr, IID_IDispatch, S_OK, E_NOINTERFACE},
        {"a constructor that throws", nullptr, __uuidof(IProbeExtra), E_ACCESSDENIED,
         E_ACCESSDENIED},
        {"the object's interface", nullptr, __uuidof(IProbeExtra), S_OK, S_OK},
    };
    const LONG locks = CComModule::GetLockCount();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CFactoryMade::s_refusal = c.refusal;
        void* object = kJunk;
        EXPECT_HR(c.expected, factory->CreateInstance(c.outer, c.iid, &object));
        CFactoryMade::s_refusal = S_OK;
        if (c.expected != S_OK) {
            EXPECT_EQ(nullptr, object);
            EXPECT_EQ(0, CFactoryMade::s_alive) << "nothing made is left";
            EXPECT_EQ(locks, CComModule::GetLockCount());
            continue;
        }
        ASSERT_NE(nullptr, object);
        EXPECT_EQ(1, CFactoryMade::s_alive);
        EXPECT_EQ(locks + 1, CComModule::GetLockCount()) << "the object holds the module";
        static_cast<IUnknown*>(object)->Release();
        EXPECT_EQ(0, CFactoryMade::s_alive);
    }
    EXPECT_HR(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));

    EXPECT_HR(S_OK, factory->LockServer(TRUE));
    outer.Release();
    factory.Release();
    EXPECT_HR(S_FALSE, CComModule::CanUnloadNow()) << "a server lock outlives the factory";
    CComModule::Unlock(); // what LockServer(FALSE) does
    EXPECT_HR(S_OK, CComModule::CanUnloadNow());
}

// An object with a connection-point-like part and a second face.
class COwner final : public CComObject<IProbeExtra> {
public:
    class CPoint final : public CComPartT<ComIdentity::Own, IConnectionPoint> {
    public:
        using CComPartT::CComPartT;
        HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override
        {
            return E_NOTIMPL;
        }
        HRESULT STDMETHODCALLTYPE Advise(IUnknown*, DWORD*) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return E_NOTIMPL; }
        HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
    };
    class CFace final : public CComPartT<ComIdentity::Owners, IPersist> {
    public:
        using CComPartT::CComPartT;
        HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
    };

    COwner() : point(*this), face(*this) {}
    HRESULT STDMETHODCALLTYPE Pong() override { return S_OK; }

    CPoint point;
    CFace face;

protected:
    void* QueryOther(REFIID iid) override
    {
        return iid == IID_IPersist ? static_cast<IPersist*>(&face) : nullptr;
    }
};

TEST(ComPartTest, PartsLiveOnTheirOwnersReferences)
{
    CComPtr<COwner> owner(new COwner);
    IUnknown* const identity = static_cast<IProbeExtra*>(owner.Get());

    EXPECT_EQ(2u, owner->point.AddRef()) << "the owner's count";
    EXPECT_EQ(1u, owner->point.Release());

    void* object = kJunk;
    EXPECT_HR(S_OK, owner->point.QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(static_cast<IUnknown*>(&owner->point), object) << "a point is an object of its own";
    static_cast<IUnknown*>(object)->Release();
    object = kJunk;
    EXPECT_HR(E_NOINTERFACE, owner->point.QueryInterface(__uuidof(IProbeExtra), &object));
    EXPECT_EQ(nullptr, object);

    object = kJunk;
    EXPECT_HR(S_OK, owner->face.QueryInterface(IID_IUnknown, &object));
    EXPECT_EQ(identity, object) << "a face is its owner";
    static_cast<IUnknown*>(object)->Release();
    object = kJunk;
    EXPECT_HR(S_OK, owner->QueryInterface(IID_IPersist, &object));
    EXPECT_EQ(static_cast<IPersist*>(&owner->face), object);
    static_cast<IUnknown*>(object)->Release();
    EXPECT_EQ(1u, owner->RefCount());
}

// What the reporter saw, for the barrier's tests.
std::vector<CCaughtFailure>& Reports()
{
    static std::vector<CCaughtFailure> reports;
    return reports;
}

class BarrierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Reports().clear();
        m_previous =
            SetBarrierReporter([](const CCaughtFailure& failure) { Reports().push_back(failure); });
    }
    void TearDown() override { SetBarrierReporter(m_previous); }

private:
    CBarrierReporter m_previous = nullptr;
};

TEST_F(BarrierTest, WhatABodyThrowsBecomesTheEdgesAnswer)
{
    const struct {
        const char* what;
        void (*body)();
        HRESULT expected;
        const char* reported;
    } cases[] = {
        {"a thrown HRESULT", [] { THROW_IF_FAILED(E_ACCESSDENIED); }, E_ACCESSDENIED,
         "E_ACCESSDENIED"},
        {"out of memory", [] { throw std::bad_alloc(); }, E_OUTOFMEMORY, "out of memory"},
        {"anything else", [] { throw 42; }, E_UNEXPECTED, "unknown exception"},
        {"a thrown success", [] { ThrowHResult(S_FALSE, "S_FALSE"); }, E_UNEXPECTED, "S_FALSE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reports().clear();
        const unsigned line = __LINE__ + 1;
        const HRESULT hr = CatchAtEdge("CProbe::Method", [&] {
            c.body();
            return S_OK;
        });
        EXPECT_HR(c.expected, hr);
        ASSERT_EQ(1u, Reports().size());
        const CCaughtFailure& report = Reports()[0];
        EXPECT_STREQ("CProbe::Method", report.where);
        EXPECT_HR(c.expected, report.hr);
        EXPECT_STREQ(c.reported, report.what);
        EXPECT_STREQ("test_com.cpp", report.file) << "the edge's file, without its folders";
        EXPECT_EQ(line, report.line);
    }
}

TEST_F(BarrierTest, AThrownHResultIsReportedWithWhereItWasThrown)
{
    const unsigned thrownLine = __LINE__ + 2;
    auto body = []() -> HRESULT {
        THROW_IF_FAILED(E_INVALIDARG);
        return S_OK;
    };
    EXPECT_HR(E_INVALIDARG, CatchAtEdge("CProbe::Method", body));
    ASSERT_EQ(1u, Reports().size());
    EXPECT_STREQ("E_INVALIDARG", Reports()[0].what) << "the failed expression";
    EXPECT_STREQ("test_com.cpp", Reports()[0].thrownFile);
    EXPECT_EQ(thrownLine, Reports()[0].thrownLine);
}

TEST_F(BarrierTest, AnEdgeWithAFixedAnswerGivesItOnFailureOnly)
{
    EXPECT_EQ(7, CatchAtEdge("CProbe::Proc", -1, [] { return 7; }));
    EXPECT_HR(S_FALSE, CatchAtEdge("CProbe::Method", [] { return S_FALSE; }));
    EXPECT_TRUE(Reports().empty()) << "nothing failed";

    EXPECT_FALSE(CatchAtEdge("CProbe::Proc", false, []() -> bool { throw std::bad_alloc(); }));
    ASSERT_EQ(1u, Reports().size());
    EXPECT_HR(E_OUTOFMEMORY, Reports()[0].hr);
}

// What RETURN_IF_FAILED hands up, as the reporter saw it.
std::vector<CReturnedFailure>& Returned()
{
    static std::vector<CReturnedFailure> returned;
    return returned;
}

HRESULT Passes(HRESULT inner, unsigned& line)
{
    line = __LINE__ + 1;
    RETURN_IF_FAILED(inner);
    return S_OK;
}

TEST(ReturnIfFailedTest, AFailureGoesUpWithWhereItWentUpFromAndASuccessPasses)
{
    Returned().clear();
    const CReturnReporter previous =
        SetReturnReporter([](const CReturnedFailure& failure) { Returned().push_back(failure); });
    unsigned line = 0;
    // The user's cancel is no failure to the macro: it is the caller's to
    // stop on it.
    for (HRESULT success : {S_OK, S_FALSE, kUserCancelled})
        EXPECT_HR(S_OK, Passes(success, line));
    EXPECT_TRUE(Returned().empty()) << "nothing failed";

    EXPECT_HR(E_ACCESSDENIED, Passes(E_ACCESSDENIED, line));
    ASSERT_EQ(1u, Returned().size());
    EXPECT_HR(E_ACCESSDENIED, Returned()[0].hr);
    EXPECT_STREQ("inner", Returned()[0].expression);
    EXPECT_STREQ("test_com.cpp", Returned()[0].file) << "without its folders";
    EXPECT_EQ(line, Returned()[0].line);

    // A reporter that throws loses its report, never the answer.
    SetReturnReporter([](const CReturnedFailure&) { throw std::bad_alloc(); });
    EXPECT_HR(E_FAIL, Passes(E_FAIL, line));
    SetReturnReporter(previous);
}

TEST_F(BarrierTest, WithoutAReporterOrWithAThrowingOneTheEdgeStillAnswers)
{
    SetBarrierReporter(nullptr);
    EXPECT_HR(E_UNEXPECTED, CatchAtEdge("CProbe::Method", []() -> HRESULT { throw 1; }));
    SetBarrierReporter([](const CCaughtFailure&) { throw std::bad_alloc(); });
    EXPECT_HR(E_FAIL, CatchAtEdge("CProbe::Method", []() -> HRESULT { ThrowHResult(E_FAIL); }));
}

} // namespace
