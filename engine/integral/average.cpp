#include "engine/integral/average.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "engine/kinds.h"

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

DetectorShape shapeof(const RunParameters& prm, const GeometryFlags& flags) {
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
    const DetectorShape det = shapeof(prm, flags);
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

    constexpr int R = randomisations;
    std::array<std::array<std::uint32_t, 3>, R> seeds{};
    for (int r = 0; r < R; ++r) seeds[r] = randomisationseeds(r, stream);
    std::array<Sums, R> totals{};
    std::uint32_t done = 0;  // points per randomisation so far
    double firstrel = -1;
    std::atomic<bool> stop{false};
    const int workers = std::max(1, threads);

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
        auto work = [&] {
            for (;;) {
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
            std::vector<std::thread> threadsrunning;
            for (std::size_t w = 0; w < pool; ++w) threadsrunning.emplace_back(work);
            while (next.load() < tasks && !stop.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (host.pollabort()) stop = true;
            }
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
