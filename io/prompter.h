// How the system tells and asks its user. The window answers with message
// boxes, the command line with stderr and fixed answers, tests with scripts.
// In every text "\r" is a line break.
#pragma once

#include <string>

namespace korvex {

enum class MessageKind {
    warning,      // title "Warning", OK
    plain,        // the program's title, OK, no icon
    error,        // error box, OK
    information,  // title "Information", OK
};

enum class ConfirmKind {
    yescancel,  // "&Yes" (default) and "Cancel"; Escape or closing cancels
    yesno,      // Yes and No
};

class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void message(MessageKind kind, const std::string& text) = 0;
    // Title "Confirm". True only for Yes.
    virtual bool confirm(ConfirmKind kind, const std::string& text) = 0;
};

}  // namespace korvex
