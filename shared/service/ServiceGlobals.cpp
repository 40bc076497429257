#include "shared/service/ServiceGlobals.h"

CServiceGlobals& ServiceGlobals()
{
    // Made on first use, so no other static's constructor finds it unmade.
    static CServiceGlobals globals;
    return globals;
}
