#pragma once
#include <cstddef>

// Counts the GDI and USER objects this program's own code holds, for a
// measuring program that looks for leaks. Wine's GetGuiResources answers 0
// for both, so every call the executable makes through its import table to
// a function that makes such an object (a pen, a brush, a font, a memory DC
// or bitmap; a window, a menu, an accelerator table) or frees one is routed
// through a counter that keeps the live handles. Device contexts borrowed
// from windows (GetDC, BeginPaint) are counted until given back.
//
// Objects that Windows frees on its own (a child window with its parent, a
// menu with its window) stay counted: compare counts taken while the
// program runs, not at its end.
namespace gui_objects {

// Routes the executable's imports through the counters; returns how many
// functions it found to route (those the program never calls are absent).
// Call once, before the objects to be counted are made.
int Install();

std::size_t Gdi();
std::size_t User();
std::size_t BorrowedDeviceContexts();
// Objects and borrowed device contexts counted in since Install, freed or not.
std::size_t MadeInAll();

// GetGuiResources for this process (0 under Wine).
unsigned long SystemGdi();
unsigned long SystemUser();

}  // namespace gui_objects
