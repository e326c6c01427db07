#include "engine/integral/pointvalues.h"

#include <algorithm>
#include <array>
#include <boost/math/quadrature/gauss.hpp>
#include <boost/math/quadrature/gauss_kronrod.hpp>
#include <boost/math/quadrature/tanh_sinh.hpp>
#include <boost/math/special_functions/ellint_rd.hpp>
#include <boost/math/special_functions/ellint_rf.hpp>
#include <cmath>
#include <functional>
#include <vector>

namespace korvex {

namespace {

constexpr double twopi = 2 * pi;

// Adaptive Gauss-Kronrod to full double precision on a smooth piece. The
// piece is mapped onto [0, 1] first: on a narrow interval Boost's error
// estimate has a floor that does not shrink with the width, so a relative
// tolerance is never met there and every level of subdivision is spent.
template <class F>
double quad(const F& f, double a, double b) {
    if (!(b > a)) return 0;
    const double w = b - a;
    auto unit = [&](double s) { return f(a + w * s); };
    return w *
           boost::math::quadrature::gauss_kronrod<double, 31>::integrate(unit, 0.0, 1.0, 10, 1e-12);
}

// The same over [a, b] with a peak of width w at c: panels grow by 4 from c,
// so each is smooth on its own scale.
template <class F>
double gradedquad(const F& f, double a, double b, double c, double w) {
    if (!(b > a)) return 0;
    std::vector<double> cuts{a, b};
    if (c > a && c < b) cuts.push_back(c);
    if (w > 0 && w < (b - a) / 8) {
        for (double s = w; s < b - a; s *= 4) {
            if (c + s > a && c + s < b) cuts.push_back(c + s);
            if (c - s > a && c - s < b) cuts.push_back(c - s);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    double sum = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) sum += quad(f, cuts[i], cuts[i + 1]);
    return sum;
}

// Integrates over [a, b] split at the given points (those inside).
template <class F>
double splitquad(const F& f, double a, double b, std::vector<double> cuts) {
    cuts.push_back(a);
    cuts.push_back(b);
    std::sort(cuts.begin(), cuts.end());
    double sum = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double lo = std::max(a, cuts[i]), hi = std::min(b, cuts[i + 1]);
        sum += quad(f, lo, hi);
    }
    return sum;
}

double dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double norm(Vec3 a) { return std::sqrt(dot(a, a)); }

// log(1 + x) / x, 1 at 0.
double log1pratio(double x) { return x > 1e-300 ? std::log1p(x) / x : 1.0; }

// A planar face region seen from p: boundary sums, counter-clockwise in the
// face's own coordinates with the foot of p at the origin. omega is the
// solid angle; path is the area integral of 1 / (r^2 + L^2), to be multiplied
// by the signed height (x - p).n to give the face's path term.
struct FaceSum {
    double omega = 0;
    double path = 0;
};

// A straight boundary piece from A to B (foot at the origin), L = |height|.
// The solid angle term is closed: the angle swept at the foot less the
// integral of L / s, as one atan2 that stays exact in and near the plane.
FaceSum edgesum(double ax, double ay, double bx, double by, double L, bool needpath) {
    const double ex0 = bx - ax, ey0 = by - ay;
    const double len = std::hypot(ex0, ey0);
    FaceSum out;
    if (len == 0) return out;
    const double ex = ex0 / len, ey = ey0 / len;
    const double a = ax * ey - ay * ex;  // signed distance of the line from the foot
    const double ta = ax * ex + ay * ey, tb = bx * ex + by * ey;
    const double a2 = a * a, L2 = L * L;
    auto term = [&](double t) {
        const double s = std::sqrt(a2 + t * t + L2);
        return std::atan2(t * a * (a2 + t * t), (s + L) * (a2 * s + L * t * t));
    };
    out.omega = term(tb) - term(ta);
    if (needpath && L > 0 && a != 0) {
        // Along the edge, graded toward the foot's projection when the foot
        // lies near the edge's line. (In the angle swept at the foot the
        // range itself loses its digits for a far edge.)
        auto f = [&](double t) {
            const double q = a2 + t * t;
            return 0.5 * log1pratio(q / L2) * a / L2;
        };
        out.path = gradedquad(f, ta, tb, 0.0, std::abs(a));
    }
    return out;
}

// A kept arc of the circle of radius r centred at (cx, cy) relative to the
// foot... expressed by the foot's distance d from the centre and the angle
// theta measured from the foot's azimuth, over [t0, t1].
FaceSum arcsum(double r, double d, double L, double t0, double t1, bool needomega, bool needpath) {
    FaceSum out;
    const double rd = r - d, L2 = L * L;
    auto rho2 = [&](double th) {
        const double s = std::sin(th / 2);
        return rd * rd + 4 * r * d * s * s;
    };
    auto num = [&](double th) {
        const double s = std::sin(th / 2);
        return r * (rd + 2 * d * s * s);
    };
    const double w = (std::abs(rd) + L) / r;
    auto graded = [&](const auto& f) {
        // The peak sits at theta = 0 (mod 2 pi), nearest the foot: panels
        // end there and are graded toward the nearest one.
        std::vector<double> pts{t0};
        for (double c = -4 * pi; c <= 4 * pi; c += twopi) {
            if (c > t0 && c < t1) pts.push_back(c);
        }
        pts.push_back(t1);
        double sum = 0;
        for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
            const double mid = (pts[i] + pts[i + 1]) / 2;
            sum += gradedquad(f, pts[i], pts[i + 1], std::round(mid / twopi) * twopi, w);
        }
        return sum;
    };
    if (needomega) {
        auto f = [&](double th) {
            const double s = std::sqrt(rho2(th) + L2);
            return num(th) / (s * (s + L));
        };
        out.omega = graded(f);
    }
    if (needpath && L > 0) {
        auto f = [&](double th) {
            const double q = rho2(th);
            return 0.5 * log1pratio(q / L2) / L2 * num(th);
        };
        out.path = graded(f);
    }
    return out;
}

// Carlson's R_F and R_D (Boost).
double rf(double x, double y, double z) { return boost::math::ellint_rf(x, y, z); }
double rd(double x, double y, double z) { return boost::math::ellint_rd(x, y, z); }

// The far form: the foot outside the disc, sin phi = (r/d) sin psi, Gauss-
// Legendre in psi; every term positive.
double discfar(double r, double d, double L) {
    const double q = r / d;
    auto f = [&](double psi) {
        const double sp = q * std::sin(psi);
        const double cphi = std::sqrt((1 - sp) * (1 + sp));
        const double cpsi = std::cos(psi);
        const double rho2 = d * cphi + r * cpsi;
        const double rho1 = (d - r) * (d + r) / rho2;
        const double s1 = std::hypot(rho1, L), s2 = std::hypot(rho2, L);
        return 4 * L * r * r * cpsi * cpsi / (s1 * s2 * (s1 + s2));
    };
    return 2 * boost::math::quadrature::gauss<double, 30>::integrate(f, 0.0, pi / 2);
}

}  // namespace

