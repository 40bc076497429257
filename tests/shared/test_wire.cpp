// The SOAP engine against hostile answers on the wire: silence, a trickle,
// an endless body, an answer shorter than announced, a redirection. Each
// ends the run as a failure whose text says why, within a bounded time,
// with nothing left in the temporary folder; an answer or an upload that
// is slow but keeps moving is not cut off.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/service/OpReqPDF.h"
#include "shared/service/WebSvrOp.h"
#include "shared/service/WireLimits.h"
#include "tests/support/ServiceTest.h"
#include "tests/support/SoapCallOp.h"
#include "tests/support/StepRunner.h"
#include "tests/support/TestEnv.h"
#include "tests/support/UploadOp.h"

using namespace testenv;

namespace {

constexpr char kAddress[] = "127.0.0.12";

// The limits of the system shrunk to fit a test suite.
CWireLimits ShortLimits()
{
    CWireLimits limits;
    limits.silenceMs = 1500;
    limits.answerGraceMs = 2000;
    limits.minAnswerBytesPerSecond = 4096;
    limits.maxAnswerBytes = 256 * 1024;
    return limits;
}

// The same with a silence that no pause of a busy machine reaches: for the
// exchanges that keep moving, which must end some other way (or not at
// all), whatever else runs beside the test.
CWireLimits PatientLimits(DWORD silenceMs = 10000)
{
    CWireLimits limits = ShortLimits();
    limits.silenceMs = silenceMs;
    return limits;
}

// How long a run may take to end once a limit has been reached: a busy
// machine may hold a test's threads and the stand-in's for seconds, yet
// the run still ends long before the service's own end (which for the
// silent answers below is 20 s or more away).
constexpr ULONGLONG kEndsWithin = 10000;

class WireTest : public ServiceTestOn<kAddress> {
protected:
    struct Outcome {
        int result = -1;
        HRESULT code = S_OK;
        std::string text;
        ULONGLONG ms = 0;
        bool timedOut = false; // a stepped run waited for a message that never came
    };

    // Runs a GetUserInfo call, its answer kept in a file as every real
    // operation keeps it, whole or one stage per message; or a signed
    // copy's download, whose answer is scanned as it comes instead.
    Outcome Call(bool stepped, const CWireLimits& limits, bool signedCopy = false)
    {
        SoapCallOp login(m_url, "GetUserInfo", {{"pstr_APICode", standin::kDefaultApiCode}});
        OpReqPDF download(m_url);
        download.m_credentials = Demo();
        download.m_fileId = "QF1";
        download.m_documentId = "QD1";
        CWebSvrOp& op = signedCopy ? static_cast<CWebSvrOp&>(download) : login;
        op.SetWireLimits(limits);
        Outcome outcome;
        const ULONGLONG started = GetTickCount64();
        if (stepped) {
            const SteppedRun run = RunStepped(op, 30000);
            outcome.result = run.result;
            outcome.timedOut = run.timedOut;
        } else {
            outcome.result = op.Run(nullptr, 0, CWebSvrOp::kPrepare);
        }
        outcome.ms = GetTickCount64() - started;
        outcome.code = op.GetErrorCode();
        outcome.text = op.GetErrorText().str();
        return outcome;
    }

    // The service reads request bodies this many bytes at a time, pausing
    // after each (0: at once).
    static void SetIntake(CStandInService& service, int chunk, double interval)
    {
        bool ok = false;
        service.Control("intake",
                        "{\"chunk\": " + std::to_string(chunk) +
                            ", \"interval\": " + std::to_string(interval) + "}",
                        &ok);
        ASSERT_TRUE(ok) << service.LastError();
    }

    std::string CreateRequest()
    {
        SoapCallOp create(m_url, "CreateSignatureRequest",
                          SoapCallOp::CreateRequestElements("signer@example.com", "Contract"));
        EXPECT_EQ(1, create.Run(nullptr, 0, CWebSvrOp::kPrepare)) << create.GetErrorText();
        return create.m_result.str();
    }
};

std::string Mode(bool stepped)
{
    return stepped ? "stepped" : "whole";
}

} // namespace

