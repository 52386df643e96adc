#include "app/window/toolbar_images.h"

namespace ruzd::app::window {

namespace {

// Each picture is 16 rows of 16 palette letters; '.' is magenta, the transparent colour.
struct Picture {
    const char* rows[16];
};

// Bitmap 140.
constexpr Picture kHardExit = {{
    "................",
    ".....rrrrrr.....",
    "....rrrrrrrr....",
    "...rrrrrrrrrr...",
    "..rrrrrrrrrrrr..",
    ".rrrrrrrrrrrrrr.",
    ".rrwwwwwwwwwwrr.",
    ".rrwwwwwwwwwwrr.",
    ".rrwwwwwwwwwwrr.",
    ".rrwwwwwwwwwwrr.",
    ".rrrrrrrrrrrrrr.",
    "..rrrrrrrrrrrr..",
    "...rrrrrrrrrr...",
    "....rrrrrrrr....",
    ".....rrrrrr.....",
    "................",
}};

// Bitmap 136.
constexpr Picture kStopNode = {{
    "................",
    "..kkkkkkkk......",
    "..kyyyyyyk......",
    "..kyyyyyyk......",
    "..kyyyyyyk......",
    "..kyyyyyyk......",
    "..kyyyyyyk..r...",
    "..kyyyyyyk...r..",
    "..kyyyyyrrrrrrr.",
    "..kyyyyyyk...r..",
    "..kyyyyyyk..r...",
    "..kyyyyyyk......",
    "..kyyyyyyk......",
    "..kyyyyyyk......",
    "..kkkkkkkk......",
    "................",
}};

// Bitmap 138.
constexpr Picture kPrint = {{
    "................",
    "....kkkkkkkk....",
    "....kwwwwwwk....",
    "....kwwwwwwk....",
    "....kwwwwwwk....",
    "....kkkkkkkk....",
    ".kkkkkkkkkkkkkk.",
    ".kGGGGGGGGGGGGk.",
    ".kGGGGGGGGGGGGk.",
    ".kGGGGGGGGGGGGk.",
    ".kGGkkkkkkkkGGk.",
    ".kkkkwwwwwwkkkk.",
    "....kwwwwwwk....",
    "....kwwwwwwk....",
    "....kkkkkkkk....",
    "................",
}};

// Bitmap 137.
constexpr Picture kAbout = {{
    "................",
    ".....bbbbbb.....",
    "....bbbbbbbb....",
    "...bbbwwwbbbb...",
    "..bbbwbbbwbbbb..",
    ".bbbbbbbbwbbbbb.",
    ".bbbbbbbwbbbbbb.",
    ".bbbbbbwbbbbbbb.",
    ".bbbbbbwbbbbbbb.",
    ".bbbbbbbbbbbbbb.",
    ".bbbbbbbbbbbbbb.",
    "..bbbbbwbbbbbb..",
    "...bbbbwbbbbb...",
    "....bbbbbbbb....",
    ".....bbbbbb.....",
    "................",
}};

// Bitmap 135.
constexpr Picture kDebugOnOff = {{
    "................",
    "................",
    ".......kk.......",
    "......kkkk......",
    "......kkkk......",
    "..k..ggkkgg..k..",
    "...kgggkggggk...",
    "....kggkgggk....",
    "....gggkgggg....",
    ".kkkgggkggggkkk.",
    "....gggkgggg....",
    "....kggkgggk....",
    "...k.ggkggg.k...",
    "..k....k.....k..",
    "................",
    "................",
}};

// Bitmap 134.
constexpr Picture kPickFile = {{
    "................",
    "................",
    "................",
    ".yyyyyy.........",
    ".yyyyyy.........",
    ".kkkkkkkkkkkkkk.",
    ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.",
    ".kykkkkkkkkkkkkk",
    ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.",
    ".kyyyyyyyyyyyyk.",
    ".kkkkkkkkkkkkkk.",
    "................",
    "................",
}};

// Bitmap 141.
constexpr Picture kThisFile = {{
    "................",
    "...kkkkkkkkkk...",
    "...kwwwwwwwwk...",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kwbbbbbbwk...",
    "...kwwwwwwwwk...",
    "...kkkkkkkkkk...",
    "................",
}};

// Bitmap 139.
constexpr Picture kSettings = {{
    ".......GG.......",
    "................",
    "......GGGG......",
    "....GGGGGGGG....",
    "...GGGGGGGGGG...",
    "...GGGGGGGGGG...",
    "..GGGG....GGGG..",
    "G.GGGG....GGGG.G",
    "G.GGGG....GGGG.G",
    "..GGGG....GGGG..",
    "...GGGGGGGGGG...",
    "...GGGGGGGGGG...",
    "....GGGGGGGG....",
    "......GGGG......",
    "................",
    ".......GG.......",
}};

constexpr const Picture* kPictures[] = {&kHardExit,   &kStopNode, &kPrint,    &kAbout,
                                        &kDebugOnOff, &kPickFile, &kThisFile, &kSettings};

wxColour PaletteColour(char letter) {
    switch (letter) {
        case 'k':
            return wxColour(0, 0, 0);
        case 'w':
            return wxColour(255, 255, 255);
        case 'r':
            return wxColour(200, 0, 0);
        case 'g':
            return wxColour(0, 150, 0);
        case 'b':
            return wxColour(0, 60, 200);
        case 'y':
            return wxColour(240, 200, 40);
        case 'G':
            return wxColour(128, 128, 128);
        default:
            return wxColour(255, 0, 255);
    }
}

}  // namespace

std::vector<wxBitmap> ToolbarBitmaps() {
    std::vector<wxBitmap> bitmaps;
    for (const Picture* picture : kPictures) {
        wxImage image(kToolbarImageSize, kToolbarImageSize);
        for (int y = 0; y < kToolbarImageSize; ++y) {
            for (int x = 0; x < kToolbarImageSize; ++x) {
                const wxColour colour = PaletteColour(picture->rows[y][x]);
                image.SetRGB(x, y, colour.Red(), colour.Green(), colour.Blue());
            }
        }
        image.SetMaskColour(255, 0, 255);
        bitmaps.emplace_back(image);
    }
    return bitmaps;
}

}  // namespace ruzd::app::window
