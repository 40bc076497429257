#include "addin/core/RibbonMode.h"

namespace {

// The host's single user-interface thread is the only one that touches it.
bool g_ribbonMode = false;

} // namespace

bool IsRibbonMode()
{
    return g_ribbonMode;
}

void SetRibbonMode(bool on)
{
    g_ribbonMode = on;
}
