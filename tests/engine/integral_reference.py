#!/usr/bin/python3
"""Reference values for the integral method's per-point tests, at 30 digits.

Each value comes from a formula other than the one the program uses: the
disc's solid angle from its rim integral, its path term from the integral
over rings about the disc's centre, the rectangle's from the corner function
atan2(x y, L sqrt(x^2 + y^2 + h^2)) and the line integral
h int atan(y / sqrt(x^2 + h^2)) / sqrt(x^2 + h^2) dx, the cylinder's side wall
from its defining double integral reduced in z, a clipped face (2 pi) by
integrating over the kept part of the face directly, and the cylinder's total
solid angle as the top seen from above plus the front half of the wall (not
half the sum of all crossings). The sphere's 2 pi solid angle is the closed
form for a cone cut by a hemisphere.

Prints the rows of the table in tests/engine/integral_test.cpp:
  kind, r2, a2, b2, t2, px, py, pz, zs (0 0 0 for 4 pi), omega, path, faces.
"""
import mpmath as mp

mp.mp.dps = 30
PI = mp.pi


def quad(f, pts):
    return mp.quad(f, pts, maxdegree=8)


def disc_omega(R, fx, fy, L, clip=None):
    """Solid angle of the disc radius R centred at the origin seen from a point
    whose foot is (fx, fy) at height L; clip = (gx, gy, C) keeps g.X < C."""
    if L == 0:
        return mp.mpf(0)
    if clip is None:
        d = mp.sqrt(fx * fx + fy * fy)
        def f(t):
            s = mp.sqrt(R * R + d * d - 2 * R * d * mp.cos(t) + L * L)
            return R * (R - d * mp.cos(t)) / (s * (s + L))
        eps = abs(R - d) + L
        return 2 * quad(f, sorted(set([c for c in [0, eps, 10 * eps, 100 * eps, mp.mpf(1) / 10] if c < PI] + [PI])))
    gx, gy, C = clip
    # Directly over the kept part: x across, y between the circle and the chord.
    def inner(x):
        h = mp.sqrt(max(R * R - x * x, 0))
        q = (x - fx) ** 2 + L * L
        G = lambda y: L * (y - fy) / (q * mp.sqrt(q + (y - fy) ** 2))
        lo, hi = -h, h
        if gy != 0:
            yc = (C - gx * x) / gy
            if gy > 0:
                hi = min(hi, yc)
            else:
                lo = max(lo, yc)
        elif gx * x >= C:
            return 0
        if hi <= lo:
            return 0
        return G(hi) - G(lo)
    # Split where the chord meets the circle and at the foot.
    cuts = [-R, R]
    if -R < fx < R:
        cuts.append(fx)
    m = mp.sqrt(gx * gx + gy * gy)
    if m > 0 and abs(C) < R * m:
        dl = mp.acos(C / (R * m))
        psi = mp.atan2(gy, gx)
        cuts += [R * mp.cos(psi + dl), R * mp.cos(psi - dl)]
    return quad(inner, sorted(set(cuts)))


def disc_path(R, d, L):
    """Area integral of 1 / (r^2 + L^2) over the disc, r from the foot at d:
    rings about the disc's centre."""
    if L == 0:
        return mp.mpf(0)
    f = lambda rho: 2 * PI * rho / mp.sqrt((rho * rho + d * d + L * L) ** 2 - 4 * rho * rho * d * d)
    return quad(f, [0, R])