TEST_F(WireTest, HostileAnswersEndAsFailuresThatSayWhy)
{
    struct Case {
        const char* name;
        const char* kind;
        std::string fields;
        HRESULT code;
        const char* text; // found in the error text
        ULONGLONG mostMs; // the run ends within this
        ULONGLONG maxAnswerBytes = ShortLimits().maxAnswerBytes;
        // The failure comes while the answer is read: a signed copy's
        // download, which scans the answer as it comes, ends the same way.
        bool whileRead = false;
    };
    const CWireLimits limits = ShortLimits();
    // Silence ends a run after the silence limit; a trickle once the grace
    // is over; a body that is too large as soon as it is seen to be. Each
    // would otherwise go on for 20 s or more.
    const ULONGLONG afterSilence = limits.silenceMs + kEndsWithin;
    const ULONGLONG afterGrace = limits.answerGraceMs + kEndsWithin;
    const ULONGLONG soon = kEndsWithin;
    // An endless body as fast as Wine's WinINet can read: closing a request
    // under Wine first reads on what has arrived, and a faster flood would
    // keep that going.
    const std::string flood = "\"chunk\": 65536, \"interval\": 0.01";
    const Case cases[] = {
        {"SilenceBeforeTheHead", standin::kind::Slow, "\"delay\": 20", CWebSvrOp::kAnswerTimedOut,
         "stopped answering: nothing came from it for 2 seconds", afterSilence},
        {"HeadThenSilence", standin::kind::Stall, "\"hold\": 20", CWebSvrOp::kAnswerTimedOut,
         "stopped answering", afterSilence},
        {"SomeOfTheBodyThenSilence", standin::kind::Stall, "\"sendBytes\": 100, \"hold\": 20",
         CWebSvrOp::kAnswerTimedOut, "stopped answering", afterSilence, limits.maxAnswerBytes,
         true},
        {"AByteEveryHalfSecond", standin::kind::Slow,
         "\"size\": 4096, \"chunk\": 1, \"interval\": 0.5", CWebSvrOp::kAnswerTimedOut,
         "answered too slowly", afterGrace, limits.maxAnswerBytes, true},
        {"EndlessBody", standin::kind::Endless, flood, CWebSvrOp::kAnswerTooLarge,
         "larger than the 262144 bytes this operation accepts", soon, limits.maxAnswerBytes, true},
        {"EndlessChunkedBody", standin::kind::Endless, flood + ", \"chunked\": true",
         CWebSvrOp::kAnswerTooLarge, "larger than the 262144 bytes", soon, limits.maxAnswerBytes,
         true},
        {"AnnouncedLargerThanTaken", standin::kind::Endless,
         flood + ", \"contentLength\": 10000000000", CWebSvrOp::kAnswerTooLarge,
         "larger than the 262144 bytes", soon},
        {"TenMegabytesShorterThanAnnounced", standin::kind::Cut,
         "\"size\": 2000, \"sendBytes\": 2000, \"contentLength\": 10487760",
         CWebSvrOp::kAnswerCutShort, "cut short: 2000 of the 10487760 bytes it announced", soon,
         CWireLimits::kSmallAnswerBytes, true},
        {"CutInTheMiddle", standin::kind::Cut, "\"size\": 9000, \"sendBytes\": 5000",
         CWebSvrOp::kAnswerCutShort, "cut short: 5000 of the 9000 bytes", soon,
         limits.maxAnswerBytes, true},
        {"FoundElsewhere", standin::kind::Http,
         "\"status\": 302, \"headers\": [[\"Location\", "
         "\"http://127.0.0.13/services/gateway.asmx\"]]",
         RPC_E_SERVERFAULT,
         "HTTP status 302, sending the request on to \"http://127.0.0.13/services/gateway.asmx\"",
         soon},
        {"MovedWithItsVerb", standin::kind::Http,
         "\"status\": 307, \"headers\": [[\"Location\", \"/services/other.asmx\"]]",
         RPC_E_SERVERFAULT, "HTTP status 307, sending the request on to \"/services/other.asmx\"",
         soon},
        {"RedirectedNowhere", standin::kind::Http, "\"status\": 301", RPC_E_SERVERFAULT,
         "HTTP status 301, sending the request on to \"(no address given)\"", soon},
    };
    for (const Case& c : cases) {
        for (int road = 0; road < (c.whileRead ? 4 : 2); ++road) {
            const bool stepped = road % 2 == 1;
            const bool signedCopy = road >= 2;
            SCOPED_TRACE(c.name + (" " + Mode(stepped)) + (signedCopy ? " signed copy" : ""));
            ASSERT_TRUE(Service().Reset()) << Service().LastError();
            ASSERT_TRUE(Service().FailNext(c.kind, 1, nullptr, c.fields)) << Service().LastError();
            const std::vector<std::string> before = ListFiles(TempDir());

            // Only the silent answers meet the short silence: every other
            // one keeps moving, and a pause of the machine must not end it
            // before what the case shows does.
            const bool silent = std::string(c.text).find("stopped answering") != std::string::npos;
            CWireLimits caseLimits = silent ? limits : PatientLimits();
            caseLimits.maxAnswerBytes = c.maxAnswerBytes;
            const Outcome outcome = Call(stepped, caseLimits, signedCopy);

            EXPECT_FALSE(outcome.timedOut) << "a stepped run was left waiting";
            EXPECT_EQ(0, outcome.result);
            EXPECT_EQ(c.code, outcome.code) << std::hex << outcome.code;
            EXPECT_NE(std::string::npos, outcome.text.find(c.text)) << outcome.text;
            EXPECT_LE(outcome.ms, c.mostMs) << "the run took too long";
            EXPECT_EQ(before, ListFiles(TempDir())) << "the run left a file behind";
            // The one request that came, with nothing sent on after a redirection.
            EXPECT_EQ(1u, Service().RequestCount());
        }
    }
    // The connection is fit for the next call after all of that.
    EXPECT_EQ(1, Call(false, limits).result);
}

