#pragma once

// Our windows and clickable pictures as assistive technology should meet them: a window of the class named a frame,
// or a dialog when its flags make it one (plain widgets pass for fillers), a picture with a ClickFilter a button it
// can press. Call before a window's widgets are made: a widget's accessible face, once made, is kept.
void useAccessibleRoles(const char* windowClass = nullptr);
