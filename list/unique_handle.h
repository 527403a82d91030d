#pragma once

#include "native_char.h"

// Owns one platform handle and closes it when it goes out of scope. Traits
// give the handle's type, its "none" value and how it is closed: descriptors
// and files share NativeHandleTraits, the platforms add their own (find
// handles on Windows).
template <typename Traits>
class UniqueHandle {
  public:
    using Type = typename Traits::Type;

    UniqueHandle() : handle_(Traits::None()) {}
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return handle_; }
    bool Valid() const { return Traits::Valid(handle_); }
    void Reset(Type handle = Traits::None()) {
        if (Traits::Valid(handle_)) {
            Traits::Close(handle_);
        }
        handle_ = handle;
    }
    Type Release() {
        Type handle = handle_;
        handle_ = Traits::None();
        return handle;
    }

  private:
    Type handle_;
};

// Descriptors on POSIX, file handles on Windows; defined by each platform.
struct NativeHandleTraits {
    using Type = NativeHandle;
    static NativeHandle None();
    static bool Valid(NativeHandle handle);
    static void Close(NativeHandle handle);
};

using FileHandle = UniqueHandle<NativeHandleTraits>;
