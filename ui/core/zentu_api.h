// Export macro of the Zentu library.
#pragma once

// ZENTU_BUILDING: compiling the library (it wins, since the library also sees ZENTU_STATIC);
// ZENTU_STATIC: linking the library's portable core statically (the portable tests).
#if defined(_WIN32)
#if defined(ZENTU_BUILDING)
#define ZENTU_API __declspec(dllexport)
#elif defined(ZENTU_STATIC)
#define ZENTU_API
#else
#define ZENTU_API __declspec(dllimport)
#endif
#else
#define ZENTU_API
#endif
