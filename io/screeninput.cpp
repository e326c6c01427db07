#include "io/screeninput.h"

#include "engine/dataset.h"
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

// The fields the shapes use, in the window's order, into ds (angles in
// degrees); false at the first refusal.
bool readall(Reader& in, Dataset& ds, bool readcount) {
    const auto read = [&](Value v, bool negativeallowed) {
        return in.read(v, negativeallowed, ds[v]);
    };
    if (ds.uses(Value::r1) && !read(Value::r1, nonegatives)) return false;
    if (ds.uses(Value::a1)) {
        if (!read(Value::a1, nonegatives)) return false;
        if (!read(Value::b1, nonegatives)) return false;
    }
    switch (ds.detector) {
        case DetectorShape::cylinder:
            if (!read(Value::r2, nonegatives)) return false;
            if (ds[Value::r2] == 0) return in.reject(MessageKind::plain, "r2 cannot be zero");
            if (!read(Value::t2, nonegatives)) return false;
            break;
        case DetectorShape::cuboid:
            if (!read(Value::t2, nonegatives)) return false;
            if (!read(Value::a2, nonegatives)) return false;
            if (!read(Value::b2, nonegatives)) return false;
            if (ds[Value::a2] == 0 || ds[Value::b2] == 0)
                return in.reject(MessageKind::plain, "Detector face dimensions cannot be zero");
            break;
        case DetectorShape::sphere:
            if (!read(Value::r2, nonegatives)) return false;
            if (ds[Value::r2] == 0) return in.reject(MessageKind::plain, "r2 cannot be zero");
            break;
    }
    if (ds.uses(Value::d)) {
        if (!read(Value::d, anysign)) return false;
    } else {
        if (!read(Value::a3, anysign)) return false;
        if (!read(Value::b3, anysign)) return false;
    }
    if (!read(Value::t1, nonegatives)) return false;
    if (ds[Value::t1] > 0 && ds.twopi &&
        !in.ask("You are setting a thick source as 2 pi.\rThey are normally modelled as 4 pi."))
        return false;
    if (ds.source == SourceShape::point && ds.twopi &&
        !in.ask("You are setting a point source as 2 pi.\rThey are normally modelled as 4 pi."))
        return false;
    if (!read(Value::c, anysign)) return false;

    // The count keeps its old value unless it reads as a number; on a bad
    // text checkvalue returns 0, which must not reach the run.
    if (readcount) {
        double count = 0;
        if (!in.read(Value::emissions, nonegatives, count)) return false;
        ds[Value::emissions] = count;
        if (count < 1)
            return in.reject(MessageKind::plain, "Invalid value for number of emissions");
    }

    return read(Value::rotz, anysign) && read(Value::roty, anysign) && read(Value::rotx, anysign);
}

}  // namespace

void getscreeninput(const FieldSource& fields, Prompter& prompter, GeometryFlags& flags,
                    RunParameters& prm, bool readcount) {
    Reader in(fields, prompter, flags);
    Dataset ds;
    ds.source = sourceshape(flags);
    ds.detector = detectorshape(flags);
    ds.twopi = flags.twopisrc;
    ds[Value::emissions] = prm.emissions;
    const bool read = readall(in, ds, readcount);
    // After a refusal too: the fields read so far keep their values, the
    // others are 0.
    makerun(ds, flags, prm);
    if (!read) {
        flags.dataerror = true;
        return;
    }
    const LengthCheck lengths = checklengths(flags, prm);
    if (lengths.name) in.reject(MessageKind::plain, lengthmessage(lengths));
}

}  // namespace korvex
