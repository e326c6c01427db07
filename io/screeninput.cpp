#include "io/screeninput.h"

#include "io/numbers.h"

namespace korvex {

double checkvalue(const std::string& text, const std::string& caption, bool negativeallowed,
                  GeometryFlags& flags, Prompter& prompter) {
    flags.dataerror = false;
    const std::optional<double> value = parsenumber(text);
    // Minus zero is not below 0 and passes where negatives are not allowed.
    if (!value || (!negativeallowed && *value < 0)) {
        prompter.message(MessageKind::warning, "Invalid data in " + caption);
        flags.dataerror = true;
        return 0;
    }
    return *value;
}

std::string fieldcaption(Field f) {
    switch (f) {
        case Field::r1: return "source radius, r1";
        case Field::a1: return "source length, a1";
        case Field::b1: return "source length, b1";
        case Field::t1: return "source thickness, t1";
        case Field::r2: return "detector radius, r2";
        case Field::a2: return "detector length a2";
        case Field::b2: return "detector length b2";
        case Field::t2: return "detector thickness, t2";
        case Field::d: return "displacement, d";
        case Field::a3: return "displacement, a3";
        case Field::b3: return "displacement, b3";
        case Field::c: return "displacement, c";
        case Field::emissions: return "number of emissions";
        case Field::rotz: return "Rotation ccw about Z'' ";
        case Field::roty: return "Rotation ccw about Y' ";
        case Field::rotx: return "Rotation ccw about X";
    }
    return {};
}

std::string lengthmessage(const LengthCheck& check) {
    return std::string("Length out of range: ") + check.name + " = " + echoformat(check.value) +
           "; a length must be 0 or of size " + generalformat(shortestlength, 1, 0) + " to " +
           generalformat(longestlength, 1, 0);
}

namespace {

// Reads the fields in order and stops at the first failure; each step
// returns false once flags.dataerror is set.
class Reader {
public:
    Reader(const FieldSource& fields, Prompter& prompter, GeometryFlags& flags)
        : fields_(fields), prompter_(prompter), flags_(flags) {}

    bool read(Field f, bool negativeallowed, double& into) {
        into = checkvalue(fields_.text(f), fields_.caption(f), negativeallowed, flags_, prompter_);
        return !flags_.dataerror;
    }

    bool reject(MessageKind kind, const std::string& text) {
        prompter_.message(kind, text);
        flags_.dataerror = true;
        return false;
    }

    bool ask(const std::string& text) {
        if (prompter_.confirm(ConfirmKind::yescancel, text)) return true;
        flags_.dataerror = true;
        return false;
    }

private:
    const FieldSource& fields_;
    Prompter& prompter_;
    GeometryFlags& flags_;
};

constexpr bool nonegatives = false;
constexpr bool anysign = true;

bool readall(Reader& in, GeometryFlags& flags, RunParameters& prm) {
    if (flags.cylsrc && !in.read(Field::r1, nonegatives, prm.r1)) return false;
    if (flags.cubsrc) {
        if (!in.read(Field::a1, nonegatives, prm.a1)) return false;
        if (!in.read(Field::b1, nonegatives, prm.b1)) return false;
    }
    if (flags.cyldet) {
        if (!in.read(Field::r2, nonegatives, prm.r2)) return false;
        if (prm.r2 == 0) return in.reject(MessageKind::plain, "r2 cannot be zero");
        if (!in.read(Field::t2, nonegatives, prm.t2)) return false;
        flags.discwindow = prm.t2 == 0;
    }
    if (flags.cubdet) {
        if (!in.read(Field::t2, nonegatives, prm.t2)) return false;
        flags.rectwindow = prm.t2 == 0;
        if (!in.read(Field::a2, nonegatives, prm.a2)) return false;
        if (!in.read(Field::b2, nonegatives, prm.b2)) return false;
        if (prm.a2 == 0 || prm.b2 == 0)
            return in.reject(MessageKind::plain, "Detector face dimensions cannot be zero");
    }
    if (flags.sphdet) {
        if (!in.read(Field::r2, nonegatives, prm.r2)) return false;
        if (prm.r2 == 0) return in.reject(MessageKind::plain, "r2 cannot be zero");
    }
    if (flags.cylsrc && (flags.sphdet || flags.cyldet)) {
        if (!in.read(Field::d, anysign, prm.d)) return false;
        prm.a3 = prm.d;
        prm.b3 = 0;
    } else {
        if (!in.read(Field::a3, anysign, prm.a3)) return false;
        if (!in.read(Field::b3, anysign, prm.b3)) return false;
    }
    if (!in.read(Field::t1, nonegatives, prm.t1)) return false;
    flags.thicksrc = prm.t1 > 0;
    if (flags.thicksrc && flags.twopisrc &&
        !in.ask("You are setting a thick source as 2 pi.\rThey are normally modelled as 4 pi."))
        return false;
    if (flags.ptsrc && flags.twopisrc &&
        !in.ask("You are setting a point source as 2 pi.\rThey are normally modelled as 4 pi."))
        return false;
    if (!in.read(Field::c, anysign, prm.c)) return false;

    // The count keeps its old value unless it reads as a number; on a bad
    // text checkvalue returns 0, which must not reach the run.
    double count = 0;
    if (!in.read(Field::emissions, nonegatives, count)) return false;
    prm.emissions = count;
    if (prm.emissions < 1)
        return in.reject(MessageKind::plain, "Invalid value for number of emissions");

    double degrees = 0;
    if (!in.read(Field::rotz, anysign, degrees)) return false;
    prm.rotz = degtorad(degrees);
    if (!in.read(Field::roty, anysign, degrees)) return false;
    prm.roty = degtorad(degrees);
    if (!in.read(Field::rotx, anysign, degrees)) return false;
    prm.rotx = degtorad(degrees);

    const LengthCheck lengths = checklengths(flags, prm);
    if (lengths.name) return in.reject(MessageKind::plain, lengthmessage(lengths));
    return true;
}

}  // namespace

void getscreeninput(const FieldSource& fields, Prompter& prompter, GeometryFlags& flags,
                    RunParameters& prm) {
    Reader in(fields, prompter, flags);
    readall(in, flags, prm);
}

}  // namespace korvex
