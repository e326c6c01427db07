// TForm1: the one window of the program.
//
// It owns no run state: the flags and the last report live in the RunState
// the program passes in. The window's choice controls write the flags; the
// run command reads the input fields through FieldSource and reaches the
// window through RunHost (progress panel, Escape poll, dialogs, results).
// Every dialog goes through a Dialogs object, real or a test's.
//
// The code is split by concern: form1.cpp builds the controls and the menus,
// handlers.cpp keeps the choice handlers and the menu commands Clear input
// data, About and Exit, runhost.cpp the run (also the menu command Data read
// from and written to file), and results.cpp the results dialog loop with
// saving and printing (also the menu command Show last results), and
// datasets.cpp the inputs opened from and saved to data files and the seed
// for the next run.
#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>

#include "io/runcommand.h"
#include "io/screeninput.h"
#include "ui/dialogs.h"

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace korvex {

class Diagram;
class GeometryView;
class InputSwallower;

class TForm1 : public QMainWindow, public RunHost, public FieldSource {
    Q_OBJECT
public:
    // dialogs: null for the real dialogs; a test passes its own.
    explicit TForm1(RunState& state, Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TForm1() override;

    Dialogs& dialogs() { return *dialogs_; }
    RunState& state() { return state_; }
    // The outcome of the last run command.
    const RunResult& lastrun() const { return lastrun_; }

    // Choice handlers.
    void Cylindrical_source_radiobuttonClick();
    void Cuboid_source_radiobuttonClick();
    void Point_source_radiobuttonClick();
    void cylinder_detector_radiobuttonClick();
    void cuboid_detector_radiobuttonClick();
    void Spherical_detector_radiobuttonClick();
    void twopiradiobuttonClick();
    void fourpiradiobuttonClick();
    // The method choice: enables the fields the chosen method reads.
    void methodradiobuttonClick();

    // The run command; sender is the "Start simulation" button or the batch
    // menu item, which selects a batch run.
    void EstimateButtonClick(QObject* sender);

    // Menu commands.
    void Showlastresults1Click();
    void ClearButtonClick();
    void AboutClick();
    void ExitButtonClick();
    void FormActivate();
    void Opendataset1Click();
    void Saveinputsasdataset1Click();
    void Seedforthenextrun1Click();

    // Sets the shape choices and the fields to a dataset: the fields then
    // hold texts that read back as its values.
    void filldataset(const RunParameters& prm, const GeometryFlags& flags);
    // The next run command starts its generator from seed, once.
    void setnextseed(std::uint32_t seed) { nextseed_ = seed; }
    // The seed of the run that made the last report; empty before any.
    std::optional<std::uint32_t> reportseed() const { return reportseed_; }

    void setcorrectinputboxes();
    void setmethodfields();
    void setcorrectimage();
    // Redraws the geometry view from the fields and the choices, or greys it
    // and names the field that stops it.
    void updategeometryview();
    void resetbooleans();
    void turn_off_images();
    void disclaim();

    // The results dialog loop, and its two commands. gosave and goprint
    // return false after an error, which ends the loop. gosave writes text,
    // or PDF for a name ending in ".pdf"; pdffirst offers PDF first.
    void resultsloop();
    bool gosave(bool pdffirst = false);
    bool goprint();

    // FieldSource
    std::string text(Field f) const override;
    std::string caption(Field f) const override;

    // Prompter
    void message(MessageKind kind, const std::string& text) override;
    bool confirm(ConfirmKind kind, const std::string& text) override;

    // LoopHost
    void progressstep(const RunTallies& sofar) override;
    bool pollabort() override;
    void integralprogress(double share, double omega) override;

    // RunHost
    const FieldSource& fields() override { return *this; }
    std::optional<std::string> choosedatafile() override;
    std::optional<std::string> chooseresultsfile() override;
    void commandstarting(bool batchrun) override;
    void commandfinished(bool batchrun, RunState& state) override;
    void loopstarting(const std::string& caption, const RunParameters& prm,
                      const GeometryFlags& flags) override;
    void loopfinished() override;
    void showresults(RunState& state) override;

protected:
    bool event(QEvent* event) override;

private:
    void buildcontrols();
    // One labelled field of a tab: where its controls go, their names, the
    // caption, and whether it starts enabled.
    struct FieldSpec {
        QLabel** label;
        const char* labelname;
        const char* caption;
        QLineEdit** edit;
        const char* editname;
        bool on;
    };
    QWidget* buildfieldtab(QWidget*& tab, const char* name, std::initializer_list<FieldSpec> fields,
                           QPlainTextEdit* note);
    QWidget* buildsourcetab();
    QWidget* builddetectortab();
    QWidget* builddisplacementtab();
    QWidget* buildrotationtab();
    QWidget* buildemissionstab();
    QWidget* buildgeometrytab();
    void buildmenus();
    void connecthandlers();

    void choosesource(bool cylinder, bool cuboid, bool point);
    void choosedetector(bool cylinder, bool cuboid, bool sphere);
    QLineEdit* edit(Field f) const;
    QLabel* label(Field f) const;
    void seton(QLabel* label, QLineEdit* edit, bool on);
    // The chosen method and its target error into the run state; false
    // (after the message) when the target error is refused.
    bool readmethod();

    RunState& state_;
    std::unique_ptr<Dialogs> owndialogs_;
    Dialogs* dialogs_;
    std::unique_ptr<InputSwallower> swallower_;
    RunResult lastrun_;
    bool running_ = false;
    std::optional<std::uint32_t> nextseed_;  // "Seed for the next run"
    std::uint32_t commandseed_ = 0;          // the running command's seed
    std::optional<std::uint32_t> reportseed_;
    bool reportintegral_ = false;  // the last report is the integral method's
    // The inputs of the last report, for the picture at the head of its PDF.
    std::optional<std::pair<RunParameters, GeometryFlags>> reportinputs_;
    QElapsedTimer looptime_;  // since the loop started, for the time left
    double loopemissions_ = 0;
    bool activated_ = false;  // FormActivate has run once

public:
    // The controls, named as the program names them (also their objectName).
    QGroupBox* GroupBox2;
    QRadioButton* Cylindrical_source_radiobutton;
    QRadioButton* Cuboid_source_radiobutton;
    QRadioButton* Point_source_radiobutton;
    QGroupBox* GroupBox7;
    QRadioButton* cylinder_detector_radiobutton;
    QRadioButton* cuboid_detector_radiobutton;
    QRadioButton* Spherical_detector_radiobutton;

    QWidget* DiagramArea;
    Diagram* Image_cyldet_cylsrc;
    Diagram* Image_cyldet_cubsrc;
    Diagram* image_cyldet_ptsrc;
    Diagram* Image_cubdet_cylsrc;
    Diagram* Image_cubdet_cubsrc;
    Diagram* image_cubdet_ptsrc;
    Diagram* Image_spherical_det_cylind_scr;
    Diagram* Image_spherical_det_cuboid_src;
    Diagram* Image_spherical_det_point_src;

    // The reference diagram and the user's geometry share the diagram area
    // as two tabs.
    QTabWidget* DiagramTabs;
    QWidget* GeometryTab;
    GeometryView* geometryView;
    QCheckBox* showRays;
    QPushButton* resetView;
    QPushButton* viewXd;
    QPushButton* viewYd;
    QPushButton* viewZd;

    QWidget* Panel1;
    QProgressBar* ProgressBar1;
    QLabel* TimeLeft;  // beside the progress bar
    QLabel* StaticText1;
    QLabel* StaticText3;
    QListWidget* ListBox1;

    QTabWidget* PageControl1;
    QWidget* Source;
    QLabel* Label_r1;
    QLineEdit* Inputbox_r1;
    QLabel* Label_a1;
    QLineEdit* Inputbox_a1;
    QLabel* Label_b1;
    QLineEdit* Inputbox_b1;
    QLabel* Label_t1;
    QLineEdit* Inputbox_t1;
    QPlainTextEdit* Memo_A;

    QWidget* Detector;
    QLabel* Label_r2;
    QLineEdit* Inputbox_r2;
    QLabel* Label_a2;
    QLineEdit* Inputbox_a2;
    QLabel* Label_b2;
    QLineEdit* Inputbox_b2;
    QLabel* Label_h;
    QLineEdit* Inputbox_h;
    QPlainTextEdit* Memo3;

    QWidget* Axial_disp;
    QLabel* Label_d;
    QLineEdit* Inputbox_d;
    QLabel* Label_a3;
    QLineEdit* Inputbox_a3;
    QLabel* Label_b3;
    QLineEdit* inputbox_b3;
    QLabel* Label_c;
    QLineEdit* Inputbox_c;

    QWidget* Rot_tilt;
    QLabel* Label2;
    QLabel* Label_rot_x3;
    QLineEdit* inputbox_rot_x3;
    QLabel* Label_rot_y2;
    QLineEdit* Inputbox_rot_y2;
    QLabel* Label_rot_z0;
    QLineEdit* Inputbox_rot_z0;
    QPlainTextEdit* Memo2;

    QWidget* emissions;
    QGroupBox* GroupBox5;
    QRadioButton* twopiradiobutton;
    QRadioButton* fourpiradiobutton;
    QGroupBox* GroupBox6;
    QLabel* Label_endcount;
    QLabel* Label1;
    QLineEdit* inputbox_endcount;
    QLabel* Label_countnote;  // shown when the integral method ignores the count
    QGroupBox* GroupBox8;     // the method
    QRadioButton* emissionsmethodradiobutton;
    QRadioButton* integralmethodradiobutton;
    QLabel* Label_target;
    QLineEdit* inputbox_target;

    QPushButton* EstimateButton;

    QAction* Opendataset1;
    QAction* Saveinputsasdataset1;
    QAction* ExitButton;
    QAction* Seedforthenextrun1;
    QAction* Showlastresults1;
    QAction* ClearButton;
    QAction* Datareadfromandwrittentofile1;
    QAction* About;
};

}  // namespace korvex
