// Small move-only owners, one per kind of release call, so that every path releases
// what it took. Declare them in the order of acquisition; destruction runs in reverse.
#pragma once

#include <windows.h>

// The unzip library's owner template: one template for both binaries.
#include "unz_unique_handle.h"

// Registry key opened or created by us (never one of the predefined root keys).
using RegKey = UniqueHandle<NullEmpty<HKEY, &RegCloseKey>>;
// Pen, brush, bitmap or font we created (stock objects must not be given to it).
template <typename T>
using GdiObject = UniqueHandle<NullEmpty<T, &DeleteObject>>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;
// Memory device context from CreateCompatibleDC; select into it through SelectedObject,
// declared after it, so that the previous object is back before the context goes.
using MemoryDC = UniqueHandle<NullEmpty<HDC, &DeleteDC>>;
// File from CreateFile (null or INVALID_HANDLE_VALUE when empty).
using FileHandle = UniqueHandle<InvalidEmpty<&CloseHandle>>;
// Mutex or other named kernel object from a Create call, which answers null on failure.
using KernelObject = UniqueHandle<NullEmpty<HANDLE, &CloseHandle>>;
// Directory search from FindFirstFile.
using FindSearch = UniqueHandle<InvalidEmpty<&FindClose>>;
// Module from LoadLibrary.
using Library = UniqueHandle<NullEmpty<HMODULE, &FreeLibrary>>;
// Block from GlobalAlloc.
using GlobalBlock = UniqueHandle<NullEmpty<HGLOBAL, &GlobalFree>>;

// Selects an object into a context for a scope and puts the previous one back, so an
// owner may delete the object afterwards without it still being selected.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Device context from GetDC; keeps its window for ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint/EndPaint pair; keeps its PAINTSTRUCT. A BeginPaint that failed has nothing
// to end.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDC()
    {
        if (dc_) EndPaint(window_, &paint_);
    }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// COM interface pointer; Release on scope exit.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            ptr_ = other.ptr_;
            other.ptr_ = nullptr;
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    T** Put() { Reset(); return &ptr_; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    explicit operator bool() const { return ptr_ != nullptr; }
    void Reset()
    {
        if (ptr_) ptr_->Release();
        ptr_ = nullptr;
    }

private:
    T* ptr_ = nullptr;
};
