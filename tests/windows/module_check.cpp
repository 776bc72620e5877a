// tarvel-module-check MODULE THREAD_PROBE_DLL: reads the module file's version resource through
// the Windows API and compares every item with what the file must carry, then loads the module
// and checks that the floating-point state of the loading thread, and of threads started
// afterwards, is left as it was. Prints every difference; the exit code is the number of failed
// checks (at most 100).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <float.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

int failures = 0;

void check(bool ok, const std::string& what, const std::string& detail) {
    if (!ok) {
        ++failures;
        std::printf("FAIL %s: %s\n", what.c_str(), detail.c_str());
    }
}

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
    return text;
}

void checkNumber(const std::string& what, std::uint32_t actual, std::uint32_t expected) {
    check(actual == expected, what, hex(actual) + " instead of " + hex(expected));
}

std::string utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text) {
        // The expected texts are ASCII; anything else shows as its code.
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\u" + hex(static_cast<std::uint32_t>(c)).substr(2);
        }
    }
    return out;
}

std::wstring wide(const char* text) {
    const int size = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(size, 1)), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, out.data(), size);
    out.resize(out.size() - 1);
    return out;
}

void checkVersionResource(const std::wstring& path) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) {
        check(false, "version resource",
              "none found (error " + std::to_string(GetLastError()) + ")");
        return;
    }
    std::vector<unsigned char> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) {
        check(false, "version resource", "cannot be read");
        return;
    }
    void* value = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        check(false, "fixed file information", "missing");
    } else {
        const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
        checkNumber("signature", fixed.dwSignature, 0xFEEF04BD);
        checkNumber("file version (high)", fixed.dwFileVersionMS, 0x00010000);  // 1.0
        checkNumber("file version (low)", fixed.dwFileVersionLS, 0x0001014A);   // 1.330
        checkNumber("product version (high)", fixed.dwProductVersionMS, 0x00010000);
        checkNumber("product version (low)", fixed.dwProductVersionLS, 0x00000001);
        checkNumber("file flags mask", fixed.dwFileFlagsMask, 0x3F);
        checkNumber("file flags", fixed.dwFileFlags, 0);
        checkNumber("file OS", fixed.dwFileOS, 0x40004);
        checkNumber("file type", fixed.dwFileType, VFT_DLL);
        checkNumber("file subtype", fixed.dwFileSubtype, 0);
    }
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) ||
        length != 4) {
        check(false, "translation", "missing or not one language and code page");
    } else {
        const auto* words = static_cast<const WORD*>(value);
        checkNumber("translation language", words[0], 0x0415);
        checkNumber("translation code page", words[1], 0x04B0);
    }
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } strings[] = {
        {L"FileVersion", L"1, 0, 0, 330"},    {L"ProductVersion", L"1, 0, 0, 1"},
        {L"FileDescription", L"Tarvel Tool"}, {L"ProductName", L"Tarvel Tool"},
        {L"InternalName", L"tarvel"},         {L"OriginalFilename", L"tarvel.p"},
    };
    for (const auto& expected : strings) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\041504b0\\") + expected.name;
        const std::string name = utf8(expected.name);
        if (!VerQueryValueW(block.data(), query.c_str(), &value, &length)) {
            check(false, name, "missing from block 041504b0");
            continue;
        }
        // The length counts characters, the terminating null included.
        const std::wstring actual(static_cast<const wchar_t*>(value), length > 0 ? length - 1 : 0);
        check(actual == expected.value, name,
              "\"" + utf8(actual) + "\" instead of \"" + utf8(expected.value) + "\"");
    }
}

BOOL CALLBACK addLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR languages) {
    reinterpret_cast<std::vector<WORD>*>(languages)->push_back(language);
    return TRUE;
}

