// thread_probe.dll: records the floating-point state of every new thread as the DLLs loaded
// before it have left it. Windows tells a process's DLLs of a new thread (DLL_THREAD_ATTACH) in
// the order they were loaded, so a module loaded before this one has had its turn.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdint>

extern "C" {

__declspec(dllexport) volatile std::uint32_t threadProbeX87 = 0;
__declspec(dllexport) volatile std::uint32_t threadProbeMxcsr = 0;

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_THREAD_ATTACH) {
        std::uint16_t x87 = 0;
        std::uint32_t mxcsr = 0;
        __asm__ volatile("fnstcw %0" : "=m"(x87));
        __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
        threadProbeX87 = x87;
        threadProbeMxcsr = mxcsr;
    }
    return TRUE;
}

}  // extern "C"
