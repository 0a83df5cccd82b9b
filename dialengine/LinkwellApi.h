// Export and import of the dial engine's classes. Linkwell.dll is built with LINKWELL_BUILD_DLL;
// test programs that link the engine's code statically define LINKWELL_STATIC; everyone else
// imports from the DLL.
#pragma once

#if defined(LINKWELL_STATIC)
#define LINKWELL_API
#elif defined(LINKWELL_BUILD_DLL)
#define LINKWELL_API __declspec(dllexport)
#else
#define LINKWELL_API __declspec(dllimport)
#endif
