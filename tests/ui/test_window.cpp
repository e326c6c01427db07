// The window's controls, the choice handlers with their fields and
// diagrams, Clear, About and the flags restored from the radio buttons.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QtTest>

#include "io/rotationsense.h"
#include "ui/diagram.h"
#include "ui/form1.h"
#include "ui/texts.h"
#include "uitesting.h"

using namespace korvex;

namespace {

const QStringList allfields = {"r1", "a1", "b1", "t1", "r2", "a2",
                               "b2", "t2", "d",  "a3", "b3", "c"};

QLineEdit* editof(TForm1& form, const QString& field) {
    static const QMap<QString, QString> names = {
        {"r1", "Inputbox_r1"}, {"a1", "Inputbox_a1"}, {"b1", "Inputbox_b1"}, {"t1", "Inputbox_t1"},
        {"r2", "Inputbox_r2"}, {"a2", "Inputbox_a2"}, {"b2", "Inputbox_b2"}, {"t2", "Inputbox_h"},
        {"d", "Inputbox_d"},   {"a3", "Inputbox_a3"}, {"b3", "inputbox_b3"}, {"c", "Inputbox_c"}};
    return form.findChild<QLineEdit*>(names.value(field));
}

QString visiblediagram(TForm1& form) {
    QStringList shown;
    for (Diagram* d : form.findChildren<Diagram*>())
        if (!d->isHidden()) shown << d->objectName();
    return shown.join(QLatin1Char(','));
}

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT
private slots:
    void captionsAndStartState();
    void choices_data();
    void choices();
    void pointThenCylinderKeepsZeros();
    void clearEmptiesFieldsOnly();
    void aboutOnceAtFirstActivationAndOnDemand();
    void radioButtonsDecideFlagsAgain();
    void fieldsReadByTheScreenReader();
    void methodChoiceTurnsTheFields();
};

void WindowTest::captionsAndStartState() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;

    QCOMPARE(form.windowTitle(), QStringLiteral("Average Solid Angle Calculation "));
    const QList<std::pair<const char*, const char*>> labels = {
        {"Label_r1", "source radius, r1"},
        {"Label_a1", "source length, a1"},
        {"Label_b1", "source length, b1"},
        {"Label_t1", "source thickness, t1"},
        {"Label_r2", "detector radius, r2"},
        {"Label_a2", "detector length a2"},
        {"Label_b2", "detector length b2"},
        {"Label_h", "detector thickness, t2"},
        {"Label_d", "displacement, d"},
        {"Label_a3", "displacement, a3"},
        {"Label_b3", "displacement, b3"},
        {"Label_c", "displacement, c"},
        {"Label_rot_x3", "Rotation ccw about X"},
        {"Label_rot_y2", "Rotation ccw about Y' "},
        {"Label_rot_z0", "Rotation ccw about Z'' "},
        {"Label2", "Degrees"},
        {"StaticText1", "Progress bar.  To abort, tap the escape key and wait."},
        {"StaticText3", "   "},
        {"Label_endcount", "If 2 pi source, number of emissions from front face"},
        {"Label1", "If 4 pi source, number of emissions from source"}};
    for (auto [name, text] : labels) {
        QLabel* l = form.findChild<QLabel*>(QString::fromLatin1(name));
        QVERIFY2(l, name);
        QCOMPARE(l->text(), QString::fromLatin1(text));
    }
    QStringList tabs;
    for (int i = 0; i < form.PageControl1->count(); ++i) tabs << form.PageControl1->tabText(i);
    QCOMPARE(tabs,
             QStringList({" Source dimensions ", " Detector dimensions  ",
                          "Detector-source displacement", "Rotation angles", "Source emissions"}));
    QCOMPARE(form.PageControl1->currentWidget()->objectName(), QStringLiteral("Rot_tilt"));

    QStringList actions;
    for (const char* name : {"ExitButton", "Showlastresults1", "ClearButton",
                             "Datareadfromandwrittentofile1", "About"})
        actions << form.findChild<QAction*>(QString::fromLatin1(name))->text();
    QCOMPARE(actions, QStringList({"&Exit", "&Show last results", "&Clear input data",
                                   "Data read from and written to file", "About"}));

    QCOMPARE(form.EstimateButton->text(), QStringLiteral("Start simulation"));
    QCOMPARE(form.EstimateButton->toolTip(), QStringLiteral("Start calculation"));
    QVERIFY(form.EstimateButton->font().bold());
    QCOMPARE(form.inputbox_endcount->text(), QStringLiteral("1E7"));
    // The sense of the angles in korvex-batch --help's words.
    for (QLineEdit* e : {form.inputbox_rot_x3, form.Inputbox_rot_y2, form.Inputbox_rot_z0}) {
        QCOMPARE(e->text(), QStringLiteral("0"));
        QVERIFY(e->toolTip().startsWith(QString::fromUtf8(rotationsense)));
    }
    QVERIFY(form.fourpiradiobutton->isChecked());
    // Emissions by default, the integral's target off.
    QVERIFY(form.emissionsmethodradiobutton->isChecked());
    QVERIFY(form.inputbox_endcount->isEnabled() && form.inputbox_endcount->toolTip().isEmpty());
    QVERIFY(!form.inputbox_target->isEnabled() && !form.Label_target->isEnabled());
    QCOMPARE(form.inputbox_target->text(), QStringLiteral("1E-6"));
    QVERIFY(form.Label_countnote->isHidden());
    QVERIFY(form.Panel1->isHidden());
    QVERIFY(form.ListBox1->isHidden());
    QCOMPARE(form.ProgressBar1->maximum(), 100);

    const QStringList memo2 = form.Memo2->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(memo2.size(), 62);
    QCOMPARE(memo2.first(),
             QStringLiteral("Please read this. Use the scroll bar to see all the text."));
    QCOMPARE(memo2.at(60), QStringLiteral("relative position. "));
    QVERIFY(form.Memo_A->toPlainText().endsWith(
        QStringLiteral("select cuboid source and set t1 to 0 and a1 or b1 to 0.")));
    QVERIFY(form.Memo3->toPlainText().startsWith(
        QStringLiteral("For a plane window detector, set t2=0.")));

    // The start state agrees with the start flags.
    QCOMPARE(visiblediagram(form), QStringLiteral("Image_cyldet_cylsrc"));
    for (const QString& f : QStringList{"a1", "b1", "a2", "b2", "a3", "b3"})
        QVERIFY2(!editof(form, f)->isEnabled(), qPrintable(f));
}