double discsolidangle(double r, double d, double h) {
    const double L = std::abs(h);
    if (L == 0) return 0;
    if (d >= 2 * r) return discfar(r, d, L);
    const double rmax2 = L * L + (d + r) * (d + r);
    const double rmax = std::sqrt(rmax2);
    const double r12 = L * L + (d - r) * (d - r);
    const double kp2 = r12 / rmax2;  // k'^2, formed directly
    const double k2 = 4 * r * d / rmax2;
    const double K = rf(0, kp2, 1);
    const double first = 2 * L / rmax * K;
    if (d == r) return pi - first;
    const double E = K - k2 / 3 * rd(0, kp2, 1);
    // xi = atan(L / |d - r|): sin and cos formed directly.
    const double r1 = std::sqrt(r12);
    const double sx = L / r1, cx = std::abs(d - r) / r1;
    const double delta = cx * cx + k2 * sx * sx;  // 1 - k'^2 sin^2 xi
    const double Fx = sx * rf(cx * cx, delta, 1);
    const double Ex = Fx - kp2 / 3 * sx * sx * sx * rd(cx * cx, delta, 1);
    const double lambda0 = 2 / pi * (E * Fx + K * Ex - K * Fx);
    return d < r ? twopi - first - pi * lambda0 : -first + pi * lambda0;
}

