#include "engine/integral/average.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
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
    bool inside = false;
    void add(const PointValues& v, double w) {
        weight += w;
        omega += w * v.omega;
        path += w * v.path;
        for (int f = 0; f < facecount; ++f) faces[f] += w * v.faces[f];
        inside = inside || (v.inside && w > 0);
    }
    void add(const Sums& s) {
        weight += s.weight;
        omega += s.omega;
        path += s.path;
        for (int f = 0; f < facecount; ++f) faces[f] += s.faces[f];
        inside = inside || s.inside;
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

// The weighted sums over the points, in fixed chunks added in order (the same
// for any number of threads); false when the host asked to stop.
bool evaluate(const std::vector<WeightedPoint>& pts, const DetectorBody& det, const Emitting& em,
              IntegralHost& host, int workers, Sums& total) {
    constexpr std::size_t size = 32;
    const std::size_t tasks = (pts.size() + size - 1) / size;
    std::vector<Sums> results(tasks);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};
    auto runchunk = [&](std::size_t t) {
        Sums sums;
        for (std::size_t i = t * size; i < std::min(pts.size(), (t + 1) * size); ++i) {
            sums.add(pointvalues(det, pts[i].p, em), pts[i].w);
        }
        results[t] = sums;
    };
    const std::size_t pool = std::min<std::size_t>(static_cast<std::size_t>(workers), tasks);
    if (pool <= 1) {
        for (std::size_t t = 0; t < tasks; ++t) {
            runchunk(t);
            if (host.pollabort()) return false;
        }
    } else {
        WorkerPause pause;
        const AttachedPause attached(host, pause);
        std::vector<std::thread> running;
        for (std::size_t k = 0; k < pool; ++k) {
            running.emplace_back([&] {
                for (;;) {
                    pause.wait(stop);
                    if (stop.load(std::memory_order_relaxed)) return;
                    const std::size_t t = next.fetch_add(1);
                    if (t >= tasks) return;
                    runchunk(t);
                }
            });
        }
        while (next.load() < tasks && !stop.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            if (host.pollabort()) stop = true;
        }
        // A stop answered while the workers were held: they go on to see it.
        pause.wake();
        for (auto& t : running) t.join();
        if (stop) return false;
    }
    total = Sums{};
    for (const Sums& r : results) total.add(r);
    return true;
}

