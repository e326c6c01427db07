// The window program: the run state with its start values, the one window,
// and the toolkit's event loop until the window closes.
#include <QApplication>
#include <QIcon>
#ifdef KORVEX_ICON
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>
#endif

#include "engine/split.h"
#include "io/runcommand.h"
#include "ui/form1.h"

namespace {

// The icon drawn at the usual sizes, so that the window needs no image plugin.
QIcon windowicon() {
#ifndef KORVEX_ICON
    return {};
#else
    QSvgRenderer drawing(QStringLiteral(":/korvex.svg"));
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
#endif
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex"));
    QApplication::setApplicationDisplayName(QStringLiteral("Korvex"));
    // Ties the window to its installed desktop entry (and so to its icon).
    QGuiApplication::setDesktopFileName(QStringLiteral(KORVEX_APP_ID));
    QApplication::setWindowIcon(windowicon());

    korvex::RunState state;
    state.threads = korvex::allcores();
    korvex::TForm1 form(state);
    form.show();
    // Asked for also where no window manager activates a new window (a
    // virtual display): the first activation shows the About message.
    form.activateWindow();
    return app.exec();
}
