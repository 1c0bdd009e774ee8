#pragma once
// For a test program whose threads run the media libraries (FFmpeg): include it in exactly
// one of its source files. Those libraries are not built for ThreadSanitizer, so their own
// atomics and locks are invisible to it and what they allocate and free on their threads
// would look like races. Calls from inside them are left out; our own code stays checked.

#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libavutil.so\n"
           "called_from_lib:libavcodec.so\n"
           "called_from_lib:libavformat.so\n"
           "called_from_lib:libavfilter.so\n"
           "called_from_lib:libswscale.so\n"
           "called_from_lib:libswresample.so\n";
}
#endif
