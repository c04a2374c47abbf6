#include "ui/unit1.h"

void TForm1::createpanel() {}
void TForm1::Button11Click() {}
void TForm1::Button10Click() {}
void TForm1::Button7Click() {}
void TForm1::Timer1Timer() {}
void TForm1::Button9Click() {}
void TForm1::Button12Click() {}
void TForm1::TrackBar4Change() {}
