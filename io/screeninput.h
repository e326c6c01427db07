// Reading and checking the values typed into the window.
#pragma once

#include <string>

#include "engine/dataset.h"
#include "engine/geometry.h"
#include "engine/lengths.h"
#include "io/prompter.h"

namespace korvex {

// The input fields getscreeninput reads are the dataset's values; the
// captions used in its messages are the window's ("source radius, r1", ...,
// "number of emissions", info(v).caption).
using Field = Value;

// The caption each field has in the window, which the messages quote (the
// emission count has no label: its caption is the fixed text).
std::string fieldcaption(Field f);

class FieldSource {
public:
    virtual ~FieldSource() = default;
    virtual std::string text(Field f) const = 0;     // the edit's current text
    virtual std::string caption(Field f) const = 0;  // the label's caption
};

// Clears flags.dataerror, parses text; on a bad number, or a negative one
// where negatives are not allowed, shows the warning "Invalid data in " +
// caption, sets flags.dataerror and returns 0.
double checkvalue(const std::string& text, const std::string& caption, bool negativeallowed,
                  GeometryFlags& flags, Prompter& prompter);

// Why a length is refused, as one sentence without its full stop:
// "Length out of range: r2 = 1E-9; a length must be 0 or of size 1E-6 to
// 1E8". The screen shows it, a batch run writes it into a problem entry.
std::string lengthmessage(const LengthCheck& check);

// Reads every field the current shapes need, in the fixed order, into prm and
// the derived flags; the first failure shows one message, sets
// flags.dataerror and stops; a length outside the range the run decides
// reliably is refused once all fields are read. Expects prm cleared and the
// window flags cleared. Without readcount the emission count is not read (the
// integral method has no use for it) and prm.emissions keeps its value.
void getscreeninput(const FieldSource& fields, Prompter& prompter, GeometryFlags& flags,
                    RunParameters& prm, bool readcount = true);

}  // namespace korvex
