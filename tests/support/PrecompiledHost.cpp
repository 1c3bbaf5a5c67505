// Compiles the tests' precompiled headers once; the test executables reuse them.
