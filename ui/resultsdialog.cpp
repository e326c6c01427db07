#include "ui/resultsdialog.h"

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

namespace korvex {

ResultsDialog::ResultsDialog(const QString& text, const QString& seed, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ResultsDialog"));
    setWindowTitle(QStringLiteral("Results"));
    setModal(true);

    auto* label = new QLabel(text);
    label->setObjectName(QStringLiteral("ResultsText"));
    label->setTextFormat(Qt::PlainText);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setContentsMargins(6, 6, 6, 6);

    auto* scroll = new QScrollArea;
    scroll->setWidget(label);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    // As large as the report wants, but never taller than most of the screen:
    // beyond that the report scrolls.
    const QSize want = label->sizeHint();
    const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    const QRect avail = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const int bar = scroll->verticalScrollBar()->sizeHint().width();
    const int height = std::min(want.height(), avail.height() * 7 / 10);
    const int width =
        std::min(want.width() + (height < want.height() ? bar : 0), avail.width() * 9 / 10);
    scroll->setMinimumSize(width, height);

    auto* buttons = new QDialogButtonBox;
    // One role for all three keeps them in the order they are added.
    auto* save = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::ActionRole);
    auto* print = buttons->addButton(QStringLiteral("Print"), QDialogButtonBox::ActionRole);
    auto* finish = buttons->addButton(QStringLiteral("Finish"), QDialogButtonBox::ActionRole);
    save->setObjectName(QStringLiteral("Save"));
    print->setObjectName(QStringLiteral("Print"));
    finish->setObjectName(QStringLiteral("Finish"));
    save->setDefault(true);
    save->setFocus();
    connect(save, &QPushButton::clicked, this, [this] {
        choice_ = ResultsChoice::save;
        accept();
    });
    connect(print, &QPushButton::clicked, this, [this] {
        choice_ = ResultsChoice::print;
        accept();
    });
    connect(finish, &QPushButton::clicked, this, [this] {
        choice_ = ResultsChoice::finish;
        accept();
    });

    auto* seedlabel = new QLabel(seed);
    seedlabel->setObjectName(QStringLiteral("SeedText"));
    seedlabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(seedlabel, 1);
    bottom->addWidget(buttons, 0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ResultsDialog::keyPressEvent(QKeyEvent* event) {
    // The dialog has no cancel button: Escape is ignored here rather than
    // rejecting the dialog.
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace korvex