void WindowTest::choices_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("detector");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QString>("diagram");

    const QString cyl = "Cylindrical_source_radiobutton", cub = "Cuboid_source_radiobutton",
                  pt = "Point_source_radiobutton";
    const QString cyld = "cylinder_detector_radiobutton", cubd = "cuboid_detector_radiobutton",
                  sph = "Spherical_detector_radiobutton";
    QTest::newRow("cylinder over cylinder")
        << cyl << cyld << QStringList{"r1", "t1", "r2", "t2", "d", "c"} << "Image_cyldet_cylsrc";
    QTest::newRow("cuboid over cylinder")
        << cub << cyld << QStringList{"a1", "b1", "t1", "r2", "t2", "a3", "b3", "c"}
        << "Image_cyldet_cubsrc";
    QTest::newRow("point over cylinder")
        << pt << cyld << QStringList{"r2", "t2", "d", "c"} << "image_cyldet_ptsrc";
    QTest::newRow("cylinder over cuboid")
        << cyl << cubd << QStringList{"r1", "t1", "a2", "b2", "t2", "a3", "b3", "c"}
        << "Image_cubdet_cylsrc";
    QTest::newRow("cuboid over cuboid")
        << cub << cubd << QStringList{"a1", "b1", "t1", "a2", "b2", "t2", "a3", "b3", "c"}
        << "Image_cubdet_cubsrc";
    QTest::newRow("point over cuboid")
        << pt << cubd << QStringList{"a2", "b2", "t2", "a3", "b3", "c"} << "image_cubdet_ptsrc";
    QTest::newRow("cylinder over sphere") << cyl << sph << QStringList{"r1", "t1", "r2", "d", "c"}
                                          << "Image_spherical_det_cylind_scr";
    QTest::newRow("cuboid over sphere")
        << cub << sph << QStringList{"a1", "b1", "t1", "r2", "a3", "b3", "c"}
        << "Image_spherical_det_cuboid_src";
    QTest::newRow("point over sphere")
        << pt << sph << QStringList{"r2", "d", "c"} << "Image_spherical_det_point_src";
}