TEST_F(WireTest, SlowAnswersThatKeepMovingArrive)
{
    // 64 KiB at 16 KiB a second: longer than the silence limit and the
    // grace, never silent for more than a quarter of a second (a twelfth of
    // the silence limit), and faster than the least pace.
    const CWireLimits limits = PatientLimits(3000);
    for (bool stepped : {false, true}) {
        SCOPED_TRACE(Mode(stepped));
        ASSERT_TRUE(Service().FailNext(standin::kind::Slow, 1, nullptr,
                                       "\"size\": 65536, \"chunk\": 4096, \"interval\": 0.25"));
        const Outcome outcome = Call(stepped, limits);
        EXPECT_EQ(1, outcome.result) << outcome.text;
        EXPECT_GT(outcome.ms, limits.silenceMs) << "the answer was not slow enough to show";
        EXPECT_GT(outcome.ms, limits.answerGraceMs) << "the answer was not slow enough to show";
    }
}

TEST_F(WireTest, SlowUploadsThatKeepMovingAreNotCutOff)
{
    // The service takes the upload in at 6.5 MB a second at the most: 36 MB
    // of document (48 MB of request) take longer than the silence limit.
    // What waits in the sockets' buffers (some megabytes) when the last
    // byte has been written passes within a quarter of that limit at this
    // pace: only a service slowed to a quarter of its pace would be taken
    // for a silent one.
    const CWireLimits limits = PatientLimits(6000);
    const std::string fileId = CreateRequest();
    SetIntake(Service(), 65536, 0.01);
    bool kept = false;
    Service().Control("keep-bytes", "{\"limit\": 67108864}", &kept);
    ASSERT_TRUE(kept) << Service().LastError();
    const std::string document = TempDir() + "document.bin";
    const std::string bytes = RandomBytes(36 * 1000 * 1000, 7);
    WriteFileBytes(document, bytes);
    size_t uploads = 0;
    for (bool stepped : {false, true}) {
        SCOPED_TRACE(Mode(stepped));
        UploadOp upload(m_url, fileId, document);
        upload.SetWireLimits(limits);
        const ULONGLONG started = GetTickCount64();
        int result = 0;
        if (stepped) {
            const SteppedRun run = RunStepped(upload, 30000);
            EXPECT_FALSE(run.timedOut);
            result = run.result;
        } else {
            result = upload.Run(nullptr, 0, CWebSvrOp::kPrepare);
        }
        const ULONGLONG ms = GetTickCount64() - started;
        EXPECT_EQ(1, result) << upload.GetErrorText();
        EXPECT_GT(ms, limits.silenceMs) << "the upload was not slow enough to show";
        auto documents = Service().Documents(fileId);
        ASSERT_EQ(++uploads, documents.size());
        EXPECT_TRUE(documents.back().data == bytes) << "document differs";
    }
}