double discpath(double r, double d, double h) {
    const double L = std::abs(h);
    if (L == 0) return 0;
    // pi ln((Rmax R1 + r^2 + L^2 - d^2) / (2 L^2)) as pi log1p(e), with e
    // formed without cancellation on either side of Y = L^2 + d^2 - r^2 = 0.
    const double rr = std::hypot(L, d + r) * std::hypot(L, d - r);
    const double Y = (L - r) * (L + r) + d * d;
    const double e = Y > 0 ? 2 * r * r / (rr + Y) : (rr - Y) / (2 * L * L);
    return pi * std::log1p(e);
}

double spheresolidangle(double r, double dist) {
    if (dist <= r) return 4 * pi;
    const double q = r / dist;
    return twopi * q * q / (1 + std::sqrt((1 - q) * (1 + q)));
}

double spherepath(double r, double dist) {
    if (dist < r) {
        const double y = dist / r;
        const double ratio = y > 1e-8 ? std::atanh(y) / y : 1.0;
        // 2 pi r + 2 pi (r^2 - D^2) atanh(D / r) / D
        return twopi * r + twopi * r * (1 - y) * (1 + y) * ratio;
    }
    const double x = r / dist;
    if (x < 0.5) {
        // 2 pi r sum 2 x^(2k) / ((2k - 1)(2k + 1)): the closed form cancels.
        double sum = 0, p = 1;
        for (int k = 1; k < 60; ++k) {
            p *= x * x;
            const double term = 2 * p / ((2.0 * k - 1) * (2.0 * k + 1));
            sum += term;
            if (term < 1e-18 * sum) break;
        }
        return twopi * r * sum;
    }
    return twopi * r * (1 - (1 - x) * (1 + x) * std::atanh(x) / x);
}

namespace {

// A planar face of the detector: origin o, in-plane axes e1, e2 (unit),
// outward normal n; a disc of radius r about o, or the rectangle
// |X| < ha, |Y| < hb.
struct Face {
    Vec3 o, e1, e2, n;
    bool disc = false;
    double r = 0, ha = 0, hb = 0;
};

// The face seen from p, clipped to (x - p).zs < 0 for a 2 pi emission.
// omega: the face's solid angle; path: its term of the path integral.
FaceSum facevalues(const Face& f, Vec3 p, const Emitting& em, bool needpath) {
    const Vec3 rel{p.x - f.o.x, p.y - f.o.y, p.z - f.o.z};
    const double fx = dot(rel, f.e1), fy = dot(rel, f.e2), hgt = dot(rel, f.n);
    const double L = std::abs(hgt);
    FaceSum out;
    if (L == 0) return out;  // p in the face's plane: no ray crosses it
    // Clip to g.X < C in face coordinates.
    bool clipped = false;
    double gx = 0, gy = 0, C = 0;
    if (!em.fourpi) {
        gx = dot(f.e1, em.zs);
        gy = dot(f.e2, em.zs);
        C = dot(rel, em.zs);
        clipped = true;
    }
    double sum = 0;
    if (f.disc) {
        const double d = std::hypot(fx, fy);
        const double m = std::hypot(gx, gy);
        if (!clipped || m * f.r <= C) {
            if (clipped && m == 0 && !(C > 0)) return out;
            out.omega = discsolidangle(f.r, d, L);
            if (needpath) out.path = discpath(f.r, d, L);
        } else if (C <= -m * f.r) {
            return out;
        } else {
            const double psi = std::atan2(gy, gx);
            const double delta = std::acos(std::clamp(C / (m * f.r), -1.0, 1.0));
            const double psif = d > 0 ? std::atan2(fy, fx) : 0.0;
            // Kept arc psi + delta .. psi + 2 pi - delta, from the foot's azimuth.
            const double t0 = std::remainder(psi + delta - psif, twopi);
            const double t1 = t0 + twopi - 2 * delta;
            const FaceSum arc = arcsum(f.r, d, L, t0, t1, true, needpath);
            const double bx = f.r * std::cos(psi - delta) - fx,
                         by = f.r * std::sin(psi - delta) - fy;
            const double ax = f.r * std::cos(psi + delta) - fx,
                         ay = f.r * std::sin(psi + delta) - fy;
            const FaceSum chord = edgesum(bx, by, ax, ay, L, needpath);
            out.omega = arc.omega + chord.omega;
            out.path = arc.path + chord.path;
        }
    } else {
        std::vector<std::array<double, 2>> poly{
            {-f.ha, -f.hb}, {f.ha, -f.hb}, {f.ha, f.hb}, {-f.ha, f.hb}};
        if (clipped) {
            // Sutherland-Hodgman against one half-plane.
            std::vector<std::array<double, 2>> kept;
            auto side = [&](const std::array<double, 2>& v) { return gx * v[0] + gy * v[1] - C; };
            for (std::size_t i = 0; i < poly.size(); ++i) {
                const auto& a = poly[i];
                const auto& b = poly[(i + 1) % poly.size()];
                const double sa = side(a), sb = side(b);
                if (sa < 0) kept.push_back(a);
                if ((sa < 0) != (sb < 0) && sa != sb) {
                    const double t = sa / (sa - sb);
                    kept.push_back({a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])});
                }
            }
            poly = kept;
        }
        for (std::size_t i = 0; i < poly.size(); ++i) {
            const auto& a = poly[i];
            const auto& b = poly[(i + 1) % poly.size()];
            if (needpath) sum += edgesum(a[0] - fx, a[1] - fy, b[0] - fx, b[1] - fy, L, true).path;
        }
        // The solid angle as a fan of triangles (Van Oosterom and Strackee),
        // the triple product formed from the polygon's own edges so that it
        // keeps its digits far away and in the plane.
        for (std::size_t i = 1; i + 1 < poly.size(); ++i) {
            const Vec3 a{poly[0][0] - fx, poly[0][1] - fy, -L};
            const Vec3 b{poly[i][0] - fx, poly[i][1] - fy, -L};
            const Vec3 c{poly[i + 1][0] - fx, poly[i + 1][1] - fy, -L};
            const double e1x = poly[i][0] - poly[0][0], e1y = poly[i][1] - poly[0][1];
            const double e2x = poly[i + 1][0] - poly[0][0], e2y = poly[i + 1][1] - poly[0][1];
            const double triple = -L * (e1x * e2y - e1y * e2x);
            const double na = norm(a), nb = norm(b), nc = norm(c);
            const double den = na * nb * nc + dot(a, b) * nc + dot(a, c) * nb + dot(b, c) * na;
            out.omega += 2 * std::atan2(triple, den);
        }
        out.omega = std::abs(out.omega);
        out.path = sum;
    }
    out.omega = std::max(0.0, out.omega);
    out.path *= -hgt;  // (x - p).n
    return out;
}

