#pragma once
// Reference-counted interfaces as the component object model has them: IUnknown with
// QueryInterface, AddRef and Release, HRESULT codes, GUIDs, the class library's
// TInterfacedObject that counts references for its subclasses, and TComPtr, a holder that
// releases what it holds.
//
// An object made with new starts at count 0; the first holder's AddRef makes it 1 and the
// last Release deletes it. The count is atomic, so references may be passed between threads.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "platform/core/classes.h"
#include "platform/core/wintypes.h"

namespace platform {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = HRESULT(0x80004001u);
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);
constexpr HRESULT E_POINTER = HRESULT(0x80004003u);
constexpr HRESULT E_ABORT = HRESULT(0x80004004u);
constexpr HRESULT E_FAIL = HRESULT(0x80004005u);
constexpr HRESULT E_UNEXPECTED = HRESULT(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = HRESULT(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = HRESULT(0x80070057u);

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
    friend bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
};
using IID = GUID;
using REFIID = const IID&;

// {00000000-0000-0000-C000-000000000046}
constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

class IUnknown {
public:
    virtual HRESULT QueryInterface(REFIID riid, void** object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};

// A TObject whose lifetime follows its interface references. Subclasses answer their own
// interfaces in QueryInterface and pass the rest to the base, which knows IUnknown.
class TInterfacedObject : public TObject, public virtual IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown) {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refCount_; }
    ULONG Release() override {
        ULONG n = --refCount_;
        if (n == 0) delete this;
        return n;
    }
    ULONG RefCount() const { return refCount_; }

private:
    std::atomic<ULONG> refCount_{0};
};

// Holds one reference; copying adds one, destruction or Reset releases it.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    TComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    TComPtr(const TComPtr& o) : TComPtr(o.p_) {}
    TComPtr(TComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~TComPtr() { Reset(); }
    TComPtr& operator=(TComPtr o) {
        std::swap(p_, o.p_);
        return *this;
    }
    void Reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // Takes over a reference the caller already owns (an out parameter's).
    static TComPtr Attach(T* p) {
        TComPtr r;
        r.p_ = p;
        return r;
    }
    // Hands the reference to the caller (an out parameter).
    T* Detach() { return std::exchange(p_, nullptr); }
    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out parameters: releases what is held and gives the slot.
    T** Put() {
        Reset();
        return &p_;
    }

private:
    T* p_ = nullptr;
};

}  // namespace platform
