#include "ui/unit1.h"

void TForm1::readall() {}
void TForm1::writeall() {}
void TForm1::clearall() {}
void TForm1::Button3Click() {}
void TForm1::Button4Click() {}
void TForm1::Button5Click() {}
