// A loadable library that is not a plug-in module: it exports a function, but no descriptor.
#if defined(_WIN32)
#define TEST_EXPORT __declspec(dllexport)
#else
#define TEST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" TEST_EXPORT int notAPlugIn() {
    return 1;
}