// True when every per-point value is an analytic function of the point over
// the whole source: the source lies on one side of every plane and surface
// where those values jump or kink (face planes, the cylinder's mantle, the
// sphere), judged on a box about the source, and for 2 pi the detector lies
// wholly in front of every source point or wholly behind it.
bool smoothover(const RunParameters& prm, SourceKind kind, const Frame& frame,
                const DetectorBody& det, const Emitting& em) {
    Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
    auto take = [&](Vec3 q, double ex, double ey, double ez) {
        lo = {std::min(lo.x, q.x - ex), std::min(lo.y, q.y - ey), std::min(lo.z, q.z - ez)};
        hi = {std::max(hi.x, q.x + ex), std::max(hi.y, q.y + ey), std::max(hi.z, q.z + ez)};
    };
    const std::array<double, 9> r =
        frame.rotated ? frame.r : std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1};
    for (const double zs : {0.0, prm.t1}) {
        if (kind == SourceKind::cuboid) {
            for (const double xs : {-prm.a1 / 2, prm.a1 / 2}) {
                for (const double ys : {-prm.b1 / 2, prm.b1 / 2})
                    take(todetector(frame, {xs, ys, zs}), 0, 0, 0);
            }
        } else {
            // The disc's extent along each detector axis.
            const double r1 = kind == SourceKind::disc ? prm.r1 : 0;
            take(todetector(frame, {0, 0, zs}), r1 * std::hypot(r[0], r[3]),
                 r1 * std::hypot(r[1], r[4]), r1 * std::hypot(r[2], r[5]));
        }
    }
    auto oneside = [](double a, double b, double plane) { return b < plane || a > plane; };
    double reach = 0;  // radius of a sphere about centre that holds the detector
    Vec3 centre{0, 0, -det.t2 / 2};
    switch (det.kind) {
        case DetectorKind::cylinder: {
            if (!oneside(lo.z, hi.z, 0) || !oneside(lo.z, hi.z, -det.t2)) return false;
            const double nx = std::max({0.0, lo.x, -hi.x}), ny = std::max({0.0, lo.y, -hi.y});
            const double fx = std::max(std::abs(lo.x), std::abs(hi.x)),
                         fy = std::max(std::abs(lo.y), std::abs(hi.y));
            double nearest = std::hypot(nx, ny), farthest = std::hypot(fx, fy);
            if (kind == SourceKind::disc && prm.r1 > 0) {
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
            if (!(nearest > det.r2 || farthest < det.r2)) return false;
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
    // Along zs the source's points lie from its front face to t1 behind it.
    const Vec3 o = todetector(frame, {0, 0, 0});
    const double ahead =
        (centre.x - o.x) * em.zs.x + (centre.y - o.y) * em.zs.y + (centre.z - o.z) * em.zs.z;
    return ahead < -reach || ahead - prm.t1 > reach;
}

// A Gauss product rule (Gauss-Legendre across, the trapezoidal rule round a
// disc) of n nodes per axis, for a source over which every value is smooth.
std::vector<WeightedPoint> gausspoints(const RunParameters& prm, SourceKind kind,
                                       const Frame& frame, int n) {
    std::vector<double> x, w;
    gausslegendre(n, x, w);
    const std::vector<double> one{0.5}, onew{1};
    const bool thick = prm.t1 > 0;
    const auto& zx = thick ? x : one;
    const auto& zw = thick ? w : onew;
    std::vector<WeightedPoint> pts;
    if (kind == SourceKind::disc && prm.r1 > 0) {
        const int m = 2 * n;
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < m; ++j) {
                const double phi = 2 * pi * (j + 0.5) / m;
                const double rho = prm.r1 * x[i];
                for (std::size_t k = 0; k < zx.size(); ++k) {
                    const Vec3 s{std::cos(phi) * rho, std::sin(phi) * rho,
                                 thick ? prm.t1 * zx[k] : 0};
                    pts.push_back({todetector(frame, s), 2 * x[i] * w[i] / m * zw[k]});
                }
            }
        }
        return pts;
    }
    const bool alongx = kind == SourceKind::cuboid && prm.a1 > 0;
    const bool alongy = kind == SourceKind::cuboid && prm.b1 > 0;
    const auto& xx = alongx ? x : one;
    const auto& xw = alongx ? w : onew;
    const auto& yx = alongy ? x : one;
    const auto& yw = alongy ? w : onew;
    for (std::size_t i = 0; i < xx.size(); ++i) {
        for (std::size_t j = 0; j < yx.size(); ++j) {
            for (std::size_t k = 0; k < zx.size(); ++k) {
                const Vec3 s{alongx ? prm.a1 * (xx[i] - 0.5) : 0,
                             alongy ? prm.b1 * (yx[j] - 0.5) : 0, thick ? prm.t1 * zx[k] : 0};
                pts.push_back({todetector(frame, s), xw[i] * yw[j] * zw[k]});
            }
        }
    }
    return pts;
}

}  // namespace

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
    if (stream == 0 && smoothover(prm, kind, frame, det, em)) {
        // Orders 4, 8, 16, ...: the difference of two orders bounds the error
        // of the lower, and so, for an analytic integrand whose rule
        // converges geometrically, far more than bounds that of the higher.
        const int dims =
            (kind == SourceKind::disc ? (prm.r1 > 0 ? 2 : 0) : (prm.a1 > 0) + (prm.b1 > 0)) +
            (prm.t1 > 0);
        const int largest = dims >= 3 ? 48 : dims == 2 ? 128 : 1024;
        Sums previous;
        bool have = false;
        double firstrel = -1;
        for (int n = 4; n <= largest; n *= 2) {
            Sums sums;
            if (!evaluate(gausspoints(prm, kind, frame, n), det, em, host, workers, sums)) {
                // Stopped by the host, also during the first order: the
                // outcome is what the orders done give (none: no points).
                out.aborted = true;
                break;
            }
            out.points += static_cast<std::uint64_t>(
                std::pow(n, std::max(1, dims)) * (kind == SourceKind::disc && prm.r1 > 0 ? 2 : 1));
            if (have) {
                const double omega = sums.omega / sums.weight;
                const double before = previous.omega / previous.weight;
                const double path = sums.omega > 0 ? sums.path / sums.omega : 0;
                const double pathbefore = previous.omega > 0 ? previous.path / previous.omega : 0;
                out.omega = omega;
                out.omegaerror = std::abs(omega - before) + roundingallowance * omega;
                out.meanpath = path;
                out.meanpatherror = std::abs(path - pathbefore) + roundingallowance * path;
                for (int f = 0; f < facecount; ++f) out.faces[f] = sums.faces[f] / sums.weight;
                out.sourceinside = sums.inside;
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
    std::atomic<bool> stop{false};

    for (std::uint32_t upto = firstset; upto <= largestset; upto *= 2) {
        // Chunks of points [done, upto) of every randomisation.
        const std::uint32_t perset = (upto - done) / chunk;
        const std::size_t tasks = static_cast<std::size_t>(perset) * R;
        std::vector<Sums> results(tasks);
        std::atomic<std::size_t> next{0};
        auto runchunk = [&](std::size_t t) {
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
        WorkerPause pause;
        auto work = [&] {
            for (;;) {
                pause.wait(stop);
                if (stop.load(std::memory_order_relaxed)) return;
                const std::size_t t = next.fetch_add(1);
                if (t >= tasks) return;
                runchunk(t);
            }
        };
        const std::size_t pool = std::min<std::size_t>(static_cast<std::size_t>(workers), tasks);
        if (pool <= 1) {
            // One thread: evaluate here and ask the host between chunks.
            for (std::size_t t = 0; t < tasks && !stop; ++t) {
                runchunk(t);
                if (host.pollabort()) stop = true;
            }
        } else {
            // The workers evaluate; this thread asks the host meanwhile.
            const AttachedPause attached(host, pause);
            std::vector<std::thread> threadsrunning;
            for (std::size_t w = 0; w < pool; ++w) threadsrunning.emplace_back(work);
            while (next.load() < tasks && !stop.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (host.pollabort()) stop = true;
            }
            pause.wake();
            for (auto& t : threadsrunning) t.join();
        }
        if (stop) {
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
        out.sourceinside = all.inside;
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
