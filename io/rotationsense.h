// What the three rotation angles mean, in the words every program prints
// (korvex-batch --help, the window's rotation fields). The manual pages and
// the README quote the same words; a test holds them to these.
//
// The example is checkable by hand: with rotx = +30 the front face's axis
// (0, -1/2, -sqrt(3)/2) tilts towards the window, which lies wholly in front
// of the face, so the estimate is the window's whole solid angle from
// (0, 3, 2), by the corner formula atan(xy / (h sqrt(h^2 + x^2 + y^2))); with
// rotx = -30 the face's plane cuts the window at y = 3 - 2 sqrt(3) and only
// the part beyond that line towards the source counts.
#pragma once

namespace korvex {

inline constexpr const char* rotationsense =
    "The three angles, in degrees, are the turns that would bring the source,\n"
    "as it lies, back parallel to the detector: first about the source's Xs\n"
    "axis, then about the new Y', then about the new Z''. An angle is positive\n"
    "when its turn is counter-clockwise as seen from the tip of its axis looking\n"
    "towards the origin. Put the other way round, the unrotated source reaches\n"
    "its place by turning -rotx about Xd, then -roty about Yd, then -rotz about\n"
    "Zd: to turn the source one way, type the angle with the opposite sign.\n";

inline constexpr const char* rotationexample =
    "Example: a 2 pi point source at b3 = 3, c = 2 over a 4 x 4 rectangular\n"
    "window. With rotx = +30 its front face tilts towards the window, which\n"
    "lies wholly in front of it: 2 (atan(5 / sqrt(33)) - atan(1/3)) = 0.7892\n"
    "steradians. With rotx = -30 the face tilts away; its plane cuts the window\n"
    "at y = 3 - 2 sqrt(3), and only the part nearer the source counts:\n"
    "2 (atan(sqrt(0.6)) - atan(1/3)) = 0.6746 steradians.\n";

}  // namespace korvex
