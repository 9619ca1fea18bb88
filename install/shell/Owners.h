// Small move-only owners, one per kind of release call, so that every path releases
// what it took. Declare them in the order of acquisition; destruction runs in reverse.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

// Registry key opened or created by us (never one of the predefined root keys).
class RegKey {
public:
    RegKey() = default;
    explicit RegKey(HKEY key) : key_(key) {}
    ~RegKey() { Reset(); }
    RegKey(RegKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegKey& operator=(RegKey&& other) noexcept
    {
        if (this != &other) { Reset(); key_ = std::exchange(other.key_, nullptr); }
        return *this;
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY Get() const { return key_; }
    HKEY* Put() { Reset(); return &key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void Reset()
    {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }

private:
    HKEY key_ = nullptr;
};

// Pen, brush, bitmap or font we created (stock objects must not be given to it).
template <typename T>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(T object) : object_(object) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept
    {
        if (this != &other) { Reset(); object_ = std::exchange(other.object_, nullptr); }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    T Get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset()
    {
        if (object_) DeleteObject(object_);
        object_ = nullptr;
    }

private:
    T object_ = nullptr;
};

using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;

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

// BeginPaint/EndPaint pair; keeps its PAINTSTRUCT.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintDC() { EndPaint(window_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    HDC Get() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

// Memory device context from CreateCompatibleDC, for scoped drawing.
class MemoryDC {
public:
    MemoryDC() = default;
    explicit MemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDC() { Reset(); }
    MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
    MemoryDC& operator=(MemoryDC&& other) noexcept
    {
        if (this != &other) { Reset(); dc_ = std::exchange(other.dc_, nullptr); }
        return *this;
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;

    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }
    void Reset()
    {
        if (dc_) DeleteDC(dc_);
        dc_ = nullptr;
    }

private:
    HDC dc_ = nullptr;
};

// Kernel handle that is null or INVALID_HANDLE_VALUE when empty (files use the latter).
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Reset(); }
    FileHandle(FileHandle&& other) noexcept : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    FileHandle& operator=(FileHandle&& other) noexcept
    {
        if (this != &other) { Reset(); handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE); }
        return *this;
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    void Reset()
    {
        if (Valid()) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Directory search from FindFirstFile; INVALID_HANDLE_VALUE when empty.
class FindSearch {
public:
    explicit FindSearch(HANDLE search) : search_(search) {}
    ~FindSearch()
    {
        if (Valid()) FindClose(search_);
    }
    FindSearch(const FindSearch&) = delete;
    FindSearch& operator=(const FindSearch&) = delete;

    HANDLE Get() const { return search_; }
    bool Valid() const { return search_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE search_;
};

// Module from LoadLibrary.
class Library {
public:
    Library() = default;
    explicit Library(HMODULE module) : module_(module) {}
    ~Library() { Reset(); }
    Library(Library&& other) noexcept : module_(std::exchange(other.module_, nullptr)) {}
    Library& operator=(Library&& other) noexcept
    {
        if (this != &other) { Reset(); module_ = std::exchange(other.module_, nullptr); }
        return *this;
    }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    HMODULE Get() const { return module_; }
    explicit operator bool() const { return module_ != nullptr; }
    void Reset()
    {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }

private:
    HMODULE module_ = nullptr;
};

// Block from GlobalAlloc.
class GlobalBlock {
public:
    GlobalBlock() = default;
    explicit GlobalBlock(HGLOBAL block) : block_(block) {}
    ~GlobalBlock() { Reset(); }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL Get() const { return block_; }
    explicit operator bool() const { return block_ != nullptr; }
    void Reset()
    {
        if (block_) GlobalFree(block_);
        block_ = nullptr;
    }

private:
    HGLOBAL block_ = nullptr;
};

// COM interface pointer; Release on scope exit.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) { Reset(); ptr_ = std::exchange(other.ptr_, nullptr); }
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
