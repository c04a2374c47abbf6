#pragma once
// The tool's one window.  Every control is a named member and every action a handler of this
// class; the handlers of each subsystem live in that subsystem's folder:
//   link/connection.cpp     connection controls, connect, scan, end of conversation
//   settings/controls.cpp   settings controls and their steppers
//   settings/transfer.cpp   readall, writeall, clearall and the three settings buttons
//   sound/upload.cpp        upload controls and the two uploads
//   diagnostics/panel.cpp   the diagnostic panel, its timer and chart
//   ui/unit1.cpp            the window, its frames, the log, start-up and exit
//   ui/hints.cpp            the hover hints
#include <QHash>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class LogMemo;
class OpenDialog;
class TelemetryChart;
namespace settings { struct Fields; }

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- activity log (ui/unit1.cpp) ---
    void log(const QString& message);   // time prefix + message
    void logplain(const QString& text); // the text alone

    // --- frames and log (ui/unit1.cpp) ---
    QFrame *Bevel1 = nullptr, *Bevel2 = nullptr, *Bevel3 = nullptr, *Bevel4 = nullptr, *Bevel5 = nullptr, *Bevel6 = nullptr, *Bevel7 = nullptr, *Bevel8 = nullptr, *Bevel9 = nullptr,
        *Bevel10 = nullptr, *Bevel11 = nullptr;
    QLabel *Label1 = nullptr, *Label5 = nullptr, *Label17 = nullptr, *Label8 = nullptr, *Label16 = nullptr, *Label15 = nullptr, *Label20 = nullptr, *Label2 = nullptr, *Label18 = nullptr,
        *Label19 = nullptr, *Label21 = nullptr;
    LogMemo* Memo1 = nullptr;

    // --- connection (link/connection.cpp) ---
    QComboBox* ComboBox1 = nullptr;
    QPushButton *Button15 = nullptr, *Button1 = nullptr;
    QLabel* Image1 = nullptr;

    // --- settings controls (settings/controls.cpp) ---
    QPushButton *Button4 = nullptr, *Button5 = nullptr, *Button3 = nullptr;
    QLabel *Label4 = nullptr, *Label9 = nullptr, *Label24 = nullptr, *Label10 = nullptr, *Label11 = nullptr, *Label32 = nullptr, *Label33 = nullptr, *Label13 = nullptr, *Label12 = nullptr,
        *Label14 = nullptr, *Label6 = nullptr, *Label7 = nullptr, *Label3 = nullptr, *Label23 = nullptr, *Label34 = nullptr;
    QLineEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr, *Edit7 = nullptr, *Edit8 = nullptr, *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr,
        *Edit12 = nullptr, *Edit13 = nullptr, *Edit20 = nullptr, *Edit21 = nullptr, *Edit22 = nullptr, *Edit23 = nullptr;
    QSlider *TrackBar1 = nullptr, *TrackBar2 = nullptr, *TrackBar3 = nullptr;
    QPushButton *Button14 = nullptr, *Button13 = nullptr, *Button2 = nullptr, *Button16 = nullptr, *Button17 = nullptr, *Button18 = nullptr;
    QCheckBox *CheckBox1 = nullptr, *CheckBox2 = nullptr, *CheckBox3 = nullptr, *CheckBox4 = nullptr, *CheckBox5 = nullptr, *CheckBox6 = nullptr, *CheckBox7 = nullptr,
        *CheckBox8 = nullptr, *CheckBox9 = nullptr, *CheckBox10 = nullptr, *CheckBox11 = nullptr, *CheckBox12 = nullptr;

    // --- upload (sound/upload.cpp) ---
    QPushButton *Button6 = nullptr, *Button8 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    OpenDialog* OpenDialog1 = nullptr;

    // --- diagnostic panel (diagnostics/panel.cpp) ---
    QPushButton* Button11 = nullptr;
    QFrame* Panel7 = nullptr;
    QPushButton *Button10 = nullptr, *Button7 = nullptr, *Button9 = nullptr, *Button12 = nullptr;
    QLabel *Label22 = nullptr, *Label26 = nullptr, *Label25 = nullptr, *Label27 = nullptr, *Label28 = nullptr, *Label29 = nullptr, *Label30 = nullptr;
    QLineEdit *Edit14 = nullptr, *Edit15 = nullptr, *Edit16 = nullptr, *Edit17 = nullptr, *Edit18 = nullptr, *Edit19 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QSlider* TrackBar4 = nullptr;
    TelemetryChart* Chart1 = nullptr;
    QTimer* Timer1 = nullptr;

    // --- handlers and methods ---
    // ui/unit1.cpp
    void FormCreate();
    void FormActive();
    bool Form1Close(); // false when the close was abandoned

    // link/connection.cpp
    void Button1Click();
    void Button15Click();
    void ComboBox1Change();
    void endconnection(); // "Z" / "V" at exit

    // settings/controls.cpp
    void Button2Click();
    void Button16Click();
    void Button14Click();
    void Button13Click();
    void Button17Click();
    void Button18Click();
    void TrackBar1Change();
    void TrackBar2Change();
    void TrackBar3Change();
    // The values the settings controls hold, as typed, and putting values into them.
    settings::Fields getfields() const;
    void setfields(const settings::Fields& fields);

    // settings/filemenu.cpp: settings files, from the context menu of the window's background
    void savesettings();
    void loadsettings();
    void comparesettings();
    // settings/reportmenu.cpp: the printable report of the unit read last
    void savereport();

    // settings/transfer.cpp
    void readall();
    void writeall();
    void clearall();
    void Button3Click();
    void Button4Click();
    void Button5Click();

    // sound/upload.cpp
    void Button6Click();
    void Button8Click();
    void buttonswitch(bool enabled);

    // diagnostics/panel.cpp
    void Button11Click();
    void Button10Click();
    void Button7Click();
    void Timer1Timer();
    void Button9Click();
    void Button12Click();
    void TrackBar4Change();

    // ui/hints.cpp: one mouse-move handler per control that explains itself
    void Button1MouseMove(); void Button3MouseMove(); void Button4MouseMove();
    void Button5MouseMove(); void Button6MouseMove(); void Button8MouseMove();
    void Edit1MouseMove(); void Edit2MouseMove(); void Edit5MouseMove(); void Edit6MouseMove();
    void Edit7MouseMove(); void Edit8MouseMove(); void Edit9MouseMove(); void Edit10MouseMove();
    void Edit11MouseMove(); void Edit12MouseMove(); void Edit13MouseMove();
    void Edit20MouseMove(); void CheckBox1MouseMove(); void CheckBox2MouseMove();
    void CheckBox3MouseMove(); void CheckBox4MouseMove(); void CheckBox5MouseMove();
    void CheckBox6MouseMove(); void CheckBox7MouseMove(); void CheckBox8MouseMove();
    void CheckBox9MouseMove(); void CheckBox10MouseMove(); void CheckBox11MouseMove();
    void CheckBox12MouseMove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override; // settings/filemenu.cpp