def cylinder(R, t2, p, zs=None):
    """(omega, path, side, top, bottom) for the cylinder radius R, z in [-t2, 0]."""
    px, py, pz = [mp.mpf(v) for v in p]
    rho = mp.sqrt(px * px + py * py)
    thp = mp.atan2(py, px)
    def lim(phi):
        z1, z2 = -t2, mp.mpf(0)
        if zs is None:
            return z1, z2
        th = phi + thp
        W = (R * mp.cos(th) - px) * zs[0] + (R * mp.sin(th) - py) * zs[1]
        if zs[2] > 0:
            z2 = min(z2, pz - W / zs[2])
        elif zs[2] < 0:
            z1 = max(z1, pz - W / zs[2])
        elif W >= 0:
            return None
        return (z1, z2) if z2 > z1 else None
    def side(phi, path, front=False):
        zz = lim(phi)
        if zz is None:
            return 0
        D = R * R + rho * rho - 2 * R * rho * mp.cos(phi)
        nd = R - rho * mp.cos(phi)
        if front and nd >= 0:
            return 0
        a, b = zz[0] - pz, zz[1] - pz
        if path:
            return R * nd / mp.sqrt(D) * (mp.atan(b / mp.sqrt(D)) - mp.atan(a / mp.sqrt(D)))
        return R * abs(nd) / D * (b / mp.sqrt(D + b * b) - a / mp.sqrt(D + a * a))
    cuts = [-PI, 0, PI]
    if rho > R:
        cuts += [mp.acos(R / rho), -mp.acos(R / rho)]
    w = abs(R - rho) / R
    if w > 0:
        for k in range(0, 40):
            s = w * 4 ** k
            if s >= PI:
                break
            cuts += [s, -s]
    if zs is not None:
        m = mp.sqrt(zs[0] ** 2 + zs[1] ** 2)
        psi = mp.atan2(zs[1], zs[0])
        for zz in (0, -t2):
            if m == 0:
                break
            rhs = ((pz - zz) * zs[2] + px * zs[0] + py * zs[1]) / (R * m)
            if abs(rhs) <= 1:
                for sgn in (1, -1):
                    c = psi + sgn * mp.acos(rhs) - thp
                    c = c - 2 * PI * mp.floor((c + PI) / (2 * PI))
                    cuts.append(c)
    cuts = sorted(set(cuts))
    sideomega = quad(lambda f: side(f, False), cuts)
    sidepath = quad(lambda f: side(f, True), cuts)
    def clipof(z0):
        if zs is None:
            return None
        return (zs[0], zs[1], zs[0] * px + zs[1] * py + zs[2] * (pz - z0))
    def clipped_whole(clip):
        return clip is None or (clip[0] == 0 and clip[1] == 0)
    top = disc_omega(R, px, py, abs(pz), clipof(0))
    if clip := clipof(0):
        if clip[0] == 0 and clip[1] == 0:
            top = disc_omega(R, px, py, abs(pz)) if clip[2] > 0 else mp.mpf(0)
    bottom = disc_omega(R, px, py, abs(pz + t2), clipof(-t2))
    if clip := clipof(-t2):
        if clip[0] == 0 and clip[1] == 0:
            bottom = disc_omega(R, px, py, abs(pz + t2)) if clip[2] > 0 else mp.mpf(0)
    path = sidepath - pz * disc_path(R, rho, abs(pz)) + (pz + t2) * disc_path(R, rho, abs(pz + t2))
    if zs is not None:
        path = mp.mpf(-1)  # the clipped ends' terms are not computed here
    inside = rho < R and -t2 < pz < 0
    if inside:
        return 4 * PI if zs is None else 2 * PI, path, None, None, None
    if pz > 0 and zs is None:
        # The top seen from above plus the front of the wall: one crossing each.
        omega = top + quad(lambda f: side(f, False, True), cuts)
    else:
        omega = (top + bottom + sideomega) / 2
    return omega, path, sideomega, top, bottom


def rect_omega(x1, x2, y1, y2, L):
    F = lambda x, y: mp.atan2(x * y, L * mp.sqrt(x * x + y * y + L * L))
    return F(x2, y2) - F(x1, y2) - F(x2, y1) + F(x1, y1)


def rect_path(x1, x2, y1, y2, L):
    if L == 0:
        return mp.mpf(0)
    def f(x):
        q = mp.sqrt(x * x + L * L)
        return (mp.atan(y2 / q) - mp.atan(y1 / q)) / q
    return quad(f, sorted(set([x1, 0, x2])) if x1 < 0 < x2 else [x1, x2])


def cuboid(a2, b2, t2, p):
    px, py, pz = [mp.mpf(v) for v in p]
    a, b, h = mp.mpf(a2) / 2, mp.mpf(b2) / 2, mp.mpf(t2)
    # (face, x-range, y-range about the foot, signed height of p on the outward side)
    faces = [
        (-a - px, a - px, -b - py, b - py, pz),
        (-a - px, a - px, -b - py, b - py, -h - pz),
        (-b - py, b - py, -h - pz, -pz, px - a),
        (-b - py, b - py, -h - pz, -pz, -a - px),
        (-a - px, a - px, -h - pz, -pz, py - b),
        (-a - px, a - px, -h - pz, -pz, -b - py),
    ]
    omegas, path = [], 0
    for x1, x2, y1, y2, hg in faces:
        omegas.append(abs(rect_omega(x1, x2, y1, y2, abs(hg))) if hg != 0 else mp.mpf(0))
        path += -hg * rect_path(x1, x2, y1, y2, abs(hg))
    inside = abs(px) < a and abs(py) < b and -h < pz < 0
    if inside:
        return 4 * PI, path, None
    return sum(omegas) / 2, path, omegas


