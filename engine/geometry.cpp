#include "engine/geometry.h"

#include <cmath>

namespace korvex {

void clearparameters(RunParameters& prm) {
    const double keep = prm.emissions;
    prm = RunParameters{};
    prm.emissions = keep;
}

void startdataset(GeometryFlags& flags, RunParameters& prm) {
    flags.dataerror = false;
    flags.discwindow = false;
    flags.rectwindow = false;
    clearparameters(prm);
}

double degtorad(double degrees) {
    return static_cast<double>(static_cast<long double>(degrees) * pil / 180.0L);
}

bool isrotated(const RunParameters& prm) { return prm.rotx != 0 || prm.roty != 0 || prm.rotz != 0; }

std::array<double, 9> rotmatrix(double rotx, double roty, double rotz) {
    // Sines and cosines in extended precision; each entry rounded once.
    const long double ca = std::cos(static_cast<long double>(rotx));
    const long double sa = std::sin(static_cast<long double>(rotx));
    const long double cb = std::cos(static_cast<long double>(roty));
    const long double sb = std::sin(static_cast<long double>(roty));
    const long double cc = std::cos(static_cast<long double>(rotz));
    const long double sc = std::sin(static_cast<long double>(rotz));
    return {
        static_cast<double>(cb * cc),
        static_cast<double>(-cb * sc),
        static_cast<double>(sb),
        static_cast<double>(sa * sb * cc + ca * sc),
        static_cast<double>(ca * cc - sa * sb * sc),
        static_cast<double>(-sa * cb),
        static_cast<double>(sa * sc - ca * sb * cc),
        static_cast<double>(sa * cc + ca * sb * sc),
        static_cast<double>(ca * cb),
    };
}

Frame makeframe(const RunParameters& prm, bool rotated) {
    Frame f;
    f.rotated = rotated;
    if (rotated) f.r = rotmatrix(prm.rotx, prm.roty, prm.rotz);
    f.a3 = prm.a3;
    f.b3 = prm.b3;
    f.c = prm.c;
    return f;
}

Vec3 todetector(const Frame& frame, Vec3 s) {
    if (!frame.rotated) return {s.x + frame.a3, s.y + frame.b3, s.z + frame.c};
    return rotatetranslate(frame, s);
}

}  // namespace korvex