TEST_F(WireTest, AnUploadTheServiceStopsTakingEndsAfterTheSilence)
{
    // A service of its own: WinINet under Wine keeps the connection the
    // upload was given up on for the next request, which then waits out the
    // silence limit before it connects afresh.
    CStandInService stalled("127.0.0.14");
    ASSERT_TRUE(stalled.Start()) << stalled.LastError();
    UseHost("127.0.0.14");
    // It takes the first piece and then nothing for a minute; the upload is
    // larger than what the sockets between can hold.
    SetIntake(stalled, 65536, 60);
    const std::string document = TempDir() + "document.bin";
    WriteFileBytes(document, RandomBytes(24 * 1000 * 1000, 8));
    UploadOp upload(m_url, "QF1", document);
    upload.SetWireLimits(ShortLimits());
    const ULONGLONG started = GetTickCount64();
    EXPECT_EQ(0, upload.Run(nullptr, 0, CWebSvrOp::kPrepare));
    const ULONGLONG ms = GetTickCount64() - started;
    EXPECT_EQ(CWebSvrOp::kAnswerTimedOut, upload.GetErrorCode())
        << std::hex << upload.GetErrorCode();
    EXPECT_NE(-1, upload.GetErrorText().Find("stopped answering")) << upload.GetErrorText();
    EXPECT_LT(upload.GetBytesSent(), upload.GetUploadSize());
    EXPECT_LE(ms, 20000u);
    EXPECT_FALSE(FileExists(upload.m_requestPath.str())) << "the request file is removed";
    m_protocol.Disconnect();
}

