// The driver's own interface between start-up, the section runner and the
// nine sections: the frame variables and resources of one run, and the
// helpers every section shares. Internal to demo/.
#pragma once

#include <cmath>
#include <cstdint>

struct TImage;
struct TSound;
struct scene;

const int kImageSlots = 30;
const int kNumberImages = 5;

struct Demo {
    // Frame variables: they keep their value across frames and sections.
    double t = 0.0;          // demo time of the latest frame, whole ms
    double fade_in = 0.0;    // alpha of image 2 in section 1
    double ring_angle = 0.0; // rotation of section 2's lines, degrees
    double fade = 0.0;       // volume of section 9's next playback
    int closing_splits = 0;  // section 8 frames split so far
    int32_t start_ms = 0;    // MilliSecs() at the start mark
    // Resources, loaded once at start-up and kept to the end of the process.
    scene* scene1 = nullptr;
    scene* scene2 = nullptr;
    TSound* soundtrack = nullptr;
    TImage* images[kImageSlots] = {};
    TImage* numbers[kNumberImages] = {}; // image slots 24 to 28
};

// Opens the display and loads everything; false leads to the common exit.
bool StartUp(Demo& d);

// Section ends in seconds, defined in timeline.cpp: the sections' own
// windows close on some, and start-up rehearses each section just past
// the previous one's end.
extern const double kSection1End;
extern const double kSection2End;
extern const double kSection3End;
extern const double kSection4End;
extern const double kSection5End;
extern const double kSection6End;
extern const double kSection7End;

// One frame of each section; false when Escape was pressed.
using SectionFrame = bool (*)(Demo& d);
bool Section1Frame(Demo& d);
bool Section2Frame(Demo& d);
bool Section3Frame(Demo& d);
bool Section4Frame(Demo& d);
bool Section5Frame(Demo& d);
bool Section6Frame(Demo& d);
bool Section7Frame(Demo& d);
bool Section8Frame(Demo& d);
bool Section9Frame(Demo& d); // plays at the fade level the runner has lowered

// The picture of one frame at d.t, as the frames above draw it between
// reading the clock and presenting; section 8's is split by its Escape test.
void DrawSection1(Demo& d);
void DrawSection2(Demo& d);
void DrawSection3(Demo& d);
void DrawSection4(Demo& d);
void DrawSection5(Demo& d);
void DrawSection6(Demo& d);
void DrawSection7(Demo& d);
void DrawClosingPicture(Demo& d);
void SplitClosingPicture(Demo& d);

// t = MilliSecs() - start mark, once per frame. The difference is taken in
// 32 bits so that a wrap of the millisecond counter does not break it.
void ReadClock(Demo& d);

// The usual end of a frame: present, clear for the next, test Escape.
// False when Escape was pressed.
bool PresentAndClear();

// Blend mode, alpha 1, no rotation, white: the state of a plain picture.
void SetPlainDrawing(int blend);

// Angles in degrees.
inline double Sin(double degrees) {
    return std::sin(degrees * 0.017453292519943295);
}
inline double Cos(double degrees) {
    return std::cos(degrees * 0.017453292519943295);
}

// A time window (a, b) in seconds admits a frame when a < t/1000 < b.
// Bounds with a fractional part are written as floats widened to double on
// purpose: the single-precision value decides the whole-millisecond bound
// (8.02f lies above 8.02, so the frame at 8020 ms is still inside).
inline bool InWindow(double t, double a, double b) {
    return a < t / 1000 && t / 1000 < b;
}

// Sections 6 and 7: the shake and rock of t, on the current matrix, then
// number image i at scale 0.003 * 5^phase[i], for each of the five.
void ShakeNumbers(double t);
void DrawNumbers(const Demo& d, const double* phase);

// A picture shown at one place while its window (from_s, to_s) admits t;
// sections 3 and 5 lay their captions and overlays this way.
struct TimedPicture {
    double from_s, to_s;
    int slot;
};

// Draws, in list order, every picture of the list whose window admits d.t,
// at (x, y).
void DrawTimedPictures(const Demo& d, const TimedPicture* list, int count, float x, float y);
