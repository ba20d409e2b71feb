#include <windows.h>

#include <vector>

#include "tests/host/desktop.h"

namespace ombrix::test {

namespace {

bool SendButton(DWORD flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  return SendInput(1, &input, sizeof input) == 1;
}

}  // namespace

bool MovePointer(int x, int y) {
  // SetCursorPos moves the pointer without a mouse event; the relative move
  // of zero after it makes Windows deliver the move to the window below.
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = MOUSEEVENTF_MOVE;
  return SetCursorPos(x, y) && SendInput(1, &input, sizeof input) == 1;
}
bool PressLeftButton() { return SendButton(MOUSEEVENTF_LEFTDOWN); }
bool ReleaseLeftButton() { return SendButton(MOUSEEVENTF_LEFTUP); }

juce::Image ScreenArea(juce::Rectangle<int> area) {
  const int width = area.getWidth(), height = area.getHeight();
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, area.getX(), area.getY(), SRCCOPY) != 0;
  SelectObject(memory, previous);

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<DWORD> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  const bool read =
      copied && GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) == height;
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!read) return {};

  juce::Image image(juce::Image::RGB, width, height, false);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const DWORD pixel =
          pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
      image.setPixelAt(x, y,
                       juce::Colour(static_cast<juce::uint8>(pixel >> 16), static_cast<juce::uint8>(pixel >> 8),
                                    static_cast<juce::uint8>(pixel)));
    }
  return image;
}

}  // namespace ombrix::test