// The cylinder's side wall, radius r, from z = -t2 to 0.
FaceSum sidewall(double r, double t2, Vec3 p, const Emitting& em, bool needpath) {
    const double rho = std::hypot(p.x, p.y);
    const double thp = rho > 0 ? std::atan2(p.y, p.x) : 0.0;
    const Vec3 z = em.zs;
    // The wall's z range at azimuth phi (from p's), clipped for 2 pi.
    auto limits = [&](double phi, double& z1, double& z2) {
        z1 = -t2;
        z2 = 0;
        if (em.fourpi) return true;
        const double th = phi + thp;
        const double W = (r * std::cos(th) - p.x) * z.x + (r * std::sin(th) - p.y) * z.y;
        if (z.z > 0) {
            z2 = std::min(z2, p.z - W / z.z);
        } else if (z.z < 0) {
            z1 = std::max(z1, p.z - W / z.z);
        } else if (W >= 0) {
            return false;
        }
        return z2 > z1;
    };
    auto geometry = [&](double phi, double& nd, double& D) {
        const double s = std::sin(phi / 2);
        nd = (r - rho) + 2 * rho * s * s;  // (x - p).n
        D = (r - rho) * (r - rho) + 4 * r * rho * s * s;
    };
    auto fomega = [&](double phi) {
        double z1, z2, nd, D;
        if (!limits(phi, z1, z2)) return 0.0;
        geometry(phi, nd, D);
        const double a = z1 - p.z, b = z2 - p.z;
        const double sa = std::sqrt(D + a * a), sb = std::sqrt(D + b * b);
        double diff;  // (b / sb - a / sa) / D
        if ((a >= 0) == (b >= 0) && a != 0 && b != 0) {
            diff = (b - a) * (b + a) / (sa * sb * (b * sa + a * sb));
        } else {
            diff = (b / sb - a / sa) / D;
        }
        return r * std::abs(nd) * diff;
    };
    auto fpath = [&](double phi) {
        double z1, z2, nd, D;
        if (!limits(phi, z1, z2)) return 0.0;
        geometry(phi, nd, D);
        const double a = z1 - p.z, b = z2 - p.z;
        const double sd = std::sqrt(D);
        double val;  // (atan(b / sd) - atan(a / sd)) / sd
        if (D + a * b > 0) {
            const double q = sd * (b - a) / (D + a * b);
            val = (q != 0 ? std::atan(q) / q : 1.0) * (b - a) / (D + a * b);
        } else {
            val = (std::atan(b / sd) - std::atan(a / sd)) / sd;
        }
        return r * nd * val;
    };
    std::vector<double> cuts;
    if (rho > r) {
        const double sil = std::acos(r / rho);
        cuts.push_back(sil);
        cuts.push_back(-sil);
    }
    if (!em.fourpi) {
        const double m = std::hypot(z.x, z.y);
        const double psi = std::atan2(z.y, z.x);
        for (const double zz : {0.0, -t2}) {
            double rhs;
            if (m == 0) break;
            rhs = ((p.z - zz) * z.z + p.x * z.x + p.y * z.y) / (r * m);
            if (std::abs(rhs) <= 1) {
                const double dl = std::acos(rhs);
                cuts.push_back(std::remainder(psi + dl - thp, twopi));
                cuts.push_back(std::remainder(psi - dl - thp, twopi));
            }
        }
    }
    const double w = std::abs(r - rho) / r;
    auto integrate = [&](const auto& f) {
        // Graded toward phi = 0, where p is nearest the wall.
        std::vector<double> pos, neg;
        for (const double c : cuts) {
            if (c > 0 && c < pi) pos.push_back(c);
            if (c < 0 && c > -pi) neg.push_back(c);
        }
        std::sort(pos.begin(), pos.end());
        std::sort(neg.begin(), neg.end());
        auto half = [&](double a, double b, const std::vector<double>& mids, double c) {
            std::vector<double> pts{a};
            pts.insert(pts.end(), mids.begin(), mids.end());
            pts.push_back(b);
            double sum = 0;
            for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
                const bool atc = pts[i] == c || pts[i + 1] == c;
                sum += atc ? gradedquad(f, pts[i], pts[i + 1], c, w) : quad(f, pts[i], pts[i + 1]);
            }
            return sum;
        };
        if (em.fourpi) return 2 * half(0, pi, pos, 0);
        return half(0, pi, pos, 0) + half(-pi, 0, neg, 0);
    };
    FaceSum out;
    out.omega = integrate(fomega);
    if (needpath) out.path = integrate(fpath);
    return out;
}