void WindowTest::choices() {
    QFETCH(QString, source);
    QFETCH(QString, detector);
    QFETCH(QStringList, enabled);
    QFETCH(QString, diagram);

    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    for (const QString& f : allfields) editof(form, f)->setText(QStringLiteral("5"));

    form.findChild<QRadioButton*>(detector)->click();
    form.findChild<QRadioButton*>(source)->click();

    const bool point = source == "Point_source_radiobutton";
    for (const QString& f : allfields) {
        QLineEdit* e = editof(form, f);
        const bool on = enabled.contains(f);
        QCOMPARE(e->isEnabled(), on);
        QLabel* l = qobject_cast<QLabel*>(
            form.findChild<QLabel*>(QStringLiteral("Label_") + (f == "t2" ? "h" : f)));
        QCOMPARE(l->isEnabled(), on);
        if (!on)
            QCOMPARE(e->text(),
                     point && (f == "r1" || f == "t1") ? QStringLiteral("0") : QString());
    }
    QCOMPARE(editof(form, "c")->text(), QStringLiteral("5"));  // never cleared
    QCOMPARE(visiblediagram(form), diagram);
    QCOMPARE(form.Memo_A->isHidden(), point);

    const GeometryFlags& f = state.flags;
    QCOMPARE(f.ptsrc, point);
    QCOMPARE(f.cylsrc, source != "Cuboid_source_radiobutton");
    QCOMPARE(f.cubsrc, source == "Cuboid_source_radiobutton");
    QCOMPARE(f.cyldet, detector == "cylinder_detector_radiobutton");
    QCOMPARE(f.cubdet, detector == "cuboid_detector_radiobutton");
    QCOMPARE(f.sphdet, detector == "Spherical_detector_radiobutton");
}

void WindowTest::pointThenCylinderKeepsZeros() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.Point_source_radiobutton->click();
    form.Cylindrical_source_radiobutton->click();
    QVERIFY(form.Inputbox_r1->isEnabled() && form.Inputbox_t1->isEnabled());
    QCOMPARE(form.Inputbox_r1->text(), QStringLiteral("0"));
    QCOMPARE(form.Inputbox_t1->text(), QStringLiteral("0"));

    form.Cuboid_source_radiobutton->click();
    QCOMPARE(form.Inputbox_r1->text(), QString());
    form.Inputbox_a1->setText("2");
    form.Cylindrical_source_radiobutton->click();
    QCOMPARE(form.Inputbox_a1->text(), QString());

    // The emission choice touches neither fields nor diagram.
    form.twopiradiobutton->click();
    QVERIFY(state.flags.twopisrc && !state.flags.fourpisrc);
    form.fourpiradiobutton->click();
    QVERIFY(!state.flags.twopisrc && state.flags.fourpisrc);
    QCOMPARE(visiblediagram(form), QStringLiteral("Image_cyldet_cylsrc"));
}

void WindowTest::clearEmptiesFieldsOnly() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.cuboid_detector_radiobutton->click();
    for (const QString& f : allfields) editof(form, f)->setText("7");
    form.inputbox_rot_x3->setText("30");
    form.Inputbox_rot_y2->setText("-5");
    const GeometryFlags before = state.flags;
    QList<bool> enabledbefore;
    for (const QString& f : allfields) enabledbefore << editof(form, f)->isEnabled();

    form.ClearButton->trigger();

    for (const QString& f : allfields) QCOMPARE(editof(form, f)->text(), QString());
    QCOMPARE(form.inputbox_endcount->text(), QString());
    for (QLineEdit* e : {form.inputbox_rot_x3, form.Inputbox_rot_y2, form.Inputbox_rot_z0})
        QCOMPARE(e->text(), QStringLiteral("0"));
    QList<bool> enabledafter;
    for (const QString& f : allfields) enabledafter << editof(form, f)->isEnabled();
    QCOMPARE(enabledafter, enabledbefore);
    QCOMPARE(state.flags.cubdet, before.cubdet);
    QCOMPARE(state.flags.cylsrc, before.cylsrc);
    QCOMPARE(visiblediagram(form), QStringLiteral("Image_cubdet_cylsrc"));
}

