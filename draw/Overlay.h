#pragma once

#include <string>
#include <vector>

#include "draw/OverlayFigures.h"

typedef struct _TTF_Font TTF_Font;

// The head-up figures: a translucent panel with lines of text in the top
// left corner, drawn after the 3D frame in an orthographic pass. Each
// line's text becomes a texture once and is kept while it is unchanged.
// GL and SDL_ttf: main thread, with the context current.
class Overlay {
public:
    static constexpr const char* kFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

    // Throws "[Overlay] ..." naming the font file when it cannot be opened.
    explicit Overlay(const std::string& fontPath = kFontPath, int pointSize = 0, int windowHeight = 768);
    ~Overlay();
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    // Draws the lines over whatever is in the frame (width x height
    // pixels); leaves the matrices and the state it changes as it found them.
    void draw(const std::vector<OverlayLine>& lines, int width, int height);

    // Textures made so far (each one a changed line).
    int texturesMade = 0;

private:
    struct Line {
        OverlayLine shown;
        unsigned int texture = 0;
        int width = 0, height = 0;  // of the text, pixels
        int textureWidth = 0, textureHeight = 0;
    };
    void render(Line& line, const OverlayLine& wanted);

    TTF_Font* font = nullptr;
    int lineHeight = 0;
    std::vector<Line> lines;
};
