// GIF pictures through GDI+'s flat interface, loaded from System32.
#include "platform/win32/win32_picture.hpp"

#include <objbase.h>
#include <objidl.h>

#include <cstring>
#include <string>
// GDI+'s headers expect the Windows types above.
#include <gdiplus.h>

namespace zimoklas::win32 {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// GDI+ taken from System32 by its full path when first needed. Imported, gdiplus.dll
// would be looked for beside the program file before System32, and before any of the
// program's code runs.
struct GdiplusApi {
  bool ok = false;
  decltype(&GdiplusStartup) Startup = nullptr;
  decltype(&GdiplusShutdown) Shutdown = nullptr;
  decltype(&GdipDisposeImage) DisposeImage = nullptr;
  decltype(&GdipCreateBitmapFromStream) CreateBitmapFromStream = nullptr;
  decltype(&GdipGetImageWidth) GetImageWidth = nullptr;
  decltype(&GdipGetImageHeight) GetImageHeight = nullptr;
  decltype(&GdipCloneBitmapAreaI) CloneBitmapAreaI = nullptr;
  decltype(&GdipCreateFromHDC) CreateFromHDC = nullptr;
  decltype(&GdipSetInterpolationMode) SetInterpolationMode = nullptr;
  decltype(&GdipSetPixelOffsetMode) SetPixelOffsetMode = nullptr;
  decltype(&GdipDrawImageRectI) DrawImageRectI = nullptr;
  decltype(&GdipDeleteGraphics) DeleteGraphics = nullptr;
};

template <class Function>
void Bind(HMODULE module, const char* name, Function& function, bool& ok) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  ok = ok && function != nullptr;
}

GdiplusApi LoadGdiplus() {
  GdiplusApi api;
  wchar_t folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return api;
  const std::wstring path = std::wstring(folder, length) + L"\\gdiplus.dll";
  HMODULE module = LoadLibraryW(path.c_str());  // kept for the life of the process
  if (module == nullptr) return api;
  bool ok = true;
  Bind(module, "GdiplusStartup", api.Startup, ok);
  Bind(module, "GdiplusShutdown", api.Shutdown, ok);
  Bind(module, "GdipDisposeImage", api.DisposeImage, ok);
  Bind(module, "GdipCreateBitmapFromStream", api.CreateBitmapFromStream, ok);
  Bind(module, "GdipGetImageWidth", api.GetImageWidth, ok);
  Bind(module, "GdipGetImageHeight", api.GetImageHeight, ok);
  Bind(module, "GdipCloneBitmapAreaI", api.CloneBitmapAreaI, ok);
  Bind(module, "GdipCreateFromHDC", api.CreateFromHDC, ok);
  Bind(module, "GdipSetInterpolationMode", api.SetInterpolationMode, ok);
  Bind(module, "GdipSetPixelOffsetMode", api.SetPixelOffsetMode, ok);
  Bind(module, "GdipDrawImageRectI", api.DrawImageRectI, ok);
  Bind(module, "GdipDeleteGraphics", api.DeleteGraphics, ok);
  api.ok = ok;
  return api;
}

const GdiplusApi& Api() {
  static const GdiplusApi api = LoadGdiplus();
  return api;
}

}  // namespace

GdiplusSession::GdiplusSession() {
  GdiplusStartupInput input;
  if (!Api().ok || Api().Startup(&token_, &input, nullptr) != Ok) token_ = 0;
}

GdiplusSession::~GdiplusSession() {
  if (token_ != 0) Api().Shutdown(token_);
}

Picture::~Picture() {
  if (image_ != nullptr) Api().DisposeImage(static_cast<GpImage*>(image_));
}

bool Picture::Load(HINSTANCE instance, int id) {
  if (!Api().ok) return false;
  HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
  if (resource == nullptr) return false;
  HGLOBAL loaded = LoadResource(instance, resource);
  const DWORD size = SizeofResource(instance, resource);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr || size == 0) return false;
  // GDI+ may read from the stream for as long as the image lives, so it gets its own
  // copy of the bytes, freed with the stream.
  HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
  if (copy == nullptr) return false;
  std::memcpy(GlobalLock(copy), bytes, size);
  GlobalUnlock(copy);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    GlobalFree(copy);
    return false;
  }
  GpBitmap* bitmap = nullptr;
  const Status status = Api().CreateBitmapFromStream(stream, &bitmap);
  stream->Release();
  if (status != Ok || bitmap == nullptr) return false;
  UINT w = 0, h = 0;
  Api().GetImageWidth(bitmap, &w);
  Api().GetImageHeight(bitmap, &h);
  // Kept as premultiplied 32-bit pixels: drawn onto a device-dependent bitmap, an indexed
  // image loses its transparent colour under Wine, while these blend everywhere.
  GpBitmap* blendable = nullptr;
  const Status converted = Api().CloneBitmapAreaI(0, 0, static_cast<INT>(w), static_cast<INT>(h),
                                                  PixelFormat32bppPARGB, bitmap, &blendable);
  Api().DisposeImage(bitmap);
  if (converted != Ok || blendable == nullptr) return false;
  image_ = blendable;
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  return true;
}

void Picture::Draw(HDC dc, int x, int y) const {
  if (image_ == nullptr) return;
  GpGraphics* graphics = nullptr;
  if (Api().CreateFromHDC(dc, &graphics) != Ok) return;
  Api().SetInterpolationMode(graphics, InterpolationModeNearestNeighbor);
  Api().SetPixelOffsetMode(graphics, PixelOffsetModeHalf);
  Api().DrawImageRectI(graphics, static_cast<GpImage*>(image_), x, y, width_, height_);
  Api().DeleteGraphics(graphics);
}

}  // namespace zimoklas::win32
