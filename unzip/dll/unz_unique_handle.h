// One move-only owner for every kind of handle that a single call releases, shared by the
// DLL and the setup program. The traits say what an empty owner holds and which call
// releases; each kind is then a one-line alias, e.g.
//   using RegKey = UniqueHandle<NullEmpty<HKEY, &RegCloseKey>>;
// Header only and without static data, so the DLL stays free of constructors to run.
#pragma once

#include <windows.h>

// Handles that are null when empty (keys, GDI objects, modules, memory blocks).
template <typename T, auto Close>
struct NullEmpty {
    using Type = T;
    static Type Empty() { return nullptr; }
    static bool IsLive(Type value) { return value != nullptr; }
    static void Release(Type value) { Close(value); }
};

// Kernel handles of files and searches: INVALID_HANDLE_VALUE when empty, and never null
// when live either.
template <auto Close>
struct InvalidEmpty {
    using Type = HANDLE;
    static Type Empty() { return INVALID_HANDLE_VALUE; }
    static bool IsLive(Type value) { return value != INVALID_HANDLE_VALUE && value != nullptr; }
    static void Release(Type value) { Close(value); }
};

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type value) : value_(value) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Detach()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Detach());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const { return value_; }
    bool Valid() const { return Traits::IsLive(value_); }
    explicit operator bool() const { return Valid(); }

    // For calls that deliver the handle through an out parameter.
    Type* Put()
    {
        Reset();
        return &value_;
    }

    // Gives up ownership without releasing, for a caller that releases itself and needs
    // the release call's result.
    Type Detach()
    {
        Type value = value_;
        value_ = Traits::Empty();
        return value;
    }

    void Reset(Type value = Traits::Empty())
    {
        if (Traits::IsLive(value_)) Traits::Release(value_);
        value_ = value;
    }

private:
    Type value_ = Traits::Empty();
};
