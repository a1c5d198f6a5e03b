#include "TextureLoader.h"

#include "BitmapFile.h"

#include <GL/gl.h>
#include <GL/glu.h>

uint32_t LoadTexture(const std::string& fileName, int minFilter, int magFilter, int wrapMode)
{
    std::optional<BitmapImage> image = ReadBitmapFile(fileName);
    if (!image)
        return 0;
    SwapRedBlue(*image);

    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrapMode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrapMode);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    // Rows are padded to 4 bytes in the file, which is the GL's unpack alignment.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (minFilter == GL_LINEAR || minFilter == GL_NEAREST) {
        glTexImage2D(GL_TEXTURE_2D, 0, 3, image->width, image->height, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, image->pixels.data());
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image->width, image->height, GL_RGB,
                          GL_UNSIGNED_BYTE, image->pixels.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return name;
}
