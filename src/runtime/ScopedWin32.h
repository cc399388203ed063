// ScopedWin32: owners of GDI resources and kernel handles that release them
// when their scope ends, whichever way it ends, so that no drawing path pairs a creation with
// its release by hand. Each owner is never copied; the GDI object owner can
// be moved and reset. Declare them in the order of use (device context,
// object, selection): the scope ends them in reverse, so a selection is
// undone before its object is deleted and the object before its context.
// Win32 only.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

// A kernel object's handle (process, thread, job, snapshot), closed with
// CloseHandle; null holds nothing. Functions that answer
// INVALID_HANDLE_VALUE for a failure are checked before the handle is given
// to it.
struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

// A GDI object (pen, brush, font, bitmap, palette, region), deleted with
// DeleteObject. Null is allowed and deletes nothing.
template <class T>
class ScopedGdiObj {
 public:
  explicit ScopedGdiObj(T object = nullptr) : object_(object) {}
  ScopedGdiObj(ScopedGdiObj&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  ScopedGdiObj& operator=(ScopedGdiObj&& other) noexcept {
    Reset(std::exchange(other.object_, nullptr));
    return *this;
  }
  ScopedGdiObj(const ScopedGdiObj&) = delete;
  ScopedGdiObj& operator=(const ScopedGdiObj&) = delete;
  ~ScopedGdiObj() { Reset(); }

  T Get() const { return object_; }
  operator T() const { return object_; }
  // Deletes the object held and holds object instead.
  void Reset(T object = nullptr) {
    if (object_) DeleteObject(object_);
    object_ = object;
  }

 private:
  T object_;
};

// The device context of a window (or of the screen, for a null window),
// released with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  ~ScopedGetDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  operator HDC() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// A memory device context compatible with dc (the screen for null), deleted
// with DeleteDC. Movable, so that a record can hold one.
class ScopedMemoryDC {
 public:
  ScopedMemoryDC() = default;
  explicit ScopedMemoryDC(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
  ScopedMemoryDC(ScopedMemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}
  ScopedMemoryDC& operator=(ScopedMemoryDC&& other) noexcept {
    if (dc_) DeleteDC(dc_);
    dc_ = std::exchange(other.dc_, nullptr);
    return *this;
  }
  ScopedMemoryDC(const ScopedMemoryDC&) = delete;
  ScopedMemoryDC& operator=(const ScopedMemoryDC&) = delete;
  ~ScopedMemoryDC() {
    if (dc_) DeleteDC(dc_);
  }
  operator HDC() const { return dc_; }

 private:
  HDC dc_ = nullptr;
};

// An object selected into a device context, the context's previous object
// selected back when the scope ends. A null object or context selects
// nothing.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc && object ? SelectObject(dc, object) : nullptr) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// A logical palette selected into a device context (palettes are not
// selected with SelectObject), the previous palette selected back the same
// way when the scope ends. A null palette or context selects nothing.
class ScopedSelectPalette {
 public:
  ScopedSelectPalette(HDC dc, HPALETTE palette, bool background)
      : dc_(dc), background_(background), old_(dc && palette ? SelectPalette(dc, palette, background) : nullptr) {}
  ScopedSelectPalette(const ScopedSelectPalette&) = delete;
  ScopedSelectPalette& operator=(const ScopedSelectPalette&) = delete;
  ~ScopedSelectPalette() {
    if (old_) SelectPalette(dc_, old_, background_);
  }

 private:
  HDC dc_;
  BOOL background_;
  HPALETTE old_;
};