// Solid angle of the directions u with u.a > 0 and u.b > 0 (a, b unit): a
// lune of twice the angle between the half-spaces' boundaries.
double lune(Vec3 a, Vec3 b) {
    const double c = std::clamp(dot(a, b), -1.0, 1.0);
    return 2 * (pi - std::acos(c));
}

// Azimuthal measure of the directions at angle beta from an axis that lie in
// the hemisphere about a, the axis at angle gamma from a.
double azimuth(double beta, double gamma) {
    const double sb = std::sin(beta), sg = std::sin(gamma);
    const double cb = std::cos(beta), cg = std::cos(gamma);
    if (sb * sg == 0) return cb * cg > 0 ? twopi : 0.0;
    return 2 * std::acos(std::clamp(-cb * cg / (sb * sg), -1.0, 1.0));
}

std::vector<double> azimuthkinks(double gamma) {
    return {pi / 2 - gamma, pi / 2 + gamma, gamma - pi / 2, 3 * pi / 2 - gamma};
}

template <class F>
double tanhsinh(const F& f, double a, double b) {
    if (!(b > a)) return 0;
    // A sliver (between two kinks that nearly coincide) has no room for the
    // tanh-sinh nodes: Gauss-Kronrod serves it.
    if (b - a < 1e-9 * std::max(1.0, std::abs(a))) return quad(f, a, b);
    static thread_local boost::math::quadrature::tanh_sinh<double> ts;
    // Over [0, b - a]: nodes crowd toward 0 without ever landing on it, where
    // on [a, b] they would round onto a.
    const std::function<double(double)> g = [&](double t) { return f(a + t); };
    return ts.integrate(g, 0.0, b - a, 1e-15);
}

