#pragma once
// Identifiers of the DLL's resources that its code loads by number; shared by the resource
// script and the C++ code.

// RT_BITMAP: the face of the command-bar button, the picture of the form's MyIcon.
#define IDB_BUTTON_FACE 101