void checkResourceLanguage(const std::wstring& path) {
    HMODULE data = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (data == nullptr) {
        check(false, "resource language", "module cannot be opened as data");
        return;
    }
    std::vector<WORD> languages;
    EnumResourceLanguagesW(data, MAKEINTRESOURCEW(16) /* RT_VERSION */,
                           MAKEINTRESOURCEW(VS_VERSION_INFO), addLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    FreeLibrary(data);
    check(languages.size() == 1 && languages[0] == 0x0415, "version resource language",
          languages.empty() ? std::string("none")
                            : hex(languages[0]) + " (" + std::to_string(languages.size()) +
                                  " languages) instead of 0x415 alone");
}

struct FloatState {
    std::uint16_t x87 = 0;
    std::uint32_t sse = 0;
    bool operator==(const FloatState&) const = default;
    std::string text() const { return "x87 " + hex(x87) + ", MXCSR " + hex(sse); }
};

FloatState floatState() {
    FloatState state;
    __asm__ volatile("fnstcw %0" : "=m"(state.x87));
    __asm__ volatile("stmxcsr %0" : "=m"(state.sse));
    return state;
}

DWORD WINAPI doNothing(void*) {
    return 0;
}

/// The state a new thread has once the DLLs loaded so far, and then `probe`, have seen it
/// start (see thread_probe.cpp).
FloatState newThreadState(const std::wstring& probe) {
    FloatState state;
    HMODULE library = LoadLibraryW(probe.c_str());
    if (library == nullptr) {
        check(false, "thread probe", "cannot be loaded");
        return state;
    }
    const auto* x87 = reinterpret_cast<volatile std::uint32_t*>(
        reinterpret_cast<void*>(GetProcAddress(library, "threadProbeX87")));
    const auto* sse = reinterpret_cast<volatile std::uint32_t*>(
        reinterpret_cast<void*>(GetProcAddress(library, "threadProbeMxcsr")));
    HANDLE thread = CreateThread(nullptr, 0, doNothing, nullptr, 0, nullptr);
    if (x87 == nullptr || sse == nullptr || thread == nullptr) {
        check(false, "thread probe", "no probe values or no thread");
    } else {
        WaitForSingleObject(thread, INFINITE);
        state.x87 = static_cast<std::uint16_t>(*x87);
        state.sse = *sse;
    }
    if (thread != nullptr) {
        CloseHandle(thread);
    }
    FreeLibrary(library);
    return state;
}

// MinGW's run-time carries _fpreset (fninit: the x87 unit back to 64-bit precision) for new
// threads; a module that ran it, on loading or for each new thread, would change how the
// modeller's own code rounds. (Wine gives a thread its initial state again once the DLLs have
// seen it start, so only a DLL loaded after the module can see what the module did.)
void checkFloatStateKept(const std::wstring& path, const std::wstring& probe) {
    _controlfp(_PC_53, _MCW_PC);  // as a modeller built with Microsoft's compiler runs
    const FloatState loader = floatState();
    const FloatState thread = newThreadState(probe);
    HMODULE module = LoadLibraryW(path.c_str());
    if (module == nullptr) {
        check(false, "loading", "the module cannot be loaded");
        return;
    }
    check(GetProcAddress(module, "_mod_descrip") != nullptr, "loading", "no _mod_descrip");
    const FloatState afterLoad = floatState();
    const FloatState threadAfterLoad = newThreadState(probe);
    FreeLibrary(module);
    const FloatState afterUnload = floatState();
    check(afterLoad == loader, "loading thread's floating-point state",
          afterLoad.text() + " after loading, " + loader.text() + " before");
    check(threadAfterLoad == thread, "new thread's floating-point state",
          threadAfterLoad.text() + " with the module loaded, " + thread.text() + " without");
    check(afterUnload == loader, "floating-point state after unloading",
          afterUnload.text() + " instead of " + loader.text());
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc != 3) {
        std::printf("usage: tarvel-module-check MODULE THREAD_PROBE_DLL\n");
        return 100;
    }
    const std::wstring path = wide(argv[1]);
    checkVersionResource(path);
    checkResourceLanguage(path);
    checkFloatStateKept(path, wide(argv[2]));
    std::printf("%s: %d checks failed\n", argv[1], failures);
    return std::min(failures, 100);
}
