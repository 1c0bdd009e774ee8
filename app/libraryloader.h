#pragma once
// A library of the program folder that is loaded when one of its functions is first called,
// not at start: the converter, the preview player and the DVD reader bring the media
// libraries (codecs, sound, disc reading) with them, and loading those is most of what a
// start would cost. The program defines the libraries' functions under their own names
// (converterloader.cpp, playerloader.cpp, dvdreadloader.cpp), so callers are the same as
// with the libraries linked; tests link the libraries themselves.
//
// A library that cannot be loaded makes its functions return their error result; the
// reason is kept for the message the user sees.
#include <dlfcn.h>

#include <atomic>
#include <mutex>
#include <string>

class LazyLibrary {
public:
    explicit LazyLibrary(const char* file) : file_(file) {}

    // Loads the library once (found beside the program through its run path); false when
    // it cannot be loaded.
    bool Load() {
        std::call_once(once_, [this] {
            void* handle = dlopen(file_, RTLD_NOW | RTLD_LOCAL);
            if (!handle) {
                const char* why = dlerror();
                SetError(std::string(file_) + " could not be loaded: " + (why ? why : "unknown error"));
            }
            handle_.store(handle);
        });
        return handle_.load() != nullptr;
    }
    bool Loaded() const { return handle_.load() != nullptr; }

    // The library's function of that name, or nullptr when the library or the function is
    // missing.
    template <class F> F Find(const char* name) {
        if (!Load()) return nullptr;
        void* symbol = dlsym(handle_.load(), name);
        if (!symbol) SetError(std::string(file_) + " has no function " + name);
        return reinterpret_cast<F>(symbol);
    }

    // Why the library or a function is missing; empty while nothing failed.
    std::string Error() {
        std::lock_guard lock(errorLock_);
        return error_;
    }

private:
    void SetError(std::string text) {
        std::lock_guard lock(errorLock_);
        error_ = std::move(text);
    }

    const char* file_;
    std::once_flag once_;
    std::atomic<void*> handle_{nullptr};
    std::mutex errorLock_;
    std::string error_;
};