template <class F>
double kinkedquad(const F& f, double a, double b, std::vector<double> cuts) {
    cuts.push_back(a);
    cuts.push_back(b);
    std::sort(cuts.begin(), cuts.end());
    double sum = 0;
    for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
        const double lo = std::max(a, cuts[i]), hi = std::min(b, cuts[i + 1]);
        if (hi > lo) sum += tanhsinh(f, lo, hi);
    }
    return sum;
}

PointValues sphere(double r, Vec3 p, const Emitting& em) {
    PointValues v;
    const double dist = norm(p);
    if (dist <= r) {
        v.inside = true;
        if (em.fourpi) {
            v.omega = dist < r ? 4 * pi : twopi;
            v.path = spherepath(r, dist);
            return v;
        }
        const Vec3 a{-em.zs.x, -em.zs.y, -em.zs.z};
        if (dist == 0) {
            v.omega = twopi;
            v.path = twopi * r;
            return v;
        }
        const Vec3 ph{p.x / dist, p.y / dist, p.z / dist};
        v.omega = dist < r ? twopi : lune({-ph.x, -ph.y, -ph.z}, a);
        const double gamma = std::acos(std::clamp(dot(ph, a), -1.0, 1.0));
        auto f = [&](double beta) {
            const double sb = std::sin(beta);
            const double chord = -dist * std::cos(beta) +
                                 std::sqrt(std::max(0.0, (r - dist * sb) * (r + dist * sb)));
            return chord * sb * azimuth(beta, gamma);
        };
        v.path = kinkedquad(f, 0, pi, azimuthkinks(gamma));
        return v;
    }
    if (em.fourpi) {
        v.omega = spheresolidangle(r, dist);
        v.path = spherepath(r, dist);
        return v;
    }
    const Vec3 a{-em.zs.x, -em.zs.y, -em.zs.z};
    const Vec3 ch{-p.x / dist, -p.y / dist, -p.z / dist};
    const double gamma = std::acos(std::clamp(dot(ch, a), -1.0, 1.0));
    const double q = r / dist;
    const double alpha = std::asin(q);
    if (gamma >= pi / 2 + alpha) return v;
    if (gamma <= pi / 2 - alpha) {
        v.omega = spheresolidangle(r, dist);
        v.path = spherepath(r, dist);
        return v;
    }
    // Impact parameter b = r sin tau; beta the angle from the centre.
    auto at = [&](double tau, bool path) {
        const double b = r * std::sin(tau);
        const double sb = b / dist;
        const double cb = std::sqrt((1 - sb) * (1 + sb));
        const double beta = std::asin(sb);
        const double jac = r * std::cos(tau) / (dist * cb);  // d beta / d tau
        const double weight = sb * azimuth(beta, gamma) * jac;
        return path ? 2 * r * std::cos(tau) * weight : weight;
    };
    std::vector<double> cuts;
    for (const double beta : azimuthkinks(gamma)) {
        if (beta > 0 && beta < alpha) cuts.push_back(std::asin(std::min(1.0, std::sin(beta) / q)));
    }
    v.omega = kinkedquad([&](double t) { return at(t, false); }, 0, pi / 2, cuts);
    v.path = kinkedquad([&](double t) { return at(t, true); }, 0, pi / 2, cuts);
    return v;
}

