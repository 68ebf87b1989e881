// Export macro of the Zentu library.
#pragma once

#if defined(_WIN32)
#if defined(ZENTU_BUILDING)
#define ZENTU_API __declspec(dllexport)
#else
#define ZENTU_API __declspec(dllimport)
#endif
#else
#define ZENTU_API
#endif
