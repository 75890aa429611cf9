// GIF pictures through GDI+'s flat interface.
#include "platform/win32/win32_picture.hpp"

#include <objbase.h>
#include <objidl.h>

#include <cstring>
// GDI+'s headers expect the Windows types above.
#include <gdiplus.h>

namespace zimoklas::win32 {
namespace {

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

}  // namespace

GdiplusSession::GdiplusSession() {
  GdiplusStartupInput input;
  if (GdiplusStartup(&token_, &input, nullptr) != Ok) token_ = 0;
}

GdiplusSession::~GdiplusSession() {
  if (token_ != 0) GdiplusShutdown(token_);
}

Picture::~Picture() {
  if (image_ != nullptr) GdipDisposeImage(static_cast<GpImage*>(image_));
}

bool Picture::Load(HINSTANCE instance, int id) {
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
  const Status status = GdipCreateBitmapFromStream(stream, &bitmap);
  stream->Release();
  if (status != Ok || bitmap == nullptr) return false;
  UINT w = 0, h = 0;
  GdipGetImageWidth(bitmap, &w);
  GdipGetImageHeight(bitmap, &h);
  // Kept as premultiplied 32-bit pixels: drawn onto a device-dependent bitmap, an indexed
  // image loses its transparent colour under Wine, while these blend everywhere.
  GpBitmap* blendable = nullptr;
  const Status converted = GdipCloneBitmapAreaI(0, 0, static_cast<INT>(w), static_cast<INT>(h),
                                                PixelFormat32bppPARGB, bitmap, &blendable);
  GdipDisposeImage(bitmap);
  if (converted != Ok || blendable == nullptr) return false;
  image_ = blendable;
  width_ = static_cast<int>(w);
  height_ = static_cast<int>(h);
  return true;
}

void Picture::Draw(HDC dc, int x, int y) const {
  if (image_ == nullptr) return;
  GpGraphics* graphics = nullptr;
  if (GdipCreateFromHDC(dc, &graphics) != Ok) return;
  GdipSetInterpolationMode(graphics, InterpolationModeNearestNeighbor);
  GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
  GdipDrawImageRectI(graphics, static_cast<GpImage*>(image_), x, y, width_, height_);
  GdipDeleteGraphics(graphics);
}

}  // namespace zimoklas::win32
