#include "draw/Overlay.h"

#include <GL/gl.h>
#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/Fatal.h"

namespace {

// Text colours (RGB) by line colour: plain white, on grade green, above
// grade amber, below grade red, warnings yellow.
void setColour(LineColour c)
{
    switch (c) {
    case LineColour::Plain: glColor4f(1.0f, 1.0f, 1.0f, 1.0f); break;
    case LineColour::OnGrade: glColor4f(0.35f, 1.0f, 0.35f, 1.0f); break;
    case LineColour::AboveGrade: glColor4f(1.0f, 0.7f, 0.2f, 1.0f); break;
    case LineColour::BelowGrade: glColor4f(1.0f, 0.3f, 0.3f, 1.0f); break;
    case LineColour::Warning: glColor4f(1.0f, 1.0f, 0.4f, 1.0f); break;
    }
}

constexpr float kPanelAlpha = 0.55f;  // the panel's opacity behind the text

int powerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

}  // namespace

Overlay::Overlay(const std::string& fontPath, int pointSize, int windowHeight)
{
    if (std::FILE* f = std::fopen(fontPath.c_str(), "rb"))
        std::fclose(f);
    else
        throwFatal("[Overlay] Font file not found: " + fontPath);
    if (!TTF_WasInit() && TTF_Init() != 0)
        throwFatal(std::string("[Overlay] Cannot start the font renderer: ") + TTF_GetError());
    // About 2 % of the window's height: 15 px at 768 lines, 20 at 1024.
    const int size = pointSize > 0 ? pointSize : std::max(12, windowHeight / 52);
    font = TTF_OpenFont(fontPath.c_str(), size);
    if (!font) {
        TTF_Quit();
        throwFatal("[Overlay] Cannot read the font file " + fontPath + ": " + TTF_GetError());
    }
    lineHeight = TTF_FontLineSkip(font);
}

Overlay::~Overlay()
{
    for (Line& l : lines)
        if (l.texture)
            glDeleteTextures(1, &l.texture);
    TTF_CloseFont(font);
    TTF_Quit();
}

void Overlay::render(Line& line, const OverlayLine& wanted)
{
    line.shown = wanted;
    line.width = line.height = 0;
    if (wanted.text.empty())
        return;
    // White text; the line's colour tints it when drawn.
    const SDL_Color white = {255, 255, 255, 0};
    SDL_Surface* text = TTF_RenderUTF8_Blended(font, wanted.text.c_str(), white);
    if (!text)
        return;  // a line the font cannot render is left out
    // The line's piece of the panel with the text on it, so that each pixel
    // is blended once: luminance a / alpha over a background of kPanelAlpha.
    const int padX = lineHeight / 2, padY = 2;
    line.width = text->w + 2 * padX;
    line.height = std::max(text->h, lineHeight) + 2 * padY;
    // Power-of-two textures: every GL 1.x driver takes them.
    line.textureWidth = powerOfTwo(line.width);
    line.textureHeight = powerOfTwo(line.height);
    std::vector<unsigned char> texels(static_cast<size_t>(line.textureWidth) * line.textureHeight * 2, 0);
    for (int y = 0; y < line.height; ++y)
        for (int x = 0; x < line.width; ++x)
            texels[(static_cast<size_t>(y) * line.textureWidth + x) * 2 + 1] =
                static_cast<unsigned char>(kPanelAlpha * 255.0f + 0.5f);
    SDL_LockSurface(text);
    const SDL_PixelFormat* f = text->format;
    for (int y = 0; y < text->h; ++y) {
        const Uint32* row = reinterpret_cast<const Uint32*>(static_cast<const Uint8*>(text->pixels) + y * text->pitch);
        for (int x = 0; x < text->w; ++x) {
            const float a = static_cast<float>((row[x] & f->Amask) >> f->Ashift) / 255.0f;
            const float alpha = a + kPanelAlpha * (1.0f - a);
            unsigned char* t = &texels[(static_cast<size_t>(y + padY) * line.textureWidth + x + padX) * 2];
            t[0] = static_cast<unsigned char>(a / alpha * 255.0f + 0.5f);
            t[1] = static_cast<unsigned char>(alpha * 255.0f + 0.5f);
        }
    }
    SDL_UnlockSurface(text);
    SDL_FreeSurface(text);
    if (!line.texture)
        glGenTextures(1, &line.texture);
    glBindTexture(GL_TEXTURE_2D, line.texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Byte-packed rows; the unpacking state is put back for the other textures' uploads.
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE_ALPHA, line.textureWidth, line.textureHeight, 0, GL_LUMINANCE_ALPHA,
                 GL_UNSIGNED_BYTE, texels.data());
    glPopClientAttrib();
    ++texturesMade;
}

void Overlay::draw(const std::vector<OverlayLine>& wanted, int width, int height)
{
    if (lines.size() < wanted.size())
        lines.resize(wanted.size());
    for (size_t i = 0; i < wanted.size(); ++i)
        if (!(lines[i].shown == wanted[i]) || (lines[i].texture == 0 && !wanted[i].text.empty()))
            render(lines[i], wanted[i]);
    if (wanted.empty())
        return;

    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);  // pixels, y down
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glDisable(GL_LIGHTING);
    glDisable(GL_CULL_FACE);
    glDisable(GL_FOG);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_3D);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    // Each line on its own piece of dark, translucent panel, as wide as its
    // text: readable over sky and ground, and few pixels to blend.
    const float margin = 10.0f;
    float y = margin;
    for (size_t i = 0; i < wanted.size(); ++i) {
        const Line& l = lines[i];
        if (!l.texture || l.width == 0)
            continue;
        const float s = static_cast<float>(l.width) / l.textureWidth, t = static_cast<float>(l.height) / l.textureHeight;
        glBindTexture(GL_TEXTURE_2D, l.texture);
        setColour(l.shown.colour);
        glBegin(GL_QUADS);
        glTexCoord2f(0.0f, 0.0f);
        glVertex2f(margin, y);
        glTexCoord2f(0.0f, t);
        glVertex2f(margin, y + l.height);
        glTexCoord2f(s, t);
        glVertex2f(margin + l.width, y + l.height);
        glTexCoord2f(s, 0.0f);
        glVertex2f(margin + l.width, y);
        glEnd();
        y += l.height;
    }

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}
