// Tiny owners of Windows handles, so that every key, file, module, icon and
// COM object is released on every path.
#ifndef KORVANE_REGISTRY_HANDLES_H
#define KORVANE_REGISTRY_HANDLES_H

#include <windows.h>
#include <commctrl.h>
#include <oleauto.h>

#include <utility>

template <typename Handle, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, Handle{})) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) reset(std::exchange(other.handle_, Handle{}));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    Handle* put() { reset(); return &handle_; }
    Handle release() { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{})
    {
        if (handle_) Traits::Close(handle_);
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != Handle{}; }

private:
    Handle handle_{};
};

struct KeyTraits { static void Close(HKEY key) { RegCloseKey(key); } };
struct ModuleTraits { static void Close(HMODULE module) { FreeLibrary(module); } };
struct IconTraits { static void Close(HICON icon) { DestroyIcon(icon); } };
struct BitmapTraits { static void Close(HBITMAP bitmap) { DeleteObject(bitmap); } };
struct ImageListTraits { static void Close(HIMAGELIST list) { ImageList_Destroy(list); } };
struct ComTraits { template <typename Interface> static void Close(Interface* object) { object->Release(); } };
struct BstrTraits { static void Close(BSTR text) { SysFreeString(text); } };
struct FileTraits { static void Close(HANDLE file) { CloseHandle(file); } };
struct LocalTraits { static void Close(HLOCAL memory) { LocalFree(memory); } };

using RegKey = UniqueHandle<HKEY, KeyTraits>;
using UniqueModule = UniqueHandle<HMODULE, ModuleTraits>;
using UniqueIcon = UniqueHandle<HICON, IconTraits>;
using UniqueBitmap = UniqueHandle<HBITMAP, BitmapTraits>;
using UniqueImageList = UniqueHandle<HIMAGELIST, ImageListTraits>;
template <typename Interface>
using ComPtr = UniqueHandle<Interface*, ComTraits>;
using UniqueBstr = UniqueHandle<BSTR, BstrTraits>;
using UniqueLocal = UniqueHandle<HLOCAL, LocalTraits>;
// A file handle; CreateFileW's INVALID_HANDLE_VALUE becomes the empty one.
using UniqueFile = UniqueHandle<HANDLE, FileTraits>;
inline UniqueFile FileHandle(HANDLE file) { return UniqueFile(file == INVALID_HANDLE_VALUE ? nullptr : file); }

#endif
