// The application-wide filter of the Escape poll. While a simulation loop
// runs, the window handles its pending events only at the poll; the filter
// then swallows all user input, so that nothing can start a second command
// or change a field, and it notes whether Escape was pressed.
#pragma once

#include <QObject>

namespace korvex {

class InputSwallower : public QObject {
public:
    // Installs the filter on the application; uninstall removes it.
    void install();
    void uninstall();
    bool installed() const { return installed_; }

    // Whether Escape was pressed since the last call; clears the note.
    bool takeescape();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool installed_ = false;
    bool escape_ = false;
};

// Whether an event is user input (keys, mouse buttons, wheel, touch,
// tablet, shortcuts, context menus).
bool isuserinput(const QEvent* event);

}  // namespace korvex
