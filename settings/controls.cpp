#include "ui/unit1.h"

void TForm1::createsettings() {}
void TForm1::Button2Click() {}
void TForm1::Button16Click() {}
void TForm1::Button14Click() {}
void TForm1::Button13Click() {}
void TForm1::Button17Click() {}
void TForm1::Button18Click() {}
void TForm1::TrackBar1Change() {}
void TForm1::TrackBar2Change() {}
void TForm1::TrackBar3Change() {}
