#include "engine/integral/average.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "engine/kinds.h"
#include "engine/split.h"

namespace korvex {

namespace {

// Direction numbers of the first three Sobol' dimensions (Joe and Kuo):
// the van der Corput sequence; x + 1 with m = 1; x^2 + x + 1 with m = 1, 3.
struct Directions {
    std::array<std::array<std::uint32_t, 32>, 3> v{};
    Directions() {
        for (int k = 0; k < 32; ++k) v[0][k] = 1u << (31 - k);
        v[1][0] = 1u << 31;
        for (int k = 1; k < 32; ++k) v[1][k] = v[1][k - 1] ^ (v[1][k - 1] >> 1);
        v[2][0] = 1u << 31;
        v[2][1] = 3u << 30;
        for (int k = 2; k < 32; ++k) v[2][k] = v[2][k - 1] ^ v[2][k - 2] ^ (v[2][k - 2] >> 2);
    }
};

const Directions directions;

std::uint32_t reversebits(std::uint32_t x) {
    x = ((x >> 1) & 0x55555555u) | ((x & 0x55555555u) << 1);
    x = ((x >> 2) & 0x33333333u) | ((x & 0x33333333u) << 2);
    x = ((x >> 4) & 0x0F0F0F0Fu) | ((x & 0x0F0F0F0Fu) << 4);
    x = ((x >> 8) & 0x00FF00FFu) | ((x & 0x00FF00FFu) << 8);
    return (x >> 16) | (x << 16);
}

// Nested uniform (Owen) scrambling by a hash that only lets higher bits
// change lower ones (Burley 2020, after Laine and Karras).
std::uint32_t owenscramble(std::uint32_t x, std::uint32_t seed) {
    x = reversebits(x);
    x ^= x * 0x3d20adeau;
    x += seed;
    x *= (seed >> 16) | 1u;
    x ^= x * 0x05526c56u;
    x ^= x * 0x53a22864u;
    return reversebits(x);
}

std::uint64_t splitmix(std::uint64_t& s) {
    std::uint64_t z = (s += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// The sums of one chunk of source points.
struct Sums {
    double weight = 0;
    double omega = 0, path = 0;
    std::array<double, facecount> faces{};
    void add(const PointValues& v, double w) {
        weight += w;
        omega += w * v.omega;
        path += w * v.path;
        for (int f = 0; f < facecount; ++f) faces[f] += w * v.faces[f];
    }
    void add(const Sums& s) {
        weight += s.weight;
        omega += s.omega;
        path += s.path;
        for (int f = 0; f < facecount; ++f) faces[f] += s.faces[f];
    }
};

DetectorBody shapeof(const RunParameters& prm, const GeometryFlags& flags) {
    return {detectorkind(flags), prm.r2, prm.a2, prm.b2, prm.t2};
}

// Source point for u in [0, 1)^3, uniform over the source as the emission
// sampler draws it. A disc is taken in polar coordinates, rho = r1 u0 with
// the weight 2 u0 (returned in weight), so that a function smooth over the
// disc stays smooth in u.
Vec3 sourcepoint(const RunParameters& prm, SourceKind kind, const Frame& frame,
                 const std::array<double, 3>& u, double& weight) {
    double xs = 0, ys = 0;
    weight = 1;
    if (kind == SourceKind::disc) {
        const double rho = u[0] * prm.r1;
        weight = 2 * u[0];
        const double phi = static_cast<double>(2 * pil * static_cast<long double>(u[1]));
        xs = std::cos(phi) * rho;
        ys = std::sin(phi) * rho;
    } else if (kind == SourceKind::cuboid) {
        xs = (u[0] - 0.5) * prm.a1;
        ys = (u[1] - 0.5) * prm.b1;
    }
    const double zs = prm.t1 > 0 ? u[2] * prm.t1 : 0.0;
    return todetector(frame, {xs, ys, zs});
}

bool pointlike(const RunParameters& prm, SourceKind kind) {
    if (prm.t1 > 0) return false;
    if (kind == SourceKind::point) return true;
    if (kind == SourceKind::disc) return prm.r1 == 0;
    return prm.a1 == 0 && prm.b1 == 0;
}

long long nowms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Relative rounding of a point's values and of the sums, added to a
// non-zero spread.
constexpr double roundingallowance = 1e-14;

constexpr std::uint32_t chunk = 32;       // points per chunk
constexpr std::uint32_t firstset = 64;    // points per randomisation at first
constexpr std::uint32_t fewestset = 256;  // before the interval is trusted
constexpr std::uint32_t largestset = 1u << 24;

// Gauss-Legendre nodes and weights on [0, 1].
void gausslegendre(int n, std::vector<double>& x, std::vector<double>& w) {
    x.assign(n, 0);
    w.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        double z = std::cos(pi * (i + 0.75) / (n + 0.5)), dp = 1;
        for (int it = 0; it < 100; ++it) {
            double p0 = 1, p1 = 0;
            for (int j = 0; j < n; ++j) {
                const double p2 = p1;
                p1 = p0;
                p0 = ((2 * j + 1) * z * p1 - j * p2) / (j + 1);
            }
            dp = n * (z * p0 - p1) / (z * z - 1);
            const double dz = p0 / dp;
            z -= dz;
            if (std::abs(dz) < 1e-16) break;
        }
        x[i] = (1 - z) / 2;
        w[i] = 1 / ((1 - z * z) * dp * dp);
    }
}

// The workers' pause, known to the host while they run.
class AttachedPause {
public:
    AttachedPause(IntegralHost& host, WorkerPause& pause) : host_(host) {
        host_.attachworkers(&pause);
    }
    ~AttachedPause() { host_.attachworkers(nullptr); }
    AttachedPause(const AttachedPause&) = delete;
    AttachedPause& operator=(const AttachedPause&) = delete;

private:
    IntegralHost& host_;
};

struct WeightedPoint {
    Vec3 p;
    double w;
};

// Runs the tasks 0 .. tasks - 1 on up to workers threads, which take them one
// at a time, while this thread asks the host whether to stop (and holds the
// workers while the host makes up its mind). A thread the system refuses
// leaves its tasks to those that started; with one worker, or when not one
// starts, this thread runs them itself and asks between tasks. False when the
// host asked to stop.
template <class Task>
bool runtasks(std::size_t tasks, int workers, IntegralHost& host, const Task& runtask) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    WorkerPause pause;
    std::vector<std::thread> running;
    const std::size_t pool =
        std::min<std::size_t>(static_cast<std::size_t>(std::max(1, workers)), tasks);
    if (pool > 1) {
        const auto work = [&] {
            for (;;) {
                pause.wait(stop);
                if (stop.load(std::memory_order_relaxed)) return;
                const std::size_t t = next.fetch_add(1);
                if (t >= tasks) return;
                runtask(t);
            }
        };
        for (std::size_t k = 0; k < pool; ++k) {
            try {
                running.emplace_back(work);
            } catch (const std::system_error&) {
                break;
            }
        }
    }
    if (running.empty()) {
        for (std::size_t t = 0; t < tasks; ++t) {
            runtask(t);
            if (host.pollabort()) return false;
        }
        return true;
    }
    {
        const AttachedPause attached(host, pause);
        while (next.load() < tasks && !stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (host.pollabort()) stop = true;
        }
        // A stop answered while the workers were held: they go on to see it.
        pause.wake();
        for (auto& t : running) t.join();
    }
    return !stop;
}

// The weighted sums over the points, in fixed chunks added in order (the same
// for any number of threads); false when the host asked to stop.
bool evaluate(const std::vector<WeightedPoint>& pts, const DetectorBody& det, const Emitting& em,
              IntegralHost& host, int workers, Sums& total) {
    constexpr std::size_t size = 32;
    const std::size_t tasks = (pts.size() + size - 1) / size;
    std::vector<Sums> results(tasks);
    const auto runchunk = [&](std::size_t t) {
        Sums sums;
        for (std::size_t i = t * size; i < std::min(pts.size(), (t + 1) * size); ++i) {
            sums.add(pointvalues(det, pts[i].p, em), pts[i].w);
        }
        results[t] = sums;
    };
    if (!runtasks(tasks, workers, host, runchunk)) return false;
    total = Sums{};
    for (const Sums& r : results) total.add(r);
    return true;
}

// A piece of the source: a box in its own parameters. A cuboid (rectangle,
// line) takes xs, ys, zs; a disc takes the radius rho in x (y unused, the
// whole turn), and zs.
struct Piece {
    std::array<double, 3> lo{}, hi{};
    // Bounds that are cuts. There the values are smooth only from one side:
    // the path integral goes as h log h at a face (h the distance), a value
    // seen from outside a cylinder's curved wall as the square root of the
    // distance. A map u = s^2 at such a bound (u = s^2 (3 - 2 s) at both)
    // makes them smooth enough in s for the rule.
    std::array<bool, 3> cutlo{}, cuthi{};
};

Piece wholesource(const RunParameters& prm, SourceKind kind) {
    Piece p;
    if (kind == SourceKind::cuboid) {
        p.lo = {-prm.a1 / 2, -prm.b1 / 2, 0};
        p.hi = {prm.a1 / 2, prm.b1 / 2, prm.t1};
    } else {
        p.hi = {kind == SourceKind::disc ? prm.r1 : 0, 0, prm.t1};
    }
    return p;
}

// Lengths closer than this to a plane count as lying on it: piece bounds cut
// at a plane come back to it only to rounding once displaced.
double closeness(const RunParameters& prm) {
    const double size = std::abs(prm.a3) + std::abs(prm.b3) + std::abs(prm.c) + prm.r1 + prm.a1 +
                        prm.b1 + prm.t1 + prm.r2 + prm.a2 + prm.b2 + prm.t2;
    return 1e-13 * size;
}

// True when every per-point value is an analytic function of the point over
// the piece's interior: the piece lies on one side of every plane and surface
// where those values jump or kink (face planes, the cylinder's mantle, the
// sphere), judged on a box about the piece (touching counts as one side), and
// for 2 pi the clipping plane through each point crosses no level where the
// clipped detector changes shape: for a plane source it is one plane for all
// points; for a thick source unrotated, that plane is horizontal and
// changes shape only at the detector's top and bottom levels (and a sphere's
// poles); rotated, the detector lies wholly in front of every point or
// wholly behind it.
bool smoothover(const RunParameters& prm, SourceKind kind, const Frame& frame,
                const DetectorBody& det, const Emitting& em, const Piece& piece) {
    const double tol = closeness(prm);
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    auto take = [&](Vec3 q, double ex, double ey, double ez) {
        lo = {std::min(lo.x, q.x - ex), std::min(lo.y, q.y - ey), std::min(lo.z, q.z - ez)};
        hi = {std::max(hi.x, q.x + ex), std::max(hi.y, q.y + ey), std::max(hi.z, q.z + ez)};
    };
    const std::array<double, 9> r =
        frame.rotated ? frame.r : std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1};
    const bool disc = kind == SourceKind::disc && prm.r1 > 0;
    for (const double zs : {piece.lo[2], piece.hi[2]}) {
        if (kind == SourceKind::cuboid) {
            for (const double xs : {piece.lo[0], piece.hi[0]}) {
                for (const double ys : {piece.lo[1], piece.hi[1]})
                    take(todetector(frame, {xs, ys, zs}), 0, 0, 0);
            }
        } else {
            // The disc's extent along each detector axis.
            const double r1 = disc ? piece.hi[0] : 0;
            take(todetector(frame, {0, 0, zs}), r1 * std::hypot(r[0], r[3]),
                 r1 * std::hypot(r[1], r[4]), r1 * std::hypot(r[2], r[5]));
        }
    }
    // Touching a plane counts as one side; lying in it does not.
    auto oneside = [tol](double a, double b, double plane) {
        if (b - a <= tol && std::abs(a - plane) <= tol) return false;
        return b <= plane + tol || a >= plane - tol;
    };
    double reach = 0;  // radius of a sphere about centre that holds the detector
    Vec3 centre{0, 0, -det.t2 / 2};
    double top = 0, bottom = -det.t2;  // levels where a horizontal clip changes shape
    switch (det.kind) {
        case DetectorKind::cylinder: {
            if (!oneside(lo.z, hi.z, 0) || !oneside(lo.z, hi.z, -det.t2)) return false;
            const double nx = std::max({0.0, lo.x, -hi.x}), ny = std::max({0.0, lo.y, -hi.y});
            const double fx = std::max(std::abs(lo.x), std::abs(hi.x)),
                         fy = std::max(std::abs(lo.y), std::abs(hi.y));
            double nearest = std::hypot(nx, ny), farthest = std::hypot(fx, fy);
            if (disc && !frame.rotated) {
                // An annulus about (a3, b3): its distances from the axis exactly.
                const double off = std::hypot(frame.a3, frame.b3);
                farthest = off + piece.hi[0];
                nearest = std::max({0.0, piece.lo[0] - off, off - piece.hi[0]});
            } else if (disc) {
                // The distance from the axis is convex: its largest value lies
                // on a rim, which samples bound to within r1 pi / N. For a plane
                // disc the smallest lies on the rim too unless the axis meets it.
                constexpr int N = 720;
                double most = 0, least = 1e300;
                for (const double zs : {0.0, prm.t1}) {
                    for (int k = 0; k < N; ++k) {
                        const double a = 2 * pi * k / N;
                        const Vec3 q =
                            todetector(frame, {prm.r1 * std::cos(a), prm.r1 * std::sin(a), zs});
                        const double rho = std::hypot(q.x, q.y);
                        most = std::max(most, rho);
                        least = std::min(least, rho);
                    }
                }
                const double slack = prm.r1 * pi / N;
                farthest = std::min(farthest, most + slack);
                if (prm.t1 == 0 && std::abs(r[8]) > 1e-9) {
                    // Where the axis meets the disc's plane, in source coordinates.
                    const Vec3 o = todetector(frame, {0, 0, 0});
                    const double t = (o.x * r[6] + o.y * r[7]) / r[8];
                    const Vec3 m{-o.x, -o.y, t};
                    const double u = m.x * r[0] + m.y * r[1] + m.z * r[2];
                    const double v = m.x * r[3] + m.y * r[4] + m.z * r[5];
                    if (std::hypot(u, v) > prm.r1) nearest = std::max(nearest, least - slack);
                }
            }
            if (!(nearest >= det.r2 - tol || farthest <= det.r2 + tol)) return false;
            if (farthest - nearest <= tol && std::abs(nearest - det.r2) <= tol) return false;
            reach = std::hypot(det.r2, det.t2 / 2);
            break;
        }
        case DetectorKind::cuboid:
            if (!oneside(lo.z, hi.z, 0) || !oneside(lo.z, hi.z, -det.t2)) return false;
            if (!oneside(lo.x, hi.x, det.a2 / 2) || !oneside(lo.x, hi.x, -det.a2 / 2)) return false;
            if (!oneside(lo.y, hi.y, det.b2 / 2) || !oneside(lo.y, hi.y, -det.b2 / 2)) return false;
            reach = std::sqrt(det.a2 * det.a2 + det.b2 * det.b2 + det.t2 * det.t2) / 2;
            break;
        case DetectorKind::discwindow:
        case DetectorKind::rectwindow:
            if (!oneside(lo.z, hi.z, 0)) return false;
            reach = det.kind == DetectorKind::discwindow ? det.r2 : std::hypot(det.a2, det.b2) / 2;
            break;
        case DetectorKind::sphere: {
            centre = {0, 0, 0};
            top = det.r2;
            bottom = -det.r2;
            const double nx = std::max({0.0, lo.x, -hi.x}), ny = std::max({0.0, lo.y, -hi.y}),
                         nz = std::max({0.0, lo.z, -hi.z});
            const double fx = std::max(std::abs(lo.x), std::abs(hi.x)),
                         fy = std::max(std::abs(lo.y), std::abs(hi.y)),
                         fz = std::max(std::abs(lo.z), std::abs(hi.z));
            if (!(std::sqrt(nx * nx + ny * ny + nz * nz) > det.r2 ||
                  std::sqrt(fx * fx + fy * fy + fz * fz) < det.r2)) {
                return false;
            }
            reach = det.r2;
            break;
        }
    }
    if (em.fourpi) return true;
    // Every point of a plane source lies in the same clipping plane: each sees
    // one convex body, the detector clipped by that plane, whose cut face lies
    // in the source's own plane and whose other faces are the detector's; the
    // values are then smooth wherever they are for 4 pi.
    if (prm.t1 == 0) return true;
    if (!frame.rotated) {
        return oneside(lo.z, hi.z, top) && oneside(lo.z, hi.z, bottom);
    }
    // Along zs the source's points lie from its front face to t1 behind it.
    const Vec3 o = todetector(frame, {0, 0, 0});
    const double ahead =
        (centre.x - o.x) * em.zs.x + (centre.y - o.y) * em.zs.y + (centre.z - o.z) * em.zs.z;
    return ahead < -reach || ahead - prm.t1 > reach;
}

// The source cut at every plane where the per-point values jump or kink that
// is a coordinate plane of its parameters: unrotated, the detector's levels
// (its top and bottom, a sphere's poles for 2 pi) cut zs, a cuboid
// detector's side planes cut a cuboid source's xs and ys, and a cylinder's
// mantle cuts a coaxial disc at rho = r2. Rotated, the source stays whole.
std::vector<Piece> piecesof(const RunParameters& prm, SourceKind kind, const Frame& frame,
                            const DetectorBody& det, const Emitting& em) {
    const Piece whole = wholesource(prm, kind);
    if (frame.rotated) return {whole};
    const double tol = closeness(prm);
    std::array<std::vector<double>, 3> cuts;
    auto cut = [&](int axis, double at) {
        if (at > whole.lo[axis] + tol && at < whole.hi[axis] - tol) cuts[axis].push_back(at);
    };
    switch (det.kind) {
        case DetectorKind::cylinder:
        case DetectorKind::cuboid:
            cut(2, 0 - frame.c);
            cut(2, -det.t2 - frame.c);
            break;
        case DetectorKind::discwindow:
        case DetectorKind::rectwindow: cut(2, 0 - frame.c); break;
        case DetectorKind::sphere:
            if (!em.fourpi) {
                cut(2, det.r2 - frame.c);
                cut(2, -det.r2 - frame.c);
            }
            break;
    }
    if (det.kind == DetectorKind::cuboid && kind == SourceKind::cuboid) {
        cut(0, det.a2 / 2 - frame.a3);
        cut(0, -det.a2 / 2 - frame.a3);
        cut(1, det.b2 / 2 - frame.b3);
        cut(1, -det.b2 / 2 - frame.b3);
    }
    if (det.kind == DetectorKind::cylinder && kind == SourceKind::disc && frame.a3 == 0 &&
        frame.b3 == 0) {
        cut(0, det.r2);
    }
    std::array<std::vector<double>, 3> bounds;
    for (int a = 0; a < 3; ++a) {
        bounds[a] = cuts[a];
        bounds[a].push_back(whole.lo[a]);
        bounds[a].push_back(whole.hi[a]);
        std::sort(bounds[a].begin(), bounds[a].end());
    }
    std::vector<Piece> pieces;
    for (std::size_t i = 0; i + 1 < bounds[0].size(); ++i) {
        for (std::size_t j = 0; j + 1 < bounds[1].size(); ++j) {
            for (std::size_t k = 0; k + 1 < bounds[2].size(); ++k) {
                Piece p{{bounds[0][i], bounds[1][j], bounds[2][k]},
                        {bounds[0][i + 1], bounds[1][j + 1], bounds[2][k + 1]}};
                for (int a = 0; a < 3; ++a) {
                    p.cutlo[a] = p.lo[a] != whole.lo[a];
                    p.cuthi[a] = p.hi[a] != whole.hi[a];
                }
                pieces.push_back(p);
            }
        }
    }
    return pieces;
}

// A Gauss product rule (Gauss-Legendre across, the trapezoidal rule round a
// disc) of n nodes per axis over one piece, for a piece over which every
// value is smooth; the weights are shares of the whole source.
std::vector<WeightedPoint> gausspoints(const RunParameters& prm, SourceKind kind,
                                       const Frame& frame, const Piece& piece, int n) {
    std::vector<double> x, w;
    gausslegendre(n, x, w);
    // Nodes and weights along one axis of the piece; a single node where the
    // source has no extent.
    auto axis = [&](int a, double full, std::vector<double>& nx, std::vector<double>& nw) {
        if (!(full > 0)) {
            nx = {piece.lo[a]};
            nw = {1};
            return;
        }
        const double span = piece.hi[a] - piece.lo[a];
        nx.resize(n);
        nw.resize(n);
        const bool lo = piece.cutlo[a], hi = piece.cuthi[a];
        for (int i = 0; i < n; ++i) {
            const double s = x[i];
            double u = s, du = 1;
            if (lo && hi) {
                u = s * s * (3 - 2 * s);
                du = 6 * s * (1 - s);
            } else if (lo) {
                u = s * s;
                du = 2 * s;
            } else if (hi) {
                u = 1 - (1 - s) * (1 - s);
                du = 2 * (1 - s);
            }
            nx[i] = piece.lo[a] + span * u;
            nw[i] = w[i] * du * span / full;
        }
    };
    std::vector<double> zx, zw;
    axis(2, prm.t1, zx, zw);
    std::vector<WeightedPoint> pts;
    if (kind == SourceKind::disc && prm.r1 > 0) {
        // rho = r1 u with the weight 2 u du over u in the piece's share.
        std::vector<double> rx, rw;
        axis(0, prm.r1, rx, rw);
        const int m = 2 * n;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < m; ++j) {
                const double phi = 2 * pi * (j + 0.5) / m;
                const double rho = rx[i];
                for (std::size_t k = 0; k < zx.size(); ++k) {
                    const Vec3 s{std::cos(phi) * rho, std::sin(phi) * rho, zx[k]};
                    pts.push_back({todetector(frame, s), 2 * (rho / prm.r1) * rw[i] / m * zw[k]});
                }
            }
        }
        return pts;
    }
    const bool cuboid = kind == SourceKind::cuboid;
    std::vector<double> xx, xw, yx, yw;
    axis(0, cuboid ? prm.a1 : 0, xx, xw);
    axis(1, cuboid ? prm.b1 : 0, yx, yw);
    for (std::size_t i = 0; i < xx.size(); ++i) {
        for (std::size_t j = 0; j < yx.size(); ++j) {
            for (std::size_t k = 0; k < zx.size(); ++k) {
                pts.push_back({todetector(frame, {xx[i], yx[j], zx[k]}), xw[i] * yw[j] * zw[k]});
            }
        }
    }
    return pts;
}