def sphere2pi(R, p, zs):
    D = mp.sqrt(sum(mp.mpf(v) ** 2 for v in p))
    c = [-mp.mpf(v) / D for v in p]
    cg = -sum(c[i] * zs[i] for i in range(3))
    g = mp.acos(cg)
    alpha = mp.asin(R / D)
    if g >= PI / 2 + alpha:
        return mp.mpf(0)
    if g <= PI / 2 - alpha:
        return 2 * PI * (1 - mp.cos(alpha))
    return 2 * (PI - mp.acos(mp.cos(g) / mp.sin(alpha))
                - mp.cos(alpha) * mp.acos(-mp.cos(g) * mp.cos(alpha) / (mp.sin(g) * mp.sin(alpha))))


def tilt(deg, about="x"):
    t = mp.radians(deg)
    return (mp.mpf(0), mp.sin(t), mp.cos(t)) if about == "x" else (mp.sin(t), mp.mpf(0), mp.cos(t))


def row(kind, dims, p, zs, omega, path, faces):
    z = zs if zs is not None else (0, 0, 0)
    fs = ", ".join(mp.nstr(f, 20) if f is not None else "-1" for f in (faces or []))
    print("    {%s, {%s}, {%s}, {%s}, %s, %s, {%s}}," % (
        kind, ", ".join(mp.nstr(mp.mpf(v), 20) for v in dims), ", ".join(mp.nstr(mp.mpf(v), 20) for v in p),
        ", ".join(mp.nstr(mp.mpf(v), 20) for v in z), mp.nstr(omega, 20), mp.nstr(path, 20), fs), flush=True)


if __name__ == "__main__":
    R, T = mp.mpf("3.81"), mp.mpf("7.62")
    cyl = [((0, 0, 10), None), ((5, 0, 1), None), ((R + mp.mpf("1e-6"), 0, -1), None),
           ((1, mp.mpf("0.5"), mp.mpf("1e-12")), None), ((4, 0, 0), None),
           ((R * mp.mpf("1e5"), 0, 5), None), ((1, 1, -3), None),
           ((5, 0, 1), tilt(30)), ((5, 0, 1), tilt(80, "y")), ((2, 1, 3), tilt(120)),
           ((1, 2, -9), tilt(60, "y"))]
    for p, zs in cyl:
        o, pa, s, t, b = cylinder(R, T, p, zs)
        row("cyl", (R, 0, 0, T), p, zs, o, pa, None if s is None else [s, t, b])
    cub = [((1, mp.mpf("0.5"), 3), None), ((mp.mpf("2.000001"), mp.mpf("0.3"), -1), None),
           ((3, 0, 0), None), ((mp.mpf("1e5"), 3, 2), None), ((1, 1, -1), None)]
    for p, zs in cub:
        o, pa, fs = cuboid(4, 4, 2, p)
        row("cub", (0, 4, 4, 2), p, zs, o, pa, fs)
    for p in [(0, 0, mp.mpf("1e5")), (0, 0, 1 + mp.mpf("1e-6")), (mp.mpf("0.3"), 0, mp.mpf("0.4"))]:
        D = mp.sqrt(sum(mp.mpf(v) ** 2 for v in p))
        if D > 1:
            o = 2 * PI * (1 - mp.sqrt(1 - 1 / D ** 2))
            pa = 2 * PI - PI * ((D * D - 1) / D) * mp.log((D + 1) / (D - 1))
        else:
            o = 4 * PI
            pa = 2 * PI + PI * ((1 - D * D) / D) * mp.log((1 + D) / (1 - D))
        row("sph", (1, 0, 0, 0), p, None, o, pa, None)
    for deg in (40, 60, 75, 100, 130):
        p = (0, mp.mpf("0.5"), 3)
        row("sph", (1, 0, 0, 0), p, tilt(deg), sphere2pi(1, p, tilt(deg)), -1, None)
    for deg in (20, 70, 95):
        p = (mp.mpf("0.5"), mp.mpf("-0.2"), mp.mpf("0.7"))
        zs = tilt(deg, "y")
        fx, fy = p[0], p[1]
        clip = (zs[0], zs[1], zs[0] * fx + zs[1] * fy + zs[2] * p[2])
        row("dsc", (1, 0, 0, 0), p, zs, disc_omega(1, fx, fy, p[2], clip), 0, None)
