// The identity of the add-in the plumbing tests load into the host.
#pragma once

// {3B8E6C1D-4F27-4A90-8D3E-5C71B2A9E064}
inline constexpr const char* kPlumbingAddinClsidText = "{3B8E6C1D-4F27-4A90-8D3E-5C71B2A9E064}";
inline constexpr const char* kPlumbingAddinProgId = "QuilletTest.PlumbingAddin";