// The smallest value of a convex function over [a, b] by golden-section
// search, to a few units of rounding in the argument.
template <class F>
double convexminimum(const F& f, double a, double b) {
    if (!(b > a)) return f(a);
    constexpr double g = 0.6180339887498949;
    const double width = b - a;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    for (int i = 0; i < 200 && b - a > 1e-14 * width; ++i) {
        if (fc <= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    return std::min({fc, fd, f(a), f(b)});
}

// The detector's region as convex constraints: a point lies in the region
// where every one is negative. A solid detector's region is its interior; a
// window's is the open region underneath it (where an emission run notes a
// source point underneath).
std::vector<std::function<double(Vec3)>> constraintsof(const DetectorBody& det) {
    const double t2 = det.t2, r2 = det.r2, a = det.a2 / 2, b = det.b2 / 2;
    auto above = [](Vec3 p) { return p.z; };
    auto below = [t2](Vec3 p) { return -t2 - p.z; };
    auto mantle = [r2](Vec3 p) { return std::hypot(p.x, p.y) - r2; };
    auto xside = [a](Vec3 p) { return std::abs(p.x) - a; };
    auto yside = [b](Vec3 p) { return std::abs(p.y) - b; };
    switch (det.kind) {
        case DetectorKind::cylinder: return {above, below, mantle};
        case DetectorKind::cuboid: return {above, below, xside, yside};
        case DetectorKind::discwindow: return {above, mantle};
        case DetectorKind::rectwindow: return {above, xside, yside};
        case DetectorKind::sphere: break;
    }
    return {[r2](Vec3 p) { return std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z) - r2; }};
}

}  // namespace

