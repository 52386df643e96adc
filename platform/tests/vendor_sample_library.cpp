// A stand-in vendor library for the dynamic library tests (built as RuzdSample.so).
extern "C" int RuzdSampleAdd(int a, int b) {
    return a + b;
}
