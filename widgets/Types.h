#pragma once
// Plain value types shared by the whole component layer.

#include <cstdint>
#include <string>

using TColor = std::int32_t;

// Colours are 0x00BBGGRR; system colours have the top bit set and are
// resolved by the platform.
constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clGray = 0x808080;
constexpr TColor clBtnFace = static_cast<TColor>(0x8000000F);
constexpr TColor clWindowText = static_cast<TColor>(0x80000008);
constexpr TColor clWindow = static_cast<TColor>(0x80000005);
constexpr TColor clBtnShadow = static_cast<TColor>(0x80000010);
constexpr TColor clBtnHighlight = static_cast<TColor>(0x80000014);

enum TAlign { alNone = 0, alTop = 1, alBottom = 2, alLeft = 3, alRight = 4, alClient = 5 };

enum TMouseButton { mbLeft, mbRight, mbMiddle };

// Modifier keys and mouse buttons held during a mouse event.
enum TShiftFlag : unsigned {
  ssShift = 1u << 0,
  ssAlt = 1u << 1,
  ssCtrl = 1u << 2,
  ssLeft = 1u << 3,
  ssRight = 1u << 4,
  ssMiddle = 1u << 5,
};
using TShiftState = unsigned;

// How a window lies on the screen; a minimised window keeps the state it
// comes back to.
enum TWindowState { wsNormal, wsMaximized, wsFullScreen };

enum TCloseAction { caNone, caHide, caFree, caMinimize };

enum TOperation { opInsert, opRemove };

enum TCursor { crDefault, crHSplit, crVSplit };

// What assistive technology is told a control is. arDefault leaves it to the
// kind of control; a windowless control with it is not shown at all (a paint
// box is part of the picture, not something to visit).
enum TAccessibleRole : unsigned char { arDefault, arPane, arToolBar, arSeparator };

struct TPoint {
  int X = 0;
  int Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TRect&) const = default;
};

// Room an aligned control keeps free round itself inside the slot its
// alignment gives it.
struct TMargins {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const TMargins&) const = default;
};

// A control's font. Height below zero is the character height in pixels.
struct TFont {
  std::string Name = "MS Sans Serif";
  int Height = -11;
  TColor Color = clWindowText;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  bool operator==(const TFont&) const = default;
};
