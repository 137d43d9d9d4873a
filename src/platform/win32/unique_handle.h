// RAII owners for Win32 handles. Each alias names the handle's own invalid value (NULL or
// INVALID_HANDLE_VALUE) and the one function that releases it, so no raw CloseHandle or
// RegCloseKey appears in control flow.
#pragma once

#include <windows.h>

#include <utility>

namespace ost::win {

// Traits: `type`, `Invalid()` and `Close(type)`.
template <typename Traits>
class UniqueAny {
  public:
    using T = typename Traits::type;
    UniqueAny() = default;
    explicit UniqueAny(T value) : value_(value) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : value_(std::exchange(other.value_, Traits::Invalid())) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.value_, Traits::Invalid()));
        return *this;
    }
    ~UniqueAny() { reset(); }

    T get() const { return value_; }
    explicit operator bool() const { return value_ != Traits::Invalid(); }
    T release() { return std::exchange(value_, Traits::Invalid()); }
    void reset(T value = Traits::Invalid()) {
        T old = std::exchange(value_, value);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }
    // For out-parameters: releases the current value and hands out its slot.
    T* put() {
        reset();
        return &value_;
    }

  private:
    T value_ = Traits::Invalid();
};

template <typename H, H (*InvalidValue)(), void (*CloseFn)(H)>
struct HandleTraits {
    using type = H;
    static H Invalid() { return InvalidValue(); }
    static void Close(H h) { CloseFn(h); }
};

namespace detail {
inline HANDLE NullHandle() {
    return nullptr;
}
inline HANDLE InvalidHandle() {
    return INVALID_HANDLE_VALUE;
}
template <typename H>
H Null() {
    return nullptr;
}
inline void CloseHandle(HANDLE h) {
    ::CloseHandle(h);
}
inline void FindClose(HANDLE h) {
    ::FindClose(h);
}
inline void RegCloseKey(HKEY k) {
    ::RegCloseKey(k);
}
inline void FreeLibrary(HMODULE m) {
    ::FreeLibrary(m);
}
inline void DeleteObject(HGDIOBJ o) {
    ::DeleteObject(o);
}
inline void DestroyIcon(HICON i) {
    ::DestroyIcon(i);
}
}  // namespace detail

using UniqueHandle = UniqueAny<HandleTraits<HANDLE, detail::NullHandle, detail::CloseHandle>>;  // processes, events
using UniqueFile = UniqueAny<HandleTraits<HANDLE, detail::InvalidHandle, detail::CloseHandle>>;
using UniqueFindHandle = UniqueAny<HandleTraits<HANDLE, detail::InvalidHandle, detail::FindClose>>;
using UniqueHKey = UniqueAny<HandleTraits<HKEY, detail::Null<HKEY>, detail::RegCloseKey>>;
using UniqueHModule = UniqueAny<HandleTraits<HMODULE, detail::Null<HMODULE>, detail::FreeLibrary>>;
using UniqueGdiObject = UniqueAny<HandleTraits<HGDIOBJ, detail::Null<HGDIOBJ>, detail::DeleteObject>>;
using UniqueHIcon = UniqueAny<HandleTraits<HICON, detail::Null<HICON>, detail::DestroyIcon>>;

}  // namespace ost::win