std::vector<Face> facesof(const DetectorBody& det) {
    const Vec3 X{1, 0, 0}, Y{0, 1, 0}, Z{0, 0, 1};
    const double h = det.t2 / 2;
    if (det.kind == DetectorKind::cylinder || det.kind == DetectorKind::discwindow) {
        Face top{{0, 0, 0}, X, Y, Z, true, det.r2};
        Face bottom{{0, 0, -det.t2}, X, Y, {0, 0, -1}, true, det.r2};
        if (det.kind == DetectorKind::discwindow) return {top};
        return {top, bottom};
    }
    const double a = det.a2 / 2, b = det.b2 / 2;
    Face top{{0, 0, 0}, X, Y, Z, false, 0, a, b};
    if (det.kind == DetectorKind::rectwindow) return {top};
    Face bottom{{0, 0, -det.t2}, X, Y, {0, 0, -1}, false, 0, a, b};
    Face xp{{a, 0, -h}, Y, Z, X, false, 0, b, h};
    Face xm{{-a, 0, -h}, Y, Z, {-1, 0, 0}, false, 0, b, h};
    Face yp{{0, b, -h}, X, Z, Y, false, 0, a, h};
    Face ym{{0, -b, -h}, X, Z, {0, -1, 0}, false, 0, a, h};
    return {top, bottom, xp, xm, yp, ym};
}

// Where p stands against a solid detector: outside, inside, or on its
// surface, with the inward normal there.
enum class Place { outside, inside, surface };

Place placeof(const DetectorBody& det, Vec3 p, Vec3& inward) {
    const double t2 = det.t2;
    if (det.kind == DetectorKind::cylinder) {
        const double rr = p.x * p.x + p.y * p.y, r2 = det.r2 * det.r2;
        if (rr > r2 || p.z > 0 || p.z < -t2) return Place::outside;
        if (rr < r2 && p.z < 0 && p.z > -t2) return Place::inside;
        if (rr < r2) {
            inward = {0, 0, p.z == 0 ? -1.0 : 1.0};
        } else {
            const double rho = std::sqrt(rr);
            inward = {-p.x / rho, -p.y / rho, 0};
        }
        return Place::surface;
    }
    const double a = det.a2 / 2, b = det.b2 / 2;
    if (std::abs(p.x) > a || std::abs(p.y) > b || p.z > 0 || p.z < -t2) return Place::outside;
    if (std::abs(p.x) < a && std::abs(p.y) < b && p.z < 0 && p.z > -t2) return Place::inside;
    if (p.z == 0) {
        inward = {0, 0, -1};
    } else if (p.z == -t2) {
        inward = {0, 0, 1};
    } else if (std::abs(p.x) == a) {
        inward = {p.x > 0 ? -1.0 : 1.0, 0, 0};
    } else {
        inward = {0, p.y > 0 ? -1.0 : 1.0, 0};
    }
    return Place::surface;
}

}  // namespace

PointValues pointvalues(const DetectorBody& det, Vec3 p, const Emitting& em) {
    if (det.kind == DetectorKind::sphere) return sphere(det.r2, p, em);
    const Vec3 down{0, 0, -1};
    const Vec3 a{-em.zs.x, -em.zs.y, -em.zs.z};
    auto emitted = [&](Vec3 inward) { return em.fourpi ? twopi : lune(inward, a); };
    PointValues v;
    const std::vector<Face> faces = facesof(det);
    if (det.kind == DetectorKind::discwindow || det.kind == DetectorKind::rectwindow) {
        const bool within = det.kind == DetectorKind::discwindow
                                ? p.x * p.x + p.y * p.y < det.r2 * det.r2
                                : std::abs(p.x) < det.a2 / 2 && std::abs(p.y) < det.b2 / 2;
        if (p.z < 0) {
            v.inside = within;
        } else if (p.z == 0) {
            if (within) v.omega = emitted(down);
        } else {
            v.omega = facevalues(faces[0], p, em, false).omega;
        }
        return v;
    }
    Vec3 inward;
    const Place place = placeof(det, p, inward);
    const bool outside = place == Place::outside;
    double sum = 0;
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const FaceSum f = facevalues(faces[i], p, em, true);
        v.path += f.path;
        sum += f.omega;
        // The cylinder's faces sit after its side wall.
        v.faces[det.kind == DetectorKind::cylinder ? i + 1 : i] = f.omega;
    }
    if (det.kind == DetectorKind::cylinder) {
        const FaceSum side = sidewall(det.r2, det.t2, p, em, true);
        v.path += side.path;
        sum += side.omega;
        v.faces[0] = side.omega;
    }
    if (outside) {
        v.omega = sum / 2;
        return v;
    }
    v.inside = true;
    v.faces = {};
    v.omega = place == Place::inside ? (em.fourpi ? 4 * pi : twopi) : emitted(inward);
    return v;
}

}  // namespace korvex
