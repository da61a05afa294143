#pragma once

// Our windows and clickable pictures as assistive technology should meet them: the main window a frame and the
// About window a dialog (plain widgets pass for fillers), a picture with a ClickFilter a button it can press.
// Call before a window's widgets are made: a widget's accessible face, once made, is kept.
void useAccessibleRoles();
