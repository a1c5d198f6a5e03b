#pragma once

#include "DynArray.h"
#include "Scene.h"
#include "ViewOptions.h"

#include <QImage>
#include <string>

// What a picture of an object shows. The defaults are the main window's at start-up, so a
// picture at the view's size equals the view's first frame.
struct PictureOptions {
    int width = kViewDesignWidth;    // pixels
    int height = kViewDesignHeight;
    ObjectPose pose;              // turned, moved and sized as the window's transform does
    ViewOptions view;             // render switches (ground and axes among them) and light position
    int ambient = 3;              // light track bar positions, 1..10
    int diffuse = 7;
    int specular = 10;
    // The folder bare texture names are looked up in, as the window looks them up in the
    // folder an object was opened from; empty: the current folder.
    std::string textureFolder;
};

// Leaves object and pose as they are when the whole object lies in the picture with them,
// and otherwise moves the object to the middle and sizes it down until it does, whatever
// its size and place. The corners themselves are sized, not the pose: the view's light
// takes the length of the normals it is given, which a sized pose would change.
void FrameObject(CDynArray& list, PictureOptions& options);

// Draws the object with the window's own scene code into an offscreen OpenGL context, with
// no display. Textured records get their bitmaps as in the window (names relative to the
// texture folder; a missing bitmap draws as the window draws it); their texture names are
// given back unchanged afterwards. Returns false with a one-line reason when the options are
// out of range or no offscreen context can be had.
bool RenderPicture(CDynArray& list, const PictureOptions& options, QImage& image,
                   std::string& error);