TEST_F(WireTest, EachMethodTakesAnAnswerAsLargeAsItsOwnCanBe)
{
    // A whole answer of 20 MiB: more than any answer but a signed copy can
    // hold, so every other call refuses it unread; the signed copy's call
    // takes it.
    constexpr int kSize = 20 * 1024 * 1024;
    struct Case {
        const char* method;
        bool refusedUnread;
    };
    const Case cases[] = {
        {"GetUserInfo", true}, {"GetFileStatus", true}, {"DownloadSignedDocument", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        // At a pace Wine's WinINet keeps up with (see the flood above).
        ASSERT_TRUE(Service().FailNext(standin::kind::Padded, 1, nullptr,
                                       "\"size\": " + std::to_string(kSize) +
                                           ", \"chunk\": 65536, \"interval\": 0.01"));
        SoapCallOp op(m_url, c.method, {{"pstr_APICode", standin::kDefaultApiCode}});
        const int result = op.Run(nullptr, 0, CWebSvrOp::kPrepare);
        if (c.refusedUnread) {
            EXPECT_EQ(0, result);
            EXPECT_EQ(CWebSvrOp::kAnswerTooLarge, op.GetErrorCode())
                << std::hex << op.GetErrorCode();
            EXPECT_EQ(0, op.GetBytesReceived());
        } else {
            // Read whole; what the envelope check then makes of a comment of
            // 20 MiB is the XML parser's business.
            EXPECT_NE(CWebSvrOp::kAnswerTooLarge, op.GetErrorCode()) << op.GetErrorText();
            EXPECT_EQ(kSize, op.GetBytesReceived());
        }
    }
}

namespace {

// The longest time between two ticks of a thread timer while it lives:
// how long the thread's messages waited at the worst.
class LongestPause {
public:
    LongestPause()
    {
        s_self = this;
        m_last = GetTickCount64();
        m_timer = SetTimer(nullptr, 0, 50, Tick);
    }
    ~LongestPause()
    {
        KillTimer(nullptr, m_timer);
        s_self = nullptr;
    }
    LongestPause(const LongestPause&) = delete;
    LongestPause& operator=(const LongestPause&) = delete;
    ULONGLONG Ms() const { return std::max(m_longest, GetTickCount64() - m_last); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
    {
        const ULONGLONG now = GetTickCount64();
        s_self->m_longest = std::max(s_self->m_longest, now - s_self->m_last);
        s_self->m_last = now;
    }

    static inline LongestPause* s_self = nullptr;
    UINT_PTR m_timer = 0;
    ULONGLONG m_last = 0;
    ULONGLONG m_longest = 0;
};

} // namespace

// An answer whose first bytes come at full speed (so that it is read in
// whole pieces) and whose rest trickles: it is read to its end however long
// the trickle, without holding up the stepped run's thread, while a stall
// after the trickle still ends at the silence limit.
TEST_F(WireTest, AnAnswerThatStartsFastThenTricklesIsReadUntilItStalls)
{
    const CWireLimits limits = [] {
        CWireLimits shortened = PatientLimits(3000);
        shortened.maxAnswerBytes = 1024 * 1024;
        return shortened;
    }();
    // 320 KiB at once, then 2 KiB every 0.1 s: 96 KiB of trickle take 4.8 s,
    // longer than the silence limit and the grace, with no pause near
    // either (a thirtieth of the silence limit).
    const std::string shape =
        "\"size\": 425984, \"swiftBytes\": 327680, \"chunk\": 2048, \"interval\": 0.1";
    struct Case {
        const char* name;
        const char* kind;
        std::string fields;
        int result;
        HRESULT code;
        ULONGLONG leastMs; // the trickle was read for at least this long
        ULONGLONG mostMs;
    };
    const Case cases[] = {
        {.name = "TrickleToTheEnd",
         .kind = standin::kind::Slow,
         .fields = shape,
         .result = 1,
         .code = S_OK,
         .leastMs = 4000,
         .mostMs = 4800 + kEndsWithin},
        // The trickle stops after 48 KiB (2.4 s), then nothing for 30 s.
        {.name = "TrickleThenStall",
         .kind = standin::kind::Stall,
         .fields = shape + ", \"sendBytes\": 376832, \"hold\": 30",
         .result = 0,
         .code = CWebSvrOp::kAnswerTimedOut,
         .leastMs = 2400 + limits.silenceMs,
         .mostMs = 2400 + limits.silenceMs + kEndsWithin},
    };
    for (const Case& c : cases) {
        for (bool stepped : {false, true}) {
            SCOPED_TRACE(c.name + (" " + Mode(stepped)));
            ASSERT_TRUE(Service().Reset()) << Service().LastError();
            ASSERT_TRUE(Service().FailNext(c.kind, 1, nullptr, c.fields)) << Service().LastError();
            const std::vector<std::string> before = ListFiles(TempDir());
            Outcome outcome;
            ULONGLONG pause = 0;
            {
                LongestPause watch;
                outcome = Call(stepped, limits);
                pause = watch.Ms();
            }
            EXPECT_FALSE(outcome.timedOut) << "a stepped run was left waiting";
            EXPECT_EQ(c.result, outcome.result) << outcome.text;
            EXPECT_EQ(c.code, outcome.code) << std::hex << outcome.code;
            if (!c.result) {
                EXPECT_NE(std::string::npos, outcome.text.find("stopped answering"))
                    << outcome.text;
            }
            EXPECT_GE(outcome.ms, c.leastMs) << "the answer did not trickle";
            EXPECT_LE(outcome.ms, c.mostMs) << "the run took too long";
            if (stepped) {
                // Held up, the thread would wait out a silence limit or
                // the whole trickle: 3 s or more.
                EXPECT_LT(pause, 2500u) << "the stepped run held up its thread";
            }
            EXPECT_EQ(before, ListFiles(TempDir())) << "the run left a file behind";
        }
    }
}
