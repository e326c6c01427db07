// The window program: the run state with its start values, the one window,
// and the toolkit's event loop until the window closes.
#include <QApplication>

#include "engine/split.h"
#include "io/runcommand.h"
#include "ui/form1.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Korvex"));

    korvex::RunState state;
    state.threads = korvex::allcores();
    korvex::TForm1 form(state);
    form.show();
    // Asked for also where no window manager activates a new window (a
    // virtual display): the first activation shows the About message.
    form.activateWindow();
    return app.exec();
}