bool sourcemeetsdetector(const RunParameters& prm, const GeometryFlags& flags) {
    const Frame frame = makeframe(prm, isrotated(prm));
    const DetectorBody det = shapeof(prm, flags);
    const SourceKind kind = sourcekind(flags);
    const double tol = closeness(prm);
    const bool cuboid = kind == SourceKind::cuboid;
    const double rx = cuboid ? prm.a1 / 2 : kind == SourceKind::disc ? prm.r1 : 0;
    const double ry = cuboid ? prm.b1 / 2 : rx;
    auto at = [&](double xs, double ys, double zs) { return todetector(frame, {xs, ys, zs}); };

    // Points that decide whether a constraint is zero over the whole source:
    // the centre and the corners (a disc's rim across both diameters). An
    // affine constraint (or its absolute value) zero at all of them is zero
    // throughout, and so is the distance from the axis along a segment.
    std::vector<Vec3> probes{at(0, 0, prm.t1 / 2)};
    for (const double zs : {0.0, prm.t1}) {
        probes.push_back(at(0, 0, zs));
        if (cuboid) {
            for (const double xs : {-rx, rx})
                for (const double ys : {-ry, ry}) probes.push_back(at(xs, ys, zs));
        } else {
            for (const auto& [xs, ys] : {std::pair{rx, 0.0}, {-rx, 0.0}, {0.0, rx}, {0.0, -rx}})
                probes.push_back(at(xs, ys, zs));
        }
    }
    // A solid detector's surface counts as inside for an emission run: a
    // source lying in a face plane (or a segment on the mantle) meets the
    // detector where it meets the face, so the constraint of that surface
    // is left out. A window has no surface to lie in.
    const bool solid = det.kind == DetectorKind::cylinder || det.kind == DetectorKind::cuboid ||
                       det.kind == DetectorKind::sphere;
    std::vector<std::function<double(Vec3)>> kept;
    for (const auto& c : constraintsof(det)) {
        const bool lies = std::all_of(probes.begin(), probes.end(),
                                      [&](Vec3 p) { return std::abs(c(p)) <= tol; });
        if (!(solid && lies)) kept.push_back(c);
    }
    if (kept.empty()) return false;
    auto g = [&](double xs, double ys, double zs) {
        const Vec3 p = at(xs, ys, zs);
        double m = -1e300;
        for (const auto& c : kept) m = std::max(m, c(p));
        return m;
    };
    // The partial minima of a convex function over a convex set are convex:
    // zs innermost, then ys (a disc's chord at xs), then xs.
    auto overz = [&](double xs, double ys) {
        return convexminimum([&](double zs) { return g(xs, ys, zs); }, 0.0, prm.t1);
    };
    auto overy = [&](double xs) {
        const double half = cuboid ? ry : std::sqrt(std::max(0.0, (rx - xs) * (rx + xs)));
        return convexminimum([&](double ys) { return overz(xs, ys); }, -half, half);
    };
    return convexminimum(overy, -rx, rx) < -tol;
}

