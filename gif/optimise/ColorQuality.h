#pragma once
// One quality setting, from 1 to 100, and every knob of the fitted colour road derived from it
// in one place: how many colours a frame's palette may have, how close the picture on screen
// must be to the new frame for a pixel to be kept rather than drawn again, and how much the
// coder may trade exactness for bytes. Higher quality keeps more detail and costs more bytes.
struct TColorQuality {
    int Quality = 0;
    // Palette entries a frame may use for colours (one more is kept for transparency).
    int MaxColors = 255;
    // A frame whose changes cover at most 1 / FewChangesShare of the picture (a pointer, a ball,
    // a caption) fits a palette of FewChangesColors to them and draws with the entries its pixels
    // take of the global table and of that palette: the background that the moving thing
    // uncovers gets back the global colours it was first drawn with.
    int FewChangesShare = 10;
    int FewChangesColors = 192;
    // ...and fits that palette only to the changed pixels farther than this (weighted distance)
    // from every entry of the global table: the others take global entries anyway, and the
    // palette's colours go to what the global table lacks.
    int NewColorDistance = 0;
    // A pixel whose colour on screen lies within this weighted distance of the frame's stays
    // as it is (the frame leaves it transparent).
    int KeepDistance = 0;
    // A lone pixel that would be drawn among pixels kept as they are is kept too, unless the
    // screen shows it farther than this from the picture.
    int SpeckleDistance = 0;
    // Pattern dithering between palette entries this far apart or more (weighted distance; 0
    // for none), and up to this far.
    int DitherMinGap = 0;
    int DitherMaxGap = 0;
    // ...and only where the picture is smooth: no channel differs more than this from the
    // pixel's neighbours (texture hides banding).
    int DitherMaxContrast = 0;
    // The coder may let a code stand for pixels within this weighted distance of the colours
    // it gives (0: every pixel exact).
    int LossyDistance = 0;
};

inline constexpr int kMinQuality = 1;
inline constexpr int kMaxQuality = 100;
// The default of both front ends.
inline constexpr int kDefaultQuality = 90;

// The knobs for a quality (clamped to kMinQuality..kMaxQuality).
TColorQuality ColorQualityFor(int quality);
