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

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // --- activity log (ui/unit1.cpp) ---
    void log(const QString& message);   // time prefix + message
    void logplain(const QString& text); // the text alone

    // --- frames and log (ui/unit1.cpp) ---
    QFrame *Bevel1, *Bevel2, *Bevel3, *Bevel4, *Bevel5, *Bevel6, *Bevel7, *Bevel8, *Bevel9,
        *Bevel10, *Bevel11;
    QLabel *Label1, *Label5, *Label17, *Label8, *Label16, *Label15, *Label20, *Label2, *Label18,
        *Label19, *Label21;
    LogMemo* Memo1;

    // --- connection (link/connection.cpp) ---
    QComboBox* ComboBox1;
    QPushButton *Button15, *Button1;
    QLabel* Image1;

    // --- settings controls (settings/controls.cpp) ---
    QPushButton *Button4, *Button5, *Button3;
    QLabel *Label4, *Label9, *Label24, *Label10, *Label11, *Label32, *Label33, *Label13, *Label12,
        *Label14, *Label6, *Label7, *Label3, *Label23, *Label34;
    QLineEdit *Edit1, *Edit2, *Edit4, *Edit5, *Edit6, *Edit7, *Edit8, *Edit9, *Edit10, *Edit11,
        *Edit12, *Edit13, *Edit20, *Edit21, *Edit22, *Edit23;
    QSlider *TrackBar1, *TrackBar2, *TrackBar3;
    QPushButton *Button14, *Button13, *Button2, *Button16, *Button17, *Button18;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox3, *CheckBox4, *CheckBox5, *CheckBox6, *CheckBox7,
        *CheckBox8, *CheckBox9, *CheckBox10, *CheckBox11, *CheckBox12;

    // --- upload (sound/upload.cpp) ---
    QPushButton *Button6, *Button8;
    QProgressBar* ProgressBar1;
    OpenDialog* OpenDialog1;

    // --- diagnostic panel (diagnostics/panel.cpp) ---
    QPushButton* Button11;
    QFrame* Panel7;
    QPushButton *Button10, *Button7, *Button9, *Button12;
    QLabel *Label22, *Label26, *Label25, *Label27, *Label28, *Label29, *Label30;
    QLineEdit *Edit14, *Edit15, *Edit16, *Edit17, *Edit18, *Edit19;
    QComboBox* ComboBox2;
    QSlider* TrackBar4;
    TelemetryChart* Chart1;
    QTimer* Timer1;

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

protected:
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    // Each subsystem builds its own controls; the constructor calls these in this order.
    void createframes();      // ui/unit1.cpp
    void createconnection();  // link/connection.cpp
    void createsettings();    // settings/controls.cpp
    void createupload();      // sound/upload.cpp
    void createpanel();       // diagnostics/panel.cpp
    void createhints();       // ui/hints.cpp

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

// The application title: the program file's name, first letter kept, the rest in lower case.
// Captions every message box; set to "Ошибка" by the first serious failure.
QString apptitle();
void setapptitle(const QString& title);
