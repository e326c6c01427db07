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

QString memoAtext();
QString memo3text();
QStringList memo2lines();
// The About message, with "\r" line breaks.
std::string abouttext();

// "\r\n", "\r" and "\n" each become one line break.
QString displaytext(const std::string& text);

}  // namespace korvex
