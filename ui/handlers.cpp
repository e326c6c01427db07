// The choice handlers and the menu commands of the window.
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>

#include "io/numbers.h"
#include "ui/diagram.h"
#include "ui/form1.h"
#include "ui/texts.h"

namespace korvex {

// A source or detector choice sets its flags and brings the fields and the
// diagram into line with them.
void TForm1::choosesource(bool cylinder, bool cuboid, bool point) {
    state_.flags.cylsrc = cylinder;
    state_.flags.cubsrc = cuboid;
    state_.flags.ptsrc = point;
    setcorrectinputboxes();
    setcorrectimage();
}

void TForm1::choosedetector(bool cylinder, bool cuboid, bool sphere) {
    state_.flags.cyldet = cylinder;
    state_.flags.cubdet = cuboid;
    state_.flags.sphdet = sphere;
    setcorrectinputboxes();
    setcorrectimage();
}

void TForm1::Cylindrical_source_radiobuttonClick() { choosesource(true, false, false); }
void TForm1::Cuboid_source_radiobuttonClick() { choosesource(false, true, false); }
// A point is handled as a cylindrical source of zero size.
void TForm1::Point_source_radiobuttonClick() { choosesource(true, false, true); }
void TForm1::cylinder_detector_radiobuttonClick() { choosedetector(true, false, false); }
void TForm1::cuboid_detector_radiobuttonClick() { choosedetector(false, true, false); }
void TForm1::Spherical_detector_radiobuttonClick() { choosedetector(false, false, true); }

void TForm1::twopiradiobuttonClick() {
    state_.flags.twopisrc = true;
    state_.flags.fourpisrc = false;
}

void TForm1::fourpiradiobuttonClick() {
    state_.flags.fourpisrc = true;
    state_.flags.twopisrc = false;
}

void TForm1::methodradiobuttonClick() { setmethodfields(); }

// The emission count means nothing to the integral method and the target
// error nothing to emissions: each is off while the other method is chosen.
// The count keeps its text, which a saved dataset still holds.
void TForm1::setmethodfields() {
    const bool integral = integralmethodradiobutton->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(Label_endcount), static_cast<QWidget*>(Label1),
                       static_cast<QWidget*>(inputbox_endcount)}) {
        w->setEnabled(!integral);
        w->setToolTip(integral ? QString::fromLatin1(countnotused) : QString());
    }
    Label_countnote->setVisible(integral);
    seton(Label_target, inputbox_target, integral);
}

bool TForm1::readmethod() {
    if (!integralmethodradiobutton->isChecked()) {
        state_.method = Method::emissions;
        return true;
    }
    const std::optional<double> target = parsenumber(inputbox_target->text().toStdString());
    if (!target) {
        message(MessageKind::warning, targetinvalid);
        return false;
    }
    // As korvex-batch's --error takes it.
    if (!(*target >= smallesttarget) || !(*target <= 0.1)) {
        message(MessageKind::plain, targetoutofrange);
        return false;
    }
    state_.method = Method::integral;
    state_.targeterror = *target;
    return true;
}

void TForm1::seton(QLabel* label, QLineEdit* edit, bool on) {
    label->setEnabled(on);
    edit->setEnabled(on);
}

void TForm1::setcorrectinputboxes() {
    const SourceShape source = sourceshape(state_.flags);
    const DetectorShape detector = detectorshape(state_.flags);
    // The fields of the values the shapes use are on, the others off and
    // emptied; a point's r1 and t1 are off and read "0".
    for (const ValueInfo& i : valuetable()) {
        if (i.sort != Sort::size && i.sort != Sort::displacement) continue;
        const bool held = heldatzero(source, i.value);
        const bool on = uses(source, detector, i.value) && !held;
        seton(label(i.value), edit(i.value), on);
        if (held) {
            edit(i.value)->setText(QStringLiteral("0"));
        } else if (!on) {
            edit(i.value)->clear();
        }
    }
}

void TForm1::turn_off_images() {
    for (Diagram* d :
         {Image_cyldet_cylsrc, Image_cyldet_cubsrc, image_cyldet_ptsrc, Image_cubdet_cylsrc,
          Image_cubdet_cubsrc, image_cubdet_ptsrc, Image_spherical_det_cylind_scr,
          Image_spherical_det_cuboid_src, Image_spherical_det_point_src})
        d->hide();
}

void TForm1::setcorrectimage() {
    const GeometryFlags& f = state_.flags;
    turn_off_images();
    // Columns: cylindrical source (not a point), cuboid source, point.
    auto pick = [&](Diagram* cyl, Diagram* cub, Diagram* pt) -> Diagram* {
        if (f.ptsrc) return pt;
        if (f.cylsrc) return cyl;
        if (f.cubsrc) return cub;
        return nullptr;
    };
    Diagram* shown = nullptr;
    if (f.cyldet) shown = pick(Image_cyldet_cylsrc, Image_cyldet_cubsrc, image_cyldet_ptsrc);
    else if (f.cubdet) shown = pick(Image_cubdet_cylsrc, Image_cubdet_cubsrc, image_cubdet_ptsrc);
    else if (f.sphdet)
        shown = pick(Image_spherical_det_cylind_scr, Image_spherical_det_cuboid_src,
                     Image_spherical_det_point_src);
    if (shown) shown->show();
    Memo_A->setVisible(!f.ptsrc);
}

void TForm1::resetbooleans() {
    GeometryFlags& f = state_.flags;
    f.cylsrc = Cylindrical_source_radiobutton->isChecked();
    f.cubsrc = Cuboid_source_radiobutton->isChecked();
    if (Point_source_radiobutton->isChecked()) {
        f.cylsrc = true;
        f.ptsrc = true;
    } else {
        f.ptsrc = false;
    }
    f.cyldet = cylinder_detector_radiobutton->isChecked();
    f.cubdet = cuboid_detector_radiobutton->isChecked();
    f.sphdet = Spherical_detector_radiobutton->isChecked();
    f.twopisrc = twopiradiobutton->isChecked();
    f.fourpisrc = fourpiradiobutton->isChecked();
}

void TForm1::ClearButtonClick() {
    for (QLineEdit* e :
         {Inputbox_r1, Inputbox_t1, Inputbox_r2, Inputbox_h, Inputbox_a1, Inputbox_b1, Inputbox_a2,
          Inputbox_b2, Inputbox_a3, inputbox_b3, Inputbox_d, Inputbox_c, inputbox_endcount})
        e->clear();
    for (QLineEdit* e : {inputbox_rot_x3, Inputbox_rot_y2, Inputbox_rot_z0})
        e->setText(QStringLiteral("0"));
}

void TForm1::disclaim() {
    if (!state_.flags.showabout) return;
    message(MessageKind::information, abouttext());
    state_.flags.showabout = false;
}

void TForm1::AboutClick() {
    state_.flags.showabout = true;
    disclaim();
}

void TForm1::ExitButtonClick() { close(); }

void TForm1::FormActivate() {
    // Only the first activation chooses the tab: a later one (after another
    // window or a dialog) keeps the tab and the field the user was typing in,
    // so that the next keystrokes do not land in another tab's field.
    if (!activated_) {
        activated_ = true;
        PageControl1->setCurrentWidget(Source);
    }
    disclaim();
}

bool TForm1::event(QEvent* event) {
    // Run after the activation has been handled, so that the About box
    // opens from the event loop rather than inside the activation.
    if (event->type() == QEvent::WindowActivate)
        QMetaObject::invokeMethod(this, &TForm1::FormActivate, Qt::QueuedConnection);
    return QMainWindow::event(event);
}

}  // namespace korvex
