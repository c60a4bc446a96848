// Buttons whose translated texts are wider than the layout's places: a row of
// buttons grows to fit them without any button covering another.
#pragma once

#include <vector>

namespace brindorel {

// The room a button's text needs beside it, at 96 DPI (both sides together):
// small enough that every button text of the built-in English set fits the
// layout's widths.
constexpr int kButtonTextPadding = 14;

struct RowButton {
  int x = 0;       // left edge
  int width = 0;   // the layout's width
  int needed = 0;  // the width its text asks for, padding included
};

// Fits a row of buttons given left to right, none overlapping the next: a
// button narrower than it needs grows to that width. The rightmost keeps its
// right edge; every button left of a grown one moves left by the growth to
// its right, so the gaps stay as they were. No button moves left of
// `leftLimit`: where the row would not fit, every growth is cut by the same
// share (those texts are then cut, the row still whole).
std::vector<RowButton> FitButtonRow(std::vector<RowButton> row, int leftLimit);

}  // namespace brindorel
