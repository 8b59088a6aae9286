// Owners of the Win32 handles both programs hold: each closes its handle exactly once, when it
// is reset or destroyed. Movable, never copied.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    void Reset(Handle handle = Traits::None()) {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    Handle Get() const { return handle_; }
    bool IsValid() const { return Traits::IsValid(handle_); }
    explicit operator bool() const { return IsValid(); }

private:
    Handle handle_ = Traits::None();
};

namespace handle_traits {

// A handle that is null when there is none, closed by Close.
template <typename H, auto Close_>
struct NullIsNone {
    using Handle = H;
    static Handle None() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr; }
    static void Close(Handle handle) { Close_(handle); }
};

// Kernel objects (files, processes, threads, events, mutexes): null and INVALID_HANDLE_VALUE
// both mean none, as the creating calls return one or the other.
struct Kernel {
    using Handle = HANDLE;
    static Handle None() { return nullptr; }
    static bool IsValid(Handle handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};

// A search of FindFirstFileA, which returns INVALID_HANDLE_VALUE when nothing matches.
struct Find {
    using Handle = HANDLE;
    static Handle None() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle handle) { return handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};

inline void DeleteGdiObject(HGDIOBJ object) { DeleteObject(object); }

}  // namespace handle_traits

using KernelHandle = UniqueHandle<handle_traits::Kernel>;
using FindHandle = UniqueHandle<handle_traits::Find>;
using ModuleHandle = UniqueHandle<handle_traits::NullIsNone<HMODULE, FreeLibrary>>;
using RegistryKeyHandle = UniqueHandle<handle_traits::NullIsNone<HKEY, RegCloseKey>>;
using IconHandle = UniqueHandle<handle_traits::NullIsNone<HICON, DestroyIcon>>;
using MenuHandle = UniqueHandle<handle_traits::NullIsNone<HMENU, DestroyMenu>>;
using BitmapHandle = UniqueHandle<handle_traits::NullIsNone<HBITMAP, handle_traits::DeleteGdiObject>>;
using DcHandle = UniqueHandle<handle_traits::NullIsNone<HDC, DeleteDC>>;
// Memory that the system allocated for the caller with LocalAlloc (security descriptors).
using LocalMemory = UniqueHandle<handle_traits::NullIsNone<HLOCAL, LocalFree>>;

// An object selected into a device context for one scope; the previous one is selected back.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(dc != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~SelectedObject() {
        if (dc_ != nullptr) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// One reference to a COM interface.
template <class Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    Interface* operator->() const { return pointer_; }
    Interface* Get() const { return pointer_; }
    // Where a creating call stores the new reference (the slot must be empty).
    Interface** Out() { return &pointer_; }
    void** OutVoid() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

// COM's single-threaded apartment for the constructing thread, for the owner's lifetime.
class ComApartment {
public:
    ComApartment() : failed_(FAILED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (!failed_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Failed() const { return failed_; }

private:
    bool failed_;
};

// A critical section, and its lock for one scope.
class CriticalSection {
public:
    CriticalSection() { InitializeCriticalSection(&section_); }
    ~CriticalSection() { DeleteCriticalSection(&section_); }
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

private:
    friend class CriticalSectionLock;
    CRITICAL_SECTION section_;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CriticalSection& section) : section_(section.section_) {
        EnterCriticalSection(&section_);
    }
    ~CriticalSectionLock() { LeaveCriticalSection(&section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& section_;
};
