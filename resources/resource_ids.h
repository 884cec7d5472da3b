#pragma once
// Identifiers of the DLL's resources that its code loads by number; shared by the resource
// script and the C++ code.

// RT_GROUP_ICON: the product icon. The lowest icon number, so it is the one Explorer shows for the DLL.
#define IDI_PRODUCT_ICON 1

// RT_BITMAP: the face of the command-bar button, the picture of the form's MyIcon.
#define IDB_BUTTON_FACE 101

// RT_RCDATA: the welcome window's logo, a GIF.
#define IDR_LOGO 102

// RT_GROUP_CURSOR: the pointing hand over the welcome window's link.
#define IDC_HAND_POINTER 103

// RT_BITMAP: the mask of the command-bar button's face (white: transparent), for its Mask.
#define IDB_BUTTON_MASK 104

// RT_BITMAP: the ribbon button's 32 x 32 image, 32 bits a pixel with premultiplied alpha.
#define IDB_RIBBON_IMAGE 105
