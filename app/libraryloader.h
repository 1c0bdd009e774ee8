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
#include <unistd.h>

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

class LazyLibrary {
public:
    explicit LazyLibrary(const char* file) : file_(file) {}

    // Loads the library once (found beside the program through its run path); false when
    // it cannot be loaded.
    bool Load() {
        std::call_once(once_, [this] {
            void* handle = nullptr;
            for (const std::string& folder : ProgramSearchPath()) {
                std::string path = folder + "/" + file_;
                if (access(path.c_str(), F_OK) == 0 && (handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))) break;
            }
            if (!handle) handle = dlopen(file_, RTLD_NOW | RTLD_LOCAL);
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
    // The folders the program's own libraries are searched in (its run path with $ORIGIN
    // made the program's folder, then the system's), as the dynamic linker has them for the
    // program. The library is opened by its full path: a name alone is searched for from
    // the caller of dlopen, which is not the program when a sanitizer's runtime wraps it.
    static std::vector<std::string> ProgramSearchPath() {
        std::vector<std::string> folders;
        void* program = dlopen(nullptr, RTLD_LAZY);
        Dl_serinfo size{};
        if (!program || dlinfo(program, RTLD_DI_SERINFOSIZE, &size) != 0 || size.dls_size < sizeof size)
            return folders;
        std::vector<std::max_align_t> buffer(size.dls_size / sizeof(std::max_align_t) + 1);
        auto* info = reinterpret_cast<Dl_serinfo*>(buffer.data());
        if (dlinfo(program, RTLD_DI_SERINFOSIZE, info) != 0 || dlinfo(program, RTLD_DI_SERINFO, info) != 0)
            return folders;
        for (unsigned i = 0; i < info->dls_cnt; ++i) folders.emplace_back(info->dls_serpath[i].dls_name);
        return folders;
    }

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