private:
    // Each subsystem builds its own controls; the constructor calls these in this order.
    void createframes();      // ui/unit1.cpp
    void createconnection();  // link/connection.cpp
    void createsettings();    // settings/controls.cpp
    void createupload();      // sound/upload.cpp
    void createpanel();       // diagnostics/panel.cpp
    void createhints();       // ui/hints.cpp

    // --- hover hints (ui/hints.cpp) ---
    void hint(QWidget* control, const char* text);
    QHash<QObject*, void (TForm1::*)()> mousemoves;

    // --- activity log state (ui/unit1.cpp) ---
    int logEncoding = 0;      // how "log.txt" was read, so it is written back the same way
    bool logLoaded = false;   // false when the load at start-up failed: the save must not
                              // replace the history with the shorter text

    // --- upload state (sound/upload.cpp) ---
public:
    bool uploading = false;       // an upload is running
    bool cancelUpload = false;    // Esc or a close asked it to stop at the next block
    bool closeAfterUpload = false; // the window was closed during the upload
    bool timerWasRunning = false; // the poll timer paused for the upload

    // --- section for the settings subsystem's own private helpers ---
    // --- section for the upload subsystem's own private helpers ---
    // --- section for the diagnostics subsystem's own private helpers ---
};

// The application title: the program file's name, first letter upper case, the rest lower case.
// Captions every message box; set to "Ошибка" by the first serious failure.
QString apptitle();
void setapptitle(const QString& title);
