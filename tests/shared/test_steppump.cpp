// The step pump's pacing: one 25 ms tick before each stage of each step,
// however often a stage that waits on the network reports meanwhile.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "classlib/ui/CDialog.h"
#include "shared/service/OpLogin.h"
#include "shared/service/ServiceGlobals.h"
#include "shared/service/WebSvrAPI.h"
#include "shared/ui/StepPump.h"
#include "tests/shared/RunnerTestIds.h"
#include "tests/support/ServiceTest.h"

namespace {

constexpr char kAddress[] = "127.0.0.8";

// Runs a few logins as steps and counts what the pump did with them.
class PumpHost : public CDialog, public CStepPump {
public:
    static constexpr UINT kMessage = WM_USER + 100;

    PumpHost(int steps, const CCredentials& credentials) : CDialog(IDD_RUNNER_HOST)
    {
        for (int i = 0; i < steps; ++i) {
            auto* login = new OpLogin(ServiceGlobals().api->GetServiceUrl());
            login->m_credentials = credentials;
            m_steps.AddTail(new CStepOp(login));
        }
    }

    int m_ticks = 0;
    int m_stageMessages = 0;
    std::vector<int> m_stages; // each stage once, as the steps went through them
    int m_stepsDone = 0;
    std::string m_failure;

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        BindPump(*this, kMessage, 0);
        ListSteps(m_steps);
        StartRun();
        return TRUE;
    }

    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) override
    {
        if (message != kMessage)
            return FALSE;
        ++m_stageMessages;
        const int stage = static_cast<int>(wParam);
        if (m_stages.empty() || m_stages.back() != stage)
            m_stages.push_back(stage);
        PumpStage(stage);
        result = 0;
        return TRUE;
    }

    void OnTimer(UINT_PTR id) override
    {
        if (PumpTimer(id))
            ++m_ticks;
        else
            CDialog::OnTimer(id);
    }

    int StepImage(const CStepOp&) const override { return 0; }

    void OnLastStage() override
    {
        ++m_stepsDone;
        MarkDone();
        if (!NextStep())
            EndDialog(IDOK);
    }

    void OnRunFailed(CWebSvrOp& op) override
    {
        m_failure = op.GetErrorText().str();
        EndDialog(IDABORT);
    }

private:
    CTypedPtrList<CStepOp> m_steps;
};

using StepPumpTest = ServiceTestOn<kAddress>;

} // namespace

TEST_F(StepPumpTest, EveryStageHasOneTickAndReportsCarryItOnAtOnce)
{
    const struct {
        const char* name;
        const char* behaviour; // null: the service answers at once
        int steps;
    } cases[] = {
        {.name = "a prompt service", .behaviour = nullptr, .steps = 1},
        // The answer's wait brings the job's heartbeats: none of them may
        // cost a tick.
        {.name = "a service that thinks",
         .behaviour = R"({"kind": "slow", "delay": 1.2})",
         .steps = 1},
        {.name = "two steps",
         .behaviour = R"({"kind": "slow", "delay": 0.6, "count": 2})",
         .steps = 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Service().Reset());
        if (c.behaviour) {
            ASSERT_TRUE(Service().SetBehaviour(c.behaviour));
        }
        PumpHost host(c.steps, Demo());
        EXPECT_EQ(IDOK, host.DoModal()) << host.m_failure;
        EXPECT_EQ(c.steps, host.m_stepsDone);
        // A later step begins at its tick, without a message for stage 0.
        std::vector<int> stages = {0, 1, 2, 3, 4, 5};
        for (int i = 1; i < c.steps; ++i)
            stages.insert(stages.end(), {1, 2, 3, 4, 5});
        EXPECT_EQ(stages, host.m_stages);
        // Stages 0 to 4 are run after their tick; 5 ends the step.
        EXPECT_EQ(5 * c.steps, host.m_ticks);
        if (c.behaviour) {
            EXPECT_GT(host.m_stageMessages, 6 * c.steps)
                << "no report came while the service thought";
        }
    }
}
