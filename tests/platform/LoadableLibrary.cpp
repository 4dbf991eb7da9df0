// A shared library for the dynamic-library tests, whole or damaged by them.
extern "C" __attribute__((visibility("default"))) int vimoraLoadableAnswer() {
    return 42;
}
