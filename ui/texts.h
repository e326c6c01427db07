// The fixed texts of the window: the notes on the tabs, the About message
// and the messages the window itself shows. "\r" is the system's line break
// in a message; displaytext turns it into Qt's.
#pragma once

#include <QString>
#include <QStringList>
#include <string>

namespace korvex {

inline constexpr const char* windowcaption = "Average Solid Angle Calculation ";
inline constexpr const char* noprinter = "Cannot print. No printer installed";
inline constexpr const char* abortquestion = "Abort?";
inline constexpr const char* overwritesuffix = " file exists. Overwrite?";

// The two methods, a sentence each, as the method choice's tooltips give them.
inline constexpr const char* emissionsmethodtip =
    "Monte Carlo emissions: random rays are followed from random points of the source, "
    "and the error falls as one over the square root of the number of emissions.";
inline constexpr const char* integralmethodtip =
    "Integral: the solid angle is computed exactly over the detector for each source point "
    "and averaged over the source until the relative 99.9% error is at most the target error "
    "(a point source is exact); it uses no number of emissions and no seed.";
inline constexpr const char* targettip =
    "The integral method's target relative error (99.9%), from 1E-12 to 0.1";
inline constexpr const char* countnotused =
    "The integral method does not use the number of emissions; it is kept as typed and saved "
    "with the dataset.";
// The refusals of the target error field, in the words of the other fields'.
inline constexpr const char* targetinvalid = "Invalid data in target error";
inline constexpr const char* targetoutofrange =
    "Invalid value for target error: it must be from 1E-12 to 0.1";

QString memoAtext();
QString memo3text();
QStringList memo2lines();
// The About message, with "\r" line breaks.
std::string abouttext();

// "\r\n", "\r" and "\n" each become one line break.
QString displaytext(const std::string& text);

}  // namespace korvex