void WindowTest::aboutOnceAtFirstActivationAndOnDemand() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTRY_COMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].kind, MessageKind::information);
    const QString about = dialogs.messages[0].text;
    QVERIFY(about.startsWith(QStringLiteral("Korvex3.exe version 1.4\n\n\nA Monte Carlo method")));
    QVERIFY(about.endsWith(QStringLiteral("centre of the sphere).\n\n") +
                           about.section(QLatin1Char('\n'), -3, -3) + QStringLiteral("\n\n")));
    // The method line names no article and no person.
    const QString method = about.section(QLatin1Char('\n'), -3, -3);
    QVERIFY(method.contains(QStringLiteral("Monte Carlo")) &&
            method.contains(QStringLiteral("random rays")));
    QVERIFY(
        !method.contains(QRegularExpression(QStringLiteral("et al|\\(\\d{4}\\)|Vol\\.|pp\\."))));
    QVERIFY(!state.flags.showabout);
    // Activation selects the first tab.
    QCOMPARE(form.PageControl1->currentWidget(), form.Source);

    // A later activation keeps the tab and the field being typed in, so the
    // next keystrokes cannot land in another tab's field.
    form.PageControl1->setCurrentWidget(form.Rot_tilt);
    form.Inputbox_rot_y2->setFocus();
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::qWait(50);  // the queued FormActivate
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(form.PageControl1->currentWidget(), form.Rot_tilt);
    QCOMPARE(QApplication::focusWidget(), form.Inputbox_rot_y2);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("5"));
    QCOMPARE(form.Inputbox_rot_y2->text(), QStringLiteral("05"));
    QCOMPARE(form.Inputbox_r1->text(), QString());

    form.About->trigger();
    QCOMPARE(dialogs.messages.size(), 2);
    QCOMPARE(dialogs.messages[1].text, about);
}

void WindowTest::radioButtonsDecideFlagsAgain() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.Point_source_radiobutton->click();
    form.Spherical_detector_radiobutton->click();
    form.twopiradiobutton->click();
    // What a batch dataset may leave behind.
    state.flags.cylsrc = false;
    state.flags.cubsrc = true;
    state.flags.ptsrc = false;
    state.flags.sphdet = false;
    state.flags.cubdet = true;
    state.flags.twopisrc = false;
    state.flags.fourpisrc = true;

    form.resetbooleans();
    const GeometryFlags& f = state.flags;
    QVERIFY(f.cylsrc && f.ptsrc && !f.cubsrc);
    QVERIFY(f.sphdet && !f.cubdet && !f.cyldet);
    QVERIFY(f.twopisrc && !f.fourpisrc);
}

void WindowTest::fieldsReadByTheScreenReader() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    const FieldSource& fields = form;
    form.Inputbox_h->setText(" 2.5");
    QCOMPARE(fields.text(Field::t2), std::string(" 2.5"));
    QCOMPARE(fields.caption(Field::t2), std::string("detector thickness, t2"));
    QCOMPARE(fields.caption(Field::b3), std::string("displacement, b3"));
    QCOMPARE(fields.caption(Field::emissions), std::string("number of emissions"));
    QCOMPARE(fields.text(Field::emissions), std::string("1E7"));
    QCOMPARE(fields.caption(Field::rotz), std::string("Rotation ccw about Z'' "));
    QCOMPARE(fields.caption(Field::rotx), std::string("Rotation ccw about X"));
}

// Integral turns the count off (its text kept, a data file's count still
// filled in) and the target error on; emissions turn them back.
void WindowTest::methodChoiceTurnsTheFields() {
    ScriptedWindow window;
    auto& [state, dialogs, form] = window;
    form.inputbox_endcount->setText("2.5E6");
    form.integralmethodradiobutton->click();
    for (QWidget* w : std::initializer_list<QWidget*>{form.inputbox_endcount, form.Label_endcount,
                                                      form.Label1}) {
        QVERIFY(!w->isEnabled());
        QCOMPARE(w->toolTip(), QString::fromLatin1(countnotused));
    }
    QVERIFY(!form.Label_countnote->isHidden());
    QVERIFY(form.inputbox_target->isEnabled() && form.Label_target->isEnabled());
    QCOMPARE(form.inputbox_endcount->text(), QStringLiteral("2.5E6"));

    RunParameters prm;
    prm.r1 = 1;
    prm.r2 = 2;
    prm.t2 = 1;
    prm.c = 1;
    prm.emissions = 4000;
    GeometryFlags flags;
    flags.cylsrc = flags.cyldet = flags.fourpisrc = true;
    form.filldataset(prm, flags);
    QCOMPARE(form.inputbox_endcount->text(), QStringLiteral("4000"));
    QVERIFY(form.integralmethodradiobutton->isChecked());

    form.emissionsmethodradiobutton->click();
    QVERIFY(form.inputbox_endcount->isEnabled() && form.Label1->isEnabled());
    QVERIFY(form.inputbox_endcount->toolTip().isEmpty());
    QVERIFY(form.Label_countnote->isHidden());
    QVERIFY(!form.inputbox_target->isEnabled());
    // Both methods named for the user.
    QVERIFY(form.emissionsmethodradiobutton->toolTip().startsWith("Monte Carlo emissions: "));
    QVERIFY(form.integralmethodradiobutton->toolTip().startsWith("Integral: "));
}

QTEST_MAIN(WindowTest)
#include "test_window.moc"
