// The Task Scheduler 2.0 class and interface ids, which mingw-w64's uuid library lacks.
#include <windows.h>
// initguid.h turns taskschd.h's declarations into (selectany) definitions in this file.
#include <initguid.h>
#include <taskschd.h>
