// Owners of the user-interface handles the notifier creates: one owner per handle.
#pragma once

#include <windows.h>

#include <utility>

template <typename Handle, BOOL(WINAPI* Free)(Handle)>
class UniqueUserHandle {
public:
    UniqueUserHandle() = default;
    explicit UniqueUserHandle(Handle handle) : handle_(handle) {}
    UniqueUserHandle(const UniqueUserHandle&) = delete;
    UniqueUserHandle& operator=(const UniqueUserHandle&) = delete;
    UniqueUserHandle(UniqueUserHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueUserHandle& operator=(UniqueUserHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~UniqueUserHandle() { Reset(); }

    void Reset(Handle handle = nullptr) {
        if (handle_ != nullptr) Free(handle_);
        handle_ = handle;
    }
    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    Handle handle_ = nullptr;
};

inline BOOL WINAPI FreeBitmap(HBITMAP bitmap) { return DeleteObject(bitmap); }

using IconHandle = UniqueUserHandle<HICON, DestroyIcon>;
using MenuHandle = UniqueUserHandle<HMENU, DestroyMenu>;
using BitmapHandle = UniqueUserHandle<HBITMAP, FreeBitmap>;