std::array<double, 3> scrambledsobol(std::uint32_t i, const std::array<std::uint32_t, 3>& seeds) {
    std::array<double, 3> u{};
    for (int d = 0; d < 3; ++d) {
        std::uint32_t x = 0;
        for (int k = 0; k < 32 && (i >> k) != 0; ++k) {
            if ((i >> k) & 1u) x ^= directions.v[d][k];
        }
        x = owenscramble(x, seeds[d]);
        u[d] = (static_cast<double>(x) + 0.5) * 0x1p-32;
    }
    return u;
}

std::array<std::uint32_t, 3> randomisationseeds(int r, std::uint64_t stream) {
    std::uint64_t s =
        0x4b6f72766578ull ^ (stream * 0x100000001b3ull) ^ (static_cast<std::uint64_t>(r) << 40);
    std::array<std::uint32_t, 3> seeds{};
    for (auto& seed : seeds) seed = static_cast<std::uint32_t>(splitmix(s) >> 32);
    return seeds;
}

double emissionsfor(double rel, double share) {
    if (!(rel > 0) || !(share > 0)) return 0;
    const double z = 3.29 / rel;
    return z * z * (1 - share) / share;
}

IntegralOutcome runintegral(const RunParameters& prm, GeometryFlags& flags, double target,
                            IntegralHost& host, int threads, std::uint64_t stream) {
    IntegralOutcome out;
    const long long start = nowms();
    flags.rotated = isrotated(prm);
    const Frame frame = makeframe(prm, flags.rotated);
    const DetectorBody det = shapeof(prm, flags);
    const SourceKind kind = sourcekind(flags);
    Emitting em;
    em.fourpi = flags.fourpisrc;
    if (!em.fourpi && flags.rotated) {
        // The source's Zs axis in the detector frame: the third row of R.
        const Vec3 z{frame.r[6], frame.r[7], frame.r[8]};
        const double n = std::sqrt(z.x * z.x + z.y * z.y + z.z * z.z);
        em.zs = {z.x / n, z.y / n, z.z / n};
    }

    if (pointlike(prm, kind)) {
        const PointValues v = pointvalues(det, todetector(frame, {0, 0, 0}), em);
        out.omega = v.omega;
        out.faces = v.faces;
        out.meanpath = v.omega > 0 ? v.path / v.omega : 0;
        out.sourceinside = v.inside;
        out.exact = true;
        out.points = out.perset = 1;
        out.seconds = static_cast<double>(nowms() - start) / 1000;
        host.integralprogress(1, out.omega);
        return out;
    }

    const int workers = std::max(1, threads);
    // The warning follows from the geometry, not from the points evaluated.
    const bool inside = sourcemeetsdetector(prm, flags);
    const std::vector<Piece> pieces = piecesof(prm, kind, frame, det, em);
    const bool smooth = std::all_of(pieces.begin(), pieces.end(), [&](const Piece& piece) {
        return smoothover(prm, kind, frame, det, em, piece);
    });
    if (stream == 0 && smooth) {
        // Orders 4, 8, 16, ... on every piece together: the difference of two
        // orders bounds the error of the lower, and so, for an integrand
        // analytic over each piece whose rule converges geometrically, far
        // more than bounds that of the higher. The error is the sum over the
        // pieces of that difference.
        const int dims =
            (kind == SourceKind::disc ? (prm.r1 > 0 ? 2 : 0) : (prm.a1 > 0) + (prm.b1 > 0)) +
            (prm.t1 > 0);
        const int largest = dims >= 3 ? 48 : dims == 2 ? 128 : 1024;
        std::vector<Sums> previous(pieces.size());
        bool have = false;
        double firstrel = -1;
        for (int n = 4; n <= largest; n *= 2) {
            std::vector<Sums> sums(pieces.size());
            bool stopped = false;
            for (std::size_t i = 0; i < pieces.size() && !stopped; ++i) {
                const std::vector<WeightedPoint> pts = gausspoints(prm, kind, frame, pieces[i], n);
                stopped = !evaluate(pts, det, em, host, workers, sums[i]);
                out.points += pts.size();
            }
            if (stopped) {
                // Stopped by the host, also during the first order: the
                // outcome is what the orders done give (none: no points).
                out.aborted = true;
                break;
            }
            if (have) {
                Sums all;
                double domega = 0, dpath = 0;
                for (std::size_t i = 0; i < pieces.size(); ++i) {
                    all.add(sums[i]);
                    domega += std::abs(sums[i].omega - previous[i].omega);
                    dpath += std::abs(sums[i].path - previous[i].path);
                }
                const double omega = all.omega / all.weight;
                const double path = all.omega > 0 ? all.path / all.omega : 0;
                out.omega = omega;
                out.omegaerror = domega / all.weight + roundingallowance * omega;
                out.meanpath = path;
                // The ratio's change to first order in the changes of its sums.
                out.meanpatherror = (all.omega > 0 ? (dpath + path * domega) / all.omega : 0) +
                                    roundingallowance * path;
                for (int f = 0; f < facecount; ++f) out.faces[f] = all.faces[f] / all.weight;
                out.sourceinside = inside;
                out.order = n;
                const double rel = omega > 0 ? out.omegaerror / omega : 0;
                if (firstrel < 0) firstrel = rel;
                if (rel <= target) {
                    host.integralprogress(1, omega);
                    out.seconds = static_cast<double>(nowms() - start) / 1000;
                    return out;
                }
                host.integralprogress(
                    firstrel > target && rel > 0
                        ? std::clamp(std::log(firstrel / rel) / std::log(firstrel / target), 0.0,
                                     0.99)
                        : 0.0,
                    omega);
            }
            previous = sums;
            have = true;
        }
        if (out.aborted) {
            out.seconds = static_cast<double>(nowms() - start) / 1000;
            return out;
        }
        // The rule did not reach the target: start again by randomised points.
        out = IntegralOutcome{};
    }

    constexpr int R = randomisations;
    std::array<std::array<std::uint32_t, 3>, R> seeds{};
    for (int r = 0; r < R; ++r) seeds[r] = randomisationseeds(r, stream);
    std::array<Sums, R> totals{};
    std::uint32_t done = 0;  // points per randomisation so far
    double firstrel = -1;

    for (std::uint32_t upto = firstset; upto <= largestset; upto *= 2) {
        // Chunks of points [done, upto) of every randomisation.
        const std::uint32_t perset = (upto - done) / chunk;
        const std::size_t tasks = static_cast<std::size_t>(perset) * R;
        std::vector<Sums> results(tasks);
        const auto runchunk = [&](std::size_t t) {
            const int r = static_cast<int>(t / perset);
            const std::uint32_t first = done + static_cast<std::uint32_t>(t % perset) * chunk;
            Sums sums;
            for (std::uint32_t i = first; i < first + chunk; ++i) {
                double w;
                const Vec3 p = sourcepoint(prm, kind, frame, scrambledsobol(i, seeds[r]), w);
                sums.add(pointvalues(det, p, em), w);
            }
            results[t] = sums;
        };
        if (!runtasks(tasks, workers, host, runchunk)) {
            out.aborted = true;
            break;
        }
        for (std::size_t t = 0; t < tasks; ++t) totals[t / perset].add(results[t]);
        done = upto;

        // The estimate of each randomisation (weighted points, normalised by
        // their weight so that a constant is exact), and their spread.
        double mean = 0;
        std::array<double, R> omegas{}, ratios{};
        for (int r = 0; r < R; ++r) {
            omegas[r] = totals[r].weight > 0 ? totals[r].omega / totals[r].weight : 0;
            ratios[r] = totals[r].omega > 0 ? totals[r].path / totals[r].omega : 0;
            mean += omegas[r];
        }
        mean /= R;
        double var = 0, rmean = 0, rvar = 0;
        for (int r = 0; r < R; ++r) rmean += ratios[r];
        rmean /= R;
        for (int r = 0; r < R; ++r) {
            var += (omegas[r] - mean) * (omegas[r] - mean);
            rvar += (ratios[r] - rmean) * (ratios[r] - rmean);
        }
        Sums all;
        for (const Sums& s : totals) all.add(s);
        const double weight = all.weight > 0 ? all.weight : 1;
        out.omega = all.omega / weight;
        out.meanpath = all.omega > 0 ? all.path / all.omega : 0;
        // The spread of the randomisations, plus an allowance for rounding in
        // the per-point values and the sums when that spread is tiny.
        out.omegaerror = studentt999 * std::sqrt(var / (R - 1) / R);
        out.meanpatherror = studentt999 * std::sqrt(rvar / (R - 1) / R);
        if (out.omegaerror > 0) out.omegaerror += roundingallowance * out.omega;
        if (out.meanpatherror > 0) out.meanpatherror += roundingallowance * out.meanpath;
        for (int f = 0; f < facecount; ++f) out.faces[f] = all.faces[f] / weight;
        out.sourceinside = inside;
        out.points = static_cast<std::uint64_t>(done) * R;
        out.perset = done;

        const double rel = out.omega > 0 ? out.omegaerror / out.omega : 0;
        if (firstrel < 0) firstrel = rel;
        const bool reached = done >= fewestset && rel <= target;
        double share = 1;
        if (!reached && firstrel > target && rel > 0) {
            share = std::clamp(std::log(firstrel / rel) / std::log(firstrel / target), 0.0, 0.99);
        }
        host.integralprogress(share, out.omega);
        if (reached) break;
    }
    out.seconds = static_cast<double>(nowms() - start) / 1000;
    return out;
}

}  // namespace korvex
